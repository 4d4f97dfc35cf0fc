// What the desktop hands the player: a file, a playlist or a folder to open at start.
#include "TestSupport.h"
#include "platform/desktop/Session.h"

#include <QComboBox>
#include <QFile>

using namespace zypo;
using namespace zypo::test;

TEST(Arguments, AMediaFileIsOpenedStoppedInItsFolder) {
    Player p;
    p.addMedia(QStringLiteral("music/a.wav"));
    const QString b = p.addMedia(QStringLiteral("music/b.mid"));
    p.mkdir(QStringLiteral("elsewhere"));
    p.start(QStringLiteral("elsewhere"));
    ASSERT_TRUE(p.w->openArgument(b));
    EXPECT_EQ(p.w->main0Dir->Path(), QStringLiteral("C:\\music"));
    EXPECT_EQ(p.w->main0Flist->FileName(), QStringLiteral("b.mid"));
    EXPECT_EQ(p.playing(), b);
    EXPECT_FALSE(p.device()->isPlaying());
    EXPECT_TRUE(p.prompter.messages.isEmpty());
}

TEST(Arguments, APlaylistIsExpandedIntoTheQueue) {
    Player p;
    p.addMedia(QStringLiteral("music/a.wav"));
    QFile f(p.host(QStringLiteral("lists/Mine.rz0")));
    p.mkdir(QStringLiteral("lists"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("C:\\music\\a.wav\r\nC:\\music\\a.wav\r\n");
    f.close();
    p.start();
    ASSERT_TRUE(p.w->openArgument(p.host(QStringLiteral("lists/Mine.rz0"))));
    EXPECT_EQ(p.w->main0Combo->currentIndex(), 4);
    EXPECT_EQ(p.M->QueueMode, True);
    EXPECT_EQ(p.w->main0List2->ListCount(), 2);
    EXPECT_FALSE(p.w->main0List2->isHidden());
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
}

TEST(Arguments, AFolderIsBrowsedAndAMissingPathSaysSo) {
    Player p;
    p.addMedia(QStringLiteral("deep/er/x.wav"));
    p.start();
    ASSERT_TRUE(p.w->openArgument(p.host(QStringLiteral("deep/er"))));
    EXPECT_EQ(p.w->main0Dir->Path(), QStringLiteral("C:\\deep\\er"));
    EXPECT_EQ(p.w->main0Flist->ListCount(), 1);
    EXPECT_FALSE(p.w->openArgument(p.host(QStringLiteral("nowhere.mid"))));
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_TRUE(
        p.prompter.messages[0].text.startsWith(QStringLiteral("指定されたファイルが見つかりません(")));
    EXPECT_EQ(p.w->main0Dir->Path(), QStringLiteral("C:\\deep\\er")); // the browser stays usable
}

TEST(Arguments, AFileThePlayerDoesNotListGetsAMessage) {
    Player p;
    p.addMedia(QStringLiteral("docs/readme.txt"));
    p.start();
    EXPECT_FALSE(p.w->openArgument(p.host(QStringLiteral("docs/readme.txt"))));
    EXPECT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
}

TEST(Session, OnWaylandWithAnXServerThePicturesWindowSystemComesFirst) {
    const auto platformFor = [](QHash<QByteArray, QByteArray> vars) {
        return preferredQtPlatform([&vars](const char* name) { return vars.value(name); });
    };
    // GNOME, Plasma, sway: Wayland with XWayland.
    EXPECT_EQ(
        platformFor({{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}),
        "xcb;wayland");
    EXPECT_EQ(platformFor({{"WAYLAND_DISPLAY", "wayland-1"}, {"DISPLAY", ":1"}}), "xcb;wayland");
    // A kiosk compositor without an X server, an X11 session, and the user's own choice.
    EXPECT_EQ(platformFor({{"XDG_SESSION_TYPE", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"}}), "");
    EXPECT_EQ(platformFor({{"XDG_SESSION_TYPE", "x11"}, {"DISPLAY", ":0"}}), "");
    EXPECT_EQ(
        platformFor({{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"}, {"DISPLAY", ":0"}}),
        "");
}

// The video window and the media command strings it sends.
#include "TestSupport.h"
#include "platform/MediaCommands.h"
#include "platform/MediaErrors.h"
#include "playback/MVIDEO.h"

#include <QApplication>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <vector>

using namespace zypo;
using namespace zypo::test;

TEST(SourceReply, DigitsAfterBlanksAndNothingElse) {
    int r[4];
    ASSERT_TRUE(readSourceRect(QStringLiteral("0 0 320 240"), r));
    EXPECT_EQ(QList<int>({r[0], r[1], r[2], r[3]}), QList<int>({0, 0, 320, 240}));
    ASSERT_TRUE(readSourceRect(QStringLiteral("10 20 330 260"), r));
    EXPECT_EQ(r[2] - r[0], 320);
    EXPECT_EQ(r[3] - r[1], 240);
    ASSERT_TRUE(readSourceRect(QStringLiteral("  0    0   320     240"), r));
    EXPECT_EQ(QList<int>({r[0], r[1], r[2], r[3]}), QList<int>({0, 0, 320, 240}));
    ASSERT_TRUE(readSourceRect(QString(), r)); // nothing written: every number is 0
    EXPECT_EQ(QList<int>({r[0], r[1], r[2], r[3]}), QList<int>({0, 0, 0, 0}));
    EXPECT_FALSE(readSourceRect(QStringLiteral("0 0 99999 240"), r));
}

TEST(MediaCommandWords, QuotedNamesStayWhole) {
    EXPECT_EQ(MediaCommands::words(QStringLiteral("open \"C:\\a b\\音楽.avi\" Alias Open_Avi")),
              QStringList({"open", "C:\\a b\\音楽.avi", "Alias", "Open_Avi"}));
    // A name holding a double quote: the closing quote is the last one.
    EXPECT_EQ(MediaCommands::words(QStringLiteral("put \"C:\\say \"hi\".avi\" destination at 0 0  1  2")),
              QStringList({"put", "C:\\say \"hi\".avi", "destination", "at", "0", "0", "1", "2"}));
    bool unclosed = false;
    MediaCommands::words(QStringLiteral("open \"C:\\x.avi alias a"), &unclosed);
    EXPECT_TRUE(unclosed);
}

namespace {
struct Video : ::testing::Test {
    void SetUp() override {
        clip = p.addMedia(QStringLiteral("v/clip.avi"), {5000, 0, 0, true, QSize(320, 240)});
        song = p.addMedia(QStringLiteral("v/song.wav"), {5000});
        p.start(QStringLiteral("v"));
        p.w->MenuSetti21_Click(2);
    }
    MVIDEO* openClip() {
        p.w->main0Flist->setListIndex(0); // clip.avi sorts first
        return p.w->existingVideoWindow();
    }
    Player p;
    QString clip, song;
};
} // namespace

TEST_F(Video, PictureIsTheClipTimesTheMagnification) {
    for (auto [index, w, h] : {std::tuple{1, 160, 120}, {2, 320, 240}, {8, 1280, 960}, {3, 480, 360}}) {
        p.w->MenuBairitu1_Click(static_cast<std::int16_t>(index));
        MVIDEO* v = openClip();
        ASSERT_NE(v, nullptr);
        EXPECT_TRUE(v->isVisible());
        EXPECT_EQ(v->Pic1->size(), QSize(w, h)) << index;
        EXPECT_EQ(v->size(), QSize(w, h)) << index; // the client area is the picture
        ScriptedDevice* d = p.media.deviceFor(clip);
        ASSERT_NE(d, nullptr);
        EXPECT_EQ(d->destination(), QRect(0, 0, w, h));
        EXPECT_EQ(d->display(), v->Pic1);
        EXPECT_EQ(v->windowTitle(), QStringLiteral("ジポプレーヤー(C:\\v\\clip.avi)"));
    }
    // The alias instance was closed again: only the transport's own instance is open.
    int open = 0;
    for (const auto& d : p.media.devices)
        open += d && !d->isClosed();
    EXPECT_EQ(open, 1);
}

TEST_F(Video, AnOddSizeAtAHalfStepRoundsToEven) {
    p.media.media[clip].size = QSize(321, 243); // ×0.5 = 160.5 → 160, 121.5 → 122
    p.w->MenuBairitu1_Click(1);
    MVIDEO* v = openClip();
    EXPECT_EQ(v->Pic1->size(), QSize(160, 122));
}

TEST_F(Video, ChangingTheMagnificationLeavesAShownVideoAlone) {
    MVIDEO* v = openClip();
    p.w->MenuBairitu1_Click(8);
    EXPECT_EQ(v->Pic1->size(), QSize(320, 240));
}

namespace {
/// Notes the transport's mode at the moment a window gets its close event.
struct ModeAtClose : QObject {
    explicit ModeAtClose(MMControl* t) : transport(t) {}
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Close)
            mode = transport->Mode();
        return false;
    }
    MMControl* transport;
    std::int32_t mode = 0;
};
} // namespace

TEST_F(Video, CloseItemUnloadsTheWindowBeforeClosingTheTransport) {
    QPointer<MVIDEO> v = openClip();
    ASSERT_NE(v, nullptr);
    v->move(30, 20);
    ModeAtClose probe(p.w->MMC);
    v->installEventFilter(&probe);
    p.w->MMC->clickStop();
    // The item was still open when the window closed: the window went first.
    EXPECT_EQ(probe.mode, ModeStopped);
    EXPECT_TRUE(!v || v->isUnloaded()); // unloaded, and deleted once events run
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_EQ(p.M->VideoLeft, 450);
    EXPECT_EQ(p.M->VideoTop, 300);
    EXPECT_EQ(p.M->VideoCloseRestore, True);
    pump();
    // The next clip gets a fresh window where the last one was closed.
    MVIDEO* again = openClip();
    ASSERT_NE(again, nullptr);
    EXPECT_TRUE(v.isNull());
    EXPECT_EQ(again->pos(), QPoint(30, 20));
}

TEST_F(Video, ClosingTheWindowStopsTheItemAndRestoresAMinimisedMainWindow) {
    p.w->show();
    MVIDEO* v = openClip();
    p.M->VideoCloseRestore = True; // as after the first closing in a run
    p.w->showMinimized();
    v->close();
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_FALSE(p.w->isMinimized());
}

TEST_F(Video, ThePositionSurvivesARestart) {
    MVIDEO* v = openClip();
    v->move(100, 60);
    p.w->close(); // shut-down closes the item (and the window), then saves
    MAIN next(p.M->svc);
    next.SetteiLoad();
    EXPECT_EQ(next.VideoLeft, 1500);
    EXPECT_EQ(next.VideoTop, 900);
}

TEST_F(Video, AudioItemsGetNoWindowAndNoFocusStep) {
    p.w->main0Flist->setListIndex(1);
    EXPECT_EQ(p.w->existingVideoWindow(), nullptr);
    EXPECT_FALSE(p.w->MMC->UsesWindows());
    p.w->MenuSetti31_Click(3);
    p.w->show();
    p.w->MMC->clickPlay();
    EXPECT_FALSE(p.w->isMinimized());
}

TEST_F(Video, ScreenModeThreeMinimisesTheMainWindowAndKeepsTheVideoOnTop) {
    p.w->MenuSetti31_Click(3);
    p.w->show();
    MVIDEO* v = openClip();
    EXPECT_TRUE(v->windowFlags() & Qt::WindowStaysOnTopHint);
    p.w->MMC->clickPlay();
    EXPECT_TRUE(p.w->isMinimized());
    // Closing by the close box gives the minimised main window back.
    v->close();
    EXPECT_FALSE(p.w->isMinimized());
}

namespace {
/// A Wayland session's window management: nothing keeps a window above the others.
struct NothingKeepsAbove : WindowManager {
    bool KeepsAbove() const override { return false; }
    void SetForegroundWindow(const ForegroundHandle& window) override {
        asked.push_back(window.widget);
        WindowManager::SetForegroundWindow(window);
    }
    std::vector<QPointer<QWidget>> asked;
};
} // namespace

TEST_F(Video, ScreenModeThreeWhereNothingKeepsAboveBringsThePictureToTheFrontAsModeTwo) {
    NothingKeepsAbove wayland;
    p.M->svc.windows = &wayland;
    p.w->MenuSetti31_Click(3);
    p.w->show();
    MVIDEO* v = openClip();
    p.w->MMC->clickPlay();
    // Not the front handed back to the window before (the picture would be left behind it),
    // and the main window not minimised out of the way of a picture that is not kept above.
    ASSERT_FALSE(wayland.asked.empty());
    EXPECT_EQ(wayland.asked.back(), v);
    EXPECT_FALSE(p.w->isMinimized());
    p.M->svc.windows = &p.windows;
}

TEST_F(Video, AFailedSourceQueryGivesAZeroPictureAndNoCrash) {
    // The alias cannot open a second instance of the clip: "where" fails and writes nothing.
    p.media.media[clip].secondOpenError = mcierr::DeviceOpen;
    MVIDEO* v = openClip();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Pic1->size(), QSize(0, 0));
    EXPECT_EQ(p.playing(), clip);
    EXPECT_EQ(p.media.log.filter(QStringLiteral("open ")).size(), 2); // the transport's and the alias's try
    EXPECT_TRUE(p.prompter.messages.isEmpty());
}

TEST_F(Video, AnEngineThatSharesWhatItKnowsIsNotOpenedASecondTimeForTheSize) {
    // A second instance would even be refused: the size comes from the open item all the same.
    p.media.media[clip].sharesFacts = true;
    p.media.media[clip].secondOpenError = mcierr::DeviceOpen;
    p.w->MenuBairitu1_Click(3); // 1.5×
    MVIDEO* v = openClip();
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->Pic1->size(), QSize(480, 360));
    EXPECT_EQ(p.media.deviceFor(clip)->destination(), QRect(0, 0, 480, 360));
    EXPECT_EQ(p.media.log.filter(QStringLiteral("open ")).size(), 1);
    EXPECT_TRUE(p.prompter.messages.isEmpty());

    // Another file than the open item is opened for its own answer.
    MediaCommands cmd(&p.media, &p.drives, p.w->MMC);
    p.addMedia(QStringLiteral("v/other.avi"), {1000, 0, 0, true, QSize(64, 48)});
    QString reply;
    ASSERT_EQ(cmd.mciSendString(QStringLiteral("open \"C:\\v\\other.avi\" alias x"), reply), 0);
    EXPECT_EQ(cmd.mciSendString(QStringLiteral("where x source"), reply), 0);
    EXPECT_EQ(reply, QStringLiteral("0 0 64 48"));
    EXPECT_EQ(p.media.log.filter(QStringLiteral("open ")).size(), 2);
}

TEST_F(Video, AClipThatCannotBeSizedLeavesNoAliasOpenForTheNextClip) {
    const QString big = p.addMedia(QStringLiteral("v/big.avi"), {5000, 0, 0, true, QSize(20000, 20000)});
    p.w->main0Flist->Refresh();
    p.w->MenuBairitu1_Click(8);
    p.w->main0Flist->setListIndex(0); // big.avi: ×4 does not fit, reported and skipped
    ASSERT_EQ(p.prompter.messages.size(), 1);
    p.prompter.messages.clear();
    p.w->MenuBairitu1_Click(2);
    p.w->main0Flist->setListIndex(1); // clip.avi
    MVIDEO* v = p.w->existingVideoWindow();
    ASSERT_NE(v, nullptr);
    EXPECT_TRUE(p.prompter.messages.isEmpty());
    EXPECT_EQ(v->Pic1->size(), QSize(320, 240));
    int open = 0;
    for (const auto& d : p.media.devices)
        open += d && !d->isClosed();
    EXPECT_EQ(open, 1); // only the transport's own instance
    (void)big;
}

TEST_F(Video, AClipTooLargeForThePictureFailsTheOpenWithTheLastNumber) {
    p.media.media[clip].size = QSize(20000, 20000); // ×4 does not fit
    p.w->MenuBairitu1_Click(8);
    openClip();
    ASSERT_EQ(p.prompter.messages.size(), 1);
    // The last command before the failure ("where") succeeded: number 0, no known text.
    EXPECT_EQ(p.prompter.messages[0].text, QStringLiteral("原因不明のエラーです。CODE= 0"));
    EXPECT_EQ(p.playing(), song); // skipped to the following entry
}

TEST(MediaCommands, TheFourCommandsAgainstTheScriptedDevices) {
    Player p;
    const QString clip = p.addMedia(QStringLiteral("a b/映像 \"1\".avi"), {1000, 0, 0, true, QSize(64, 48)});
    p.start(QStringLiteral("a b"));
    MediaCommands cmd(&p.media, &p.drives, p.w->MMC);
    QString reply = QStringLiteral("untouched");
    const QString file = QStringLiteral("C:\\a b\\映像 \"1\".avi");
    EXPECT_EQ(cmd.mciSendString(QStringLiteral("where Open_Avi source"), reply), mcierr::InvalidDeviceName);
    EXPECT_EQ(reply, QStringLiteral("untouched"));
    EXPECT_EQ(
        cmd.mciSendString(QStringLiteral("open \"") + file + QStringLiteral("\" Alias Open_Avi"), reply), 0);
    EXPECT_EQ(
        cmd.mciSendString(QStringLiteral("open \"") + file + QStringLiteral("\" Alias open_avi"), reply),
        mcierr::DuplicateAlias);
    EXPECT_EQ(cmd.mciSendString(QStringLiteral("where Open_Avi source"), reply), 0);
    EXPECT_EQ(reply, QStringLiteral("0 0 64 48"));
    // "put" addresses the transport's own open instance by its file name.
    EXPECT_EQ(cmd.mciSendString(
                  QStringLiteral("put \"") + file + QStringLiteral("\" destination at 0 0  128  96"), reply),
              mcierr::InvalidDeviceName);
    p.w->main0Flist->setListIndex(0);
    p.w->MMC->clearCommandLog();
    EXPECT_EQ(cmd.mciSendString(
                  QStringLiteral("put \"") + file + QStringLiteral("\" destination at 0 0  128  96"), reply),
              0);
    EXPECT_EQ(p.media.deviceFor(clip)->destination(), QRect(0, 0, 128, 96));
    EXPECT_EQ(cmd.mciSendString(QStringLiteral("close Open_Avi"), reply), 0);
    EXPECT_EQ(cmd.mciSendString(QStringLiteral("close Open_Avi"), reply), mcierr::InvalidDeviceName);
    EXPECT_EQ(cmd.mciSendString(QStringLiteral("open \"C:\\nothing.avi\" alias x"), reply),
              mcierr::FileNotFound);
    EXPECT_EQ(cmd.mciSendString(QStringLiteral("open \"C:\\nothing.avi alias x"), reply),
              mcierr::NoClosingQuote);
    EXPECT_EQ(cmd.mciSendString(QStringLiteral("fly away"), reply), mcierr::UnrecognizedCommand);
    EXPECT_EQ(cmd.mciSendString(QString(), reply), mcierr::MissingCommandString);
}

TEST(MessageBoxes, ABoxNeverBelongsToTheVideoWindowThatPlaybackMayDelete) {
    QWidget mainWindow;
    mainWindow.show();
    auto* video = new QWidget;
    video->setObjectName(QStringLiteral("MVIDEO"));
    video->show();
    QApplication::setActiveWindow(video); // the failed item's picture window is in front
    QtPrompter prompter;
    prompter.setOwner(&mainWindow);
    QWidget* parentSeen = nullptr;
    bool closed = false;
    // While the box is up the item is closed (Stop from the media keys): the video window goes.
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        parentSeen = box->parentWidget();
        delete video;
        box->close();
        closed = true;
    });
    prompter.MsgBox(QStringLiteral("再生できません"), MsgIcon::Exclamation, QStringLiteral("ジポプレーヤー"));
    EXPECT_TRUE(closed);
    EXPECT_EQ(parentSeen, &mainWindow);
    // A hidden owner (the player ending) leaves the box on its own.
    mainWindow.hide();
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        parentSeen = box->parentWidget();
        box->close();
    });
    prompter.MsgBox(QStringLiteral("x"), MsgIcon::None, QStringLiteral("t"));
    EXPECT_EQ(parentSeen, nullptr);
}

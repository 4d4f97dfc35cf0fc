// The initial MIDI file dialog and the version dialog.
#include "TestSupport.h"
#include "dialogs/About.h"
#include "dialogs/Settei.h"
#include "platform/Prompter.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

using namespace zypo;
using namespace zypo::test;

namespace {
QString stored(Player& p, const char* key) {
    QSettings raw(p.settings->filePath(), QSettings::IniFormat);
    return raw.value(QString::fromLatin1(key)).toString();
}
} // namespace

TEST(SetteiDialog, LaidOutWithItsCaptions) {
    Player p;
    p.start();
    p.w->MenuSetti1_Click(1);
    Settei* s = p.w->existingSetteiWindow();
    ASSERT_NE(s, nullptr);
    EXPECT_TRUE(s->isVisible());
    EXPECT_EQ(s->windowTitle(), QStringLiteral("ジポプレーヤー(設定)"));
    EXPECT_EQ(s->size(), QSize(436, 134));
    EXPECT_EQ(s->SetteiL1->text(), QStringLiteral("ｲﾆｼｬﾙMIDﾌｧｲﾙ"));
    EXPECT_EQ(s->SetteiC1->text(), QStringLiteral("設定する"));
    EXPECT_EQ(s->SetteiC2->text(), QStringLiteral("設定しない"));
    EXPECT_EQ(s->SetteiC3->text(), QStringLiteral("参照"));
    EXPECT_EQ(s->SetteiC4->text(), QStringLiteral("削除する"));
    EXPECT_EQ(s->SetteiT1->geometry(), QRect(8, 48, 361, 27));
    for (QPushButton* b : {s->SetteiC1, s->SetteiC2, s->SetteiC3, s->SetteiC4})
        EXPECT_FALSE(b->isDefault() || b->autoDefault());
    // Asking again while it is open shows the same dialog; the main window stays usable.
    p.w->MenuSetti1_Click(1);
    EXPECT_EQ(p.w->existingSetteiWindow(), s);
}

TEST(SetteiDialog, NoFileShowsNoneAndSettingStoresTheMarker) {
    Player p;
    p.start();
    p.w->MenuSetti1_Click(1);
    Settei* s = p.w->existingSetteiWindow();
    EXPECT_EQ(s->SetteiT1->text(), QStringLiteral("(なし)"));
    s->SetteiC1->click();
    EXPECT_EQ(p.M->IniMidFile, QStringLiteral("xxxxxxxxXxxx"));
    EXPECT_EQ(stored(p, "Data/Ini_Mid_File"), QStringLiteral("xxxxxxxxXxxx"));
    pump();
    EXPECT_EQ(p.w->existingSetteiWindow(), nullptr); // unloaded; the next opening loads afresh
}

TEST(SetteiDialog, BrowseThenCloseWithoutSettingChangesNothing) {
    Player p;
    const QString init = p.addMedia(QStringLiteral("sf/INIT.MID"));
    p.start();
    p.prompter.nextFile = init;
    p.w->MenuSetti1_Click(1);
    Settei* s = p.w->existingSetteiWindow();
    s->SetteiC3->click();
    ASSERT_EQ(p.prompter.fileDialogs.size(), 1);
    EXPECT_EQ(p.prompter.fileDialogs[0],
              QStringLiteral("イニシャルＭＩＤファイルの参照|Midi File(*.mid)|*.mid|mid"));
    EXPECT_EQ(s->SetteiT1->text(), QStringLiteral("C:\\sf\\INIT.MID")); // shown as a drive path
    s->SetteiC2->click();
    EXPECT_EQ(p.M->IniMidFile, QStringLiteral("xxxxxxxxXxxx"));
    // A cancelled file dialog keeps what the box showed.
    pump();
    p.w->MenuSetti1_Click(1);
    s = p.w->existingSetteiWindow();
    s->SetteiT1->setText(QStringLiteral("typed"));
    p.prompter.nextFile.reset();
    s->SetteiC3->click();
    EXPECT_EQ(s->SetteiT1->text(), QStringLiteral("typed"));
    // Closing by the frame acts as "設定しない".
    s->close();
    EXPECT_EQ(p.M->IniMidFile, QStringLiteral("xxxxxxxxXxxx"));
}

TEST(SetteiDialog, ClearTakesEffectAtOnceButReachesTheStoreLater) {
    Player p;
    p.start();
    p.M->IniMidFile = QStringLiteral("C:\\OLD.MID");
    p.M->SetteiSave();
    p.w->MenuSetti1_Click(1);
    Settei* s = p.w->existingSetteiWindow();
    EXPECT_EQ(s->SetteiT1->text(), QStringLiteral("C:\\OLD.MID"));
    s->SetteiC4->click();
    EXPECT_EQ(s->SetteiT1->text(), QStringLiteral("(なし)"));
    EXPECT_TRUE(s->isVisible());
    s->SetteiC2->click();
    EXPECT_EQ(p.M->IniMidFile, QStringLiteral("xxxxxxxxXxxx"));
    EXPECT_EQ(stored(p, "Data/Ini_Mid_File"), QStringLiteral("C:\\OLD.MID"));
}

TEST(SetteiDialog, TypedTextIsStoredAsItStands) {
    Player p;
    p.start();
    for (const QString& typed : {QStringLiteral("(なし)"), QStringLiteral(" C:\\x.txt "), QString()}) {
        p.w->MenuSetti1_Click(1);
        Settei* s = p.w->existingSetteiWindow();
        s->SetteiT1->setText(typed);
        s->SetteiC1->click();
        pump();
        const QString expected = typed == QStringLiteral("(なし)") ? QStringLiteral("xxxxxxxxXxxx") : typed;
        EXPECT_EQ(p.M->IniMidFile, expected);
        EXPECT_EQ(stored(p, "Data/Ini_Mid_File"), expected);
    }
}

TEST(SetteiDialog, TheNextMidiItemUsesTheNewInitialFile) {
    Player p;
    const QString init = p.addMedia(QStringLiteral("sf/GS.MID"));
    p.addMedia(QStringLiteral("m/song.mid"));
    p.start(QStringLiteral("m"));
    p.w->main0Flist->setListIndex(0);
    EXPECT_FALSE(p.media.log.contains(QStringLiteral("play ") + init));
    p.w->MenuSetti1_Click(1);
    p.prompter.nextFile = init;
    p.w->existingSetteiWindow()->SetteiC3->click();
    p.w->existingSetteiWindow()->SetteiC1->click();
    p.w->main0Flist->setListIndex(0);
    EXPECT_TRUE(p.media.log.contains(QStringLiteral("play ") + init));
}

TEST(AboutDialog, ShowsTheVersionAndOkSavesEverySetting) {
    Player p;
    p.settings->write(QStringLiteral("Main"), QStringLiteral("Left"), QStringLiteral(" 300"));
    p.settings->write(QStringLiteral("Main"), QStringLiteral("Top"), QStringLiteral(" 150"));
    p.start();
    p.w->move(200, 100); // moved since start-up: not what OK stores
    p.w->MenuSetti21_Click(2);
    p.w->MenuBairitu1_Click(6);
    QString shownVersion, shownTitle;
    QColor background;
    QTimer::singleShot(0, [&] {
        auto* about = p.w->findChild<About*>();
        ASSERT_NE(about, nullptr);
        shownVersion = about->AboutL3->text();
        shownTitle = about->AboutL1->text();
        background = about->palette().color(QPalette::Window);
        about->AboutC1->click();
    });
    p.w->MenuEtc1_Click(2);
    EXPECT_EQ(shownVersion, QStringLiteral("Version 3.00.0001 (32Bit Application)"));
    EXPECT_EQ(shownTitle, QStringLiteral("ジポプレーヤー"));
    EXPECT_EQ(background, QColor(128, 128, 255));
    EXPECT_EQ(stored(p, "Main/Left"), QStringLiteral(" 300"));
    EXPECT_EQ(stored(p, "Main/Top"), QStringLiteral(" 150"));
    EXPECT_EQ(stored(p, "Data/Play_Mode"), QStringLiteral(" 2"));
    EXPECT_EQ(stored(p, "Data/Avi_Size"), QStringLiteral(" 3"));
    EXPECT_EQ(stored(p, "Video/Left"), QStringLiteral(" 0"));
}

TEST(AboutDialog, ClosingByTheFrameSavesNothing) {
    Player p;
    p.start();
    p.w->MenuSetti21_Click(2);
    QTimer::singleShot(0, [&] { p.w->findChild<About*>()->reject(); });
    p.w->MenuEtc1_Click(2);
    EXPECT_TRUE(stored(p, "Data/Play_Mode").isEmpty());
}

TEST(SetteiDialog, EscapeClosesItAsItsCloseBoxDoesWithoutSetting) {
    Player p;
    p.start();
    p.w->MenuSetti1_Click(1);
    QPointer<Settei> s = p.w->existingSetteiWindow();
    ASSERT_FALSE(s.isNull());
    s->SetteiT1->setText(QStringLiteral("typed"));
    QTest::keyClick(s->SetteiT1, Qt::Key_Escape);
    pump();
    EXPECT_TRUE(s.isNull() || !s->isVisible());
    EXPECT_EQ(p.M->IniMidFile, QStringLiteral("xxxxxxxxXxxx"));
}

TEST(QtDialogs, SpeakJapanese) {
    ASSERT_TRUE(useJapaneseDialogs()) << "Qt's Japanese translations are not installed";
    EXPECT_EQ(QCoreApplication::translate("QFileDialog", "Look in:"), QStringLiteral("アドレス:"));
    EXPECT_NE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
}

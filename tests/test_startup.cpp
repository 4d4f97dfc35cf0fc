// Start-up and shut-down: first start, stored options normalised, positions, the nine keys.
#include "TestSupport.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>
#include <QSettings>

using namespace zypo;
using namespace zypo::test;

namespace {
int checkedIndex(const QList<QAction*>& group) {
    int found = -1;
    for (qsizetype i = 1; i < group.size(); ++i)
        if (group.at(i)->isChecked()) {
            if (found != -1)
                return -2; // more than one
            found = static_cast<int>(i);
        }
    return found;
}
} // namespace

TEST(StartUp, FirstStartShowsTheDefaults) {
    Player p;
    p.addMedia(QStringLiteral("here/a.mid"));
    p.addMedia(QStringLiteral("here/b.WAV"));
    p.addMedia(QStringLiteral("here/notes.txt"));
    main0& w = p.start(QStringLiteral("here"));
    EXPECT_EQ(p.M->AppTitle, QStringLiteral("ジポプレーヤー"));
    EXPECT_EQ(p.M->VersionText, QStringLiteral("Version 3.00.0001 (32Bit Application)"));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("ジポプレーヤー"));
    EXPECT_EQ(w.main0Combo->count(), 5);
    EXPECT_EQ(w.main0Combo->currentText(), QStringLiteral("(*.mid&*.wav&*.avi)"));
    EXPECT_EQ(w.main0Flist->Pattern(), QStringLiteral("*.mid;*.wav;*.avi"));
    EXPECT_EQ(w.main0Flist->Path(), QStringLiteral("C:\\here"));
    ASSERT_EQ(w.main0Flist->ListCount(), 2);
    EXPECT_EQ(w.main0Flist->List(0), QStringLiteral("a.mid"));
    EXPECT_EQ(w.main0Flist->List(1), QStringLiteral("b.WAV"));
    EXPECT_TRUE(w.main0List2->isHidden());
    EXPECT_TRUE(w.C1->isHidden());
    EXPECT_EQ(p.M->QueueMode, False);
    EXPECT_EQ(p.M->AutoNext, False);
    EXPECT_EQ(checkedIndex(w.MenuSetti21), 1);
    EXPECT_EQ(checkedIndex(w.MenuSetti31), 2);
    EXPECT_EQ(checkedIndex(w.MenuSetti41), 1);
    EXPECT_EQ(checkedIndex(w.MenuBairitu1), 2);
    EXPECT_EQ(w.MMC->Mode(), ModeNotOpen);
    EXPECT_TRUE(p.prompter.messages.isEmpty());
    EXPECT_TRUE(p.media.log.isEmpty()); // nothing opened
}

TEST(StartUp, NoStoredPositionCentresTheWindow) {
    Player p;
    main0& w = p.start();
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_NEAR(w.pos().x(), (screen.width() - w.frameGeometry().width()) / 2, 1);
    EXPECT_NEAR(w.pos().y(), (screen.height() - w.frameGeometry().height()) / 2, 1);
}

TEST(StartUp, StoredModesOutOfRangeAreNormalisedAndSavedBack) {
    Player p;
    p.settings->write(QStringLiteral("Data"), QStringLiteral("Play_Mode"), QStringLiteral("7"));
    p.settings->write(QStringLiteral("Data"), QStringLiteral("Play_Window"), QStringLiteral("0"));
    p.settings->write(QStringLiteral("Data"), QStringLiteral("Play_Err"), QStringLiteral(" 9"));
    p.settings->write(QStringLiteral("Data"), QStringLiteral("Avi_Size"), QStringLiteral(" 1.5"));
    p.settings->write(QStringLiteral("Main"), QStringLiteral("Left"), QStringLiteral("-1"));
    p.settings->write(QStringLiteral("Main"), QStringLiteral("Top"), QStringLiteral(" 120"));
    main0& w = p.start();
    EXPECT_EQ(p.M->PlayMode, 2);
    EXPECT_EQ(p.M->PlayWindow, 3);
    EXPECT_EQ(p.M->PlayErr, 2);
    EXPECT_EQ(checkedIndex(w.MenuSetti21), 2);
    EXPECT_EQ(checkedIndex(w.MenuSetti31), 3);
    EXPECT_EQ(checkedIndex(w.MenuBairitu1), 3);
    // Left -1 with top 120 is an ordinary position.
    EXPECT_EQ(w.pos(), QPoint(0, 8));
    w.close();
    QSettings raw(p.settings->filePath(), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("Data/Play_Mode")).toString(), QStringLiteral(" 2"));
    EXPECT_EQ(raw.value(QStringLiteral("Data/Play_Window")).toString(), QStringLiteral(" 3"));
}

TEST(StartUp, AMagnificationWithoutAMenuItemFallsBackToOne) {
    Player p;
    p.settings->write(QStringLiteral("Data"), QStringLiteral("Avi_Size"), QStringLiteral("1.3"));
    main0& w = p.start();
    EXPECT_EQ(p.M->AviSize, 1.0);
    EXPECT_EQ(checkedIndex(w.MenuBairitu1), 2);
}

TEST(ShutDown, ClosingWritesTheNineKeysInTheirTextForm) {
    Player p;
    p.addMedia(QStringLiteral("d/a.wav"));
    main0& w = p.start(QStringLiteral("d"));
    bool ended = false;
    w.onShutdown = [&] { ended = true; };
    w.move(80, 40); // 1200, 600 twips at 96 DPI
    w.MenuSetti21_Click(2);
    w.MenuSetti31_Click(3);
    w.MenuSetti41_Click(2);
    w.MenuBairitu1_Click(5);
    w.main0Flist->setListIndex(0);
    w.MMC->clickPlay();
    w.MenuFile1_Click(2); // 終了(&E)
    EXPECT_TRUE(ended);
    EXPECT_EQ(w.MMC->Mode(), ModeNotOpen);
    QSettings raw(p.settings->filePath(), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("Main/Left")).toString(), QStringLiteral(" 1200"));
    EXPECT_EQ(raw.value(QStringLiteral("Main/Top")).toString(), QStringLiteral(" 600"));
    EXPECT_EQ(raw.value(QStringLiteral("Video/Left")).toString(), QStringLiteral(" 0"));
    EXPECT_EQ(raw.value(QStringLiteral("Video/Top")).toString(), QStringLiteral(" 0"));
    EXPECT_EQ(raw.value(QStringLiteral("Data/Play_Mode")).toString(), QStringLiteral(" 2"));
    EXPECT_EQ(raw.value(QStringLiteral("Data/Play_Window")).toString(), QStringLiteral(" 3"));
    EXPECT_EQ(raw.value(QStringLiteral("Data/Play_Err")).toString(), QStringLiteral(" 2"));
    EXPECT_EQ(raw.value(QStringLiteral("Data/Avi_Size")).toString(), QStringLiteral(" 2.5"));
    EXPECT_EQ(raw.value(QStringLiteral("Data/Ini_Mid_File")).toString(), QStringLiteral("xxxxxxxxXxxx"));
}

TEST(ShutDown, APositionBeyondSixteenBitsIsClampedAndStillSaved) {
    Player p;
    main0& w = p.start();
    w.move(-3000, 2500); // -45000 and 37500 twips
    w.close();
    EXPECT_EQ(p.M->MainLeft, -32768);
    EXPECT_EQ(p.M->MainTop, 32767);
    QSettings raw(p.settings->filePath(), QSettings::IniFormat);
    EXPECT_EQ(raw.value(QStringLiteral("Main/Left")).toString(), QStringLiteral("-32768"));
}

TEST(MainWindow, ControlsStandWhereTheLayoutPutsThem) {
    Player p;
    main0& w = p.start();
    EXPECT_EQ(w.centralWidget()->size(), QSize(549, 362));
    EXPECT_EQ(w.main0Flist->geometry(), QRect(200, 32, 345, 306));
    EXPECT_EQ(w.main0List2->geometry(), QRect(200, 32, 345, 303));
    EXPECT_EQ(w.main0Dir->geometry(), QRect(48, 32, 145, 246));
    EXPECT_EQ(w.MMC->geometry(), QRect(168, 0, 132, 24));
    EXPECT_EQ(w.C1->geometry(), QRect(480, 0, 57, 25));
    EXPECT_EQ(w.C1->text(), QStringLiteral(".RZ0展開"));
    EXPECT_EQ(w.StatusBar1->geometry(), QRect(0, 345, 549, 17));
    EXPECT_EQ(w.main0Combo->x(), 48);
    EXPECT_EQ(w.main0Combo->y(), 296);
    EXPECT_EQ(w.main0Drive->x(), 8);
    for (const char* name : {"main0Drive", "MMC", "C1", "main0Dir", "main0Flist", "main0List2", "main0Combo",
                             "StatusBar1", "MainPic1"})
        EXPECT_NE(w.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
}

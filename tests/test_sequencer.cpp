// The playback spine with the scripted device: open, play, advance, wrap, the transport's
// buttons, the initial MIDI pre-play and the skipping of items that fail.
#include "TestSupport.h"
#include "platform/MediaErrors.h"
#include "playback/MVIDEO.h"

#include <QApplication>
#include <QTimer>

using namespace zypo;
using namespace zypo::test;

namespace {

/// A folder "music" holding a.wav, b.wav, c.wav (500 ms each), browsed by the main window.
struct ThreeItems : ::testing::Test {
    void SetUp() override {
        a = p.addMedia(QStringLiteral("music/a.wav"), {500});
        b = p.addMedia(QStringLiteral("music/b.wav"), {600});
        c = p.addMedia(QStringLiteral("music/c.wav"), {700});
        p.start(QStringLiteral("music"));
        ASSERT_EQ(p.w->main0Flist->ListCount(), 3);
    }
    void select(int i) { p.w->main0Flist->setListIndex(i); }
    void press(void (MMControl::*button)()) { (p.w->MMC->*button)(); }
    Player p;
    QString a, b, c;
};

} // namespace

TEST_F(ThreeItems, SelectingOpensStoppedAndShowsPathAndLength) {
    select(1);
    EXPECT_EQ(p.playing(), b);
    EXPECT_FALSE(p.device()->isPlaying());
    EXPECT_EQ(p.w->MMC->Mode(), ModeStopped);
    EXPECT_EQ(p.panel(1), QStringLiteral("C:\\music\\b.wav"));
    EXPECT_EQ(p.panel(2), QStringLiteral("00:00:00.600"));
    EXPECT_EQ(p.panel(3), QStringLiteral("00:00:00"));
    EXPECT_EQ(p.M->PlayFile, QStringLiteral("C:\\music\\b.wav"));
    EXPECT_EQ(p.M->PlayFileUpper, QStringLiteral("C:\\MUSIC\\B.WAV"));
}

TEST_F(ThreeItems, ContinuousPlayGoesRoundTwiceAndWraps) {
    select(0);
    press(&MMControl::clickPlay);
    QStringList order;
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(p.device()->isPlaying()) << i;
        order << QFileInfo(p.playing()).fileName();
        p.finishItem();
    }
    EXPECT_EQ(order, QStringList({"a.wav", "b.wav", "c.wav", "a.wav", "b.wav", "c.wav"}));
    EXPECT_EQ(p.selected(), 0);
    EXPECT_TRUE(p.device()->isPlaying());
    EXPECT_EQ(p.M->AutoNext, True);
    EXPECT_TRUE(p.prompter.messages.isEmpty());
}

TEST_F(ThreeItems, SinglePlayOpensTheNextItemAndLeavesItStopped) {
    p.w->MenuSetti21_Click(2);
    select(2);
    press(&MMControl::clickPlay);
    p.finishItem();
    EXPECT_EQ(p.selected(), 0);
    EXPECT_EQ(p.playing(), a);
    EXPECT_FALSE(p.device()->isPlaying());
    EXPECT_EQ(p.panel(3), QStringLiteral("00:00:00"));
}

TEST_F(ThreeItems, NextAndPrevWrapBothWays) {
    p.w->MenuSetti21_Click(2);
    select(2);
    press(&MMControl::clickNext);
    EXPECT_EQ(p.selected(), 0);
    EXPECT_EQ(p.playing(), a);
    press(&MMControl::clickPrev);
    EXPECT_EQ(p.selected(), 2);
    EXPECT_EQ(p.playing(), c);
    EXPECT_FALSE(p.device()->isPlaying());
    // In continuous play, both start the entry they move to.
    p.w->MenuSetti21_Click(1);
    press(&MMControl::clickPrev);
    EXPECT_EQ(p.playing(), b);
    EXPECT_TRUE(p.device()->isPlaying());
}

TEST_F(ThreeItems, PrevLeavesAutoNextAloneNextSetsIt) {
    select(1);
    press(&MMControl::clickPrev);
    EXPECT_EQ(p.M->AutoNext, False);
    press(&MMControl::clickNext);
    EXPECT_EQ(p.M->AutoNext, True);
}

TEST_F(ThreeItems, PauseFreezesTheClockAndPlayResumesWithoutReset) {
    p.media.media[a].length = 60000;
    select(0);
    press(&MMControl::clickPlay);
    EXPECT_EQ(p.w->MMC->UpdateInterval(), 1000);
    p.device()->setPosition(2500);
    p.w->MMC->fireStatusUpdate();
    EXPECT_EQ(p.panel(3), QStringLiteral("00:00:02"));
    EXPECT_EQ(p.M->PlayTime, 2);

    press(&MMControl::clickPause);
    EXPECT_EQ(p.w->MMC->Mode(), ModePaused);
    EXPECT_EQ(p.w->MMC->UpdateInterval(), 0);
    p.w->MMC->fireStatusUpdate(); // no notifications while paused
    EXPECT_EQ(p.panel(3), QStringLiteral("00:00:02"));

    press(&MMControl::clickPlay); // Play while paused resumes
    EXPECT_EQ(p.w->MMC->Mode(), ModePlaying);
    EXPECT_EQ(p.w->MMC->UpdateInterval(), 1000);
    p.device()->setPosition(3500);
    p.w->MMC->fireStatusUpdate();
    EXPECT_EQ(p.panel(3), QStringLiteral("00:00:04"));

    press(&MMControl::clickPause);
    press(&MMControl::clickPause); // the Pause button resumes too
    EXPECT_EQ(p.w->MMC->Mode(), ModePlaying);
    EXPECT_EQ(p.w->MMC->UpdateInterval(), 1000);
}

TEST_F(ThreeItems, TheLengthFollowsWhatTheEngineLearnsAndTheClockNeverPassesIt) {
    p.media.media[a].length = 1000; // a header that counts too little
    select(0);
    EXPECT_EQ(p.panel(2), QStringLiteral("00:00:01.000"));
    press(&MMControl::clickPlay);
    p.device()->setLength(4000);
    p.device()->setPosition(2600);
    p.w->MMC->fireStatusUpdate();
    EXPECT_EQ(p.panel(2), QStringLiteral("00:00:04.000"));
    EXPECT_EQ(p.panel(3), QStringLiteral("00:00:03"));
    // A file cut short: the engine finds less than the header said.
    p.device()->setLength(2000);
    p.w->MMC->fireStatusUpdate();
    EXPECT_EQ(p.panel(2), QStringLiteral("00:00:02.000"));
    EXPECT_EQ(p.panel(3), QStringLiteral("00:00:02"));
    EXPECT_EQ(p.M->PlayTime, 2);
}

TEST_F(ThreeItems, StopClosesCompletelyAndPlayThenDoesNothing) {
    select(0);
    press(&MMControl::clickPlay);
    press(&MMControl::clickStop);
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_EQ(p.device(), nullptr);
    for (int i = 1; i <= 3; ++i)
        EXPECT_TRUE(p.panel(i).isEmpty()) << i;
    const qsizetype logSize = p.media.log.size();
    press(&MMControl::clickPlay);
    EXPECT_EQ(p.media.log.size(), logSize);
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    // So the buttons that act on an item show that there is none; choosing one brings them back.
    for (const char* name : {"MMCPlay", "MMCPause", "MMCStop"})
        EXPECT_FALSE(p.w->MMC->findChild<QWidget*>(QString::fromLatin1(name))->isEnabled()) << name;
    select(1);
    for (const char* name : {"MMCPlay", "MMCPause", "MMCStop"})
        EXPECT_TRUE(p.w->MMC->findChild<QWidget*>(QString::fromLatin1(name))->isEnabled()) << name;
}

TEST_F(ThreeItems, NotifyCodesTwoAndFourChangeNothingEightStops) {
    select(1);
    press(&MMControl::clickPlay);
    p.w->MMC_Done(2);
    p.w->MMC_Done(4);
    EXPECT_EQ(p.selected(), 1);
    EXPECT_TRUE(p.device()->isPlaying());
    EXPECT_TRUE(p.prompter.messages.isEmpty());

    p.device()->fail(mcierr::Hardware); // a failure while playing arrives as Done(8)
    pump();
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(p.prompter.messages[0].text,
              QStringLiteral("コマンドの実行中にエラーが発生しました。停止します。"));
    EXPECT_EQ(p.prompter.messages[0].title, QStringLiteral("ジポプレーヤー"));
    EXPECT_EQ(p.prompter.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_EQ(p.selected(), 1);
}

TEST_F(ThreeItems, AFileThatCannotOpenIsReportedAndSkipped) {
    p.media.media[b].openError = mcierr::InvalidFile;
    select(0);
    press(&MMControl::clickPlay);
    p.finishItem();
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_TRUE(p.prompter.messages[0].text.endsWith(QStringLiteral(" ( 296)")));
    EXPECT_EQ(p.selected(), 2);
    EXPECT_EQ(p.playing(), c);
    EXPECT_TRUE(p.device()->isPlaying());
}

TEST_F(ThreeItems, MessagesOffSkipsSilentlyInBothModes) {
    p.media.media[b].openError = mcierr::FileNotFound;
    p.w->MenuSetti41_Click(2);
    select(0);
    press(&MMControl::clickPlay);
    p.finishItem();
    EXPECT_TRUE(p.prompter.messages.isEmpty());
    EXPECT_EQ(p.playing(), c);
    EXPECT_TRUE(p.device()->isPlaying());

    p.w->MenuSetti21_Click(2);
    select(0);
    press(&MMControl::clickNext);
    EXPECT_TRUE(p.prompter.messages.isEmpty());
    EXPECT_EQ(p.playing(), c);
    EXPECT_FALSE(p.device()->isPlaying());
}

TEST_F(ThreeItems, UnknownErrorNumberGetsTheFixedText) {
    p.media.media[a].playError = 12345;
    p.w->MenuSetti21_Click(2);
    select(0);
    press(&MMControl::clickPlay);
    ASSERT_GE(p.prompter.messages.size(), 1);
    EXPECT_EQ(p.prompter.messages[0].text, QStringLiteral("原因不明のエラーです。CODE= 12345"));
    EXPECT_EQ(p.playing(), b); // skipped to the following entry, left stopped
    EXPECT_FALSE(p.device()->isPlaying());
}

TEST_F(ThreeItems, WhenEveryEntryFailsTheSkippingStopsAfterOneRound) {
    for (const QString& f : {a, b, c})
        p.media.media[f].openError = mcierr::InvalidFile;
    select(0);
    EXPECT_EQ(p.prompter.messages.size(), 3);
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    // The user can act again afterwards: fixing a file and selecting it plays.
    p.media.media[b].openError = 0;
    select(1);
    EXPECT_EQ(p.playing(), b);
}

TEST_F(ThreeItems, ItemsThatOpenButNeverPlayDoNotLoopForEver) {
    for (const QString& f : {a, b, c})
        p.media.media[f].playError = mcierr::WaveOutputsUnsuitable;
    select(0);
    press(&MMControl::clickPlay);
    EXPECT_EQ(p.prompter.messages.size(), 3);
    EXPECT_NE(p.w->MMC->Mode(), ModePlaying);
}

TEST(Sequencer, TheOnlyEntryIsOpenedAndPlayedAgain) {
    Player p;
    const QString only = p.addMedia(QStringLiteral("one/x.wav"), {400});
    p.start(QStringLiteral("one"));
    p.w->main0Flist->setListIndex(0);
    p.w->MMC->clickPlay();
    ScriptedDevice* first = p.device();
    p.finishItem();
    ASSERT_NE(p.device(), nullptr);
    EXPECT_NE(p.device(), first);
    EXPECT_EQ(p.playing(), only);
    EXPECT_TRUE(p.device()->isPlaying());
}

TEST(Sequencer, EmptyListAndNoSelectionAreLeftAlone) {
    Player p;
    p.mkdir(QStringLiteral("empty"));
    p.start(QStringLiteral("empty"));
    p.w->MMC->clickNext();
    p.w->MMC->clickPrev();
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_TRUE(p.prompter.messages.isEmpty());
}

TEST(Sequencer, LengthZeroShowsZeroTime) {
    Player p;
    p.addMedia(QStringLiteral("z/zero.wav"), {0});
    p.start(QStringLiteral("z"));
    p.w->main0Flist->setListIndex(0);
    EXPECT_EQ(p.panel(2), QStringLiteral("00:00:00.000"));
}

// ---- The initial MIDI file ---------------------------------------------------------------

namespace {
struct PrePlay : ::testing::Test {
    void SetUp() override {
        init = p.addMedia(QStringLiteral("init/GMRESET.MID"), {200});
        for (const char* name : {"SONG.Mid", "song.mid", "song.midi", "song.rmi", "tune.wav"})
            p.addMedia(QStringLiteral("m/") + QString::fromLatin1(name), {1000});
        p.start(QStringLiteral("m"));
        p.w->main0Flist->setPattern(QStringLiteral("*.*"));
        p.w->main0Flist->Refresh();
    }
    int indexOf(const QString& name) {
        for (int i = 0; i < p.w->main0Flist->ListCount(); ++i)
            if (p.w->main0Flist->List(i) == name)
                return i;
        return -1;
    }
    bool prePlayed(const QString& name) {
        p.media.log.clear();
        p.w->MMC->clearCommandLog();
        p.w->main0Flist->setListIndex(indexOf(name));
        return p.media.log.contains(QStringLiteral("play ") + init);
    }
    Player p;
    QString init;
};
} // namespace

TEST_F(PrePlay, OnlyDotMidItemsInAnyCaseGetThePrePlay) {
    p.M->IniMidFile = QStringLiteral("C:\\init\\GMRESET.MID");
    EXPECT_TRUE(prePlayed(QStringLiteral("SONG.Mid")));
    EXPECT_TRUE(p.w->MMC->commandLog().contains(QStringLiteral("DeviceType=Sequencer")));
    EXPECT_TRUE(prePlayed(QStringLiteral("song.mid")));
    EXPECT_FALSE(prePlayed(QStringLiteral("song.midi")));
    EXPECT_FALSE(prePlayed(QStringLiteral("song.rmi")));
    EXPECT_FALSE(prePlayed(QStringLiteral("tune.wav")));
}

TEST_F(PrePlay, TheNoneMarkerMeansNoPrePlayAndNoDeviceType) {
    EXPECT_EQ(p.M->IniMidFile, QStringLiteral("xxxxxxxxXxxx"));
    EXPECT_FALSE(prePlayed(QStringLiteral("song.mid")));
    for (const QString& line : p.w->MMC->commandLog())
        EXPECT_FALSE(line.startsWith(QStringLiteral("DeviceType"))) << line.toStdString();
}

TEST_F(PrePlay, TheItemStartsOnlyAfterTheInitialFileHasEnded) {
    p.M->IniMidFile = QStringLiteral("C:\\init\\GMRESET.MID");
    p.w->main0Flist->setListIndex(indexOf(QStringLiteral("song.mid")));
    p.w->MMC->clickPlay();
    ScriptedDevice* item = p.media.deviceFor(p.host(QStringLiteral("m/song.mid")));
    ScriptedDevice* initDev = p.media.deviceFor(init);
    ASSERT_NE(item, nullptr);
    ASSERT_NE(initDev, nullptr);
    EXPECT_TRUE(initDev->isPlaying());
    EXPECT_FALSE(item->isPlaying());
    EXPECT_EQ(p.w->MMC->Mode(), ModePlaying);
    initDev->finish();
    pump();
    EXPECT_TRUE(item->isPlaying());
    EXPECT_EQ(p.selected(), indexOf(QStringLiteral("song.mid"))); // the initial file's end is no advance
}

TEST_F(PrePlay, AFailingInitialFileFailsEveryMidiItemButNoOther) {
    p.M->IniMidFile = QStringLiteral("C:\\init\\MISSING.MID");
    p.w->MenuSetti21_Click(2);
    p.w->main0Flist->setListIndex(indexOf(QStringLiteral("SONG.Mid")));
    ASSERT_GE(p.prompter.messages.size(), 1);
    EXPECT_TRUE(p.prompter.messages[0].text.endsWith(QStringLiteral(" ( 275)")));
    // Skipped to song.mid (fails the same way), then on to song.midi which opens.
    EXPECT_EQ(p.prompter.messages.size(), 2);
    EXPECT_EQ(p.playing(), p.host(QStringLiteral("m/song.midi")));
    p.prompter.messages.clear();
    p.w->main0Flist->setListIndex(indexOf(QStringLiteral("tune.wav")));
    EXPECT_TRUE(p.prompter.messages.isEmpty());
    EXPECT_EQ(p.playing(), p.host(QStringLiteral("m/tune.wav")));
}

TEST_F(ThreeItems, AFileDamagedPartWayIsReportedAndSkippedNotStopped) {
    select(0);
    press(&MMControl::clickPlay);
    p.device()->fail(mcierr::InvalidFile);
    pump();
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_TRUE(p.prompter.messages[0].text.endsWith(QStringLiteral(" ( 296)")));
    EXPECT_EQ(p.playing(), b);
    EXPECT_TRUE(p.device()->isPlaying());
}

// ---- An error box runs events: what the user and the shut-down do meanwhile -------------------

TEST_F(ThreeItems, ShutDownWhileAnErrorBoxIsUpEndsTheSkip) {
    for (const QString& f : {a, b, c})
        p.media.media[f].openError = mcierr::InvalidFile;
    p.prompter.whileShown = [this](const Message&) {
        if (p.prompter.messages.size() == 1)
            p.w->close(); // the close box, 終了(&E) or SIGTERM while the first box is up
    };
    select(0);
    pump();
    EXPECT_EQ(p.prompter.messages.size(), 1);
    // Nothing was opened after the shut-down: the first failed open is the last open.
    EXPECT_EQ(p.media.log.filter(QStringLiteral("open ")), QStringList({QStringLiteral("open ") + a}));
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
}

TEST_F(ThreeItems, StopWhileAnErrorBoxIsUpEndsTheSkipNextGoesOnOnce) {
    p.media.media[b].playError = mcierr::InvalidFile;
    p.prompter.whileShown = [this](const Message&) { p.w->MMC->clickStop(); };
    select(0);
    press(&MMControl::clickPlay);
    p.finishItem(); // b opens, its play fails: box, and the user presses Stop
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_EQ(p.selected(), 1); // the skip did not move on to c

    p.prompter.messages.clear();
    p.prompter.whileShown = [this](const Message&) { p.w->MMC->clickNext(); };
    select(0);
    press(&MMControl::clickPlay);
    p.finishItem();
    ASSERT_EQ(p.prompter.messages.size(), 1);
    // Next inside the box moved on by one entry, and the skip added no step of its own.
    EXPECT_EQ(p.playing(), c);
    EXPECT_TRUE(p.device()->isPlaying());
}

TEST_F(ThreeItems, TransportNotificationsInsideCloseItemAndPlayItemAreHandled) {
    // The user clicks another entry while the old item's end is still queued: CloseItem runs
    // events, and the closed item's end must not advance.
    select(0);
    press(&MMControl::clickPlay);
    p.device()->finish();
    select(1);
    pump();
    EXPECT_EQ(p.playing(), b);
    EXPECT_EQ(p.selected(), 1);
    EXPECT_FALSE(p.device()->isPlaying());
    // Play pressed while b's end is queued: PlayItem runs events first, the end advances to c
    // and starts it there, and the Play that follows does not start anything a second time.
    press(&MMControl::clickPlay);
    p.device()->finish();
    p.media.log.clear();
    press(&MMControl::clickPlay);
    pump();
    EXPECT_EQ(p.playing(), c);
    EXPECT_EQ(p.selected(), 2);
    EXPECT_TRUE(p.device()->isPlaying());
    EXPECT_EQ(p.media.log.filter(QStringLiteral("play ")), QStringList({QStringLiteral("play ") + c}));
}

namespace {
/// Runs an action from the event loop as soon as a window of the given name is shown.
struct OnShow : QObject {
    OnShow(QString name, std::function<void()> action) : name_(std::move(name)), action_(std::move(action)) {
        qApp->installEventFilter(this);
    }
    ~OnShow() override { qApp->removeEventFilter(this); }
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show && o->objectName() == name_ && action_) {
            QTimer::singleShot(0, qApp, action_);
            action_ = nullptr;
        }
        return false;
    }
    QString name_;
    std::function<void()> action_;
};
} // namespace

TEST_F(ThreeItems, AStopClickedDuringTheVideoOpensEventWaitIsHandledThere) {
    p.media.media[b].video = true;
    // EventWait(50) after the video window is shown runs the click: the item and its window
    // close inside OpenItem, which must carry on without touching them.
    OnShow stop(QStringLiteral("MVIDEO"), [this] { p.w->MMC->clickStop(); });
    select(1);
    EXPECT_EQ(stop.action_, nullptr); // the window was shown
    pump();
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_TRUE(p.w->existingVideoWindow() == nullptr || p.w->existingVideoWindow()->isUnloaded());
    EXPECT_TRUE(p.prompter.messages.isEmpty());
}

TEST_F(PrePlay, AHeldStartThatFailsAfterTheInitialFileIsReportedAndSkipped) {
    p.M->IniMidFile = QStringLiteral("C:\\init\\GMRESET.MID");
    p.media.media[p.host(QStringLiteral("m/song.mid"))].playError = mcierr::WaveOutputsUnsuitable;
    p.w->main0Flist->setListIndex(indexOf(QStringLiteral("song.mid")));
    p.w->MMC->clickPlay();
    ScriptedDevice* initDev = p.media.deviceFor(init);
    ASSERT_NE(initDev, nullptr);
    initDev->finish();
    pump();
    ASSERT_GE(p.prompter.messages.size(), 1);
    EXPECT_TRUE(p.prompter.messages[0].text.endsWith(QStringLiteral(" ( 324)")))
        << p.prompter.messages[0].text.toStdString();
    EXPECT_NE(p.prompter.messages[0].text,
              QStringLiteral("コマンドの実行中にエラーが発生しました。停止します。"));
    EXPECT_EQ(p.playing(), p.host(QStringLiteral("m/song.midi"))); // skipped to the next entry
}

TEST_F(ThreeItems, InContinuousPlayTheNextItemIsOpenedAheadAndTakenAsItIs) {
    p.media.standby = true;
    select(0);
    press(&MMControl::clickPlay);
    pump();
    // While a plays, b waits on a standby device, loaded and stopped.
    EXPECT_EQ(p.w->MMC->standbyFile(), QStringLiteral("C:\\music\\b.wav"));
    ScriptedDevice* ready = p.media.deviceFor(b);
    ASSERT_NE(ready, nullptr);
    EXPECT_FALSE(ready->isPlaying());
    EXPECT_EQ(p.playing(), b); // the newest open device: the standby
    ScriptedDevice* playingA = p.media.deviceFor(a);
    ASSERT_NE(playingA, nullptr);
    EXPECT_TRUE(playingA->isPlaying());
    const int opensBefore = static_cast<int>(p.media.log.filter(QStringLiteral("open ")).size());
    playingA->finish();
    pump();
    // b plays on the very device that was prepared; c is now the one waiting.
    EXPECT_EQ(p.media.deviceFor(b), ready);
    EXPECT_TRUE(ready->isPlaying());
    EXPECT_EQ(p.media.log.filter(QStringLiteral("open ")).mid(opensBefore),
              QStringList({QStringLiteral("open ") + c}));
    EXPECT_EQ(p.w->MMC->standbyFile(), QStringLiteral("C:\\music\\c.wav"));
    EXPECT_EQ(p.panel(1), QStringLiteral("C:\\music\\b.wav"));
    EXPECT_EQ(p.panel(2), QStringLiteral("00:00:00.600"));
}

TEST_F(ThreeItems, AStandbyIsNotUsedForAFileChangedSinceOrInSinglePlay) {
    p.media.standby = true;
    // Single play: nothing follows by itself, so nothing is opened ahead.
    p.w->MenuSetti21_Click(2);
    select(0);
    press(&MMControl::clickPlay);
    pump();
    EXPECT_TRUE(p.w->MMC->standbyFile().isEmpty());
    EXPECT_EQ(p.media.deviceFor(b), nullptr);
    // Continuous play prepares b; b is rewritten before a ends: b is opened afresh.
    p.w->MenuSetti21_Click(1);
    select(0);
    press(&MMControl::clickPlay);
    pump();
    QPointer<ScriptedDevice> ready = p.media.deviceFor(b);
    ASSERT_FALSE(ready.isNull());
    ASSERT_TRUE(writeAll(b, "a longer file than before"));
    p.media.deviceFor(a)->finish();
    pump();
    EXPECT_TRUE(ready.isNull() || ready->isClosed());
    ASSERT_NE(p.media.deviceFor(b), nullptr);
    EXPECT_TRUE(p.media.deviceFor(b)->isPlaying());
}

TEST_F(ThreeItems, TheStandbyIsClosedWhereverTheItemIsClosedOutsideAnAdvance) {
    p.media.standby = true;
    const auto standbyOpen = [&] {
        ScriptedDevice* d = p.media.deviceFor(b);
        return d != nullptr && !d->isClosed();
    };
    const auto playA = [&] {
        select(0);
        press(&MMControl::clickPlay);
        pump();
        ASSERT_TRUE(standbyOpen());
    };
    // Stop.
    ASSERT_NO_FATAL_FAILURE(playA());
    press(&MMControl::clickStop);
    EXPECT_FALSE(standbyOpen());
    EXPECT_TRUE(p.w->MMC->standbyFile().isEmpty());
    // Another entry chosen by the user.
    ASSERT_NO_FATAL_FAILURE(playA());
    p.w->main0Flist->setCurrentRow(2);
    pump();
    EXPECT_FALSE(standbyOpen());
    // A browsing action: the type filter.
    ASSERT_NO_FATAL_FAILURE(playA());
    p.w->main0Combo->setCurrentIndex(2);
    p.w->main0Combo_Click();
    EXPECT_FALSE(standbyOpen());
    p.w->main0Combo->setCurrentIndex(0);
    p.w->main0Combo_Click();
    // Single play chosen while an item plays.
    ASSERT_NO_FATAL_FAILURE(playA());
    p.w->MenuSetti21_Click(2);
    EXPECT_FALSE(standbyOpen());
    // The advance itself still takes it.
    p.w->MenuSetti21_Click(1);
    ASSERT_NO_FATAL_FAILURE(playA());
    QPointer<ScriptedDevice> ready = p.media.deviceFor(b);
    p.media.deviceFor(a)->finish();
    pump();
    EXPECT_EQ(p.media.deviceFor(b), ready.data());
    EXPECT_TRUE(ready && ready->isPlaying());
}

TEST_F(ThreeItems, AStandbyThatFailedWhileItWaitedIsOpenedAfreshAtItsTurn) {
    p.media.standby = true;
    select(0);
    press(&MMControl::clickPlay);
    pump();
    QPointer<ScriptedDevice> ready = p.media.deviceFor(b);
    ASSERT_FALSE(ready.isNull());
    // Its file went bad under it (reported by its engine while it waited).
    ready->fail(mcierr::InvalidFile);
    pump();
    p.media.deviceFor(a)->finish();
    pump();
    // b's Open opened the file again instead of taking a device that can never end.
    EXPECT_TRUE(ready.isNull() || ready->isClosed());
    ScriptedDevice* b2 = p.media.deviceFor(b);
    ASSERT_NE(b2, nullptr);
    EXPECT_NE(b2, ready.data());
    EXPECT_TRUE(b2->isPlaying());
}

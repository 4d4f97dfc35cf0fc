// A disk that does not answer (a network share gone silent, a drive spinning up): the window
// goes on while an open waits for it, the user's Stop, another entry or the end of the player
// give the open up at once, and after the limit the item fails and play moves on.
#include "TestSupport.h"
#include "platform/DiskWait.h"
#include "platform/MediaErrors.h"

#include <QTimer>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

using namespace zypo;
using namespace zypo::test;

namespace {

/// Holds the questions about one file until it is let go (or for at most 20 s, so that no
/// thread outlives the test program for long).
struct SilentDisk {
    struct Gate {
        std::mutex mutex;
        std::condition_variable open;
        bool released = false;
        int asked = 0;
    };
    std::shared_ptr<Gate> gate = std::make_shared<Gate>();

    MMControl::DiskProbe probe(const QString& silentHost) const {
        return [gate = gate, silentHost](const QString& host) {
            if (host == silentHost) {
                std::unique_lock lock(gate->mutex);
                ++gate->asked;
                gate->open.wait_for(lock, std::chrono::seconds(20), [&] { return gate->released; });
            }
            return MMControl::readFileHead(host);
        };
    }
    int asked() const {
        const std::lock_guard lock(gate->mutex);
        return gate->asked;
    }
    void release() const {
        const std::lock_guard lock(gate->mutex);
        gate->released = true;
        gate->open.notify_all();
    }
    ~SilentDisk() { release(); }
};

struct SlowDisk : ::testing::Test {
    void SetUp() override {
        a = p.addMedia(QStringLiteral("m/a.wav"), {60000});
        b = p.addMedia(QStringLiteral("m/b.wav"), {60000});
        p.start(QStringLiteral("m"));
    }
    /// Runs `whileSilent` from the event loop once the open of a.wav waits for its disk.
    void openSilentA(int limitMs, std::function<void()> whileSilent) {
        p.w->MMC->setDiskProbe(disk.probe(a), limitMs);
        bool ran = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (ran || disk.asked() == 0)
                return;
            ran = true;
            whileSilent();
        });
        poll.start(10);
        p.w->main0Flist->setListIndex(0);
        EXPECT_TRUE(ran) << "the window stood still while the disk was silent";
    }
    Player p;
    QString a, b;
    SilentDisk disk;
};

} // namespace

TEST_F(SlowDisk, StopGivesTheOpenUpAtOnceWithoutABox) {
    openSilentA(60000, [&] {
        EXPECT_TRUE(p.w->MMC->isEnabled()); // the buttons work meanwhile
        p.w->MMC->clickStop();
    });
    EXPECT_TRUE(p.prompter.messages.isEmpty());
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_FALSE(p.media.log.contains(QStringLiteral("open ") + a))
        << p.media.log.join(QLatin1Char('|')).toStdString();
    // The disk answers later: nothing opens behind the user's back.
    disk.release();
    pump();
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_TRUE(p.playing().isEmpty());
}

TEST_F(SlowDisk, AnotherEntryChosenMeanwhileIsTheOneOpen) {
    openSilentA(60000, [&] { p.w->main0Flist->setListIndex(1); });
    EXPECT_TRUE(p.prompter.messages.isEmpty());
    EXPECT_EQ(p.playing(), b);
    EXPECT_EQ(p.selected(), 1);
    EXPECT_EQ(p.panel(1), QStringLiteral("C:\\m\\b.wav"));
    p.w->MMC->clickPlay();
    ASSERT_NE(p.device(), nullptr);
    EXPECT_TRUE(p.device()->isPlaying());
}

TEST_F(SlowDisk, PastTheLimitTheItemFailsAndContinuousPlayMovesOn) {
    p.w->MenuSetti21_Click(1); // continuous play
    p.w->MMC->setDiskProbe(disk.probe(a), 300);
    p.w->main0Flist->setListIndex(1);
    p.w->MMC->clickPlay();
    ASSERT_EQ(p.playing(), b);
    // b.wav ends; a.wav (after it, from the top) does not answer; then b.wav again.
    p.finishItem();
    ASSERT_EQ(p.prompter.messages.size(), 1);
    QString text;
    mciGetErrorString(mcierr::FileRead, text);
    EXPECT_TRUE(p.prompter.messages.at(0).text.startsWith(text))
        << p.prompter.messages.at(0).text.toStdString();
    EXPECT_EQ(p.playing(), b);
    ASSERT_NE(p.device(), nullptr);
    EXPECT_TRUE(p.device()->isPlaying());
}

TEST_F(SlowDisk, QuittingMeanwhileKeepsTheSettings) {
    ASSERT_NE(p.w->M.PlayWindow, 1);
    p.w->MenuSetti31_Click(1); // a change since start, to be kept
    openSilentA(60000, [&] { p.w->main0_Form_Unload(); });
    EXPECT_TRUE(p.prompter.messages.isEmpty());
    EXPECT_EQ(p.settings->read(QStringLiteral("Data"), QStringLiteral("Play_Window"), QString()),
              QStringLiteral(" 1"));
    EXPECT_FALSE(p.media.log.contains(QStringLiteral("open ") + a));
}

TEST(DiskWait, AnAnswerWithinMillisecondsRunsNoEventsAndASilentOneTimesOut) {
    DiskWait wait;
    bool eventRan = false;
    QTimer::singleShot(0, [&] { eventRan = true; });
    int answer = 0;
    EXPECT_EQ(wait.ask([&answer] { answer = 42; }, 1000), DiskWait::Answered);
    EXPECT_EQ(answer, 42);
    EXPECT_FALSE(eventRan); // no re-entry for a disk that answers
    SilentDisk disk;
    const auto probe = disk.probe(QStringLiteral("/silent"));
    EXPECT_EQ(wait.ask([probe] { probe(QStringLiteral("/silent")); }, 200), DiskWait::TimedOut);
    EXPECT_TRUE(eventRan);
    EXPECT_FALSE(wait.waiting());
}

TEST_F(SlowDisk, BrowsingAFolderOnASilentDiskKeepsTheWindowDrawing) {
    p.addMedia(QStringLiteral("m/sub/c.wav"));
    // Every question to the disk waits until the window has drawn once more.
    const auto probe = disk.probe(QStringLiteral("any"));
    DiskWait::setSlowDisk([probe] { probe(QStringLiteral("any")); });
    bool drew = false;
    QTimer drawing;
    QObject::connect(&drawing, &QTimer::timeout, [&] {
        if (disk.asked() > 0 && !drew) {
            drew = true;
            disk.release();
        }
    });
    drawing.start(10);
    p.w->main0Dir->setPath(QStringLiteral("C:\\m\\sub"));
    DiskWait::setSlowDisk({});
    EXPECT_TRUE(drew) << "the window stood still while the folder was listed";
    ASSERT_EQ(p.w->main0Flist->ListCount(), 1);
    EXPECT_EQ(p.w->main0Flist->List(0), QStringLiteral("c.wav"));
}

// What weeks of unattended play meet: volumes that come and go by the hundred, a volume pulled
// while the queue plays from another drive, the transport's own records kept small.
#include "TestSupport.h"
#include "platform/DriveMap.h"
#include "platform/MediaErrors.h"
#include "platform/media/AlsaPort.h"
#include "platform/media/MidiDevice.h"
#include "tools/DemoMedia.h"

#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <atomic>

using namespace zypo;
using namespace zypo::test;

TEST(DriveLetters, AreGivenBackOnceEveryLetterHasBeenHad) {
    DriveMap map({{QLatin1Char('C'), QStringLiteral("/")}});
    QStringList mounted;
    map.setVolumeSource([&] { return mounted; });
    // A week of sticks: 100 volumes, one at a time, each a folder of its own.
    for (int i = 0; i < 100; ++i) {
        mounted = {QStringLiteral("/media/user/STICK%1").arg(i)};
        map.refresh();
        ASSERT_EQ(map.drives().size(), 2) << "volume " << i << " got no letter";
    }
    // Two mounted at once keep two letters; one that comes back within the letters' turn keeps
    // its own.
    mounted = {QStringLiteral("/media/user/A"), QStringLiteral("/media/user/B")};
    map.refresh();
    ASSERT_EQ(map.drives().size(), 3);
    const QChar a = map.drives().at(1).hostRoot.endsWith(QLatin1Char('A')) ? map.drives().at(1).letter
                                                                           : map.drives().at(2).letter;
    mounted = {QStringLiteral("/media/user/B")};
    map.refresh();
    mounted = {QStringLiteral("/media/user/B"), QStringLiteral("/media/user/A")};
    map.refresh();
    for (const Drive& d : map.drives()) {
        if (d.hostRoot.endsWith(QLatin1Char('A'))) {
            EXPECT_EQ(d.letter, a);
        }
    }
    // 23 volumes at once take every letter from D: to Z:; a 24th waits for one.
    mounted.clear();
    for (int i = 0; i < 24; ++i)
        mounted << QStringLiteral("/mnt/v%1").arg(i);
    map.refresh();
    EXPECT_EQ(map.drives().size(), 24); // C: and 23 volumes
    QSet<QChar> letters;
    for (const Drive& d : map.drives())
        letters.insert(d.letter);
    EXPECT_EQ(letters.size(), 24);
}

namespace {

/// A queue expanded from a playlist on a volume (D:) that names files on C: and on D:.
struct PulledStick : ::testing::Test {
    void SetUp() override {
        stick = p.tmp.filePath(QStringLiteral("stick"));
        QDir().mkpath(stick);
        onC = p.addMedia(QStringLiteral("music/c1.wav"), {60000});
        p.addMedia(QStringLiteral("music/c2.wav"), {60000});
        ASSERT_TRUE(writeAll(stick + QStringLiteral("/d1.wav"), "media"));
        mounted = {stick};
        p.drives.setVolumeSource([this] { return mounted; });
        p.start(QStringLiteral("music"));
    }
    void expand(const QByteArray& list) {
        ASSERT_TRUE(writeAll(stick + QStringLiteral("/LIST.RZ0"), list));
        p.w->main0Drive->setDrive(QLatin1Char('D'));
        ASSERT_EQ(p.w->main0Dir->Path(), QStringLiteral("D:\\"));
        p.w->main0Combo->setCurrentIndex(4);
        p.w->main0Combo_Click();
        p.w->main0Flist->setListIndex(0);
        p.w->C1->click();
        p.w->main0List2->setListIndex(0);
        p.w->MMC->clickPlay();
        ASSERT_TRUE(p.device() && p.device()->isPlaying());
    }
    void pull() {
        mounted.clear();
        p.w->main0Drive->showPopup(); // the mount table is read again
        p.w->main0Drive->hidePopup();
        pump();
    }
    Player p;
    QString stick;
    QString onC;
    QStringList mounted;
};

} // namespace

TEST_F(PulledStick, AQueuePlayingFromAnotherDrivePlaysOn) {
    ASSERT_NO_FATAL_FAILURE(expand("C:\\music\\c1.wav\r\nC:\\music\\c2.wav\r\n"));
    QPointer<ScriptedDevice> playing = p.device();
    pull();
    // The browser has followed to C:; the queue is still shown and still plays.
    EXPECT_EQ(p.w->main0Drive->DriveLetter(), QLatin1Char('C'));
    EXPECT_EQ(p.w->main0Dir->Path().left(2), QStringLiteral("C:"));
    EXPECT_FALSE(p.w->main0List2->isHidden());
    ASSERT_FALSE(playing.isNull());
    EXPECT_EQ(p.device(), playing.data());
    EXPECT_TRUE(playing->isPlaying());
    EXPECT_EQ(p.w->MMC->Mode(), ModePlaying);
    // And goes on to its next entry.
    playing->finish();
    pump();
    EXPECT_EQ(p.playing(), p.host(QStringLiteral("music/c2.wav")));
    EXPECT_TRUE(p.device()->isPlaying());
    EXPECT_TRUE(p.prompter.messages.isEmpty());
}

TEST_F(PulledStick, AnItemFromThePulledDriveIsClosed) {
    ASSERT_NO_FATAL_FAILURE(expand("D:\\d1.wav\r\nC:\\music\\c1.wav\r\n"));
    QPointer<ScriptedDevice> playing = p.device();
    ASSERT_EQ(playing->hostPath(), stick + QStringLiteral("/d1.wav"));
    pull();
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    EXPECT_TRUE(playing.isNull() || playing->isClosed()); // closed, and deleted from the event loop
}

TEST(Transport, ItsCommandLogStaysSmallOverAWeekOfItems) {
    Player p;
    p.addMedia(QStringLiteral("m/a.wav"), {10});
    p.addMedia(QStringLiteral("m/b.wav"), {10});
    p.start(QStringLiteral("m"));
    p.w->main0Flist->setListIndex(0);
    p.w->MMC->clickPlay();
    // 3,400 items, as a week of 3-minute items.
    for (int i = 0; i < 3400; ++i) {
        ASSERT_TRUE(p.device() && p.device()->isPlaying()) << "item " << i;
        p.finishItem();
    }
    const QStringList& log = p.w->MMC->commandLog();
    EXPECT_LE(log.size(), 2 * MMControl::CommandLogKept);
    EXPECT_GE(log.size(), MMControl::CommandLogKept);
    EXPECT_EQ(log.constLast(), QStringLiteral("Play")); // the newest commands are the ones kept
}

TEST(MidiClock, SleepsWhileNothingPlays) {
    // The paced clock of an output that has no sound of its own (an external port, or none).
    MidiOutput out;
    out.nullAudio = true;
    out.soundFont = QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2");
    MidiEngine engine(out);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("short.mid"));
    ASSERT_TRUE(writeAll(path, demo::heldNoteMidi(60, 100)));
    for (int round = 0; round < 2; ++round) {
        MidiDevice device(&engine);
        ASSERT_EQ(device.open(path), 0);
        QSignalSpy done(&device, &MediaDevice::finished);
        ASSERT_EQ(device.play(), 0);
        ASSERT_TRUE(done.wait(10000)) << "round " << round; // a sleeping clock still wakes for a song
        device.close();
        // Once the song is over and its end sent, the clock waits for the next one.
        QDeadlineTimer limit(10000);
        while (!engine.outputIdle() && !limit.hasExpired())
            QTest::qWait(10);
        EXPECT_TRUE(engine.outputIdle()) << "round " << round;
    }
}

namespace {

/// An external sound module on the sequencer: switched off and on again, or unplugged and
/// plugged in again, it comes back as a new port (perhaps under another client number), and
/// the system has dropped every connection to the old one.
struct SoundModule {
    // Written by the test, read by the engine's output thread as it sends.
    std::atomic<bool> plugged{true};
    std::atomic<int> client{128};
    std::atomic<int> generation{0}; // a connection holds only to the module as it was when made
    std::atomic<int> notesHeard{0};
    void replug(int newClient) {
        ++generation;
        client = newClient;
    }
};

class ModulePort : public SequencerPort {
public:
    explicit ModulePort(SoundModule* module) : module_(module) {}
    int open(const QString& address) override { return reconnect(address); }
    int reconnect(const QString&) override {
        if (!module_->plugged)
            return mcierr::SeqPortNonexistent;
        client_ = module_->client;
        generation_ = module_->generation;
        return 0;
    }
    bool send(const MidiEvent& e) override {
        if (!module_->plugged)
            return false;
        // Over a lost connection an event goes nowhere, and nothing says so.
        if (client_ == module_->client && generation_ == module_->generation && (e.status & 0xf0) == 0x90 &&
            e.data2 > 0)
            ++module_->notesHeard;
        return true;
    }

private:
    SoundModule* module_;
    int client_ = -1;
    int generation_ = -1;
};

} // namespace

TEST(MidiOutPort, AModuleThatComesBackIsConnectedAgainAtTheNextItem) {
    QTemporaryDir dir;
    const QString song = dir.filePath(QStringLiteral("a.mid"));
    ASSERT_TRUE(writeAll(song, demo::midiTune()));
    SoundModule module;
    MidiOutput out;
    out.untimed = true;
    out.alsaPort = QStringLiteral("SC-88:0");
    out.makePort = [&module] { return std::make_unique<ModulePort>(&module); };
    MidiEngine engine(out);
    const auto playThrough = [&] {
        MidiDevice device(&engine);
        if (const int err = device.open(song))
            return err;
        QSignalSpy finished(&device, &MediaDevice::finished);
        EXPECT_EQ(device.play(), 0);
        EXPECT_TRUE(finished.wait(10000));
        return 0;
    };
    ASSERT_EQ(playThrough(), 0);
    const int perSong = module.notesHeard;
    ASSERT_GT(perSong, 0);
    // Switched off and on again: the same number, but our connection is gone.
    module.replug(128);
    ASSERT_EQ(playThrough(), 0);
    EXPECT_EQ(module.notesHeard, 2 * perSong);
    // Unplugged: the item fails with a message-worthy number, and the next one after the module
    // is back under another number plays to it.
    module.plugged = false;
    EXPECT_EQ(playThrough(), mcierr::SeqPortNonexistent);
    module.plugged = true;
    module.replug(129);
    ASSERT_EQ(playThrough(), 0);
    EXPECT_EQ(module.notesHeard, 3 * perSong);
}

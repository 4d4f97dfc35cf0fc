// Faults met with the real file system and the real engines: full disks, vanishing folders and
// files, no SoundFont, no audio output, and a folder of broken media played through.
#include "TestSupport.h"
#include "platform/MediaErrors.h"
#include "platform/media/MidiDevice.h"
#include "platform/media/MpvDevice.h"
#include "platform/media/SystemMedia.h"
#include "playlist/DefFileSDL.h"
#include "playlist/Rz0File.h"
#include "tools/DemoMedia.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zypo;
using namespace zypo::test;

namespace {

/// A small tmpfs at `path`, filled up to the last few bytes; unmounted when it goes.
struct FullDisk {
    explicit FullDisk(const QString& at) : path(at) {
        QDir().mkpath(path);
        mounted = ::mount("tmpfs", QFile::encodeName(path).constData(), "tmpfs", 0, "size=64k") == 0;
    }
    void fill() {
        QFile f(path + QStringLiteral("/filler"));
        if (!f.open(QIODevice::WriteOnly))
            return;
        const QByteArray block(1024, 'x');
        while (f.write(block) == block.size() && f.flush()) {
        }
        // Whatever single bytes are left go too.
        while (f.write("x", 1) == 1 && f.flush()) {
        }
    }
    ~FullDisk() {
        if (mounted)
            ::umount2(QFile::encodeName(path).constData(), MNT_DETACH);
    }
    QString path;
    bool mounted = false;
};

} // namespace

TEST(Faults, APlaylistSavedOntoAFullDiskFailsAndKeepsTheOldOne) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    Player p;
    FullDisk disk(p.host(QStringLiteral("full")));
    if (!disk.mounted)
        GTEST_SKIP() << "this machine does not allow mounting a tmpfs";
    const QByteArray old("C:\\old.mid\r\n");
    ASSERT_TRUE(writeAll(p.host(QStringLiteral("full/ZYPO.RZ0")), old));
    disk.fill();
    p.start(QStringLiteral("full"));
    DefFileSDL editor(*p.M);
    for (int i = 0; i < 500; ++i)
        editor.DefFileList2->AddItem(
            QStringLiteral("C:\\a rather long folder name\\and a long file name %1.mid").arg(i));
    editor.show();
    editor.DefFileOk->click();
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_EQ(p.prompter.messages[0].text,
              QStringLiteral("書き込みでエラーが発生したか、もしくは書き込みができません "));
    EXPECT_EQ(editor.DefFileList2->ListCount(), 500);
    EXPECT_EQ(readAll(p.host(QStringLiteral("full/ZYPO.RZ0"))), old);
}

TEST(Faults, SettingsSavedOntoAFullDiskKeepTheOldFile) {
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting a small tmpfs needs root";
    QTemporaryDir tmp;
    FullDisk disk(tmp.filePath(QStringLiteral("cfg")));
    if (!disk.mounted)
        GTEST_SKIP() << "this machine does not allow mounting a tmpfs";
    {
        IniSettingsStore store(disk.path + QStringLiteral("/ZYPO3.ini"));
        MAIN m({&store});
        m.SetteiLoad();
        m.PlayMode = 2;
        ASSERT_TRUE(m.SetteiSave());
    }
    const QByteArray before = readAll(disk.path + QStringLiteral("/ZYPO3.ini"));
    disk.fill();
    IniSettingsStore store(disk.path + QStringLiteral("/ZYPO3.ini"));
    MAIN m({&store});
    m.SetteiLoad();
    m.IniMidFile = QString(4000, QLatin1Char('x')); // more than the disk has left
    EXPECT_FALSE(m.SetteiSave());
    EXPECT_EQ(readAll(disk.path + QStringLiteral("/ZYPO3.ini")), before);
}

TEST(Faults, AFolderRemovedWhileTheSearchRunsIsPassedOver) {
    Player p;
    for (int i = 0; i < 20; ++i)
        p.addMedia(QStringLiteral("tree/d%1/x.mid").arg(i, 2, 10, QLatin1Char('0')));
    p.start(QStringLiteral("tree"));
    DefFileSDL editor(*p.M);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (++ticks == 2)
            QDir(p.host(QStringLiteral("tree/d15"))).removeRecursively();
    });
    timer.start(0);
    editor.DefFileSub->click();
    timer.stop();
    EXPECT_FALSE(QFile::exists(p.host(QStringLiteral("tree/d15"))));
    EXPECT_EQ(editor.DefFileList2->ListCount(), 19);
    EXPECT_EQ(p.prompter.messages.last().text, QStringLiteral("終了しました"));
}

TEST(Faults, AFileDeletedBetweenListingAndOpeningIsReportedAndSkipped) {
    Player p;
    auto real = createSystemMediaBackend(nullptr);
    p.M->svc.media = real.get();
    QTemporaryDir unused;
    ASSERT_TRUE(writeAll(p.host(QStringLiteral("m/a.wav")), demo::toneWav(440, 200)));
    ASSERT_TRUE(writeAll(p.host(QStringLiteral("m/b.wav")), demo::toneWav(440, 200)));
    p.start(QStringLiteral("m"));
    p.w->MenuSetti21_Click(2);
    QFile::remove(p.host(QStringLiteral("m/a.wav")));
    p.w->main0Flist->setListIndex(0);
    ASSERT_EQ(p.prompter.messages.size(), 1);
    EXPECT_TRUE(p.prompter.messages[0].text.endsWith(QStringLiteral(" ( 275)")));
    EXPECT_EQ(p.w->main0Flist->ListIndex(), 1);
    EXPECT_EQ(p.w->MMC->Mode(), ModeStopped);
    p.w.reset();
}

TEST(Faults, TheDrivesFolderRemovedWhileAnItemPlays) {
    Player p;
    auto real = createSystemMediaBackend(nullptr);
    p.M->svc.media = real.get();
    const QString stick = p.tmp.filePath(QStringLiteral("stick"));
    ASSERT_TRUE(writeAll(stick + QStringLiteral("/a.wav"), demo::toneWav(440, 400)));
    ASSERT_TRUE(writeAll(stick + QStringLiteral("/b.wav"), demo::toneWav(440, 400)));
    p.drives = DriveMap({{QLatin1Char('C'), p.host(QString())}, {QLatin1Char('E'), stick}});
    p.start();
    p.w->main0Drive->setDrive(QLatin1Char('E'));
    p.w->main0Flist->setListIndex(0);
    QSignalSpy done(p.w->MMC, &MMControl::Done);
    p.w->MMC->clickPlay();
    QDir(stick).removeRecursively();
    // The item plays out (its file is open), the next cannot be opened: one message, then the
    // skipping stops after a round instead of going on for ever.
    QDeadlineTimer limit(30000);
    while (p.prompter.messages.size() < 2 && !limit.hasExpired())
        done.wait(100);
    pump();
    EXPECT_EQ(p.prompter.messages.size(), 2);
    EXPECT_EQ(p.w->MMC->Mode(), ModeNotOpen);
    // Browsing to the gone drive says it is not ready.
    p.w->main0Drive->setDrive(QLatin1Char('C'));
    p.w->main0Drive->setDrive(QLatin1Char('E'));
    EXPECT_TRUE(
        p.prompter.messages.last().text.startsWith(QStringLiteral("ドライブの準備ができていません(")));
    p.w.reset();
}

TEST(Faults, NoSoundFontGivesAMediaErrorWithAText) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeAll(dir.filePath(QStringLiteral("a.mid")), demo::midiTune()));
    MidiEngine engine({true, true, QString(), QString(), QString()});
    MidiDevice device(&engine);
    const int err = device.open(dir.filePath(QStringLiteral("a.mid")));
    EXPECT_EQ(err, mcierr::SeqNoMidiPresent);
    QString text;
    EXPECT_EQ(mciGetErrorString(err, text), 1);
}

TEST(Faults, NoAudioOutputFailsPlayInsteadOfASilentSuccess) {
    QTemporaryDir dir;
    ASSERT_TRUE(writeAll(dir.filePath(QStringLiteral("a.mid")), demo::midiTune()));
    ASSERT_TRUE(writeAll(dir.filePath(QStringLiteral("a.wav")), demo::toneWav(440, 300)));
    MidiEngine engine({false, false, QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"),
                       QStringLiteral("nothing"), QString()});
    MidiDevice midi(&engine);
    ASSERT_EQ(midi.open(dir.filePath(QStringLiteral("a.mid"))), 0);
    EXPECT_EQ(midi.play(), mcierr::WaveOutputsUnsuitable);

    MpvDevice wav({QStringLiteral("nothing"), QStringLiteral("null"), false});
    int err = wav.open(dir.filePath(QStringLiteral("a.wav")));
    if (err == 0) {
        QSignalSpy failed(&wav, &MediaDevice::failed);
        QSignalSpy finished(&wav, &MediaDevice::finished);
        err = wav.play();
        if (err == 0) {
            QDeadlineTimer limit(30000);
            while (failed.isEmpty() && finished.isEmpty() && !limit.hasExpired())
                failed.wait(100);
            ASSERT_EQ(finished.size(), 0) << "played with no audio output";
            ASSERT_EQ(failed.size(), 1);
            err = failed.at(0).at(0).toInt();
        }
    }
    EXPECT_EQ(err, mcierr::WaveOutputsUnsuitable);
}

namespace {
/// The sound server's address points at nothing for the life of this object.
struct NoSoundServer {
    explicit NoSoundServer(const QTemporaryDir& dir) : saved(qgetenv("PULSE_SERVER")) {
        qputenv("PULSE_SERVER", QByteArray("unix:") + dir.filePath(QStringLiteral("no-server")).toUtf8());
    }
    ~NoSoundServer() {
        if (saved.isNull())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", saved);
    }
    QByteArray saved;
};
} // namespace

TEST(Faults, NoSoundServerHoldsAWavUntilItHasWaitedForOneThenFailsIt) {
    // mpv alone ends a WAV at once with an output error when the server is away; the item waits
    // for it, standing still, and fails only after the wait.
    QTemporaryDir dir;
    ASSERT_TRUE(writeAll(dir.filePath(QStringLiteral("a.wav")), demo::toneWav(440, 3000)));
    const NoSoundServer away(dir);
    {
        MpvOutput out{QStringLiteral("pulse"), QStringLiteral("null"), false};
        out.serverWaitMs = 1500;
        MpvDevice wav(out);
        ASSERT_EQ(wav.open(dir.filePath(QStringLiteral("a.wav"))), 0);
        EXPECT_EQ(wav.length(), 3000);
        QSignalSpy failed(&wav, &MediaDevice::failed);
        QSignalSpy finished(&wav, &MediaDevice::finished);
        ASSERT_EQ(wav.play(), 0);
        EXPECT_TRUE(wav.isPlaying());
        failed.wait(500);
        EXPECT_TRUE(failed.isEmpty()) << "failed before the wait was over";
        EXPECT_TRUE(wav.isPlaying());
        // It stands while it waits (mpv may learn that its output is the null one a few
        // milliseconds after the start, in a slow build).
        const qint64 standing = wav.position();
        EXPECT_LT(standing, 200);
        failed.wait(400);
        EXPECT_TRUE(failed.isEmpty()) << "failed before the wait was over";
        EXPECT_EQ(wav.position(), standing);
        QDeadlineTimer limit(20000);
        while (failed.isEmpty() && finished.isEmpty() && !limit.hasExpired())
            failed.wait(100);
        ASSERT_EQ(failed.size(), 1);
        EXPECT_EQ(failed.at(0).at(0).toInt(), mcierr::WaveOutputsUnsuitable);
        EXPECT_TRUE(finished.isEmpty());
        EXPECT_FALSE(wav.isPlaying());
    }
}

TEST(Faults, NoSoundServerFailsAMidiSongOnceItHasWaitedForOne) {
    // The sound server is not there (not up yet, or gone for good): the song waits for it with
    // its clock standing, then fails with a message-worthy number instead of playing unheard.
    QTemporaryDir dir;
    ASSERT_TRUE(writeAll(dir.filePath(QStringLiteral("a.mid")), demo::midiTune()));
    const NoSoundServer away(dir);
    {
        MidiOutput out;
        out.soundFont = QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2");
        out.serverWaitMs = 500;
        MidiEngine engine(out);
        MidiDevice midi(&engine);
        ASSERT_EQ(midi.open(dir.filePath(QStringLiteral("a.mid"))), 0);
        QSignalSpy failed(&midi, &MediaDevice::failed);
        QSignalSpy finished(&midi, &MediaDevice::finished);
        ASSERT_EQ(midi.play(), 0);
        EXPECT_TRUE(failed.wait(20000));
        ASSERT_EQ(failed.size(), 1);
        EXPECT_EQ(failed.at(0).at(0).toInt(), mcierr::WaveOutputsUnsuitable);
        EXPECT_EQ(midi.position(), 0); // its clock stood while it waited
        EXPECT_TRUE(finished.isEmpty());
        EXPECT_FALSE(midi.isPlaying());
    }
}

TEST(Faults, AFolderOfBrokenMediaIsPlayedThrough) {
    Player p;
    auto real = createSystemMediaBackend(nullptr);
    p.M->svc.media = real.get();
    QByteArray noise(3000, Qt::Uninitialized);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 3) % 256);
    QByteArray endless = demo::midiTune();
    endless.replace(22, 4, QByteArray("\xff\xff\xff\xff", 4)); // first track claims 4 GB
    QByteArray past = demo::midiTune();
    past.replace(22, 4, QByteArray("\x00\x01\x00\x00", 4)); // past the end of the file
    QByteArray sysex("MThd\0\0\0\6\0\0\0\1\0\x60MTrk\0\0\0\x0c\0\xf0\x8f\xff\xff\x7f\x01\x02\0\xff\x2f\0",
                     34);
    QByteArray hugeWav = demo::toneWav(440, 300);
    hugeWav.replace(40, 4, QByteArray("\xf0\xff\xff\xff", 4)); // data chunk claims 4 GB
    const QList<std::pair<const char*, QByteArray>> files{
        {"00 good.wav", demo::toneWav(440, 200)},
        {"01 empty.wav", QByteArray()},
        {"02 noise.wav", noise},
        {"03 noise.mid", noise},
        {"04 noise.avi", noise},
        {"05 cut.wav", demo::toneWav(440, 300).left(30)},
        {"06 cut.avi", demo::aviPattern(32, 24, 4).left(400)},
        {"07 endless.mid", endless},
        {"08 past.mid", past},
        {"09 sysex.mid", sysex},
        {"10 huge.wav", hugeWav},
        {"11 good.mid", demo::heldNoteMidi(60, 200)},
    };
    for (const auto& [name, bytes] : files)
        ASSERT_TRUE(writeAll(p.host(QStringLiteral("bad/") + QString::fromLatin1(name)), bytes));
    p.start(QStringLiteral("bad"));
    ASSERT_EQ(p.w->main0Flist->ListCount(), 12);
    p.w->MenuSetti41_Click(2);
    int wrapped = 0;
    QObject::connect(p.w->main0Flist, &ListBox::Click, [&] {
        if (p.w->main0Flist->ListIndex() == 0)
            ++wrapped;
    });
    p.w->main0Flist->setListIndex(0);
    p.w->MMC->clickPlay();
    // Around the list twice: every broken file is passed over and play goes on.
    QDeadlineTimer limit(60000);
    while (wrapped < 3 && !limit.hasExpired() && p.w->MMC->Mode() != ModeNotOpen)
        QTest::qWait(20);
    EXPECT_GE(wrapped, 3);
    for (const auto& m : p.prompter.messages)
        ADD_FAILURE() << m.text.toStdString() << " at " << p.w->main0Flist->FileName().toStdString();
    p.w.reset();
}

TEST(Faults, APlaylistEntryNamingAFifoOrADeviceIsReportedNotWaitedOn) {
    Player p;
    auto real = createSystemMediaBackend(nullptr);
    p.M->svc.media = real.get();
    p.mkdir(QStringLiteral("m"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(p.host(QStringLiteral("m/a.mid"))).constData(), 0644), 0);
    ASSERT_TRUE(writeAll(p.host(QStringLiteral("m/c.wav")), demo::toneWav(440, 200)));
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), p.host(QStringLiteral("m/zero.wav"))));
    ASSERT_TRUE(writeAll(p.host(QStringLiteral("m/LIST.RZ0")),
                         "C:\\m\\a.mid\r\nC:\\m\\zero.wav\r\nC:\\m\\c.wav\r\n"));
    p.start(QStringLiteral("m"));
    p.w->MenuSetti21_Click(2); // single play: each failure is one message and one step
    p.w->main0Combo->setCurrentIndex(4);
    p.w->main0Combo_Click();
    p.w->main0Flist->setListIndex(0);
    p.w->C1->click();
    // Nobody writes to the FIFO and /dev/zero never ends: both are reported and passed over.
    p.w->main0List2->setListIndex(0);
    ASSERT_EQ(p.prompter.messages.size(), 2);
    EXPECT_TRUE(p.prompter.messages[0].text.endsWith(QStringLiteral(" ( 296)")))
        << p.prompter.messages[0].text.toStdString();
    EXPECT_EQ(p.w->main0List2->ListIndex(), 2);
    EXPECT_EQ(p.w->MMC->Mode(), ModeStopped);
    p.w.reset();
}

// The real engines on small media made here: our SMF reader, the MIDI sequencer on FluidSynth
// and the mpv device, with null output played faster than real time.
#include "TestSupport.h"
#include "platform/MMControl.h"
#include "platform/MediaErrors.h"
#include "platform/media/LargeBlocks.h"
#include "platform/media/MidiDevice.h"
#include "platform/media/MpvDevice.h"
#include "platform/media/Smf.h"
#include "platform/media/SystemMedia.h"
#include "tools/DemoMedia.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace zypo;
using namespace zypo::test;

namespace {

/// Waits for a signal; the limit only keeps a broken engine from hanging the suite.
bool waitFor(QSignalSpy& spy, int count = 1) {
    QDeadlineTimer limit(60000);
    while (spy.count() < count && !limit.hasExpired())
        spy.wait(200);
    return spy.count() >= count;
}

QString writeFile(QTemporaryDir& dir, const QString& name, const QByteArray& content) {
    const QString path = dir.filePath(name);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
    return path;
}

/// The kernel's account of the mapping that holds `address` (its /proc/self/smaps entry), or
/// nothing when no mapping does.
QStringList mappingOf(const void* address) {
    QFile f(QStringLiteral("/proc/self/smaps"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const auto at = reinterpret_cast<std::uintptr_t>(address);
    QStringList entry;
    bool inside = false;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromLatin1(raw);
        const QString range = line.section(QLatin1Char(' '), 0, 0);
        // An entry starts with "start-end perms ..."; its fields are "Name: value".
        if (range.contains(QLatin1Char('-')) && !range.endsWith(QLatin1Char(':'))) {
            if (inside)
                break;
            bool ok1 = false, ok2 = false;
            const auto start = range.section(QLatin1Char('-'), 0, 0).toULongLong(&ok1, 16);
            const auto end = range.section(QLatin1Char('-'), 1, 1).toULongLong(&ok2, 16);
            inside = ok1 && ok2 && start <= at && at < end;
        }
        if (inside)
            entry << line;
    }
    return entry;
}

qint64 fieldKb(const QStringList& entry, const QString& name) {
    for (const QString& line : entry)
        if (line.startsWith(name + QLatin1Char(':')))
            return line.section(QLatin1Char(':'), 1).trimmed().section(QLatin1Char(' '), 0, 0).toLongLong();
    return -1;
}

bool hugePagesOffered() {
    QFile f(QStringLiteral("/sys/kernel/mm/transparent_hugepage/enabled"));
    return f.open(QIODevice::ReadOnly) && !f.readAll().contains("[never]");
}

} // namespace

TEST(SmfReader, FormatZeroWithRunningStatusAndATempoChange) {
    // 96 ticks per quarter; note on, running-status note off, tempo halves the speed, one more quarter.
    const QByteArray track =
        bytes({0x00, 0x90, 60, 100, 0x60, 60, 0, 0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x60, 0xC0, 5}) +
        End;
    SmfSong song;
    ASSERT_EQ(parseSmf(smf(0, 96, {track}), song), SmfError::None);
    ASSERT_EQ(song.events.size(), 3u);
    EXPECT_EQ(song.events[0].status, 0x90);
    EXPECT_EQ(song.events[1].status, 0x90); // running status kept
    EXPECT_EQ(song.events[1].data2, 0);
    EXPECT_EQ(song.events[1].timeUs, 500000);
    EXPECT_EQ(song.events[2].status, 0xC0);
    EXPECT_EQ(song.events[2].timeUs, 1500000); // a quarter at 1 s after the tempo change
    EXPECT_EQ(song.lengthUs, 1500000);
}

TEST(SmfReader, FormatOneMergesTracksAndLengthCountsEndOfTrack) {
    const QByteArray tempo =
        bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}) + bytes({0x83, 0x60, 0xFF, 0x2F, 0x00});
    const QByteArray notes =
        bytes({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x81, 0x40, 0x91, 64, 90}) + End;
    SmfSong song;
    ASSERT_EQ(parseSmf(smf(1, 480, {tempo, notes}), song), SmfError::None);
    ASSERT_EQ(song.events.size(), 2u);
    EXPECT_EQ(song.events[0].status, 0xF0);
    EXPECT_EQ(song.events[0].sysex, bytes({0x7E, 0x7F, 0x09, 0x01, 0xF7}));
    EXPECT_EQ(song.events[1].timeUs, 200000); // 192 ticks at 120 bpm, 480 a quarter
    EXPECT_EQ(song.lengthUs, 500000);         // the tempo track ends last, at 480 ticks
}

TEST(SmfReader, SmpteDivisionUsesFramesNotTempo) {
    // 25 frames a second, 40 ticks a frame: 1000 ticks a second.
    const QByteArray track = bytes({0x87, 0x68, 0x90, 60, 1}) + End;
    SmfSong song;
    ASSERT_EQ(parseSmf(smf(0, 0xE728, {track}), song), SmfError::None);
    EXPECT_EQ(song.events[0].timeUs, 1000000);
}

TEST(SmfReader, DamagedAndForeignFiles) {
    SmfSong song;
    EXPECT_EQ(parseSmf(QByteArray(), song), SmfError::NotMidi);
    EXPECT_EQ(parseSmf(QByteArray("RIFF....WAVEfmt "), song), SmfError::NotMidi);
    EXPECT_EQ(parseSmf(smf(0, 0, {End}), song), SmfError::Unsupported);
    // A track length past the end of the file and a truncated event: read up to the damage.
    QByteArray truncated = smf(0, 96, {bytes({0x00, 0x90, 60, 100, 0x60, 0x80, 60})});
    truncated[18] = char(0x7f);
    ASSERT_EQ(parseSmf(truncated, song), SmfError::None);
    EXPECT_EQ(song.events.size(), 1u);
    // A track of meta events only: no events, a length.
    ASSERT_EQ(parseSmf(smf(0, 96, {bytes({0x00, 0xFF, 0x03, 0x02, 'h', 'i', 0x60, 0xFF, 0x2F, 0x00})}), song),
              SmfError::None);
    EXPECT_TRUE(song.events.empty());
    EXPECT_EQ(song.lengthUs, 500000);
    // Garbage after the header never crashes and ends the track.
    QByteArray garbage = smf(0, 96, {QByteArray(64, char(0xff))});
    EXPECT_EQ(parseSmf(garbage, song), SmfError::None);
}

class RealBackend : public ::testing::Test {
protected:
    void SetUp() override { backend = createSystemMediaBackend(nullptr); }
    std::unique_ptr<MediaDevice> open(const QString& path, int& err) {
        auto d = backend->create(path, QString(), err);
        if (!d)
            return nullptr;
        err = d->open(path);
        return d;
    }
    QTemporaryDir dir;
    std::unique_ptr<MediaBackend> backend;
};

TEST_F(RealBackend, MidiOpensWithItsExactLengthAndPlaysToTheEnd) {
    const QString path = writeFile(dir, QStringLiteral("tune.mid"), demo::midiTune());
    int err = -1;
    auto d = open(path, err);
    ASSERT_TRUE(d);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(d->length(), 6666); // 4 s at 120 bpm, then 8 quarters at 180 bpm
    EXPECT_FALSE(d->usesWindows());
    QSignalSpy done(d.get(), &MediaDevice::finished);
    ASSERT_EQ(d->play(), 0);
    EXPECT_TRUE(d->isPlaying());
    ASSERT_TRUE(waitFor(done));
    EXPECT_FALSE(d->isPlaying());
    EXPECT_EQ(d->position(), 6666);
}

TEST_F(RealBackend, MidiPauseHoldsThePositionAndResumeMovesOn) {
    const QString path = writeFile(dir, QStringLiteral("tune.mid"), demo::midiTune());
    int err = -1;
    auto d = open(path, err);
    ASSERT_EQ(err, 0);
    ASSERT_EQ(d->play(), 0);
    QDeadlineTimer limit(30000);
    while (d->position() < 500 && !limit.hasExpired())
        QTest::qWait(5);
    ASSERT_EQ(d->pause(), 0);
    const qint64 held = d->position();
    QTest::qWait(50);
    EXPECT_EQ(d->position(), held);
    QSignalSpy done(d.get(), &MediaDevice::finished);
    ASSERT_EQ(d->play(), 0);
    ASSERT_TRUE(waitFor(done));
    EXPECT_GT(d->position(), held);
}

TEST_F(RealBackend, WavOpensWithItsLengthAndPlaysToTheEnd) {
    const QString path = writeFile(dir, QStringLiteral("tones.wav"), demo::wavTones(2));
    int err = -1;
    auto d = open(path, err);
    ASSERT_EQ(err, 0);
    EXPECT_EQ(d->length(), 2000);
    EXPECT_FALSE(d->usesWindows());
    QSignalSpy done(d.get(), &MediaDevice::finished);
    ASSERT_EQ(d->play(), 0);
    ASSERT_TRUE(waitFor(done));
}

TEST_F(RealBackend, AviHasAPictureOfItsOwnSize) {
    const QString path = writeFile(dir, QStringLiteral("p.avi"), demo::aviPattern(64, 48, 10));
    int err = -1;
    auto d = open(path, err);
    ASSERT_EQ(err, 0);
    EXPECT_TRUE(d->usesWindows());
    EXPECT_EQ(d->sourceSize(), QSize(64, 48));
    EXPECT_EQ(d->length(), 1000);
    QSignalSpy done(d.get(), &MediaDevice::finished);
    ASSERT_EQ(d->play(), 0);
    ASSERT_TRUE(waitFor(done));
}

namespace {
// The colour bar of the test pattern under widget column x, for a picture `width` wide whose
// bars have moved on by `shift`.
QColor patternBar(int x, int width, int shift) {
    static const QColor bars[8] = {Qt::white,   Qt::cyan, Qt::yellow, Qt::green,
                                   Qt::magenta, Qt::blue, Qt::red,    Qt::black};
    return bars[((x * 8 / width) + shift) % 8];
}
bool near(QColor a, QColor b) {
    return std::abs(a.red() - b.red()) < 48 && std::abs(a.green() - b.green()) < 48 &&
           std::abs(a.blue() - b.blue()) < 48;
}
// How many of the eight bars show in their own colour across the middle row of the window.
int barsShown(QWidget& window, int shift) {
    const QImage shot = window.grab().toImage();
    int shown = 0;
    for (int bar = 0; bar < 8; ++bar) {
        const int x = (2 * bar + 1) * shot.width() / 16;
        shown += near(shot.pixelColor(x, shot.height() / 2), patternBar(x, shot.width(), shift)) ? 1 : 0;
    }
    return shown;
}
} // namespace

TEST(RenderedPicture, AClipShowsItsOwnPictureInAWindowOfAnySizeWithoutAnX11Window) {
    // Wayland without an X server (and Qt's offscreen platform here): mpv renders into memory,
    // and the display window paints what it rendered, at its size.
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("p.avi"), demo::aviPattern(64, 48, 20));
    for (const int times : {1, 2, 3}) {
        SCOPED_TRACE(times);
        MpvDevice device({QStringLiteral("null"), QString(), false});
        ASSERT_EQ(device.open(path), 0);
        ASSERT_TRUE(device.usesWindows());
        QWidget window;
        window.resize(64 * times, 48 * times);
        QPalette grey = window.palette();
        grey.setColor(QPalette::Window, QColor(192, 192, 192));
        window.setPalette(grey);
        window.setAutoFillBackground(true);
        window.show();
        device.setDisplay(&window);
        // The first frame, opened and not played yet: all eight bars where the clip has them.
        QDeadlineTimer limit(10000);
        while (barsShown(window, 0) < 8 && !limit.hasExpired())
            QTest::qWait(20);
        EXPECT_EQ(barsShown(window, 0), 8);
        if (times != 2)
            continue;
        // Played on: the bars move one place every four frames; by the sixteenth, by four.
        ASSERT_EQ(device.play(), 0);
        while (device.position() < 1650 && !limit.hasExpired())
            QTest::qWait(10);
        ASSERT_EQ(device.pause(), 0);
        while (barsShown(window, 4) < 8 && !limit.hasExpired())
            QTest::qWait(20);
        EXPECT_EQ(barsShown(window, 4), 8);
    }
}

TEST_F(RealBackend, AClipWhoseHeaderCountsNoFramesGetsItsLengthFromTheDecoder) {
    // 20 frames at 10 a second, with the frame counts of the main header and the stream
    // header zeroed, as some old encoders left them.
    QByteArray clip = demo::aviPattern(64, 48, 20);
    const qsizetype avih = clip.indexOf("avih");
    const qsizetype strh = clip.indexOf("strh");
    ASSERT_GT(avih, 0);
    ASSERT_GT(strh, 0);
    clip.replace(avih + 8 + 16, 4, QByteArray(4, '\0'));
    clip.replace(strh + 8 + 32, 4, QByteArray(4, '\0'));
    const QString path = writeFile(dir, QStringLiteral("zero.avi"), clip);
    int err = -1;
    auto d = open(path, err);
    ASSERT_EQ(err, 0);
    EXPECT_LT(d->length(), 1900); // what the header lets the demuxer guess
    QSignalSpy done(d.get(), &MediaDevice::finished);
    ASSERT_EQ(d->play(), 0);
    qint64 furthest = 0;
    while (done.isEmpty()) {
        furthest = std::max(furthest, d->position());
        EXPECT_LE(d->position(), d->length());
        ASSERT_TRUE(done.wait(5) || d->isPlaying() || !done.isEmpty());
    }
    EXPECT_GE(d->length(), 1900);
    EXPECT_LE(furthest, d->length());
}

TEST_F(RealBackend, AWavCutShortHasTheLengthOfWhatIsThere) {
    // 2 s of sound under a header that counts 4 s, as a download broken off leaves it.
    QByteArray wav = demo::toneWav(440, 2000);
    const qsizetype data = wav.indexOf("data");
    const quint32 declared = static_cast<quint32>(wav.size() - data - 8) * 2;
    for (int i = 0; i < 4; ++i)
        wav[data + 4 + i] = char((declared >> (8 * i)) & 0xff);
    const QString path = writeFile(dir, QStringLiteral("cut.wav"), wav);
    int err = -1;
    auto d = open(path, err);
    ASSERT_EQ(err, 0);
    EXPECT_NEAR(d->length(), 2000, 50);
    QSignalSpy done(d.get(), &MediaDevice::finished);
    ASSERT_EQ(d->play(), 0);
    ASSERT_TRUE(waitFor(done));
    EXPECT_NEAR(d->length(), 2000, 50);
}

TEST_F(RealBackend, ALargeBlockIsClearedInHugePagesAndEveryWavOpenUsesOne) {
    // The buffer a WAV or AVI open clears for telling the format is 10 MiB; blocks that large
    // start on a huge page and are advised for huge pages, so clearing one costs a few faults.
    // This one is larger than anything the tests before have freed: it is a fresh mapping, as
    // the player's are (a block found free in the heap is resident already).
    const std::size_t size = std::size_t{32} << 20;
    void* block = nullptr;
    ASSERT_EQ(posix_memalign(&block, 64, size), 0);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % (std::size_t{2} << 20), 0u);
    std::memset(block, 0, size);
    const QStringList entry = mappingOf(block);
    ASSERT_FALSE(entry.isEmpty());
    const QString flags = entry.filter(QStringLiteral("VmFlags:")).value(0);
    EXPECT_TRUE(flags.split(QLatin1Char(' ')).contains(QStringLiteral("hg"))) << flags.toStdString();
    if (hugePagesOffered()) {
        EXPECT_GE(fieldKb(entry, QStringLiteral("AnonHugePages")), 15 * 2048)
            << entry.join('\n').toStdString();
    }
    std::free(block);

    // The decoders' own allocations reach the same path: every WAV open advises one.
    const QString path = writeFile(dir, QStringLiteral("tones.wav"), demo::wavTones(1));
    for (int i = 0; i < 2; ++i) {
        const int before = largeBlocksAdvised();
        int err = -1;
        auto d = open(path, err);
        ASSERT_EQ(err, 0);
        EXPECT_GT(largeBlocksAdvised(), before);
    }
}

TEST_F(RealBackend, BadFilesGiveErrorNumbersWithTexts) {
    QByteArray noise(4096, Qt::Uninitialized);
    for (int i = 0; i < noise.size(); ++i)
        noise[i] = char((i * 7919 + 13) % 251);
    QByteArray truncatedAvi = demo::aviPattern(64, 48, 10).left(3000);
    const QList<QString> paths{
        dir.filePath(QStringLiteral("missing.wav")),
        writeFile(dir, QStringLiteral("empty.wav"), QByteArray()),
        writeFile(dir, QStringLiteral("noise.wav"), noise),
        writeFile(dir, QStringLiteral("noise.avi"), noise),
        writeFile(dir, QStringLiteral("noise.mid"), noise),
        writeFile(dir, QStringLiteral("headeronly.mid"), QByteArray("MThd\0\0\0\6\0\0\0\1\0\0", 14)),
        writeFile(dir, QStringLiteral("cut.avi"), truncatedAvi),
    };
    for (const QString& path : paths) {
        int err = 0;
        auto d = open(path, err);
        if (err == 0 && d) {
            // Opened: then it must fail when played, never end as a success.
            QSignalSpy failed(d.get(), &MediaDevice::failed);
            QSignalSpy done(d.get(), &MediaDevice::finished);
            err = d->play();
            if (err == 0) {
                waitFor(failed);
                ASSERT_EQ(failed.count(), 1) << path.toStdString();
                err = failed.at(0).at(0).toInt();
            }
        }
        QString text;
        EXPECT_NE(err, 0) << path.toStdString();
        EXPECT_EQ(mciGetErrorString(err, text), 1) << path.toStdString() << " " << err;
    }
}

TEST(MidiOut, AnAlsaPortThatIsNotThereIsAMediaErrorNotAHang) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("t.mid"), demo::midiTune());
    MidiEngine engine({false, false, QString(), QString(), QStringLiteral("zypo-no-such-port:0")});
    MidiDevice device(&engine);
    const int err = device.open(path);
    EXPECT_EQ(err, mcierr::SeqPortNonexistent);
    QString text;
    EXPECT_EQ(mciGetErrorString(err, text), 1);
}

TEST(MidiOut, PlaysThroughTheSequencersThroughPort) {
    if (!QFile::exists(QStringLiteral("/dev/snd/seq")))
        GTEST_SKIP() << "no ALSA sequencer on this machine (the kernel's snd-seq is not loaded)";
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("t.mid"),
                                   smf(0, 96, {bytes({0x00, 0x90, 60, 100, 0x30, 0x80, 60, 0}) + End}));
    MidiEngine engine({false, false, QString(), QString(), QStringLiteral("14:0")}); // Midi Through
    MidiDevice device(&engine);
    const int err = device.open(path);
    if (err == mcierr::SeqPortNonexistent)
        GTEST_SKIP() << "no Midi Through port";
    ASSERT_EQ(err, 0);
    QSignalSpy done(&device, &MediaDevice::finished);
    ASSERT_EQ(device.play(), 0);
    ASSERT_TRUE(waitFor(done));
}

TEST(Locale, TheAudioVideoDeviceOpensUnderAJapaneseLocale) {
    // As the player starts: the user's locale, then the C convention for numbers.
    if (!std::setlocale(LC_ALL, "ja_JP.UTF-8"))
        GTEST_SKIP() << "no ja_JP.UTF-8 locale on this machine";
    std::setlocale(LC_NUMERIC, "C");
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("音.wav"), demo::wavTones(1));
    MpvDevice device({QStringLiteral("null"), QStringLiteral("null"), true});
    const int err = device.open(path);
    std::setlocale(LC_ALL, "C");
    EXPECT_EQ(err, 0);
    EXPECT_EQ(device.length(), 1000);
}

TEST(MidiEngineLoad, ASoundFontLoadedInTheBackgroundServesTheFirstItem) {
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("t.mid"), demo::midiTune());
    MidiEngine engine(
        {true, true, QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"), QString(), QString()});
    engine.preload();
    MidiDevice device(&engine);
    ASSERT_EQ(device.open(path), 0);
    QSignalSpy done(&device, &MediaDevice::finished);
    ASSERT_EQ(device.play(), 0);
    ASSERT_TRUE(waitFor(done));
    // A SoundFont that is not there: the error comes with the first item, not at start.
    MidiEngine missing({true, true, QStringLiteral("/nonexistent.sf2"), QString(), QString()});
    missing.preload();
    MidiDevice none(&missing);
    EXPECT_EQ(none.open(path), mcierr::SeqNoMidiPresent);
}

namespace {
/// MIDI devices on one engine that the test can look into.
class MidiOnlyBackend : public MediaBackend {
public:
    explicit MidiOnlyBackend(MidiEngine* engine) : engine_(engine) {}
    std::unique_ptr<MediaDevice> create(const QString&, const QString&, int& error) override {
        error = 0;
        return std::make_unique<MidiDevice>(engine_);
    }

private:
    MidiEngine* engine_;
};
} // namespace

namespace {
/// As OpenItem does for a MIDI item: the initial file opened and played, then the item opened
/// and played (its start held until the initial file has ended).
void playInitialThenItem(MMControl& mmc, const QString& init, const QString& item) {
    mmc.setFileName(init);
    mmc.setDeviceType(QStringLiteral("Sequencer"));
    mmc.setCommand(QStringLiteral("Open"));
    ASSERT_EQ(mmc.Error(), 0);
    mmc.setCommand(QStringLiteral("Play"));
    ASSERT_EQ(mmc.Error(), 0);
    mmc.setFileName(item);
    mmc.setCommand(QStringLiteral("Open"));
    ASSERT_EQ(mmc.Error(), 0);
    mmc.setCommand(QStringLiteral("Play"));
    ASSERT_EQ(mmc.Error(), 0);
}
} // namespace

TEST(InitialMidiFile, ItsProgramChangeIsInForceWhenTheItemPlays) {
    QTemporaryDir dir;
    // The initial file sets channel 1 to program 40 and plays briefly; the item sets nothing.
    const QString init =
        writeFile(dir, QStringLiteral("INIT.MID"),
                  smf(0, 96, {bytes({0x00, 0xC0, 40, 0x00, 0x90, 60, 1, 0x18, 0x80, 60, 0}) + End}));
    const QString item = writeFile(dir, QStringLiteral("SONG.MID"),
                                   smf(0, 96, {bytes({0x00, 0x90, 64, 90, 0x60, 0x80, 64, 0}) + End}));
    MidiEngine engine(
        {true, false, QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"), QString(), QString()});
    MidiOnlyBackend backend(&engine);
    MMControl mmc(&backend, nullptr);
    QSignalSpy done(&mmc, &MMControl::Done);
    ASSERT_NO_FATAL_FAILURE(playInitialThenItem(mmc, init, item));
    EXPECT_EQ(mmc.Mode(), ModePlaying);
    EXPECT_EQ(mmc.Position(), 0); // the item waits for the initial file
    // Once the item itself sounds, the initial file's program is the channel's.
    QDeadlineTimer limit(30000);
    while (mmc.Position() == 0 && !limit.hasExpired())
        QTest::qWait(5);
    EXPECT_EQ(engine.channelProgram(0), 40);
    ASSERT_TRUE(waitFor(done));
    EXPECT_EQ(done.at(0).at(0).value<std::int16_t>(), 1); // the item's end, not the initial file's
    EXPECT_EQ(done.size(), 1);
}

// ---- GM, GS and XG through the real synthesiser ----------------------------------------------

namespace {
const QByteArray GsReset =
    bytes({0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7});
const QByteArray RhythmOnChannel2 =
    bytes({0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x12, 0x15, 0x01, 0x18, 0xF7});
const QByteArray XgOn = bytes({0x00, 0xF0, 0x08, 0x43, 0x10, 0x4C, 0x00, 0x00, 0x7E, 0x00, 0xF7});
const QByteArray GmOn = bytes({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7});

/// Plays a song of events at time 0 through a fresh engine and waits for its end.
struct ModuleSong : ::testing::Test {
    MidiEngine engine{
        {true, true, QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"), QString(), QString()}};
    QTemporaryDir dir;
    int n = 0;
    void play(const QByteArray& events) {
        const QString path =
            writeFile(dir, QStringLiteral("s%1.mid").arg(n++),
                      smf(0, 96, {events + bytes({0x00, 0x90, 60, 1, 0x04, 0x80, 60, 0}) + End}));
        MidiDevice device(&engine);
        ASSERT_EQ(device.open(path), 0);
        QSignalSpy done(&device, &MediaDevice::finished);
        ASSERT_EQ(device.play(), 0);
        ASSERT_TRUE(waitFor(done));
        device.close();
    }
    static double difference(const std::vector<float>& a, const std::vector<float>& b) {
        double d = 0, e = 0;
        for (size_t i = 0; i < a.size(); ++i) {
            d += (a[i] - b[i]) * (a[i] - b[i]);
            e += a[i] * a[i] + b[i] * b[i];
        }
        return e > 0 ? d / e : 1;
    }
};
} // namespace

TEST_F(ModuleSong, GsRhythmPartMakesChannelTwoPlayTheKitsSnare) {
    play(GsReset + RhythmOnChannel2 + bytes({0x00, 0xC1, 0x00}));
    EXPECT_EQ(engine.standard(), MidiStandard::GS);
    EXPECT_EQ(engine.channelBank(1), 128);
    EXPECT_EQ(engine.channelBank(9), 128);
    // Note 38 on channel 2 is the snare that channel 10 plays, not a piano's D.
    const auto snare2 = engine.renderNote(1, 38, 100, 8000);
    const auto snare10 = engine.renderNote(9, 38, 100, 8000);
    const auto piano = engine.renderNote(0, 38, 100, 8000);
    EXPECT_LT(difference(snare2, snare10), 0.01);
    EXPECT_GT(difference(piano, snare10), 0.5);
}

TEST_F(ModuleSong, XgBankMsb127SelectsADrumVoiceAndGmOnUndoesBoth) {
    // Each song sets up what it needs: every item starts from the power-on state.
    const QByteArray drums1 = bytes({0x00, 0xB1, 0x00, 127, 0x00, 0xC1, 0x00});
    const QByteArray drums2 = bytes({0x00, 0xB2, 0x00, 127, 0x00, 0xC2, 0x00});
    play(GsReset + RhythmOnChannel2 + XgOn + drums2);
    EXPECT_EQ(engine.standard(), MidiStandard::XG);
    EXPECT_EQ(engine.channelBank(2), 128);
    EXPECT_EQ(engine.channelBank(1), 0); // XG System On reset the GS rhythm part
    play(XgOn + drums1);
    EXPECT_EQ(engine.channelBank(1), 128);
    play(XgOn + drums1 + drums2 + GmOn + bytes({0x00, 0xC1, 0x00, 0x00, 0xC2, 0x00}));
    EXPECT_EQ(engine.standard(), MidiStandard::GM);
    EXPECT_EQ(engine.channelBank(1), 0);
    EXPECT_EQ(engine.channelBank(2), 0);
    EXPECT_EQ(engine.channelBank(9), 128);
}

TEST_F(ModuleSong, ABadChecksumChangesNothing) {
    QByteArray bad = RhythmOnChannel2;
    bad[11] = 0x19; // the checksum byte
    play(GsReset + bad + bytes({0x00, 0xC1, 0x00}));
    EXPECT_EQ(engine.channelBank(1), 0);
    EXPECT_GT(difference(engine.renderNote(1, 38, 100, 8000), engine.renderNote(9, 38, 100, 8000)), 0.5);
}

TEST(InitialMidiFile, ItsGsRhythmPartIsInForceWhenTheItemsFirstNoteSounds) {
    QTemporaryDir dir;
    const QString init = writeFile(
        dir, QStringLiteral("GSRESET.MID"),
        smf(0, 96, {GsReset + RhythmOnChannel2 + bytes({0x00, 0x90, 60, 1, 0x18, 0x80, 60, 0}) + End}));
    const QString item = writeFile(dir, QStringLiteral("DRUMS.MID"),
                                   smf(0, 96, {bytes({0x00, 0x91, 38, 90, 0x60, 0x81, 38, 0}) + End}));
    MidiEngine engine(
        {true, false, QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2"), QString(), QString()});
    MidiOnlyBackend backend(&engine);
    MMControl mmc(&backend, nullptr);
    QSignalSpy done(&mmc, &MMControl::Done);
    ASSERT_NO_FATAL_FAILURE(playInitialThenItem(mmc, init, item));
    QDeadlineTimer limit(30000);
    while (mmc.Position() == 0 && !limit.hasExpired())
        QTest::qWait(5);
    EXPECT_EQ(engine.channelBank(1), 128);
    EXPECT_EQ(engine.standard(), MidiStandard::GS);
    ASSERT_TRUE(waitFor(done));
}

// ---- MIDI never clips --------------------------------------------------------------------------

namespace {
struct Render {
    std::vector<float> left;
    float peak = 0;
};
/// Renders a whole song through an engine that the caller drives, as the audio side would.
Render renderSong(const QString& soundFont, const QString& path, bool limiter, int maxSeconds) {
    MidiOutput out;
    out.soundFont = soundFont;
    out.callerRenders = true;
    out.limiter = limiter;
    MidiEngine engine(out);
    MidiDevice device(&engine);
    Render r;
    if (device.open(path) != 0 || device.play() != 0)
        return r;
    std::vector<float> l(1024), rr(1024);
    const int blocks = static_cast<int>(maxSeconds * engine.sampleRate() / 1024);
    for (int b = 0; b < blocks && engine.isPlaying(&device); ++b) {
        engine.render(1024, l.data(), rr.data());
        for (int i = 0; i < 1024; ++i)
            r.peak = std::max({r.peak, std::fabs(l[i]), std::fabs(rr[i])});
        r.left.insert(r.left.end(), l.begin(), l.end());
    }
    return r;
}
} // namespace

TEST(MidiLevel, ADenseFileNeverReachesFullScaleAndKeepsItsSound) {
    QTemporaryDir dir;
    const QString dense = writeFile(dir, QStringLiteral("dense.mid"), demo::denseMidi(6));
    const QString font = QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2");
    const Render plain = renderSong(font, dense, false, 6);
    const Render limited = renderSong(font, dense, true, 6);
    ASSERT_GE(plain.peak, 1.0f) << "the file must be dense enough to clip without the limiter";
    EXPECT_LT(limited.peak, 0.9f);
    ASSERT_EQ(plain.left.size(), limited.left.size());
    // The same music: the limited render follows the plain one closely (it only turns the
    // loudest passages down).
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = 0; i < plain.left.size(); ++i) {
        xy += plain.left[i] * limited.left[i];
        xx += plain.left[i] * plain.left[i];
        yy += limited.left[i] * limited.left[i];
    }
    EXPECT_GT(xy / std::sqrt(xx * yy), 0.95);
    // And a quiet file is not touched at all.
    const QString quiet = writeFile(dir, QStringLiteral("quiet.mid"), demo::heldNoteMidi(60, 500));
    const Render q1 = renderSong(font, quiet, false, 2);
    const Render q2 = renderSong(font, quiet, true, 2);
    EXPECT_EQ(q1.left, q2.left);
}

// The SoundFont is read as songs need it: its preset table when the first song opens, a preset's
// samples when a song that selects it is opened, never while the sound is rendered. The file it
// reads from may be replaced, deleted or written over while the player runs.
#include "TestSupport.h"
#include "platform/MediaErrors.h"
#include "platform/media/MidiDevice.h"
#include "platform/media/SoundFontFile.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <cmath>
#include <cstdio>

using namespace zypo;
using namespace zypo::test;

namespace {

const QString Large = QStringLiteral("/usr/share/sounds/sf2/FluidR3_GM.sf2");
const QString Small = QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2");

/// A note on a channel after a program change, a second long (96 ticks a beat at 120 bpm).
QByteArray note(int channel, int program, int key) {
    return bytes(
        {0x00, 0xC0 | channel, program, 0x00, 0x90 | channel, key, 100, 0x81, 0x40, 0x80 | channel, key, 0});
}

/// An engine that the test renders, on the SoundFont at `font`.
struct Engine {
    explicit Engine(const QString& font, int idleMs = 5000) {
        MidiOutput out;
        out.soundFont = font;
        out.callerRenders = true;
        out.soundFontIdleMs = idleMs;
        engine = std::make_unique<MidiEngine>(out);
    }
    /// Plays an open song to its end; returns the left channel.
    std::vector<float> play(MidiDevice& device) {
        std::vector<float> sound;
        EXPECT_EQ(device.play(), 0);
        std::vector<float> l(256), r(256);
        for (int b = 0; b < 2000 && engine->isPlaying(&device); ++b) {
            engine->render(256, l.data(), r.data());
            sound.insert(sound.end(), l.begin(), l.end());
        }
        return sound;
    }
    std::unique_ptr<MidiEngine> engine;
};

double energy(const std::vector<float>& s, size_t from = 0, size_t to = SIZE_MAX) {
    double e = 0;
    for (size_t i = from; i < std::min(to, s.size()); ++i)
        e += double(s[i]) * s[i];
    return e;
}

double difference(const std::vector<float>& a, const std::vector<float>& b) {
    double d = 0, e = 0;
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        d += (a[i] - b[i]) * (a[i] - b[i]);
        e += a[i] * a[i] + b[i] * b[i];
    }
    return e > 0 ? d / e : 1;
}

struct SoundFontOnDemand : ::testing::Test {
    QString song(const QByteArray& track) {
        const QString path = dir.filePath(QStringLiteral("s%1.mid").arg(n++));
        EXPECT_TRUE(writeAll(path, smf(0, 96, {track + End})));
        return path;
    }
    QString copyOf(const QString& font) {
        const QString path = dir.filePath(QStringLiteral("font%1.sf2").arg(n++));
        EXPECT_TRUE(QFile::copy(font, path));
        return path;
    }
    /// What a song sounds like on a fresh engine reading `font` as it is now.
    std::vector<float> reference(const QString& font, const QString& path) {
        Engine fresh(font);
        MidiDevice device(fresh.engine.get());
        EXPECT_EQ(device.open(path), 0);
        return fresh.play(device);
    }
    QTemporaryDir dir;
    int n = 0;
};

} // namespace

TEST_F(SoundFontOnDemand, ASongReadsTheSamplesItSelectsWhenItOpensAndNothingWhileItPlays) {
    Engine e(Large);
    const qint64 size = QFileInfo(Large).size();
    // A piano and the standard kit.
    const QString plain = song(note(0, 0, 60) + note(9, 0, 38));
    const long long before = soundfont::bytesRead();
    MidiDevice first(e.engine.get());
    ASSERT_EQ(first.open(plain), 0);
    const long long atOpen = soundfont::bytesRead() - before;
    EXPECT_GT(atOpen, 0);
    EXPECT_LT(atOpen, size / 4) << "only the table and two presets' samples are read";
    const long long played = soundfont::bytesRead();
    EXPECT_GT(energy(e.play(first)), 0);
    EXPECT_EQ(soundfont::bytesRead(), played);

    // Programs chosen in every way a song chooses them: a program change half-way, a drum kit
    // on the drum channel, a part made a rhythm part by a GS message before its program (the
    // Power kit), and a part made one after it (the kit is the part's program, 40).
    const QByteArray gs =
        bytes({0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7,
               0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x12, 0x15, 0x01, 0x18, 0xF7});
    const QByteArray later = bytes({0x00, 0xC3, 40,   0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x14,
                                    0x15, 0x01, 0x16, 0xF7, 0x00, 0x93, 38,   100,  0x60, 0x83, 38,   0});
    const QString varied =
        song(gs + note(0, 0, 60) + note(0, 73, 72) + note(9, 25, 38) + note(1, 16, 38) + later);
    MidiDevice second(e.engine.get());
    const long long beforeSecond = soundfont::bytesRead();
    ASSERT_EQ(second.open(varied), 0);
    EXPECT_GT(soundfont::bytesRead(), beforeSecond) << "the flute and the kits are read at open";
    const long long secondPlayed = soundfont::bytesRead();
    const std::vector<float> sound = e.play(second);
    EXPECT_EQ(soundfont::bytesRead(), secondPlayed) << "a program change read samples while rendering";
    // The flute is heard: its second of the song is not silent.
    const size_t second1 = static_cast<size_t>(e.engine->sampleRate());
    EXPECT_GT(energy(sound, second1, 2 * second1), 1.0);
    EXPECT_EQ(e.engine->channelBank(1), 128);
    EXPECT_EQ(e.engine->channelBank(3), 128);
}

TEST_F(SoundFontOnDemand, TheSoundFontGoesWhenNoSongIsOpenAndComesBackWithTheNext) {
    Engine e(Small, 0);
    const QString piano = song(note(0, 0, 60));
    auto device = std::make_unique<MidiDevice>(e.engine.get());
    ASSERT_EQ(device->open(piano), 0);
    const std::vector<float> first = e.play(*device);
    // Another song opened before the first closes keeps the SoundFont.
    auto next = std::make_unique<MidiDevice>(e.engine.get());
    ASSERT_EQ(next->open(piano), 0);
    device.reset();
    pump();
    EXPECT_TRUE(e.engine->soundFontLoaded());
    next.reset();
    QElapsedTimer clock;
    clock.start();
    while (e.engine->soundFontLoaded() && clock.elapsed() < 10000)
        pump();
    EXPECT_FALSE(e.engine->soundFontLoaded());
    // The next song loads it again and sounds as the first did.
    MidiDevice again(e.engine.get());
    ASSERT_EQ(again.open(piano), 0);
    EXPECT_TRUE(e.engine->soundFontLoaded());
    EXPECT_LT(difference(e.play(again), first), 0.01);
}

TEST_F(SoundFontOnDemand, ASoundFontReplacedOrDeletedOnDiskIsStillTheOneRead) {
    const QString font = copyOf(Small);
    const QString flute = song(note(0, 73, 72));
    const QString violin = song(note(0, 40, 67));
    const std::vector<float> fluteHeard = reference(font, flute);
    const std::vector<float> violinHeard = reference(font, violin);
    Engine e(font);
    MidiDevice piano(e.engine.get()); // keeps the SoundFont loaded
    ASSERT_EQ(piano.open(song(note(0, 0, 60))), 0);

    // Replaced, as a package update replaces it: another file renamed over it.
    const QString junk = dir.filePath(QStringLiteral("junk"));
    ASSERT_TRUE(writeAll(junk, QByteArray(4096, '\x5a')));
    ASSERT_EQ(std::rename(QFile::encodeName(junk).constData(), QFile::encodeName(font).constData()), 0);
    MidiDevice first(e.engine.get());
    ASSERT_EQ(first.open(flute), 0);
    EXPECT_LT(difference(e.play(first), fluteHeard), 0.01);

    // Deleted.
    ASSERT_TRUE(QFile::remove(font));
    MidiDevice second(e.engine.get());
    ASSERT_EQ(second.open(violin), 0);
    EXPECT_LT(difference(e.play(second), violinHeard), 0.01);
}

TEST_F(SoundFontOnDemand, ASoundFontWrittenOverInPlaceIsLoadedAfreshOrReportedNeverPlayedAsGarbage) {
    const QString font = copyOf(Small);
    const QString flute = song(note(0, 73, 72));
    Engine e(font);
    MidiDevice piano(e.engine.get());
    ASSERT_EQ(piano.open(song(note(0, 0, 60))), 0);
    ASSERT_EQ(piano.play(), 0);

    // Written over in place with bytes that are no SoundFont (a copy cut short).
    {
        QFile f(font);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(100000, '\0'));
    }
    MidiDevice broken(e.engine.get());
    EXPECT_EQ(broken.open(flute), mcierr::SeqNoMidiPresent);
    // The song that was playing renders on (its samples were loaded), and a note on a program
    // whose samples never were is silence, not noise.
    std::vector<float> l(4096), r(4096);
    e.engine->render(4096, l.data(), r.data());
    for (float v : l)
        ASSERT_LE(std::fabs(v), 1.0f);
    const std::vector<float> unloaded = e.engine->renderNote(2, 60, 100, 4096);
    EXPECT_LT(energy(unloaded), 1e-6);
    piano.close();

    // Written whole again, with another SoundFont: it is loaded, and sounds as that one does.
    {
        QFile f(font);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(readAll(Large));
    }
    MidiDevice whole(e.engine.get());
    ASSERT_EQ(whole.open(flute), 0);
    EXPECT_LT(difference(e.play(whole), reference(Large, flute)), 0.01);
}

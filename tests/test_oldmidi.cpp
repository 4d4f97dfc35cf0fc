// MIDI files shaped like those of old collections (two-port files for 32-part modules, damaged
// chunks, SysEx in packets, format 2), read by our SMF reader and played through the real
// synthesiser; and every lap of a playlist sounding the same.
#include "TestSupport.h"
#include "platform/media/MidiDevice.h"
#include "platform/media/Smf.h"

#include <QFile>
#include <cmath>

using namespace zypo;
using namespace zypo::test;

namespace {

const QString Font = QStringLiteral("/usr/share/sounds/sf2/TimGM6mb.sf2");

QByteArray portPrefix(int port) {
    return bytes({0x00, 0xFF, 0x21, 0x01, port});
}

/// The channel messages of a song as "port:status:data1", in play order.
QStringList channelMessages(const SmfSong& song) {
    QStringList out;
    for (const MidiEvent& e : song.events)
        if (e.status >= 0x80 && e.status < 0xF0)
            out << QStringLiteral("%1:%2:%3").arg(e.port).arg(e.status, 2, 16).arg(e.data1);
    return out;
}

QList<QByteArray> sysexes(const SmfSong& song) {
    QList<QByteArray> out;
    for (const MidiEvent& e : song.events)
        if (e.status == 0xF0 || e.status == 0xF7)
            out << QByteArray(1, char(e.status)) + e.sysex;
    return out;
}

/// Three tracks: a conductor, then a note on channel 1 and a note on channel 2.
QList<QByteArray> threeTracks() {
    return {bytes({0x00, 0xFF, 0x03, 0x01, 'T'}) + End, bytes({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}) + End,
            bytes({0x00, 0x91, 62, 100, 0x60, 0x81, 62, 0}) + End};
}

/// The byte where the n-th "MTrk" starts.
qsizetype trackAt(const QByteArray& file, int n) {
    qsizetype at = -1;
    for (int i = 0; i <= n; ++i)
        at = file.indexOf("MTrk", at + 1);
    return at;
}

void setLength(QByteArray& file, qsizetype chunk, int length) {
    for (int i = 0; i < 4; ++i)
        file[chunk + 4 + i] = char((length >> (24 - 8 * i)) & 0xff);
}

} // namespace

TEST(OldMidiFiles, ThePortPrefixPutsATracksEventsOnTheSecondPort) {
    // An organ on port A's channel 1 and a piano on port B's channel 1, as a 32-part module
    // plays them; the conductor track names no port.
    const QByteArray conductor = bytes({0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20}) + End;
    const QByteArray a =
        portPrefix(0) + bytes({0x00, 0xC0, 19, 0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}) + End;
    const QByteArray b = portPrefix(1) + bytes({0x00, 0xC0, 0, 0x00, 0x90, 64, 100, 0x60, 0x80, 64, 0}) + End;
    SmfSong song;
    ASSERT_EQ(parseSmf(smf(1, 96, {conductor, a, b}), song), SmfError::None);
    EXPECT_EQ(song.ports, 2);
    EXPECT_EQ(channelMessages(song),
              QStringList({"0:c0:19", "0:90:60", "1:c0:0", "1:90:64", "0:80:60", "1:80:64"}));
    // A file on one port, whatever its number, stays on the first 16 channels.
    const QByteArray onlyB = portPrefix(1) + bytes({0x00, 0xC0, 19}) + End;
    ASSERT_EQ(parseSmf(smf(1, 96, {conductor, onlyB, onlyB}), song), SmfError::None);
    EXPECT_EQ(song.ports, 1);
    EXPECT_EQ(channelMessages(song), QStringList({"0:c0:19", "0:c0:19"}));
    // Ports 2 and 3 after 0: the first port drives port A, every other port B.
    ASSERT_EQ(parseSmf(smf(1, 96,
                           {portPrefix(0) + bytes({0x00, 0xC0, 1}) + End,
                            portPrefix(3) + bytes({0x00, 0xC0, 3}) + End,
                            portPrefix(2) + bytes({0x00, 0xC0, 2}) + End}),
                       song),
              SmfError::None);
    EXPECT_EQ(channelMessages(song), QStringList({"0:c0:1", "1:c0:3", "1:c0:2"}));
}

TEST(OldMidiFiles, AWrongChunkLengthCostsThatTrackAtMost) {
    const QByteArray good = smf(1, 96, threeTracks());
    SmfSong song;
    ASSERT_EQ(parseSmf(good, song), SmfError::None);
    const QStringList all = channelMessages(song);
    ASSERT_EQ(all.size(), 4);
    const qsizetype second = trackAt(good, 1);
    const int length = 12;
    // One byte short and one byte long: both notes still play.
    for (int delta : {-1, +1, -3, +3}) {
        QByteArray file = good;
        setLength(file, second, length + delta);
        ASSERT_EQ(parseSmf(file, song), SmfError::None);
        EXPECT_TRUE(channelMessages(song).contains(QStringLiteral("0:91:62"))) << "length off by " << delta;
        EXPECT_TRUE(channelMessages(song).contains(QStringLiteral("0:90:60"))) << "length off by " << delta;
    }
    // A length that runs past the end of the file, on the first track: the later ones play.
    QByteArray huge = good;
    setLength(huge, trackAt(good, 0), 0x7fffffff);
    ASSERT_EQ(parseSmf(huge, song), SmfError::None);
    EXPECT_EQ(channelMessages(song), all);
    // Stray bytes between two chunks, and a chunk of another kind (XF's) before the last.
    QByteArray stray = good;
    stray.insert(trackAt(good, 2), QByteArray("\x00\x00\x0d\x0a", 4));
    ASSERT_EQ(parseSmf(stray, song), SmfError::None);
    EXPECT_EQ(channelMessages(song), all);
    QByteArray xf = good;
    xf.insert(trackAt(good, 2), QByteArray("XFIH\x00\x00\x00\x03MTr", 11));
    ASSERT_EQ(parseSmf(xf, song), SmfError::None);
    EXPECT_EQ(channelMessages(song), all);
    // A header that counts one track where the file holds three.
    QByteArray fewer = good;
    fewer[11] = 1;
    ASSERT_EQ(parseSmf(fewer, song), SmfError::None);
    EXPECT_EQ(channelMessages(song), all);
}

TEST(OldMidiFiles, RunningStatusAfterASysExKeepsTheTrackGoing) {
    // Note on, a GM On, then two more notes in running status.
    const QByteArray track =
        bytes({0x00, 0x90, 60,   100, 0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x10,
               62,   100,  0x10, 64,  100,  0x00, 0xFF, 0x01, 0x01, 'x',  0x10, 60,   0}) +
        End;
    SmfSong song;
    ASSERT_EQ(parseSmf(smf(0, 96, {track}), song), SmfError::None);
    EXPECT_EQ(channelMessages(song), QStringList({"0:90:60", "0:90:62", "0:90:64", "0:90:60"}));
    EXPECT_EQ(sysexes(song).size(), 1);
}

TEST(OldMidiFiles, SysExInPacketsIsJoinedAndEscapesGoAsTheyStand) {
    // A GS reset in three packets: F0 begins it, F7 continues it, the F7 that ends in F7
    // finishes it; a channel message between packets plays on.
    const QByteArray track =
        bytes({0x00, 0xF0, 0x03, 0x41, 0x10, 0x42, 0x05, 0xF7, 0x03, 0x12, 0x40, 0x00, 0x00, 0x90, 60, 100,
               0x05, 0xF7, 0x04, 0x7F, 0x00, 0x41, 0xF7,
               // An escape carrying a whole message, and one carrying a song
               // position pointer for an external module.
               0x00, 0xF7, 0x06, 0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7, 0x00, 0xF7, 0x03, 0xF2, 0x00, 0x00,
               // A packet left unfinished: taken as it stands, at its time.
               0x00, 0xF0, 0x04, 0x7E, 0x7F, 0x09, 0x02, 0x00, 0x80, 60, 0}) +
        End;
    SmfSong song;
    ASSERT_EQ(parseSmf(smf(0, 96, {track}), song), SmfError::None);
    const QList<QByteArray> expected = {
        bytes({0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7}),
        bytes({0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}), bytes({0xF7, 0xF2, 0x00, 0x00}),
        bytes({0xF0, 0x7E, 0x7F, 0x09, 0x02})};
    EXPECT_EQ(sysexes(song), expected);
    EXPECT_EQ(channelMessages(song), QStringList({"0:90:60", "0:80:60"}));
    // The joined message is sent when its last packet has come.
    EXPECT_EQ(song.events[1].status, 0xF0);
    EXPECT_EQ(song.events[1].timeUs, 52083); // 10 ticks at 96 a quarter, 120 bpm
    EXPECT_EQ(song.events[4].status, 0xF0);  // the unfinished one, in its place
    EXPECT_EQ(song.events[4].timeUs, 52083);
}

TEST(OldMidiFiles, FormatTwoPlaysItsSequencesOneAfterAnother) {
    // Two patterns, each with its own tempo: a quarter at 120 bpm, then a quarter at 60 bpm.
    const QByteArray first = bytes({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}) + End;
    const QByteArray second =
        bytes({0x00, 0xFF, 0x51, 0x03, 0x0F, 0x42, 0x40, 0x00, 0x90, 64, 100, 0x60, 0x80, 64, 0}) + End;
    SmfSong song;
    ASSERT_EQ(parseSmf(smf(2, 96, {first, second}), song), SmfError::None);
    ASSERT_EQ(song.events.size(), 4u);
    EXPECT_EQ(song.events[1].timeUs, 500000);
    EXPECT_EQ(song.events[2].data1, 64);
    EXPECT_EQ(song.events[2].timeUs, 500000); // the second begins where the first ended
    EXPECT_EQ(song.events[3].timeUs, 1500000);
    EXPECT_EQ(song.lengthUs, 1500000);
    // The same tracks as format 1 sound together.
    ASSERT_EQ(parseSmf(smf(1, 96, {first, second}), song), SmfError::None);
    EXPECT_EQ(song.lengthUs, 1000000);
}

// ---- through the real synthesiser --------------------------------------------------------------

namespace {

/// An engine driven by the test as the audio side drives it.
struct Synth : ::testing::Test {
    Synth() {
        MidiOutput out;
        out.soundFont = Font;
        out.callerRenders = true;
        engine = std::make_unique<MidiEngine>(out);
    }
    QString write(const QByteArray& file) {
        const QString path = dir.filePath(QStringLiteral("s%1.mid").arg(n++));
        EXPECT_TRUE(writeAll(path, file));
        return path;
    }
    /// Plays a file to its end (or `seconds`), then `tail` seconds more; returns the left channel.
    std::vector<float> play(const QString& path, double seconds = 10, double tail = 0) {
        MidiDevice device(engine.get());
        std::vector<float> sound;
        EXPECT_EQ(device.open(path), 0);
        EXPECT_EQ(device.play(), 0);
        const int blocks = static_cast<int>(seconds * engine->sampleRate() / 256);
        for (int b = 0; b < blocks && engine->isPlaying(&device); ++b)
            renderInto(sound, 256);
        renderInto(sound, static_cast<int>(tail * engine->sampleRate()));
        device.close();
        return sound;
    }
    void renderInto(std::vector<float>& sound, int frames) {
        frames -= frames % 256; // whole blocks, so that every song starts on a block of the synthesiser
        std::vector<float> l(static_cast<size_t>(frames)), r(static_cast<size_t>(frames));
        engine->render(frames, l.data(), r.data());
        sound.insert(sound.end(), l.begin(), l.end());
    }
    static double energy(const std::vector<float>& s, size_t from = 0, size_t to = SIZE_MAX) {
        double e = 0;
        for (size_t i = from; i < std::min(to, s.size()); ++i)
            e += double(s[i]) * s[i];
        return e;
    }
    static double difference(const std::vector<float>& a, const std::vector<float>& b) {
        double d = 0, e = 0;
        for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
            d += (a[i] - b[i]) * (a[i] - b[i]);
            e += a[i] * a[i] + b[i] * b[i];
        }
        return e > 0 ? d / e : 1;
    }
    std::unique_ptr<MidiEngine> engine;
    QTemporaryDir dir;
    int n = 0;
};

} // namespace

TEST_F(Synth, ATwoPortFileKeepsEachPortsInstrumentsAndDrums) {
    // Port A: an organ on channel 1. Port B: a piano on channel 1 and its channel 10 drums.
    const QByteArray a =
        portPrefix(0) + bytes({0x00, 0xC0, 19, 0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}) + End;
    const QByteArray b =
        portPrefix(1) + bytes({0x00, 0xC0, 0, 0x00, 0xC9, 0, 0x00, 0x90, 64, 100, 0x60, 0x80, 64, 0}) + End;
    play(write(smf(1, 96, {a, b})));
    EXPECT_EQ(engine->channelProgram(0), 19);
    EXPECT_EQ(engine->channelProgram(16), 0);
    EXPECT_EQ(engine->channelBank(25), 128);
    // What the two ports' first channels sound like: an organ and a piano, not one instrument.
    EXPECT_GT(difference(engine->renderNote(0, 60, 100, 8000), engine->renderNote(16, 60, 100, 8000)), 0.3);
    // A GS rhythm part on the second port is that port's.
    const QByteArray gs =
        bytes({0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7,
               0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x50, 0x12, 0x15, 0x01, 0x08, 0xF7});
    play(write(smf(1, 96, {gs + a, b})));
    EXPECT_EQ(engine->channelBank(17), 128);
    EXPECT_EQ(engine->channelBank(1), 0);
}

TEST_F(Synth, AGsRhythmPartSetInPacketsIsInForce) {
    const QByteArray packets =
        bytes({0x00, 0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7, 0x00, 0xF0,
               0x04, 0x41, 0x10, 0x42, 0x12, 0x01, 0xF7, 0x06, 0x40, 0x12, 0x15, 0x01, 0x18, 0xF7});
    play(write(smf(0, 96, {packets + bytes({0x00, 0x91, 38, 100, 0x30, 0x81, 38, 0}) + End})));
    EXPECT_EQ(engine->channelBank(1), 128);
    EXPECT_EQ(engine->standard(), MidiStandard::GS);
}

TEST_F(Synth, EveryLapSoundsTheSameWhateverTheSongBeforeSet) {
    // The last song of the list turns the module down, changes an instrument, bends, sets a
    // channel volume and makes channel 1 a drum part; the first song sets nothing.
    const QString last =
        write(smf(0, 96,
                  {bytes({0x00, 0xF0, 0x07, 0x7F, 0x7F, 0x04, 0x01, 0x00, 0x26, 0xF7, // master volume 30 %
                          0x00, 0xC0, 40,   0x00, 0xB0, 7,    30,   0x00, 0xE0, 0x00, 0x70, 0x00, 0xF0, 0x0A,
                          0x41, 0x10, 0x42, 0x12, 0x40, 0x11, 0x15, 0x01, 0x19, 0xF7, 0x60, 0xB0, 1,    0}) +
                   End}));
    const QString first = write(smf(0, 96, {bytes({0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0}) + End}));
    const std::vector<float> lap1 = play(first, 10, 0.2);
    play(last, 10, 2.0); // and the reverb's tail of the first lap dies away
    const std::vector<float> lap2 = play(first, 10, 0.2);
    ASSERT_GT(energy(lap1), 1.0);
    EXPECT_LT(difference(lap1, lap2), 1e-3);
    EXPECT_EQ(engine->channelProgram(0), 0);
}

TEST_F(Synth, TheLastNotesOfASongRingIntoTheNextItem) {
    // A chord ends the song; the next song is a quiet rest.
    const QByteArray chord =
        bytes({0x00, 0x90, 60, 110, 0x00, 0x90, 64, 110, 0x60, 0x80, 60, 0, 0x00, 0x80, 64, 0}) + End;
    const QString ending = write(smf(0, 96, {chord}));
    const QString rest = write(smf(0, 96, {bytes({0x30, 0xFF, 0x2F, 0x00})}));
    // Alone, the chord's sound goes on after the song's end for a while.
    const std::vector<float> alone = play(ending, 10, 0.25);
    const size_t songEnd = static_cast<size_t>(0.5 * engine->sampleRate());
    const double tailAlone = energy(alone, songEnd);
    ASSERT_GT(tailAlone, 0.01);
    // Followed by the next item (which starts from the power-on state), it goes on the same.
    play(rest, 10, 3.0);
    std::vector<float> withNext = play(ending);
    const std::vector<float> next = play(rest, 0.25);
    withNext.insert(withNext.end(), next.begin(), next.end());
    EXPECT_GT(energy(withNext, songEnd), 0.5 * tailAlone);
}

// WAV items that follow one another in continuous play go on in one player and one output
// stream, and so do clips: the real mpv device with null output, in real time, on WAVs and
// clips made here.
#include "TestSupport.h"
#include "platform/MMControl.h"
#include "platform/media/MpvChain.h"
#include "platform/media/MpvDevice.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <cmath>
#include <cstring>
#include <memory>
#include <mpv/client.h>
#include <utility>

using namespace zypo;

namespace {

void put(QByteArray& b, unsigned v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        b.append(static_cast<char>((v >> (8 * i)) & 0xff));
}

/// A 16-bit PCM WAV of a tone, `ms` long.
QByteArray toneWav(int channels, int ms, int rate) {
    const int frames = rate * ms / 1000;
    QByteArray pcm;
    for (int i = 0; i < frames; ++i) {
        const auto s = static_cast<int>(8000 * std::sin(2 * M_PI * 440.0 * i / rate));
        for (int c = 0; c < channels; ++c)
            put(pcm, static_cast<unsigned>(s) & 0xffff, 2);
    }
    QByteArray b("RIFF");
    put(b, 36 + pcm.size(), 4);
    b.append("WAVEfmt ");
    put(b, 16, 4);
    put(b, 1, 2);
    put(b, channels, 2);
    put(b, rate, 4);
    put(b, rate * channels * 2, 4);
    put(b, channels * 2, 2);
    put(b, 16, 2);
    b.append("data");
    put(b, pcm.size(), 4);
    return b + pcm;
}

bool waitFor(QSignalSpy& spy, int count = 1) {
    QDeadlineTimer limit(30000); // only keeps a broken engine from hanging the suite
    while (spy.count() < count && !limit.hasExpired())
        spy.wait(50);
    return spy.count() >= count;
}

class WavChain : public ::testing::Test {
protected:
    QString wav(const QString& name, int channels, int ms = 600, int rate = 22050) {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(toneWav(channels, ms, rate));
        return path;
    }
    std::unique_ptr<MpvDevice> opened(const QString& path) {
        auto d = std::make_unique<MpvDevice>(MpvOutput{QStringLiteral("null"), QStringLiteral("null")});
        EXPECT_EQ(d->open(path), 0) << path.toStdString();
        return d;
    }
    QTemporaryDir dir;
};

} // namespace

TEST_F(WavChain, TheFollowerSoundsAsTheItemEndsAndOutlivesItsClose) {
    // A mono item, then a stereo one: the mono one leaves as stereo, so that they share a stream.
    auto a = opened(wav(QStringLiteral("a.wav"), 1));
    auto b = opened(wav(QStringLiteral("b.wav"), 2, 900));
    QSignalSpy aDone(a.get(), &MediaDevice::finished);
    QSignalSpy bDone(b.get(), &MediaDevice::finished);
    ASSERT_EQ(a->play(), 0);
    a->queueFollower(b.get());
    ASSERT_TRUE(waitFor(aDone));
    // Already under way, before anyone has told it to play.
    EXPECT_TRUE(b->isPlaying());
    // The item before it is closed as the next one is opened: that must not silence it.
    a->close();
    a.reset();
    ASSERT_EQ(b->play(), 0);
    QDeadlineTimer limit(30000);
    while (b->position() < 100 && !limit.hasExpired())
        QTest::qWait(10);
    EXPECT_GE(b->position(), 100);
    ASSERT_EQ(b->pause(), 0);
    QTest::qWait(100); // the position settles where the output stopped
    const qint64 held = b->position();
    QTest::qWait(200);
    EXPECT_EQ(b->position(), held);
    EXPECT_EQ(bDone.count(), 0);
    ASSERT_EQ(b->play(), 0);
    ASSERT_TRUE(waitFor(bDone));
    EXPECT_EQ(bDone.count(), 1);
    EXPECT_EQ(b->length(), 900);
}

TEST_F(WavChain, AFollowerQueuedAsAShortItemEndsStillPlays) {
    // The item has ended in mpv, and its end is not handled yet, when the follower is queued.
    auto a = opened(wav(QStringLiteral("a.wav"), 1, 40));
    auto b = opened(wav(QStringLiteral("b.wav"), 1, 400));
    QSignalSpy aDone(a.get(), &MediaDevice::finished);
    QSignalSpy bDone(b.get(), &MediaDevice::finished);
    QSignalSpy bFailed(b.get(), &MediaDevice::failed);
    ASSERT_EQ(a->play(), 0);
    QThread::msleep(500); // no events handled meanwhile
    a->queueFollower(b.get());
    ASSERT_TRUE(waitFor(aDone));
    a->close();
    ASSERT_TRUE(waitFor(bDone));
    EXPECT_EQ(bFailed.count(), 0);
}

TEST_F(WavChain, AChainRunsOnAcrossManyItemsAndEachEndsOnce) {
    // a, b, c, a, b, c ...: each item queued behind the one playing, as continuous play does.
    const QString files[] = {wav(QStringLiteral("a.wav"), 2, 300), wav(QStringLiteral("b.wav"), 2, 350),
                             wav(QStringLiteral("c.wav"), 2, 400)};
    std::unique_ptr<MpvDevice> playing = opened(files[0]);
    ASSERT_EQ(playing->play(), 0);
    int ended = 0;
    for (int i = 1; i <= 9; ++i) {
        auto next = opened(files[i % 3]);
        playing->queueFollower(next.get());
        QSignalSpy done(playing.get(), &MediaDevice::finished);
        QSignalSpy failed(playing.get(), &MediaDevice::failed);
        ASSERT_TRUE(waitFor(done)) << "item " << i - 1;
        QTest::qWait(20);
        EXPECT_EQ(done.count(), 1);
        EXPECT_EQ(failed.count(), 0);
        ++ended;
        ASSERT_TRUE(next->isPlaying()) << "item " << i;
        playing->close();
        playing = std::move(next);
        ASSERT_EQ(playing->play(), 0);
    }
    QSignalSpy done(playing.get(), &MediaDevice::finished);
    ASSERT_TRUE(waitFor(done));
    EXPECT_EQ(ended, 9);
}

TEST_F(WavChain, WhatIsNotQueuedOrLeavesTheQueueIsNotHeard) {
    // An item at another rate would be converted to this one's (here, where nothing converts
    // every item to the sound server's rate): it opens its own stream.
    {
        auto low = opened(wav(QStringLiteral("m.wav"), 1));
        auto high = opened(wav(QStringLiteral("s.wav"), 1, 600, 44100));
        QSignalSpy done(low.get(), &MediaDevice::finished);
        ASSERT_EQ(low->play(), 0);
        low->queueFollower(high.get());
        ASSERT_TRUE(waitFor(done));
        EXPECT_FALSE(high->isPlaying());
        QSignalSpy highDone(high.get(), &MediaDevice::finished);
        low->close();
        ASSERT_EQ(high->play(), 0); // it plays from its own player
        ASSERT_TRUE(waitFor(highDone));
    }
    // The follower dropped (another entry chosen, Stop): the item ends alone.
    {
        auto a = opened(wav(QStringLiteral("a.wav"), 1));
        auto b = opened(wav(QStringLiteral("b.wav"), 1));
        QSignalSpy done(a.get(), &MediaDevice::finished);
        QSignalSpy bDone(b.get(), &MediaDevice::finished);
        ASSERT_EQ(a->play(), 0);
        a->queueFollower(b.get());
        b->close();
        b.reset();
        ASSERT_TRUE(waitFor(done));
        EXPECT_FALSE(a->isPlaying());
    }
    // The item closed before its end (Next pressed): the follower is still there, on its own.
    {
        auto a = opened(wav(QStringLiteral("a.wav"), 1));
        auto b = opened(wav(QStringLiteral("b.wav"), 1));
        QSignalSpy bDone(b.get(), &MediaDevice::finished);
        ASSERT_EQ(a->play(), 0);
        a->queueFollower(b.get());
        QTest::qWait(100);
        a->close();
        QTest::qWait(700);
        EXPECT_FALSE(b->isPlaying());
        EXPECT_EQ(b->position(), 0);
        ASSERT_EQ(b->play(), 0);
        ASSERT_TRUE(waitFor(bDone));
    }
}

namespace {
class MpvOnly : public MediaBackend {
public:
    std::unique_ptr<MediaDevice> create(const QString&, const QString&, int&) override {
        return std::make_unique<MpvDevice>(MpvOutput{QStringLiteral("null"), QStringLiteral("null")});
    }
    bool wantsStandby() const override { return true; }
};
} // namespace

TEST_F(WavChain, TheTransportReportsTheEndOfAnItemThatWentStraightOn) {
    const QString a = wav(QStringLiteral("a.wav"), 1, 400);
    const QString b = wav(QStringLiteral("b.wav"), 1, 400);
    MpvOnly backend;
    MMControl mmc(&backend, nullptr);
    QSignalSpy done(&mmc, &MMControl::Done);
    // Continuous play: open and play, the next opened ahead; at each end the next is opened and
    // played. The standby is queued behind the playing item, and its end is reported too.
    mmc.setFileName(a);
    mmc.setCommand(QStringLiteral("Open"));
    mmc.setCommand(QStringLiteral("Play"));
    ASSERT_EQ(mmc.Error(), 0);
    QString next = b;
    for (int i = 0; i < 4; ++i) {
        mmc.prepare(next);
        ASSERT_EQ(mmc.standbyFile(), next);
        ASSERT_TRUE(waitFor(done, i + 1)) << "item " << i;
        EXPECT_EQ(done.last().at(0).value<std::int16_t>(), 1);
        mmc.setCommand(QStringLiteral("Close"));
        mmc.setFileName(next);
        mmc.setCommand(QStringLiteral("Open"));
        ASSERT_EQ(mmc.Error(), 0);
        mmc.setCommand(QStringLiteral("Play"));
        ASSERT_EQ(mmc.Error(), 0);
        EXPECT_EQ(mmc.Mode(), ModePlaying);
        next = next == a ? b : a;
    }
    ASSERT_TRUE(waitFor(done, 5));
    EXPECT_EQ(done.count(), 5);
}

namespace {
/// An AVI made by ffmpeg: colour bars of `size` at 10 frames a second, `seconds` long, with a
/// tone in the given sound codec, rate and channels (no sound for an empty codec).
QString clip(const QTemporaryDir& dir, const QString& name, const QString& video, const QString& size,
             const QString& audio, int rate, int channels, double seconds) {
    const QString path = dir.filePath(name);
    const QString length = QString::number(seconds);
    QStringList args{
        QStringLiteral("-v"), QStringLiteral("error"),
        QStringLiteral("-f"), QStringLiteral("lavfi"),
        QStringLiteral("-i"), QStringLiteral("testsrc=size=%1:rate=10:duration=%2").arg(size, length)};
    if (!audio.isEmpty())
        args << QStringLiteral("-f") << QStringLiteral("lavfi") << QStringLiteral("-i")
             << QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(rate).arg(length)
             << QStringLiteral("-ac") << QString::number(channels) << QStringLiteral("-c:a") << audio;
    args << QStringLiteral("-c:v") << video << QStringLiteral("-shortest") << path;
    EXPECT_EQ(QProcess::execute(QStringLiteral("ffmpeg"), args), 0) << "ffmpeg makes " << name.toStdString();
    return path;
}
} // namespace

TEST_F(WavChain, AClipGoesOnInTheClipBeforesPlayerWhateverItsFormat) {
    // Cinepak with 8-bit 22 kHz mono, then MJPEG with 16-bit 44.1 kHz stereo: both leave as the
    // sound server's rate (here 44.1 kHz), stereo, and so share a player and its stream.
    const QString a = clip(dir, QStringLiteral("a.avi"), QStringLiteral("cinepak"), QStringLiteral("160x120"),
                           QStringLiteral("pcm_u8"), 22050, 1, 0.7);
    const QString b = clip(dir, QStringLiteral("b.avi"), QStringLiteral("mjpeg"), QStringLiteral("96x72"),
                           QStringLiteral("pcm_s16le"), 44100, 2, 0.9);
    const QString mute = clip(dir, QStringLiteral("mute.avi"), QStringLiteral("mjpeg"),
                              QStringLiteral("96x72"), QString(), 0, 0, 0.5);
    // The sound stream's header stands behind the picture stream's index room in ffmpeg's
    // AVIs, past the first 4 KiB: a mono clip is told as one, to be spread to both sides.
    EXPECT_EQ(riffChannels(a), 1);
    EXPECT_EQ(riffChannels(b), 2);
    EXPECT_EQ(riffChannels(mute), 0);
    MpvOutput out{QStringLiteral("null"), QStringLiteral("null")};
    out.rate = 44100;
    const auto openClip = [&out](const QString& path) {
        auto d = std::make_unique<MpvDevice>(out);
        EXPECT_EQ(d->open(path), 0) << path.toStdString();
        return d;
    };
    auto first = openClip(a);
    auto second = openClip(b);
    ASSERT_TRUE(first->usesWindows() && second->usesWindows());
    QSignalSpy firstDone(first.get(), &MediaDevice::finished);
    QSignalSpy secondDone(second.get(), &MediaDevice::finished);
    QSignalSpy secondFailed(second.get(), &MediaDevice::failed);
    ASSERT_EQ(first->play(), 0);
    first->queueFollower(second.get());
    ASSERT_TRUE(waitFor(firstDone));
    EXPECT_TRUE(second->isPlaying()); // under way in the first one's player
    first->close();
    first.reset();
    ASSERT_EQ(second->play(), 0);
    ASSERT_TRUE(waitFor(secondDone));
    EXPECT_EQ(secondFailed.count(), 0);
    EXPECT_EQ(secondDone.count(), 1);
    // Its own facts, not the player's first file's.
    EXPECT_EQ(second->sourceSize(), QSize(96, 72));
    EXPECT_NEAR(second->length(), 900, 50);

    // A WAV goes on in a clip's player (whose picture then goes), a clip not in a WAV's,
    // which has no video output to show it.
    auto c = openClip(a);
    auto w = openClip(wav(QStringLiteral("w.wav"), 2, 600, 44100));
    QSignalSpy cDone(c.get(), &MediaDevice::finished);
    QSignalSpy wDone(w.get(), &MediaDevice::finished);
    ASSERT_EQ(c->play(), 0);
    c->queueFollower(w.get());
    ASSERT_TRUE(waitFor(cDone));
    EXPECT_TRUE(w->isPlaying());
    EXPECT_FALSE(w->usesWindows());
    c->close();
    auto d = openClip(a);
    w->queueFollower(d.get());
    ASSERT_TRUE(waitFor(wDone));
    EXPECT_EQ(wDone.count(), 1);
    EXPECT_FALSE(d->isPlaying());
    QSignalSpy dDone(d.get(), &MediaDevice::finished);
    w->close();
    ASSERT_EQ(d->play(), 0); // from its own player
    ASSERT_TRUE(waitFor(dDone));
}

namespace {
/// The 16-bit samples that ffmpeg decodes from `path`, channels interleaved.
QVector<qint16> decoded(const QString& path) {
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"),
                 {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-i"), path,
                  QStringLiteral("-f"), QStringLiteral("s16le"), QStringLiteral("-")});
    ffmpeg.waitForFinished(30000);
    const QByteArray raw = ffmpeg.readAllStandardOutput();
    QVector<qint16> out(raw.size() / 2);
    std::memcpy(out.data(), raw.constData(), static_cast<size_t>(out.size()) * 2);
    return out;
}
} // namespace

TEST(MonoToStereo, EverySampleOfAMonoAdpcmWavIsHeardOnBothSidesAsItStands) {
    // Old recorders' MS ADPCM, mono: decoded frames of two blocks each. The spreading filter
    // once left 12 ms of silence and 4 ms of damage near the end of such a file.
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("adpcm.wav"));
    const int made = QProcess::execute(QStringLiteral("ffmpeg"),
                                       {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-f"),
                                        QStringLiteral("lavfi"), QStringLiteral("-i"),
                                        QStringLiteral("sine=frequency=440:sample_rate=22050:duration=0.7"),
                                        QStringLiteral("-c:a"), QStringLiteral("adpcm_ms"), source});
    ASSERT_EQ(made, 0) << "ffmpeg makes the test's file";
    const QString heard = dir.filePath(QStringLiteral("heard.wav"));
    mpv_handle* mpv = mpv_create();
    ASSERT_NE(mpv, nullptr);
    for (const auto& [name, value] : {std::pair{"config", "no"},
                                      {"vo", "null"},
                                      {"ao", "pcm"},
                                      {"audio-format", "s16"},
                                      {"af", MonoToStereo}})
        ASSERT_GE(mpv_set_option_string(mpv, name, value), 0) << name;
    ASSERT_GE(mpv_set_option_string(mpv, "ao-pcm-file", heard.toUtf8().constData()), 0);
    ASSERT_GE(mpv_initialize(mpv), 0);
    const QByteArray file = source.toUtf8();
    const char* load[] = {"loadfile", file.constData(), nullptr};
    ASSERT_GE(mpv_command(mpv, load), 0);
    QDeadlineTimer limit(30000);
    for (bool ended = false; !ended && !limit.hasExpired();)
        ended = mpv_wait_event(mpv, 1.0)->event_id == MPV_EVENT_END_FILE;
    mpv_terminate_destroy(mpv); // the output file is complete once mpv has ended

    const QVector<qint16> mono = decoded(source);
    const QVector<qint16> stereo = decoded(heard);
    ASSERT_GT(mono.size(), 15000);
    ASSERT_EQ(stereo.size(), 2 * mono.size());
    int differing = 0;
    for (qsizetype i = 0; i < mono.size(); ++i)
        differing += stereo[2 * i] != mono[i] || stereo[2 * i + 1] != mono[i];
    EXPECT_EQ(differing, 0) << "of " << mono.size() << " samples";
}

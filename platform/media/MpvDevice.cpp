#include "platform/media/MpvDevice.h"

#include "platform/HostPath.h"
#include "platform/MediaErrors.h"
#include "platform/media/MpvChain.h"
#include "platform/media/MpvPicture.h"
#include "platform/media/PlayerEnds.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mpv/client.h>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace zypo {

namespace {
// How long "Open" waits for mpv to read a file's header and decode its first data.
constexpr int OpenTimeoutMs = DiskAnswerLimitMs;
// Loads are awaited with nothing else running for this long (most take a few tens of
// milliseconds); a longer one (a disk that is slow or has stopped answering) lets the window
// go on until it is done.
constexpr int QuickLoadMs = 250;
// How long a playing item's position may stand before its output is taken for hung.
constexpr int StallLimitS = 3;
// How often an item standing still is started afresh before it is given up.
constexpr int FruitlessRestartLimit = 2;

void setOption(mpv_handle* h, const char* name, const QString& value) {
    mpv_set_option_string(h, name, value.toUtf8().constData());
}

// A clip's sound starts with its picture, and stands deeper in the server's queue (see load).
bool isClip(const QString& path) {
    return path.endsWith(QLatin1String(".avi"), Qt::CaseInsensitive);
}

} // namespace

MpvDevice::MpvDevice(MpvOutput output) : output_(std::move(output)) {
    serverTimer_.setInterval(250);
    connect(&serverTimer_, &QTimer::timeout, this, &MpvDevice::askForServer);
    stallTimer_.setInterval(1000);
    connect(&stallTimer_, &QTimer::timeout, this, &MpvDevice::watchOutput);
}

MpvDevice::~MpvDevice() {
    close();
}

int MpvDevice::errorNumber(int mpvError, const QString& hostPath) {
    switch (mpvError) {
    case MPV_ERROR_AO_INIT_FAILED:
        return mcierr::WaveOutputsUnsuitable;
    case MPV_ERROR_VO_INIT_FAILED:
        return mcierr::CreateWindow;
    case MPV_ERROR_NOMEM:
        return mcierr::OutOfMemory;
    case MPV_ERROR_LOADING_FAILED: {
        const HostFacts facts = hostFacts(hostPath);
        if (!facts.file)
            return mcierr::FileNotFound;
        if (!facts.readable)
            return mcierr::FileRead;
        return mcierr::InvalidFile;
    }
    case MPV_ERROR_UNKNOWN_FORMAT:
    case MPV_ERROR_NOTHING_TO_PLAY:
        return mcierr::InvalidFile;
    default:
        return mcierr::Driver;
    }
}

int MpvDevice::open(const QString& hostPath) {
    path_ = hostPath;
    fruitlessRestarts_ = 0;
    // A FIFO or a device node is no media file (and its open would wait for ever).
    const HostFacts facts = hostFacts(hostPath);
    if (!facts.exists)
        return mcierr::FileNotFound;
    if (!facts.file)
        return mcierr::InvalidFile;
    if (!facts.readable)
        return mcierr::FileRead;
    // A mono WAV or clip is spread to stereo (see load). Its header is read here, once: the
    // transport has just read it off the window's thread, and a player started afresh for a
    // disk gone silent must not read it again on that thread.
    upmixed_ = riffChannels(hostPath) == 1;
    // A file without pictures never sets mpv's output up in its carrier.
    const Pictures way = pictures();
    const std::int64_t wid = way == Pictures::Carrier ? makeCarrier() : -1;
    renders_ = way == Pictures::Rendered;
    int err = load(wid, true);
    if (way != Pictures::None &&
        (err == mcierr::CannotLoadDriver || err == mcierr::CreateWindow || err == mcierr::Driver)) {
        // The picture cannot be shown here: the item opens without it, and a clip's start
        // reports why.
        abandonPlayer();
        displayError_ = err;
        renders_ = false;
        err = load(-1, true);
    }
    if (err != 0)
        return err;

    double duration = 0;
    if (mpv_get_property(mpv_, "duration", MPV_FORMAT_DOUBLE, &duration) >= 0 && duration > 0)
        length_ = static_cast<qint64>(duration * 1000.0);
    int64_t w = 0, h = 0;
    char* vid = mpv_get_property_string(mpv_, "vid");
    const bool hasVideoTrack = vid && qstrcmp(vid, "no") != 0;
    mpv_free(vid);
    if (hasVideoTrack && mpv_get_property(mpv_, "width", MPV_FORMAT_INT64, &w) >= 0 &&
        mpv_get_property(mpv_, "height", MPV_FORMAT_INT64, &h) >= 0 && w > 0 && h > 0) {
        video_ = true;
        size_ = QSize(static_cast<int>(w), static_cast<int>(h));
    }
    if (!video_ && carrier_)
        delete carrier_;
    if (picture_) {
        if (video_)
            picture_->setTarget(size_);
        else
            picture_.reset(); // no picture to render: the renderer goes now
    }
    return 0;
}

std::int64_t MpvDevice::makeCarrier() {
    // An unmapped window of the device's own, for mpv to draw into.
    carrier_ = new QWindow;
    carrier_->setFlag(Qt::FramelessWindowHint);
    carrier_->resize(1, 1);
    return static_cast<std::int64_t>(carrier_->winId());
}

MpvDevice::Pictures MpvDevice::pictures() const {
    // mpv draws into a foreign window on X11 only; elsewhere (Wayland, also without an X server)
    // it renders into memory for the display window to paint. "libmpv" asks for that on X11 too.
    if (output_.video == QLatin1String("null"))
        return Pictures::None;
    if (output_.video == QLatin1String("libmpv") || QGuiApplication::platformName() != QLatin1String("xcb"))
        return Pictures::Rendered;
    return Pictures::Carrier;
}

int MpvDevice::load(std::int64_t wid, bool patient) {
    loaded_ = false;
    ready_ = false;
    loadError_ = 0;
    mpv_ = mpv_create();
    if (!mpv_)
        return mcierr::CannotLoadDriver;
    setOption(mpv_, "config", QStringLiteral("no"));
    setOption(mpv_, "terminal", QStringLiteral("no"));
    setOption(mpv_, "idle", QStringLiteral("yes"));
    setOption(mpv_, "pause", QStringLiteral("yes"));
    setOption(mpv_, "keep-open", QStringLiteral("no"));
    setOption(mpv_, "input-default-bindings", QStringLiteral("no"));
    setOption(mpv_, "input-vo-keyboard", QStringLiteral("no"));
    setOption(mpv_, "osc", QStringLiteral("no"));
    setOption(mpv_, "ytdl", QStringLiteral("no"));
    setOption(mpv_, "load-scripts", QStringLiteral("no"));
    // mpv's own built-in scripts each run a Lua interpreter on a thread of its own, for an
    // on-screen console, statistics and profiles that nobody here can reach.
    setOption(mpv_, "load-stats-overlay", QStringLiteral("no"));
    setOption(mpv_, "load-osd-console", QStringLiteral("no"));
    setOption(mpv_, "load-auto-profiles", QStringLiteral("no"));
    // The end of an item is reported at its true end, and closing does not wait for a drain.
    setOption(mpv_, "gapless-audio", QStringLiteral("no"));
    // A clip's sound starts as it stands, not held back to meet its picture's first timestamp:
    // mpv held it up to 150 ms when the clip before had another sound format (DivX with MP3
    // after MS ADPCM). The picture follows the sound's clock from there on.
    setOption(mpv_, "initial-audio-sync", QStringLiteral("no"));
    // A short queue at the sound server: the sound of an item that follows another starts about
    // when the other's ends (at mpv's default of 100 ms, a gap of about 20 ms opens between
    // two items). A clip's sound starts with its picture, and there 50 ms measured steadier:
    // a clip after a clip 9-10 ms every time, where 25 ms gave 3 or 18 ms by chance.
    const bool clip = isClip(path_);
    setOption(mpv_, "pulse-buffer", clip ? QStringLiteral("50") : QStringLiteral("25"));
    // A stream at another rate than the server's is converted at the server, and the start of
    // such a stream (an 8 or 11 kHz WAV, a 96 kHz one) sounded about 12 ms late: mpv converts
    // it here instead, ahead, while the item waits to play.
    if (output_.rate > 0)
        setOption(mpv_, "audio-samplerate", QString::number(output_.rate));
    // Sounds leave as float (lossless for their 8 to 24 bits), so that items of differing
    // sample formats leave alike and one can follow another in the same stream (queueFollower):
    // WAVs behind WAVs, clips behind clips, whatever their codecs.
    setOption(mpv_, "audio-format", QStringLiteral("float"));
    // A mono sound leaves as stereo, both sides at its full level: mono and stereo items then
    // leave alike and can share a stream. Set before the load: mpv sets its output up for the
    // sound as it stands then, and a filter given later does not change that output.
    if (upmixed_)
        setOption(mpv_, "af", QString::fromLatin1(MonoToStereo));
    if (wid >= 0) {
        // The picture goes into the carrier, scaled to its size. The window is set before the
        // file is loaded: switching outputs later can stall.
        setOption(mpv_, "wid", QString::number(wid));
        setOption(mpv_, "vo", output_.video.isEmpty() ? QStringLiteral("x11,gpu") : output_.video);
        setOption(mpv_, "keepaspect", QStringLiteral("no"));
    } else if (renders_) {
        setOption(mpv_, "vo", QStringLiteral("libmpv"));
        setOption(mpv_, "keepaspect", QStringLiteral("no"));
    } else {
        setOption(mpv_, "vo", QStringLiteral("null"));
    }
    setOption(mpv_, "force-window", QStringLiteral("no"));
    // Without its sound server mpv would end the item with an error: it plays to its null
    // output instead, and the item waits for the server (followOutput). The server is asked
    // for by name (PipeWire serves it too), then ALSA, so that an outage is not taken for a
    // working output further down mpv's own list.
    const bool followsServer =
        (output_.audio.isEmpty() || output_.audio == QLatin1String("pulse")) && expectsSoundServer();
    if (followsServer) {
        setOption(mpv_, "ao", QStringLiteral("pulse,alsa"));
        setOption(mpv_, "audio-fallback-to-null", QStringLiteral("yes"));
    } else if (!output_.audio.isEmpty()) {
        setOption(mpv_, "ao", output_.audio);
    }
    if (!output_.logFolder.isEmpty()) {
        static std::atomic<int> players{0};
        setOption(mpv_, "log-file",
                  QStringLiteral("%1/mpv-%2-%3.log")
                      .arg(output_.logFolder)
                      .arg(QCoreApplication::applicationPid())
                      .arg(++players));
    }
    if (output_.untimed) {
        setOption(mpv_, "untimed", QStringLiteral("yes"));
        setOption(mpv_, "ao-null-untimed", QStringLiteral("yes"));
    }
    if (mpv_initialize(mpv_) < 0) {
        mpv_terminate_destroy(mpv_);
        mpv_ = nullptr;
        return mcierr::CannotLoadDriver;
    }
    if (renders_) {
        // The renderer is there before the file is loaded: mpv's output is set up with the load.
        picture_ = MpvPicture::create(mpv_);
        if (!picture_)
            return mcierr::CreateWindow;
    }
    if (followsServer)
        mpv_observe_property(mpv_, 0, "current-ao", MPV_FORMAT_STRING);
    const QByteArray file = hostBytes(path_); // a name in Shift-JIS bytes is opened by its bytes
    const char* cmd[] = {"loadfile", file.constData(), nullptr};
    if (mpv_command(mpv_, cmd) < 0)
        return mcierr::InvalidFile;

    // Wait until the file is loaded and its first sound or picture is decoded (still paused):
    // a file whose header reads but whose data does not decode fails here, at "Open", and is
    // skipped like any file that cannot be opened.
    const auto settled = [this] { return ready_ || loadError_ != 0; };
    QElapsedTimer clock;
    clock.start();
    const int quick = patient ? QuickLoadMs : OpenTimeoutMs;
    while (!settled() && clock.elapsed() < quick) {
        mpv_event* ev = mpv_wait_event(mpv_, static_cast<double>(quick - clock.elapsed()) / 1000.0);
        if (ev->event_id != MPV_EVENT_NONE)
            handle(ev);
    }
    if (!settled() && patient) {
        // The device may be closed, even deleted, by what the window does meanwhile.
        const QPointer<MpvDevice> alive(this);
        const std::shared_ptr<DiskWait> wait = openWait_;
        const int left = OpenTimeoutMs - static_cast<int>(clock.elapsed());
        wait->until(
            [this, alive, settled] {
                if (!alive)
                    return false; // given up by its destructor
                drainLoad();
                return settled();
            },
            left);
        // Closed meanwhile: its player is gone, even if the file had loaded just before (the
        // window's events that load it and those that close it can come in one turn).
        if (!alive || !mpv_)
            return mcierr::DeviceNotReady;
    }
    if (!settled()) {
        // Timed out or given up. mpv's reader may be stuck in the disk for good, and ending the
        // player waits for it: it ends on a thread of its own.
        abandonPlayer();
        return mcierr::DeviceNotReady;
    }
    if (loadError_ != 0)
        return loadError_;
    leaves_.clear();
    settleSound();
    // The length is read once here, and followed as the decoder learns better.
    mpv_observe_property(mpv_, 0, "duration", MPV_FORMAT_DOUBLE);
    listen();
    return 0;
}

void MpvDevice::listen() {
    mpv_set_wakeup_callback(
        mpv_,
        [](void* self) {
            QMetaObject::invokeMethod(static_cast<MpvDevice*>(self), &MpvDevice::drain, Qt::QueuedConnection);
        },
        this);
}

void MpvDevice::setDisplay(QWidget* window) {
    if (!mpv_ || !video_ || !window || display_ == window || !(carrier_ || picture_))
        return;
    if (display_)
        display_->removeEventFilter(this);
    if (picture_) {
        // The window paints the frames mpv renders at its size.
        display_ = window;
        picture_->setTarget(window->size() * window->devicePixelRatio());
        picture_->setViewer(window);
        window->installEventFilter(this);
        return;
    }
    // The window's own native window becomes the carrier's parent; mpv follows the carrier's
    // size, and the carrier follows the window's.
    display_ = window;
    window->winId();
    carrier_->setParent(window->windowHandle());
    carrier_->setGeometry(QRect(QPoint(0, 0), window->size()));
    carrier_->show();
    window->installEventFilter(this);
}

bool MpvDevice::eventFilter(QObject* watched, QEvent* event) {
    if (watched == display_ && event->type() == QEvent::Resize) {
        if (carrier_)
            carrier_->setGeometry(QRect(QPoint(0, 0), display_->size()));
        if (picture_)
            picture_->setTarget(display_->size() * display_->devicePixelRatio());
    }
    if (watched == display_ && picture_ && event->type() == QEvent::Paint) {
        picture_->paint(display_);
        return true;
    }
    return MediaDevice::eventFilter(watched, event);
}

int MpvDevice::play() {
    if (video_ && displayError_ != 0)
        return displayError_;
    if (!mpv_)
        return mcierr::InvalidDeviceName;
    if (serverAway_) {
        playing_ = true;
        holdForServer();
        return 0;
    }
    int flag = 0;
    if (mpv_set_property(mpv_, "pause", MPV_FORMAT_FLAG, &flag) < 0)
        return mcierr::Driver;
    playing_ = true;
    stalledSeconds_ = 0;
    starvedSeconds_ = 0;
    stallTimer_.start();
    return 0;
}

int MpvDevice::pause() {
    serverTimer_.stop(); // the wait for the server starts again with the next play
    stallTimer_.stop();
    if (!mpv_)
        return mcierr::InvalidDeviceName;
    int flag = 1;
    if (mpv_set_property(mpv_, "pause", MPV_FORMAT_FLAG, &flag) < 0)
        return mcierr::Driver;
    playing_ = false;
    return 0;
}

void MpvDevice::close() {
    unqueueFollower();
    if (leader_)
        leader_->unqueueFollower();
    const bool wasPlaying = playing_;
    playing_ = false;
    ++closes_;
    openWait_->abandon(); // a load under way (a player started afresh) is given up
    serverTimer_.stop();
    stallTimer_.stop();
    serverAway_ = false;
    leaveDisplay();
    if (!mpv_) {
        delete carrier_;
        return;
    }
    if (wasPlaying) {
        // Closed while it sounds: silent at once, not when it is destroyed.
        const char* stop[] = {"stop", nullptr};
        mpv_command_async(mpv_, 0, stop);
    }
    abandonPlayer();
}

qint64 MpvDevice::position() const {
    if (!mpv_)
        return 0;
    double pos = 0;
    if (mpv_get_property(mpv_, "time-pos", MPV_FORMAT_DOUBLE, &pos) < 0 || pos < 0)
        return 0;
    // Played past the length: the header was wrong, and the length is at least this.
    const auto ms = static_cast<qint64>(pos * 1000.0);
    length_ = std::max(length_, ms);
    return ms;
}

void MpvDevice::drain() {
    // Handling an event may run the whole advance to the next item, which closes this device
    // and may delete it while the nested event loops run: check after every event.
    const QPointer<MpvDevice> alive(this);
    while (alive && mpv_) {
        mpv_event* ev = mpv_wait_event(mpv_, 0);
        if (ev->event_id == MPV_EVENT_NONE)
            break;
        handle(ev);
    }
}

void MpvDevice::drainLoad() {
    while (mpv_) {
        mpv_event* ev = mpv_wait_event(mpv_, 0);
        if (ev->event_id == MPV_EVENT_NONE)
            break;
        handle(ev);
    }
}

void MpvDevice::handle(mpv_event* ev) {
    switch (ev->event_id) {
    case MPV_EVENT_START_FILE:
        entry_ = static_cast<mpv_event_start_file*>(ev->data)->playlist_entry_id;
        if (leaderEntry_ != 0) {
            removePlaylistEntry(mpv_, leaderEntry_); // played: the playlist keeps no trail of items
            leaderEntry_ = 0;
        }
        break;
    case MPV_EVENT_FILE_LOADED:
        loaded_ = true;
        break;
    case MPV_EVENT_PLAYBACK_RESTART:
        ready_ = loaded_;
        if (endOnceHeard_) {
            // Taken over and playing in the stream: from here its end is reported once heard.
            endOnceHeard_ = false;
            mpv_set_property_string(mpv_, "gapless-audio", "no");
        }
        break;
    case MPV_EVENT_PROPERTY_CHANGE: {
        const auto* property = static_cast<mpv_event_property*>(ev->data);
        if (property->format == MPV_FORMAT_DOUBLE && qstrcmp(property->name, "duration") == 0) {
            const double seconds = *static_cast<double*>(property->data);
            if (seconds > 0)
                length_ = static_cast<qint64>(seconds * 1000.0);
        } else if (property->format == MPV_FORMAT_STRING && qstrcmp(property->name, "current-ao") == 0) {
            followOutput(*static_cast<char**>(property->data));
        }
        break;
    }
    case MPV_EVENT_END_FILE: {
        const auto* end = static_cast<mpv_event_end_file*>(ev->data);
        if (reloadingFile_ && end->reason == MPV_END_FILE_REASON_STOP) {
            reloadingFile_ = false; // the file replaced by itself (askForServer)
            break;
        }
        if (!ready_) {
            loadError_ = errorNumber(
                end->reason == MPV_END_FILE_REASON_ERROR ? end->error : MPV_ERROR_LOADING_FAILED, path_);
            break;
        }
        const bool wasPlaying = playing_;
        playing_ = false;
        stallTimer_.stop();
        if (follower_ && end->reason == MPV_END_FILE_REASON_EOF && end->playlist_entry_id == entry_)
            handOver(); // the player goes on with the follower's file
        if (end->reason == MPV_END_FILE_REASON_ERROR)
            Q_EMIT failed(errorNumber(end->error, path_));
        else if (end->reason == MPV_END_FILE_REASON_EOF && wasPlaying)
            Q_EMIT finished();
        break;
    }
    default:
        break;
    }
}

void MpvDevice::followOutput(const char* output) {
    // mpv fell back to its null output: the sound server is away (or not up yet).
    const bool away = qstrcmp(output, "null") == 0;
    if (away == serverAway_)
        return;
    serverAway_ = away;
    if (away) {
        if (playing_)
            holdForServer();
        return;
    }
    serverTimer_.stop();
    if (playing_ && mpv_) {
        // Back: the item goes on where it stood.
        int flag = 0;
        mpv_set_property(mpv_, "pause", MPV_FORMAT_FLAG, &flag);
        stalledSeconds_ = 0;
        starvedSeconds_ = 0;
        stallTimer_.start();
    }
}

void MpvDevice::watchOutput() {
    // Once a second, a playing item's position is looked at.
    //
    // It stands while mpv waits for the file's data: a disk or share that has gone silent under
    // a playing item. A short wait is a slow disk; one as long as an open may wait fails the
    // item, which is passed over like any item whose file cannot be read.
    //
    // It stands with the data there when the output hangs: a sound server that goes away while
    // mpv hands it the last of an item, or while mpv sets its stream up, can leave mpv waiting
    // on that stream for ever: the item stands, and mpv neither takes a new output nor lets go
    // of the old one. Such a player is given up and the item goes on in a new one from where it
    // stood (an item whose sound was all handed over has ended).
    if (!mpv_ || !playing_ || serverAway_ || restarting_)
        return;
    double pos = -1;
    mpv_get_property(mpv_, "time-pos", MPV_FORMAT_DOUBLE, &pos);
    const bool stands = pos == lastPosition_;
    lastPosition_ = pos;
    if (stands && waitsForData()) {
        stalledSeconds_ = 0;
        if (++starvedSeconds_ * 1000 < DiskAnswerLimitMs)
            return;
        // Its reader may never come back: the player ends on a thread of its own.
        playing_ = false;
        stallTimer_.stop();
        abandonPlayer();
        Q_EMIT failed(mcierr::FileRead);
        return;
    }
    starvedSeconds_ = 0;
    stalledSeconds_ = stands ? stalledSeconds_ + 1 : 0;
    if (!stands)
        fruitlessRestarts_ = 0;
    if (stalledSeconds_ < StallLimitS)
        return;
    stalledSeconds_ = 0;
    const double at = std::max(pos, 0.0);
    if (at > 0 && length_ - static_cast<qint64>(at * 1000.0) < 250) {
        playing_ = false;
        stallTimer_.stop();
        abandonPlayer();
        Q_EMIT finished();
        return;
    }
    if (++fruitlessRestarts_ > FruitlessRestartLimit) {
        // Started afresh and still standing where it stood: the file does not play (a clip cut
        // short inside its first frame stands at 0 for good). It fails, and is not taken for
        // one played to its end.
        playing_ = false;
        stallTimer_.stop();
        abandonPlayer();
        Q_EMIT failed(mcierr::InvalidFile);
        return;
    }
    // The new player's load lets the window go on (its disk may be the one that went silent):
    // the item may be paused, closed or deleted before it is back.
    const QPointer<MpvDevice> alive(this);
    const unsigned closes = closes_;
    const int err = restartPlayer(at);
    if (!alive || closes_ != closes)
        return;
    if (err != 0) {
        playing_ = false;
        Q_EMIT failed(err);
        return;
    }
    if (!playing_)
        return; // paused meanwhile: the next play goes on from here
    if (serverAway_) {
        holdForServer();
    } else {
        int flag = 0;
        mpv_set_property(mpv_, "pause", MPV_FORMAT_FLAG, &flag);
        stallTimer_.start();
    }
}

bool MpvDevice::waitsForData() const {
    int pausedForCache = 0;
    mpv_get_property(mpv_, "paused-for-cache", MPV_FORMAT_FLAG, &pausedForCache);
    if (pausedForCache)
        return true;
    // A local file has no cache to pause for: the demuxer tells that it has run dry while its
    // reader is still out for more.
    mpv_node state;
    if (mpv_get_property(mpv_, "demuxer-cache-state", MPV_FORMAT_NODE, &state) < 0)
        return false;
    bool underrun = false;
    if (state.format == MPV_FORMAT_NODE_MAP) {
        const mpv_node_list* map = state.u.list;
        for (int i = 0; i < map->num; ++i) {
            if (qstrcmp(map->keys[i], "underrun") == 0 && map->values[i].format == MPV_FORMAT_FLAG)
                underrun = map->values[i].u.flag != 0;
        }
    }
    mpv_free_node_contents(&state);
    return underrun;
}

void MpvDevice::abandonPlayer() {
    unqueueFollower();
    if (!mpv_) {
        delete carrier_;
        return;
    }
    if (picture_)
        picture_->setViewer(nullptr); // its window is let go here, on the window's own thread
    endPlayer(mpv_, carrier_, std::move(picture_));
    mpv_ = nullptr;
    carrier_ = nullptr;
}

int MpvDevice::restartPlayer(double seconds) {
    stallTimer_.stop(); // not watched again until the new player plays
    abandonPlayer();
    serverAway_ = false; // the new player tells
    reloadingFile_ = false;
    const Pictures way = video_ ? pictures() : Pictures::None;
    const std::int64_t wid = way == Pictures::Carrier ? makeCarrier() : -1;
    renders_ = way == Pictures::Rendered;
    const QPointer<MpvDevice> alive(this);
    restarting_ = true;
    const int err = load(wid, true);
    if (!alive)
        return err;
    restarting_ = false;
    if (err != 0) {
        abandonPlayer();
        return err;
    }
    const QByteArray at = QByteArray::number(seconds, 'f', 3);
    const char* seek[] = {"seek", at.constData(), "absolute+exact", nullptr};
    mpv_command(mpv_, seek);
    showAgain();
    return 0;
}

void MpvDevice::leaveDisplay() {
    if (display_)
        display_->removeEventFilter(this);
    display_ = nullptr;
}

void MpvDevice::showAgain() {
    if (!display_ || !(carrier_ || picture_))
        return;
    QWidget* window = display_;
    display_ = nullptr;
    setDisplay(window);
}

void MpvDevice::holdForServer() {
    // Nothing is heard on the null output: the item stands still rather than play on unheard.
    unqueueFollower(); // the follower opens its stream anew, in its own player
    stallTimer_.stop();
    int flag = 1;
    mpv_set_property(mpv_, "pause", MPV_FORMAT_FLAG, &flag);
    if (!serverTimer_.isActive()) {
        awaySince_.start();
        serverTimer_.start();
    }
}

void MpvDevice::askForServer() {
    if (!mpv_ || !playing_ || !serverAway_) {
        serverTimer_.stop();
        return;
    }
    if (awaySince_.elapsed() > output_.serverWaitMs) {
        // Waited long enough: the item fails, and is reported and passed over like any item.
        serverTimer_.stop();
        playing_ = false;
        Q_EMIT failed(mcierr::WaveOutputsUnsuitable);
        return;
    }
    // Once the server answers, mpv opens its output again; "current-ao" tells when the stream
    // is the server's. (Not before: each reload drops what mpv had queued for its output.)
    if (serverProbe_.answered()) {
        char* output = mpv_get_property_string(mpv_, "current-ao");
        const bool noOutput = !output || !*output;
        mpv_free(output);
        const qint64 at = position();
        if (at == 0 || noOutput) {
            // Loaded while the server was away and not heard yet: mpv does not set up the
            // output of a file that has not started again, so the file is loaded afresh. So
            // too where mpv has let go of its output altogether (seen on PipeWire when the
            // server went while one item went straight on to the next): nothing to reload.
            reloadingFile_ = true;
            loadInto(mpv_, "replace", static_cast<double>(at) / 1000.0);
        } else {
            const char* reload[] = {"ao-reload", nullptr};
            mpv_command_async(mpv_, 0, reload);
        }
    }
    serverProbe_.ask();
}

} // namespace zypo

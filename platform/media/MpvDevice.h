#pragma once
// WAV, AVI and anything else FFmpeg plays, on libmpv. One mpv instance per open item: "Open"
// loads the file paused and reads its length and picture size; "Play" unpauses. mpv's events
// are drained on the UI thread (its wakeup callback only queues a call). A WAV item opened ahead
// to follow a playing WAV or clip (a clip, to follow a playing clip) is also queued in that
// item's player, and takes it over at the end (queueFollower, in MpvChain.cpp): one output
// stream across the two.
//
// The picture is drawn into a window of the device's own (the carrier), made before the file is
// loaded: mpv's video output is set up with the first load, the first frame is decoded into it
// while nobody sees it, and the display window the transport is given later only takes the
// carrier in as a child. A video item therefore loads once, also when it was opened ahead of
// time, and shows its picture as soon as its window is mapped.
#include "platform/DiskWait.h"
#include "platform/MediaDevice.h"
#include "platform/media/SoundServer.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <cstdint>
#include <memory>

class QWindow;

struct mpv_handle;
namespace zypo {
class MpvPicture;
}
struct mpv_event;

namespace zypo {

struct MpvOutput {
    QString audio;        // "" = mpv's default, "null" for headless runs
    QString video;        // "" = a scaling output that works on X11, "null" for headless runs
    bool untimed = false; // play faster than real time (tests, soak runs)
    /// The rate a WAV item's sound is converted to before it leaves: the sound server's own
    /// (0: it leaves at its own rate). A clip's sound always keeps its own.
    int rate = 0;
    /// How long an item waits for a sound server that has gone away (or is not up yet) before
    /// it fails; meanwhile it stands paused, and goes on where it was once the server is back.
    int serverWaitMs = SoundServerWaitMs;
    /// A folder where each player writes mpv's own log ("" for none): how an item that was never
    /// heard went, read after the fact.
    QString logFolder = {};
};

class MpvDevice : public MediaDevice {
    Q_OBJECT
public:
    explicit MpvDevice(MpvOutput output);
    ~MpvDevice() override;
    int open(const QString& hostPath) override;
    void abandonOpen() override { openWait_->abandon(); }
    int play() override;
    int pause() override;
    void close() override;
    bool isPlaying() const override { return playing_; }
    /// The length the header gives at open, or what the decoder has learnt since (old files
    /// lie: a clip whose header counts no frames, a WAV cut short); never less than the
    /// position played to.
    qint64 length() const override { return length_; }
    qint64 position() const override;
    bool usesWindows() const override { return video_; }
    QSize sourceSize() const override { return size_; }
    void setDisplay(QWidget* window) override;
    bool sharesFacts() const override { return true; }
    /// A WAV item, or a clip behind a clip, whose sound leaves in the same format as this one's
    /// is queued in this item's player: the sound goes on in the same stream, where a stream of
    /// its own would start at the turn of one of the sound server's cycles, up to a cycle after
    /// this one's end.
    void queueFollower(MediaDevice* next) override;

    /// An mpv error code (negative) as a media error number.
    static int errorNumber(int mpvError, const QString& hostPath);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// `patient`: a load that takes long lets the window go on (and can be given up).
    int load(std::int64_t wid, bool patient);
    void drainLoad();
    enum class Pictures { None, Carrier, Rendered };
    Pictures pictures() const;
    std::int64_t makeCarrier(); // the carrier's native window id
    void drain();
    void handle(::mpv_event* event);
    void followOutput(const char* output);
    void holdForServer();
    void askForServer();
    void watchOutput();
    bool waitsForData() const;
    /// Ends the player without waiting for it (see endPlayer); its carrier goes with it.
    void abandonPlayer();
    void listen(); // mpv's events for this player come to this device
    /// A WAV item's sound, once loaded: what it will leave as (rate, channels) is noted.
    void settleSound();
    /// The follower queued in this player leaves it (and plays from its own when it comes).
    void unqueueFollower();
    /// This item has ended and its player has gone on with the follower's file: the follower
    /// takes the player over (its own, loaded at open, ends).
    void handOver();
    void adopt(mpv_handle* player, bool serverAway, QWindow* carrier, std::shared_ptr<MpvPicture> picture);
    /// Loads this item's file into `player` ("append-play", "replace"), from `seconds` on.
    bool loadInto(mpv_handle* player, const char* how, double seconds) const;
    int restartPlayer(double seconds);
    /// The display window is let go (its resizes and paints are no longer followed).
    void leaveDisplay();
    /// A new carrier or renderer is shown in the display window given before.
    void showAgain();
    MpvOutput output_;
    mpv_handle* mpv_ = nullptr;
    QString path_;
    mutable qint64 length_ = 0;
    QSize size_;
    bool video_ = false;
    bool playing_ = false;
    bool loaded_ = false;
    bool ready_ = false; // loaded and the first data decoded
    int loadError_ = 0;
    // Shared with a load under way, which outlives the device if the window deletes it.
    std::shared_ptr<DiskWait> openWait_ = std::make_shared<DiskWait>();
    unsigned closes_ = 0;
    bool restarting_ = false;   // a player started afresh is loading
    int displayError_ = 0;      // the picture cannot be shown: a clip fails to start with this
    QPointer<QWindow> carrier_; // mpv's video output lives in it
    QPointer<QWidget> display_; // the window that holds the carrier, once set
    bool renders_ = false;      // no carrier: mpv renders into memory, the window paints
    std::shared_ptr<MpvPicture> picture_;
    // The sound server is away: mpv plays to its null output meanwhile, and a playing item
    // stands paused while mpv is asked four times a second to reconnect.
    bool serverAway_ = false;
    QTimer serverTimer_;
    QElapsedTimer awaySince_;
    SoundServerProbe serverProbe_;
    QTimer stallTimer_; // a playing item's position is watched for an output that hangs
    double lastPosition_ = -1;
    int stalledSeconds_ = 0;
    int starvedSeconds_ = 0;         // standing while the file's data is awaited
    int fruitlessRestarts_ = 0;      // started afresh without moving on since
    bool reloadingFile_ = false;     // loaded afresh for the server that came back
    QPointer<MpvDevice> follower_;   // queued in this player, to take it over at this item's end
    QPointer<MpvDevice> leader_;     // the device whose player has this item's file queued
    QString leaves_;                 // how a WAV item's sound leaves (rate, channels), once loaded
    bool upmixed_ = false;           // a mono item spread to stereo
    std::int64_t entry_ = 0;         // this item's entry in its player's playlist
    std::int64_t followerEntry_ = 0; // the follower's entry, queued behind it
    std::int64_t leaderEntry_ = 0;   // taken over: the leader's entry, to go once this one starts
    bool endOnceHeard_ = false;      // taken over: gapless off once this item plays (adopt)
};

} // namespace zypo

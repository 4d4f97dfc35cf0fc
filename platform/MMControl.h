#pragma once
// The media transport: a strip of Prev, Next, Play, Pause and Stop buttons that also opens and
// drives the media devices. Properties and events carry the names the playback logic uses.
//
// Rules the logic relies on:
//  - "Open" while another item is open keeps that item: if it is playing (the initial MIDI
//    file) it plays on to its end and is then closed quietly; the new item's "Play" waits for it,
//    so two items never sound at once and the initial file's state is in force first.
//  - DeviceType applies to the next "Open" only; every other item gets the device that suits
//    its content.
//  - After "Play" the transport raises Done(1) when the item has played to its end, Done(8)
//    when it failed while playing or when its held start failed (StartFailed), with the
//    failure's number in Error.
//  - StatusUpdate is raised every UpdateInterval ms while the interval is not 0 and an item is
//    open.
//  - A button click raises its event with Cancel; the transport's own action runs only when
//    the handler leaves Cancel False (only Pause has one that the logic uses).
#include "platform/DiskWait.h"
#include "platform/HostPath.h"
#include "platform/MediaDevice.h"

#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QToolButton;

namespace zypo {

class DriveMap;

inline constexpr std::int32_t ModeNotOpen = 524;
inline constexpr std::int32_t ModeStopped = 525;
inline constexpr std::int32_t ModePlaying = 526;
inline constexpr std::int32_t ModePaused = 529;

class MMControl : public QWidget {
    Q_OBJECT
public:
    MMControl(MediaBackend* backend, const DriveMap* drives, QWidget* parent = nullptr);
    ~MMControl() override;

    // Written properties.
    void setFileName(const QString& name) { fileName_ = name; }
    QString FileName() const { return fileName_; }
    void setNotify(bool v) { notify_ = v; }
    void setWait(bool v) { wait_ = v; }
    void setShareable(bool v) { shareable_ = v; }
    void setDeviceType(const QString& type);
    void setTimeFormat(std::int32_t f) { timeFormat_ = f; }
    void setUpdateInterval(std::int16_t ms);
    std::int16_t UpdateInterval() const { return updateInterval_; }
    void sethWndDisplay(QWidget* window);
    /// Carries out "Open", "Play", "Pause", "Stop", "Close" at once; the result is in Error.
    void setCommand(const QString& command);

    // Read properties.
    std::int16_t Error() const { return error_; }
    std::int32_t Mode() const;
    std::int32_t Length() const;
    std::int32_t Position() const;
    bool UsesWindows() const;
    /// The last Done(8) came from an item whose start failed (after the item ahead of it, the
    /// initial MIDI file, had ended), not from an item that failed while playing.
    bool StartFailed() const { return startFailed_; }

    /// Opens the item that is likely to come next on a standby device, so that the "Open" of that
    /// file finds it loaded and ready (continuous play hands over with no open in between). One
    /// standby at most: another prepare replaces it; the Open of that file takes it, unless the
    /// file has changed since. (A video item still sets up its picture when its window is
    /// given, but its load and first frame are done.)
    void prepare(const QString& fileName);
    /// The file name of the standby device, or empty.
    QString standbyFile() const { return standby_ ? standbyName_ : QString(); }
    /// Closes the standby: it holds its file (and threads, and a window for a clip) for nothing
    /// once what it was opened for will not come.
    void dropStandby();

    /// Before a file is opened (ahead of time too), the disk is asked about it off the UI
    /// thread: what the file system says of it, once its first bytes have been read. A disk
    /// that does not answer within the limit fails the item (FileRead); meanwhile the window
    /// goes on, and Stop, another entry or the end of the player give the open up.
    using DiskProbe = std::function<HostFacts(const QString& hostPath)>;
    static HostFacts readFileHead(const QString& hostPath);
    void setDiskProbe(DiskProbe probe, int limitMs);
    /// The open that waits for its disk (if any) is given up, the device's own read of the file
    /// too; it leaves the transport as it is.
    void abandonOpen();
    /// The last "Open" was given up while it waited for its disk: not an error to report.
    bool OpenAbandoned() const { return openAbandoned_; }

    /// The host path the open item was opened from (empty when nothing is open).
    QString OpenHostPath() const { return current_ ? currentHost_ : QString(); }
    /// The device of the open item when its file name is `fileName` (for "put … destination").
    MediaDevice* openDevice(const QString& fileName) const;

    /// What was asked of the transport lately, in order: "DeviceType=…", "Open …", "Play",
    /// "Close", …: the last CommandLogKept commands at least, never more than twice that.
    const QStringList& commandLog() const { return log_; }
    static constexpr qsizetype CommandLogKept = 256;
    void clearCommandLog() { log_.clear(); }

    /// Raises StatusUpdate as the interval timer does (while the interval is not 0 and an item
    /// is open).
    void fireStatusUpdate();

    // Button presses, as a click on the strip makes them.
    void clickPrev();
    void clickNext();
    void clickPlay();
    void clickPause();
    void clickStop();

Q_SIGNALS:
    void Done(std::int16_t NotifyCode);
    void PrevClick(bool& Cancel);
    void NextClick(bool& Cancel);
    void PlayClick(bool& Cancel);
    void PauseClick(bool& Cancel);
    void StopClick(bool& Cancel);
    void StatusUpdate();

private:
    void doOpen();
    void doPlay();
    void doPause();
    void doClose();
    void onCurrentFinished();
    void onCurrentFailed(int error);
    void onPrecedingEnded();
    void updateButtons();
    void logCommand(const QString& command);
    bool standbyFits(const HostFacts& file) const;
    DiskWait::Result askDisk(const QString& host, HostFacts& facts);

    MediaBackend* backend_;
    const DriveMap* drives_;
    QString fileName_;
    QString deviceType_;
    bool notify_ = false;
    bool wait_ = false;
    bool shareable_ = false;
    std::int32_t timeFormat_ = 0;
    std::int16_t updateInterval_ = 0;
    std::int16_t error_ = 0;
    QPointer<QWidget> display_;
    std::unique_ptr<MediaDevice> current_;
    QString currentFile_;
    QString currentHost_;
    std::unique_ptr<MediaDevice> preceding_;
    std::unique_ptr<MediaDevice> standby_;
    QString standbyName_;
    QString standbyHost_;
    qint64 standbySize_ = -1;
    qint64 standbyModified_ = -1;
    bool standbySpent_ = false; // it failed or ended while it waited
    bool paused_ = false;
    bool started_ = false; // "Play" was given to the current item
    bool waiting_ = false; // its start waits for the preceding item to end
    bool startFailed_ = false;
    QTimer statusTimer_;
    DiskWait diskWait_;
    int openDevice(MediaDevice& device, const QString& host); // 0, an error, or -1: given up
    std::vector<MediaDevice*> opening_;                       // devices whose open is under way
    unsigned abandons_ = 0;                                   // counts abandonOpen()
    DiskProbe diskProbe_ = readFileHead;
    int diskLimitMs_ = DiskAnswerLimitMs;
    bool openAbandoned_ = false;
    QStringList log_;
    QToolButton* buttons_[5] = {};
};

} // namespace zypo

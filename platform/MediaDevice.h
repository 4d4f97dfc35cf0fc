#pragma once
// One opened media item on one engine. The transport (MMControl) owns the devices; the engines
// behind them (the MIDI sequencer, mpv, the scripted test device) report the end of an item or a
// failure while playing through the two signals, always on the UI thread from the event loop.
#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>
#include <memory>

class QWidget;

namespace zypo {

class MediaDevice : public QObject {
    Q_OBJECT
public:
    ~MediaDevice() override = default;
    /// 0, or a media error number. Reads only what the status bar needs; plays nothing. An
    /// engine whose disk is slow to answer lets the window go on meanwhile (see DiskWait).
    virtual int open(const QString& hostPath) = 0;
    /// The open under way (waiting for its disk) returns at once, with an error.
    virtual void abandonOpen() {}
    /// Starts, or resumes after pause(). 0 or an error number.
    virtual int play() = 0;
    virtual int pause() = 0;
    virtual void close() = 0;
    virtual bool isPlaying() const = 0;
    /// Milliseconds.
    virtual qint64 length() const = 0;
    virtual qint64 position() const = 0;
    /// The item shows a picture (a video item).
    virtual bool usesWindows() const { return false; }
    /// The clip's own picture size, for "where … source".
    virtual QSize sourceSize() const { return {}; }
    virtual void setDisplay(QWidget* window) { (void)window; }
    virtual int setDestination(const QRect& rect) {
        (void)rect;
        return 0;
    }
    /// Whether a query on the same file ("open … alias", "where … source") may read this open
    /// device's facts instead of opening the file a second time. False for engines that must
    /// open the file again (a second instance may even be refused).
    virtual bool sharesFacts() const { return false; }
    /// The item carries on from the item that played just before it (the initial MIDI file):
    /// it starts in the state that one left, not in the engine's power-on state.
    virtual void setCarriesOn(bool carriesOn) { (void)carriesOn; }
    /// `next` (opened ahead of time) is to follow this item directly in continuous play. An
    /// engine that can go on from one item to the next in the same output stream queues it:
    /// once this item ends, `next` is already playing (its play() then only confirms it), with
    /// nothing between the two. Closing either undoes it. Others ignore it.
    virtual void queueFollower(MediaDevice* next) { (void)next; }

Q_SIGNALS:
    void finished();
    void failed(int error);
};

/// Makes the device that suits a file. deviceType "Sequencer" asks for the MIDI device.
class MediaBackend {
public:
    virtual ~MediaBackend() = default;
    virtual std::unique_ptr<MediaDevice> create(const QString& hostPath, const QString& deviceType,
                                                int& error) = 0;
    /// Whether opening an item ahead of time (a standby device, see MMControl::prepare) pays:
    /// true for engines whose open takes a while.
    virtual bool wantsStandby() const { return false; }
};

} // namespace zypo

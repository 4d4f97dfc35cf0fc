#pragma once
// A media backend driven by a script instead of an engine: given lengths, errors and picture
// sizes per file, and a clock the test advances. Its devices report the end of an item from the
// event loop, as the real engines do, so the logic meets the same re-entrancy.
#include "platform/MediaDevice.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace zypo {

struct ScriptedMedia {
    qint64 length = 1000;
    int openError = 0;
    int playError = 0;
    bool video = false;
    QSize size{320, 240};
    /// A second instance of the file, opened while one is open, fails with this number (a
    /// device that cannot be shared); 0: it opens.
    int secondOpenError = 0;
    /// Queries on the open item read its facts instead of opening it again (as mpv's do).
    bool sharesFacts = false;
};

class ScriptedBackend;

class ScriptedDevice : public MediaDevice {
    Q_OBJECT
public:
    ScriptedDevice(ScriptedBackend* backend, QString deviceType);
    int open(const QString& hostPath) override;
    int play() override;
    int pause() override;
    void close() override;
    bool isPlaying() const override { return playing_; }
    qint64 length() const override { return media_.length; }
    qint64 position() const override { return position_; }
    bool usesWindows() const override { return media_.video; }
    QSize sourceSize() const override { return media_.size; }
    void setDisplay(QWidget* window) override;
    int setDestination(const QRect& rect) override;
    bool sharesFacts() const override { return media_.sharesFacts; }

    QString hostPath() const { return path_; }
    bool isClosed() const { return closed_; }
    QWidget* display() const { return display_; }
    QRect destination() const { return destination_; }

    /// Moves the clock; reaching the length ends the item (reported from the event loop).
    void setPosition(qint64 ms);
    /// The engine learns the item's true length (a header that lied).
    void setLength(qint64 ms) { media_.length = ms; }
    /// Plays to the end at once.
    void finish();
    /// Fails while playing (reported from the event loop).
    void fail(int error);

private:
    ScriptedBackend* backend_;
    QString type_;
    QString path_;
    ScriptedMedia media_;
    qint64 position_ = 0;
    bool playing_ = false;
    bool closed_ = false;
    QPointer<QWidget> display_;
    QRect destination_;
};

class ScriptedBackend : public MediaBackend {
public:
    std::unique_ptr<MediaDevice> create(const QString& hostPath, const QString& deviceType,
                                        int& error) override;
    bool wantsStandby() const override { return standby; }
    /// Let the transport open items ahead of time (as the real engines do).
    bool standby = false;

    /// Media by host path. A path not listed here plays as a one-second audio item when the
    /// file exists, and fails with "file not found" otherwise.
    QHash<QString, ScriptedMedia> media;
    /// "open PATH", "play PATH", "pause PATH", "close PATH" in the order they happened.
    QStringList log;
    /// Every device made, alive or not (closed ones become null).
    QList<QPointer<ScriptedDevice>> devices;

    /// The most recently opened device that is still open, or null.
    ScriptedDevice* current() const;
    /// The device of a host path that is still open, or null.
    ScriptedDevice* deviceFor(const QString& hostPath) const;
    ScriptedMedia mediaFor(const QString& hostPath) const;
};

} // namespace zypo

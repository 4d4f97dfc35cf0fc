#pragma once
// Media keys and desktop controls: the MPRIS2 interface on the session bus. The player's
// actions come in through hooks (the transport's own button handlers), its state goes out as
// properties; without a session bus the player simply goes on without it.
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantMap>
#include <functional>

namespace zypo {

struct MprisHooks {
    std::function<void()> playPause, play, pause, stop, next, previous, raise, quit;
    /// "Playing", "Paused" or "Stopped".
    std::function<QString()> status;
    /// The open item: path (host), title, length in milliseconds; an empty path when none.
    /// Asked four times a second: answered from what the player knows, never from the disk.
    std::function<void(QString& path, QString& title, qint64& lengthMs)> item;
    /// How far the open item has played, in milliseconds.
    std::function<qint64()> positionMs;
};

class Mpris : public QObject {
    Q_OBJECT
public:
    explicit Mpris(MprisHooks hooks, QObject* parent = nullptr);
    ~Mpris() override;
    /// Registers org.mpris.MediaPlayer2.zypo on the session bus; false when there is none.
    bool registerService(const QString& serviceSuffix = QStringLiteral("zypo"));

    const MprisHooks& hooks() const { return hooks_; }
    QString playbackStatus() const;
    QVariantMap metadata() const;
    /// Microseconds, as MPRIS counts them.
    qlonglong position() const { return hooks_.positionMs ? hooks_.positionMs() * 1000 : 0; }

private:
    void poll();
    MprisHooks hooks_;
    QTimer poll_;
    QString lastStatus_;
    QVariantMap lastMetadata_;
    QString service_;
    bool registered_ = false;
};

} // namespace zypo

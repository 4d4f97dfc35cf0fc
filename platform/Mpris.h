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
    std::function<void(QString& path, QString& title, qint64& lengthMs)> item;
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

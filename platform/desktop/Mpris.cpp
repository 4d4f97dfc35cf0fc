#include "platform/desktop/Mpris.h"

#include <QCoreApplication>
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QUrl>

namespace zypo {

namespace {

class RootAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ uriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ mimeTypes)
public:
    explicit RootAdaptor(Mpris* m) : QDBusAbstractAdaptor(m), m_(m) {}
    bool canQuit() const { return true; }
    bool canRaise() const { return true; }
    bool hasTrackList() const { return false; }
    QString identity() const { return QStringLiteral("ジポプレーヤー"); }
    QString desktopEntry() const { return QStringLiteral("zypo"); }
    QStringList uriSchemes() const { return {QStringLiteral("file")}; }
    QStringList mimeTypes() const {
        return {QStringLiteral("audio/midi"), QStringLiteral("audio/x-wav"),
                QStringLiteral("video/x-msvideo")};
    }
public Q_SLOTS:
    void Raise() {
        if (m_->hooks().raise)
            m_->hooks().raise();
    }
    void Quit() {
        if (m_->hooks().quit)
            m_->hooks().quit();
    }

private:
    Mpris* m_;
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Rate READ rate)
    Q_PROPERTY(double MinimumRate READ rate)
    Q_PROPERTY(double MaximumRate READ rate)
    Q_PROPERTY(double Volume READ volume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(bool CanGoNext READ yes)
    Q_PROPERTY(bool CanGoPrevious READ yes)
    Q_PROPERTY(bool CanPlay READ yes)
    Q_PROPERTY(bool CanPause READ yes)
    Q_PROPERTY(bool CanSeek READ no)
    Q_PROPERTY(bool CanControl READ yes)
public:
    explicit PlayerAdaptor(Mpris* m) : QDBusAbstractAdaptor(m), m_(m) {}
    QString playbackStatus() const { return m_->playbackStatus(); }
    QVariantMap metadata() const { return m_->metadata(); }
    double rate() const { return 1.0; }
    double volume() const { return 1.0; }
    qlonglong position() const { return m_->position(); }
    bool yes() const { return true; }
    bool no() const { return false; }
public Q_SLOTS:
    void PlayPause() { call(m_->hooks().playPause); }
    void Play() { call(m_->hooks().play); }
    void Pause() { call(m_->hooks().pause); }
    void Stop() { call(m_->hooks().stop); }
    void Next() { call(m_->hooks().next); }
    void Previous() { call(m_->hooks().previous); }
    void Seek(qlonglong) {}
    void SetPosition(const QDBusObjectPath&, qlonglong) {}
    void OpenUri(const QString&) {}

private:
    static void call(const std::function<void()>& f) {
        if (f)
            f();
    }
    Mpris* m_;
};

const QString ObjectPath = QStringLiteral("/org/mpris/MediaPlayer2");

} // namespace

Mpris::Mpris(MprisHooks hooks, QObject* parent) : QObject(parent), hooks_(std::move(hooks)) {
    new RootAdaptor(this);
    new PlayerAdaptor(this);
    // Status and item are followed by looking: every change of the transport shows within a
    // quarter of a second, whatever caused it.
    connect(&poll_, &QTimer::timeout, this, &Mpris::poll);
}

Mpris::~Mpris() {
    if (registered_) {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.unregisterObject(ObjectPath);
        bus.unregisterService(service_);
    }
}

bool Mpris::registerService(const QString& serviceSuffix) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        return false;
    service_ = QStringLiteral("org.mpris.MediaPlayer2.") + serviceSuffix;
    if (!bus.registerObject(ObjectPath, this, QDBusConnection::ExportAdaptors))
        return false;
    if (!bus.registerService(service_)) {
        // Another player of ours has the name: take a name of our own.
        service_ += QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
        if (!bus.registerService(service_))
            return false;
    }
    registered_ = true;
    lastStatus_ = playbackStatus();
    lastMetadata_ = metadata();
    poll_.start(250);
    return true;
}

QString Mpris::playbackStatus() const {
    return hooks_.status ? hooks_.status() : QStringLiteral("Stopped");
}

QVariantMap Mpris::metadata() const {
    QVariantMap map;
    QString path, title;
    qint64 length = 0;
    if (hooks_.item)
        hooks_.item(path, title, length);
    if (path.isEmpty()) {
        map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(QStringLiteral(
                                                        "/org/mpris/MediaPlayer2/TrackList/NoTrack"))));
        return map;
    }
    map.insert(QStringLiteral("mpris:trackid"),
               QVariant::fromValue(QDBusObjectPath(QStringLiteral("/org/zypo/track/%1").arg(qHash(path)))));
    map.insert(QStringLiteral("mpris:length"), QVariant::fromValue(qlonglong(length * 1000)));
    map.insert(QStringLiteral("xesam:title"), title);
    map.insert(QStringLiteral("xesam:url"), QUrl::fromLocalFile(path).toString());
    return map;
}

void Mpris::poll() {
    const QString status = playbackStatus();
    const QVariantMap meta = metadata();
    QVariantMap changed;
    if (status != lastStatus_)
        changed.insert(QStringLiteral("PlaybackStatus"), status);
    if (meta != lastMetadata_)
        changed.insert(QStringLiteral("Metadata"), meta);
    lastStatus_ = status;
    lastMetadata_ = meta;
    if (changed.isEmpty())
        return;
    QDBusMessage signal = QDBusMessage::createSignal(
        ObjectPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("PropertiesChanged"));
    signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
    QDBusConnection::sessionBus().send(signal);
}

} // namespace zypo

#include "Mpris.moc"

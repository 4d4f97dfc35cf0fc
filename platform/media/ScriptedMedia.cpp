#include "platform/media/ScriptedMedia.h"

#include "platform/HostPath.h"
#include "platform/MediaErrors.h"

#include <QFileInfo>
#include <QTimer>

namespace zypo {

ScriptedDevice::ScriptedDevice(ScriptedBackend* backend, QString deviceType)
    : backend_(backend), type_(std::move(deviceType)) {}

int ScriptedDevice::open(const QString& hostPath) {
    path_ = hostPath;
    media_ = backend_->mediaFor(hostPath);
    backend_->log << QStringLiteral("open ") + hostPath;
    if (media_.secondOpenError != 0) {
        for (const auto& d : backend_->devices)
            if (d && d != this && !d->isClosed() && d->hostPath() == hostPath)
                return media_.secondOpenError;
    }
    return media_.openError;
}

int ScriptedDevice::play() {
    backend_->log << QStringLiteral("play ") + path_;
    if (media_.playError != 0)
        return media_.playError;
    playing_ = true;
    if (position_ >= media_.length)
        QTimer::singleShot(0, this, [this] { setPosition(media_.length); });
    return 0;
}

int ScriptedDevice::pause() {
    backend_->log << QStringLiteral("pause ") + path_;
    playing_ = false;
    return 0;
}

void ScriptedDevice::close() {
    if (closed_)
        return;
    closed_ = true;
    playing_ = false;
    backend_->log << QStringLiteral("close ") + path_;
}

void ScriptedDevice::setDisplay(QWidget* window) {
    display_ = window;
}

int ScriptedDevice::setDestination(const QRect& rect) {
    destination_ = rect;
    return 0;
}

void ScriptedDevice::setPosition(qint64 ms) {
    position_ = std::min(ms, media_.length);
    if (playing_ && position_ >= media_.length) {
        playing_ = false;
        QTimer::singleShot(0, this, [this] {
            if (!closed_)
                Q_EMIT finished();
        });
    }
}

void ScriptedDevice::finish() {
    setPosition(media_.length);
}

void ScriptedDevice::fail(int error) {
    playing_ = false;
    QTimer::singleShot(0, this, [this, error] {
        if (!closed_)
            Q_EMIT failed(error);
    });
}

std::unique_ptr<MediaDevice> ScriptedBackend::create(const QString& hostPath, const QString& deviceType,
                                                     int& error) {
    (void)hostPath;
    error = 0;
    auto device = std::make_unique<ScriptedDevice>(this, deviceType);
    devices.append(device.get());
    return device;
}

ScriptedMedia ScriptedBackend::mediaFor(const QString& hostPath) const {
    const auto it = media.constFind(hostPath);
    if (it != media.constEnd())
        return *it;
    ScriptedMedia m;
    if (!hostFacts(hostPath).file)
        m.openError = mcierr::FileNotFound;
    return m;
}

ScriptedDevice* ScriptedBackend::current() const {
    for (qsizetype i = devices.size() - 1; i >= 0; --i) {
        ScriptedDevice* d = devices.at(i);
        if (d && !d->isClosed())
            return d;
    }
    return nullptr;
}

ScriptedDevice* ScriptedBackend::deviceFor(const QString& hostPath) const {
    for (qsizetype i = devices.size() - 1; i >= 0; --i) {
        ScriptedDevice* d = devices.at(i);
        if (d && !d->isClosed() && d->hostPath() == hostPath)
            return d;
    }
    return nullptr;
}

} // namespace zypo

#include "platform/desktop/Volumes.h"

#include <QFile>
#include <QSocketNotifier>
#include <fcntl.h>
#include <unistd.h>

namespace zypo {

QStringList mountedVolumes() {
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    QStringList volumes;
    if (!mounts.open(QIODevice::ReadOnly))
        return volumes;
    const QString user = qEnvironmentVariable("USER", QStringLiteral("root"));
    const QStringList prefixes{QStringLiteral("/media/"),
                               QStringLiteral("/run/media/") + user + QLatin1Char('/'),
                               QStringLiteral("/mnt/")};
    for (const QByteArray& line : mounts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 2)
            continue;
        // Mount points escape blanks as \040.
        QString point = QString::fromUtf8(fields.at(1)).replace(QStringLiteral("\\040"), QStringLiteral(" "));
        for (const QString& p : prefixes)
            if (point.startsWith(p) && !volumes.contains(point))
                volumes.append(point);
    }
    return volumes;
}

MountWatch::MountWatch(QObject* parent) : QObject(parent) {
    // The kernel marks the mount table with an exceptional condition whenever something is
    // mounted or unmounted; reading it through the same descriptor clears the mark.
    fd_ = ::open("/proc/self/mounts", O_RDONLY | O_CLOEXEC);
    if (fd_ >= 0) {
        notifier_ = new QSocketNotifier(fd_, QSocketNotifier::Exception, this);
        connect(notifier_, &QSocketNotifier::activated, this, &MountWatch::readTable);
    }
}

MountWatch::~MountWatch() {
    delete notifier_;
    if (fd_ >= 0)
        ::close(fd_);
}

void MountWatch::readTable() {
    char buf[4096];
    ::lseek(fd_, 0, SEEK_SET);
    while (::read(fd_, buf, sizeof buf) > 0) {
    }
    Q_EMIT changed();
}

} // namespace zypo

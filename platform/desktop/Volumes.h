#pragma once
// The desktop's removable volumes: what is mounted where sticks, cards and discs are mounted,
// and a watch on the mount table that tells when something is mounted or unmounted.
#include <QObject>
#include <QStringList>

class QSocketNotifier;

namespace zypo {

/// The mounted removable volumes of the system (/media, /run/media/USER, /mnt), in mount order.
QStringList mountedVolumes();

class MountWatch : public QObject {
    Q_OBJECT
public:
    explicit MountWatch(QObject* parent = nullptr);
    ~MountWatch() override;

Q_SIGNALS:
    void changed();

private:
    void readTable();
    int fd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace zypo

#include "platform/MMControl.h"

#include "platform/DriveMap.h"
#include "platform/HostPath.h"
#include "platform/MediaErrors.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>
#include <algorithm>

namespace zypo {

namespace {
enum Button { BtnPrev, BtnNext, BtnPlay, BtnPause, BtnStop };
}

// A device may be closed from inside its own signal (the end of an item runs the advance, which
// closes it): it is stopped now and deleted from the event loop.
static void retire(std::unique_ptr<MediaDevice>& device) {
    if (!device)
        return;
    device->disconnect();
    device->close();
    device.release()->deleteLater();
}

MMControl::MMControl(MediaBackend* backend, const DriveMap* drives, QWidget* parent)
    : QWidget(parent), backend_(backend), drives_(drives) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    const struct {
        QStyle::StandardPixmap icon;
        const char* name;
        const char* tip;
    } specs[] = {
        {QStyle::SP_MediaSkipBackward, "MMCPrev", "前へ"}, {QStyle::SP_MediaSkipForward, "MMCNext", "次へ"},
        {QStyle::SP_MediaPlay, "MMCPlay", "再生"},         {QStyle::SP_MediaPause, "MMCPause", "一時停止"},
        {QStyle::SP_MediaStop, "MMCStop", "停止"},
    };
    for (int i = 0; i < 5; ++i) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(specs[i].name));
        b->setIcon(style()->standardIcon(specs[i].icon));
        b->setToolTip(QString::fromUtf8(specs[i].tip));
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        b->setFocusPolicy(Qt::TabFocus);
        row->addWidget(b);
        buttons_[i] = b;
    }
    connect(buttons_[BtnPrev], &QToolButton::clicked, this, &MMControl::clickPrev);
    connect(buttons_[BtnNext], &QToolButton::clicked, this, &MMControl::clickNext);
    connect(buttons_[BtnPlay], &QToolButton::clicked, this, &MMControl::clickPlay);
    connect(buttons_[BtnPause], &QToolButton::clicked, this, &MMControl::clickPause);
    connect(buttons_[BtnStop], &QToolButton::clicked, this, &MMControl::clickStop);
    connect(&statusTimer_, &QTimer::timeout, this, &MMControl::fireStatusUpdate);
    updateButtons();
}

MMControl::~MMControl() {
    statusTimer_.stop();
    if (standby_)
        standby_->close();
    if (current_)
        current_->close();
    if (preceding_)
        preceding_->close();
}

void MMControl::setDeviceType(const QString& type) {
    deviceType_ = type;
    logCommand(QStringLiteral("DeviceType=") + type);
}

void MMControl::logCommand(const QString& command) {
    // A player left running for weeks gives millions of commands: the older half goes, now and then.
    if (log_.size() >= 2 * CommandLogKept)
        log_.remove(0, log_.size() - CommandLogKept);
    log_ << command;
}

void MMControl::setUpdateInterval(std::int16_t ms) {
    updateInterval_ = ms;
    if (ms > 0)
        statusTimer_.start(ms);
    else
        statusTimer_.stop();
}

void MMControl::sethWndDisplay(QWidget* window) {
    display_ = window;
    if (current_)
        current_->setDisplay(window);
}

void MMControl::setCommand(const QString& command) {
    logCommand(command == QLatin1String("Open") ? command + QLatin1Char(' ') + fileName_ : command);
    error_ = 0;
    if (command == QLatin1String("Open"))
        doOpen();
    else if (command == QLatin1String("Play"))
        doPlay();
    else if (command == QLatin1String("Pause"))
        doPause();
    else if (command == QLatin1String("Close") || command == QLatin1String("Stop"))
        doClose();
    else
        error_ = mcierr::UnrecognizedCommand;
    // Wait, Notify and the device type hold for one command only.
    wait_ = false;
    notify_ = false;
    updateButtons();
}

HostFacts MMControl::readFileHead(const QString& hostPath) {
    HostFacts facts = hostFacts(hostPath);
    QFile file;
    if (facts.file && openHostFile(hostPath, file)) {
        static_cast<void>(file.read(FileHeadBytes)); // the disk answers for the data too
    }
    return facts;
}

void MMControl::setDiskProbe(DiskProbe probe, int limitMs) {
    diskProbe_ = std::move(probe);
    diskLimitMs_ = limitMs;
}

DiskWait::Result MMControl::askDisk(const QString& host, HostFacts& facts) {
    auto answer = std::make_shared<HostFacts>();
    const DiskWait::Result result =
        diskWait_.ask([answer, probe = diskProbe_, host] { *answer = probe(host); }, diskLimitMs_);
    if (result == DiskWait::Answered)
        facts = *answer;
    return result;
}

void MMControl::abandonOpen() {
    diskWait_.abandon();
    for (MediaDevice* device : opening_)
        device->abandonOpen();
    ++abandons_;
}

int MMControl::openDevice(MediaDevice& device, const QString& host) {
    // The device may wait for its disk, and the window goes on meanwhile: the user may give the
    // open up then, whatever the device answers in the end.
    const unsigned abandonsBefore = abandons_;
    opening_.push_back(&device);
    const int err = device.open(host);
    opening_.erase(std::find(opening_.begin(), opening_.end(), &device));
    return abandons_ != abandonsBefore ? -1 : err;
}

void MMControl::doOpen() {
    const QString type = deviceType_;
    deviceType_.clear();
    openAbandoned_ = false;
    const QString fileName = fileName_;
    const QString host = drives_ ? drives_->toHost(fileName) : fileName;
    if (host.isEmpty()) {
        error_ = mcierr::FileNotFound;
        return;
    }
    HostFacts facts;
    switch (askDisk(host, facts)) {
    case DiskWait::Answered:
        break;
    case DiskWait::Abandoned:
        // The user stopped, chose another entry or quit while the disk was silent: whatever
        // that did stands, and this open leaves no trace.
        openAbandoned_ = true;
        error_ = mcierr::FileRead;
        return;
    case DiskWait::TimedOut:
        error_ = mcierr::FileRead;
        return;
    }
    int err = 0;
    std::unique_ptr<MediaDevice> device;
    if (standby_ && type.isEmpty() && host == standbyHost_) {
        if (!standbySpent_ && standbyFits(facts))
            device = std::move(standby_); // opened ahead of time: nothing left to do
        else
            dropStandby();
    }
    // A standby that is not taken may already sound, queued behind the item that has ended.
    if (standby_ && standby_->isPlaying())
        dropStandby();
    if (device) {
        device->disconnect(this);
    } else {
        device = backend_ ? backend_->create(host, type, err) : nullptr;
        if (!device) {
            error_ = static_cast<std::int16_t>(err ? err : mcierr::CannotLoadDriver);
            return;
        }
        err = openDevice(*device, host);
        if (err != 0) {
            device->close();
            openAbandoned_ = err < 0;
            error_ = static_cast<std::int16_t>(err < 0 ? mcierr::FileRead : err);
            return;
        }
    }
    // The item open so far plays on to its end if it is playing (the initial MIDI file);
    // otherwise it has nothing more to do. An item opened behind one that was started starts
    // in the state that one leaves.
    device->setCarriesOn(current_ && started_);
    if (current_) {
        retire(preceding_);
        if (current_->isPlaying()) {
            preceding_ = std::move(current_);
            preceding_->disconnect(this);
            connect(preceding_.get(), &MediaDevice::finished, this, &MMControl::onPrecedingEnded);
            connect(preceding_.get(), &MediaDevice::failed, this, &MMControl::onPrecedingEnded);
        } else {
            retire(current_);
        }
    }
    current_ = std::move(device);
    currentFile_ = fileName;
    currentHost_ = host;
    paused_ = false;
    started_ = false;
    waiting_ = false;
    connect(current_.get(), &MediaDevice::finished, this, &MMControl::onCurrentFinished);
    connect(current_.get(), &MediaDevice::failed, this, &MMControl::onCurrentFailed);
    if (display_)
        current_->setDisplay(display_);
}

void MMControl::prepare(const QString& fileName) {
    if (!backend_ || !backend_->wantsStandby())
        return;
    const QString host = drives_ ? drives_->toHost(fileName) : fileName;
    HostFacts info;
    if (host.isEmpty() || askDisk(host, info) != DiskWait::Answered || !info.file)
        return;
    if (standby_ && host == standbyHost_ && standbyFits(info))
        return; // ready already
    dropStandby();
    int err = 0;
    std::unique_ptr<MediaDevice> device = backend_->create(host, QString(), err);
    if (!device)
        return;
    if (openDevice(*device, host) != 0) {
        // A file that does not open is left to its own Open, which reports it; one given up
        // will not come next.
        device->close();
        return;
    }
    standby_ = std::move(device);
    standbySpent_ = false;
    // What happens to it while it waits (its file gone or damaged under it) is kept: such a
    // standby is not taken, and its Open opens the file afresh and meets the error there.
    connect(standby_.get(), &MediaDevice::failed, this, [this] { standbySpent_ = true; });
    connect(standby_.get(), &MediaDevice::finished, this, [this] { standbySpent_ = true; });
    standbyName_ = fileName;
    standbyHost_ = host;
    standbySize_ = info.size;
    standbyModified_ = info.modifiedNs;
    // Continuous play: the item that plays now is followed by this one.
    if (current_ && current_->isPlaying() && !paused_)
        current_->queueFollower(standby_.get());
}

bool MMControl::standbyFits(const HostFacts& file) const {
    // The file the standby was opened from, unchanged since.
    return file.size == standbySize_ && file.modifiedNs == standbyModified_;
}

void MMControl::dropStandby() {
    retire(standby_);
    standbyName_.clear();
    standbyHost_.clear();
}

void MMControl::doPlay() {
    if (!current_) {
        error_ = mcierr::InvalidDeviceName;
        return;
    }
    if (paused_ && waiting_) {
        paused_ = false;
        return;
    }
    if (waiting_)
        return;
    if (current_->isPlaying() && !paused_) {
        // Playing already: also an item queued behind the one before it, which went straight on.
        started_ = true;
        return;
    }
    started_ = true;
    if (preceding_ && preceding_->isPlaying()) {
        waiting_ = true;
        paused_ = false;
        return;
    }
    const int err = current_->play();
    if (err != 0) {
        error_ = static_cast<std::int16_t>(err);
        started_ = false;
        return;
    }
    paused_ = false;
}

void MMControl::doPause() {
    if (!current_) {
        error_ = mcierr::InvalidDeviceName;
        return;
    }
    if (waiting_) {
        paused_ = true;
        return;
    }
    if (!current_->isPlaying())
        return;
    const int err = current_->pause();
    if (err != 0)
        error_ = static_cast<std::int16_t>(err);
    else
        paused_ = true;
}

void MMControl::doClose() {
    retire(preceding_);
    retire(current_);
    currentFile_.clear();
    paused_ = started_ = waiting_ = false;
}

void MMControl::onPrecedingEnded() {
    retire(preceding_);
    if (waiting_ && !paused_) {
        waiting_ = false;
        const int err = current_ ? current_->play() : 0;
        if (err != 0) {
            started_ = false;
            error_ = static_cast<std::int16_t>(err);
            startFailed_ = true;
            Q_EMIT Done(8);
        }
    }
    updateButtons();
}

void MMControl::onCurrentFinished() {
    if (!started_)
        return;
    started_ = false;
    Q_EMIT Done(1);
}

void MMControl::onCurrentFailed(int error) {
    error_ = static_cast<std::int16_t>(error);
    startFailed_ = false;
    started_ = false;
    Q_EMIT Done(8);
}

std::int32_t MMControl::Mode() const {
    if (!current_)
        return ModeNotOpen;
    if (paused_)
        return ModePaused;
    if (waiting_ || current_->isPlaying())
        return ModePlaying;
    return ModeStopped;
}

std::int32_t MMControl::Length() const {
    if (!current_)
        return 0;
    const qint64 ms = current_->length();
    return static_cast<std::int32_t>(std::clamp<qint64>(ms, 0, INT32_MAX));
}

std::int32_t MMControl::Position() const {
    if (!current_ || waiting_)
        return 0;
    return static_cast<std::int32_t>(std::clamp<qint64>(current_->position(), 0, INT32_MAX));
}

bool MMControl::UsesWindows() const {
    return current_ && current_->usesWindows();
}

MediaDevice* MMControl::openDevice(const QString& fileName) const {
    if (current_ && currentFile_.compare(fileName, Qt::CaseInsensitive) == 0)
        return current_.get();
    return nullptr;
}

void MMControl::fireStatusUpdate() {
    if (updateInterval_ != 0 && current_)
        Q_EMIT StatusUpdate();
}

void MMControl::clickPrev() {
    bool cancel = false;
    Q_EMIT PrevClick(cancel);
}

void MMControl::clickNext() {
    bool cancel = false;
    Q_EMIT NextClick(cancel);
}

void MMControl::clickPlay() {
    bool cancel = false;
    Q_EMIT PlayClick(cancel);
    if (!cancel)
        setCommand(QStringLiteral("Play"));
}

void MMControl::clickPause() {
    bool cancel = false;
    Q_EMIT PauseClick(cancel);
    if (cancel || !current_)
        return;
    // The transport's own pause action: pause a playing item, resume a paused one.
    setCommand(Mode() == ModePaused ? QStringLiteral("Play") : QStringLiteral("Pause"));
}

void MMControl::clickStop() {
    bool cancel = false;
    Q_EMIT StopClick(cancel);
    if (!cancel)
        setCommand(QStringLiteral("Stop"));
}

void MMControl::updateButtons() {
    // Play, Pause and Stop have something to act on only while an item is open.
    const bool open = current_ != nullptr;
    buttons_[BtnPlay]->setEnabled(open);
    buttons_[BtnPause]->setEnabled(open);
    buttons_[BtnStop]->setEnabled(open);
}

} // namespace zypo

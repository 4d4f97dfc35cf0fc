#include "platform/MediaCommands.h"

#include "platform/DriveMap.h"
#include "platform/MMControl.h"
#include "platform/MediaDevice.h"
#include "platform/MediaErrors.h"

#include <QRect>

namespace zypo {

namespace {
/// A second name for an item the transport has open: what is known of it, copied when the
/// alias was opened, and nothing to play.
class SharedFacts : public MediaDevice {
public:
    explicit SharedFacts(const MediaDevice& open)
        : length_(open.length()), size_(open.sourceSize()), video_(open.usesWindows()) {}
    int open(const QString&) override { return 0; }
    int play() override { return mcierr::NonapplicableFunction; }
    int pause() override { return mcierr::NonapplicableFunction; }
    void close() override {}
    bool isPlaying() const override { return false; }
    qint64 length() const override { return length_; }
    qint64 position() const override { return 0; }
    bool usesWindows() const override { return video_; }
    QSize sourceSize() const override { return size_; }

private:
    qint64 length_;
    QSize size_;
    bool video_;
};
} // namespace

MediaCommands::MediaCommands(MediaBackend* backend, const DriveMap* drives, MMControl* transport)
    : backend_(backend), drives_(drives), transport_(transport) {}

MediaCommands::~MediaCommands() {
    for (auto& [alias, device] : aliases_)
        if (device)
            device->close();
}

QStringList MediaCommands::words(const QString& command, bool* unclosedQuote) {
    QStringList out;
    if (unclosedQuote)
        *unclosedQuote = false;
    const qsizetype lastQuote = command.lastIndexOf(QLatin1Char('"'));
    qsizetype i = 0;
    const qsizetype n = command.size();
    while (i < n) {
        while (i < n && command.at(i).isSpace())
            ++i;
        if (i >= n)
            break;
        if (command.at(i) == QLatin1Char('"')) {
            if (lastQuote <= i) {
                if (unclosedQuote)
                    *unclosedQuote = true;
                out << command.mid(i + 1);
                break;
            }
            out << command.mid(i + 1, lastQuote - i - 1);
            i = lastQuote + 1;
            continue;
        }
        const qsizetype start = i;
        while (i < n && !command.at(i).isSpace())
            ++i;
        out << command.mid(start, i - start);
    }
    return out;
}

static bool parseInt(const QString& s, int& v) {
    bool ok = false;
    v = s.toInt(&ok);
    return ok;
}

std::int32_t MediaCommands::mciSendString(const QString& command, QString& reply) {
    bool unclosed = false;
    const QStringList w = words(command, &unclosed);
    if (unclosed)
        return mcierr::NoClosingQuote;
    if (w.isEmpty())
        return mcierr::MissingCommandString;
    const QString verb = w.at(0).toLower();

    if (verb == QLatin1String("open")) {
        if (w.size() < 2)
            return mcierr::MissingDeviceName;
        QString alias;
        for (qsizetype i = 2; i < w.size(); ++i) {
            const QString k = w.at(i).toLower();
            if (k == QLatin1String("alias") && i + 1 < w.size())
                alias = w.at(++i).toLower();
            else if (k == QLatin1String("wait") || k == QLatin1String("shareable"))
                continue;
            else if (k == QLatin1String("type") && i + 1 < w.size())
                ++i;
            else
                return mcierr::UnrecognizedKeyword;
        }
        if (alias.isEmpty())
            alias = w.at(1).toLower();
        if (aliases_.count(alias) != 0)
            return mcierr::DuplicateAlias;
        // The item the transport has open is not read a second time when its engine can share
        // what it knows (the video window asks for the size of the item just opened).
        if (const MediaDevice* open = transport_ ? transport_->openDevice(w.at(1)) : nullptr;
            open && open->sharesFacts()) {
            aliases_.emplace(alias, std::make_unique<SharedFacts>(*open));
            reply.clear();
            return 0;
        }
        const QString host = drives_ ? drives_->toHost(w.at(1)) : w.at(1);
        if (host.isEmpty())
            return mcierr::FileNotFound;
        int err = 0;
        std::unique_ptr<MediaDevice> device = backend_ ? backend_->create(host, QString(), err) : nullptr;
        if (!device)
            return err ? err : mcierr::CannotLoadDriver;
        err = device->open(host);
        if (err != 0) {
            device->close();
            return err;
        }
        aliases_.emplace(alias, std::move(device));
        reply.clear();
        return 0;
    }

    if (verb == QLatin1String("where")) {
        if (w.size() < 3)
            return mcierr::MissingDeviceName;
        const auto it = aliases_.find(w.at(1).toLower());
        if (it == aliases_.end())
            return mcierr::InvalidDeviceName;
        if (w.at(2).toLower() != QLatin1String("source") || w.size() > 3)
            return mcierr::UnrecognizedKeyword;
        if (!it->second->usesWindows())
            return mcierr::NonapplicableFunction;
        const QSize size = it->second->sourceSize();
        reply = QStringLiteral("0 0 %1 %2").arg(size.width()).arg(size.height()).left(255);
        return 0;
    }

    if (verb == QLatin1String("put")) {
        if (w.size() < 2)
            return mcierr::MissingDeviceName;
        MediaDevice* device = nullptr;
        const auto it = aliases_.find(w.at(1).toLower());
        if (it != aliases_.end())
            device = it->second.get();
        else if (transport_)
            device = transport_->openDevice(w.at(1));
        if (!device)
            return mcierr::InvalidDeviceName;
        if (w.size() != 8 || w.at(2).toLower() != QLatin1String("destination") ||
            w.at(3).toLower() != QLatin1String("at"))
            return mcierr::UnrecognizedKeyword;
        int v[4];
        for (int i = 0; i < 4; ++i)
            if (!parseInt(w.at(4 + i), v[i]))
                return mcierr::BadInteger;
        if (v[2] < 0 || v[3] < 0)
            return mcierr::OutOfRange;
        const int err = device->setDestination(QRect(v[0], v[1], v[2], v[3]));
        if (err == 0)
            reply.clear();
        return err;
    }

    if (verb == QLatin1String("close")) {
        if (w.size() < 2)
            return mcierr::MissingDeviceName;
        const auto it = aliases_.find(w.at(1).toLower());
        if (it == aliases_.end())
            return mcierr::InvalidDeviceName;
        it->second->close();
        aliases_.erase(it);
        reply.clear();
        return 0;
    }
    return mcierr::UnrecognizedCommand;
}

} // namespace zypo

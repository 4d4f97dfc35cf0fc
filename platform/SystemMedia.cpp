#include "platform/SystemMedia.h"

#include "platform/MediaErrors.h"
#include "platform/MpvDevice.h"

#include <QFile>

namespace zypo {

namespace {

bool isMidiContent(const QString& hostPath) {
    QFile f(hostPath);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = f.read(12);
    return head.startsWith("MThd") || (head.startsWith("RIFF") && head.mid(8, 4) == "RMID");
}

MpvOutput outputFromEnvironment() {
    MpvOutput out;
    if (qEnvironmentVariable("ZYPO_AUDIO") == QLatin1String("null"))
        out.audio = QStringLiteral("null");
    if (qEnvironmentVariable("ZYPO_VIDEO") == QLatin1String("null"))
        out.video = QStringLiteral("null");
    out.untimed = qEnvironmentVariable("ZYPO_UNTIMED") == QLatin1String("1");
    return out;
}

class SystemBackend : public MediaBackend {
public:
    explicit SystemBackend(SettingsStore* settings) : settings_(settings) {}
    std::unique_ptr<MediaDevice> create(const QString& hostPath, const QString& deviceType,
                                        int& error) override {
        error = 0;
        const bool midi = isMidiContent(hostPath);
        if (deviceType.compare(QLatin1String("Sequencer"), Qt::CaseInsensitive) == 0 && !midi) {
            error = QFile::exists(hostPath) ? mcierr::InvalidFile : mcierr::FileNotFound;
            return nullptr;
        }
        if (midi) {
            error = mcierr::SeqNoMidiPresent;
            return nullptr;
        }
        return std::make_unique<MpvDevice>(outputFromEnvironment());
    }

private:
    SettingsStore* settings_;
};

} // namespace

std::unique_ptr<MediaBackend> createSystemMediaBackend(SettingsStore* settings) {
    return std::make_unique<SystemBackend>(settings);
}

} // namespace zypo

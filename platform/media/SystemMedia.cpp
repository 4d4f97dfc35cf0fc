#include "platform/media/SystemMedia.h"

#include "platform/HostPath.h"
#include "platform/MediaErrors.h"
#include "platform/SettingsStore.h"
#include "platform/media/LargeBlocks.h"
#include "platform/media/MidiDevice.h"
#include "platform/media/MpvDevice.h"
#include "platform/media/PulseClientConfig.h"
#include "platform/media/SoundServer.h"
#include "platform/media/XlibErrors.h"

#include <QFile>
#include <QFileInfo>
#include <malloc.h>

namespace zypo {

namespace {

bool isMidiContent(const QString& hostPath) {
    QFile f;
    if (!openHostFile(hostPath, f))
        return false;
    const QByteArray head = f.read(12);
    return head.startsWith("MThd") || (head.startsWith("RIFF") && head.mid(8, 4) == "RMID");
}

MpvOutput outputFromEnvironment() {
    MpvOutput out;
    if (qEnvironmentVariable("ZYPO_AUDIO") == QLatin1String("null"))
        out.audio = QStringLiteral("null");
    // ZYPO_VIDEO names mpv's video output ("null" for headless runs, "x11" for a plain X server).
    out.video = qEnvironmentVariable("ZYPO_VIDEO");
    out.untimed = qEnvironmentVariable("ZYPO_UNTIMED") == QLatin1String("1");
    out.logFolder = qEnvironmentVariable("ZYPO_MPV_LOG");
    if (out.audio.isEmpty() && expectsSoundServer()) {
        // Asked at start, and again only while no answer has come: a server keeps its rate
        // while it runs, and each question is a connection of its own.
        out.rate = soundServerRate();
        if (out.rate == 0)
            askSoundServerRate();
    }
    return out;
}

QString findSoundFont(SettingsStore* settings) {
    QStringList candidates;
    if (settings)
        candidates << settings->read(QStringLiteral("Sound"), QStringLiteral("SoundFont"), QString());
    candidates << qEnvironmentVariable("ZYPO_SOUNDFONT");
    for (const char* name : {"FluidR3_GM.sf2", "default-GM.sf2", "TimGM6mb.sf2"})
        candidates << QStringLiteral("/usr/share/sounds/sf2/") + QString::fromLatin1(name);
    for (const QString& c : candidates)
        if (!c.isEmpty() && QFileInfo(c).isReadable())
            return c;
    return {};
}

class SystemBackend : public MediaBackend {
public:
    explicit SystemBackend(SettingsStore* settings) {
        const MpvOutput out = outputFromEnvironment(); // and asks the sound server its rate
        midi_ = std::make_unique<MidiEngine>(MidiOutput{
            out.audio == QLatin1String("null"), out.untimed, findSoundFont(settings), QString(),
            settings ? settings->read(QStringLiteral("Sound"), QStringLiteral("MidiOut"), QString())
                     : QString()});
    }
    bool wantsStandby() const override { return true; }
    std::unique_ptr<MediaDevice> create(const QString& hostPath, const QString& deviceType,
                                        int& error) override {
        error = 0;
        const bool midi = isMidiContent(hostPath);
        if (deviceType.compare(QLatin1String("Sequencer"), Qt::CaseInsensitive) == 0 && !midi) {
            error = hostFacts(hostPath).exists ? mcierr::InvalidFile : mcierr::FileNotFound;
            return nullptr;
        }
        if (midi)
            return std::make_unique<MidiDevice>(midi_.get());
        return std::make_unique<MpvDevice>(outputFromEnvironment());
    }

    void preload() { midi_->preload(); }

private:
    std::unique_ptr<MidiEngine> midi_;
};

} // namespace

std::unique_ptr<MediaBackend> createSystemMediaBackend(SettingsStore* settings, bool preloadSoundFont) {
    // Every media item runs engine threads of its own (mpv's decoders, readers and outputs, the
    // reader of a song). With the allocator's default of an arena per thread, the memory each
    // of them frees stays scattered over arenas: resident memory creeps up over hours, and a
    // SoundFont's table freed after a song is not given back while a clip plays. One arena
    // keeps it flat; the engines' threads allocate little while they play.
    mallopt(M_ARENA_MAX, 1);
    // Large blocks (a song's tables and buffers, a clip's decoder frames) are mapped apart and
    // given back whole when their item closes. By default the allocator raises this threshold
    // each time such a block is freed, and the next item's large blocks then go into the heap,
    // where they stay resident after it closes: a clip after a song held about 8 MB more.
    // The price would be paid at each WAV or AVI open: mpv's 10 MiB buffer for telling a file's
    // format is mapped and cleared afresh instead of found resident in the heap. Advised for
    // huge pages, clearing it takes a handful of page faults instead of 2,560.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    adviseLargeBlocks();
    keepXlibErrorsNonFatal();
    // Before the first sound client (the question for the server's rate, a song's synthesiser,
    // mpv) connects: each reads its configuration once, when it is made.
    sendSoundThroughTheSocket();
    auto backend = std::make_unique<SystemBackend>(settings);
    if (preloadSoundFont)
        backend->preload();
    return backend;
}

} // namespace zypo

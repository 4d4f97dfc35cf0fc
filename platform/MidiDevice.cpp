#include "platform/MidiDevice.h"

#include "platform/MediaErrors.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <chrono>
#include <fluidsynth.h>

namespace zypo {

namespace {
constexpr int Block = 64; // frames rendered between event checks (1.5 ms at 44.1 kHz)

int audioCallback(void* data, int len, int nfx, float* fx[], int nout, float* out[]) {
    (void)nfx;
    (void)fx;
    auto* engine = static_cast<MidiEngine*>(data);
    if (nout < 2)
        return FLUID_FAILED;
    engine->render(len, out[0], out[1]);
    return FLUID_OK;
}
} // namespace

MidiEngine::MidiEngine(MidiOutput output) : output_(std::move(output)) {}

MidiEngine::~MidiEngine() {
    quit_ = true;
    if (nullThread_.joinable())
        nullThread_.join();
    if (driver_)
        delete_fluid_audio_driver(driver_);
    if (synth_)
        delete_fluid_synth(synth_);
    if (settings_)
        delete_fluid_settings(settings_);
}

int MidiEngine::ensureSynth() {
    if (loadError_ >= 0)
        return loadError_;
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    if (output_.soundFont.isEmpty() || !QFileInfo(output_.soundFont).isReadable())
        return loadError_ = mcierr::SeqNoMidiPresent;
    settings_ = new_fluid_settings();
    fluid_settings_setnum(settings_, "synth.sample-rate", rate_);
    fluid_settings_setint(settings_, "synth.cpu-cores", 1);
    fluid_settings_setnum(settings_, "synth.gain", 0.5);
    synth_ = new_fluid_synth(settings_);
    if (!synth_ || fluid_synth_sfload(synth_, output_.soundFont.toLocal8Bit().constData(), 1) == FLUID_FAILED)
        return loadError_ = mcierr::SeqNoMidiPresent;
    return loadError_ = 0;
}

int MidiEngine::ensureOutput() {
    if (driver_ || nullThread_.joinable())
        return 0;
    if (output_.nullAudio) {
        nullThread_ = std::thread([this] { nullLoop(); });
        return 0;
    }
    if (!output_.audioDriver.isEmpty())
        fluid_settings_setstr(settings_, "audio.driver", output_.audioDriver.toUtf8().constData());
    driver_ = new_fluid_audio_driver2(settings_, audioCallback, this);
    return driver_ ? 0 : mcierr::WaveOutputsUnsuitable;
}

void MidiEngine::nullLoop() {
    std::vector<float> l(Block), r(Block);
    const auto blockTime = std::chrono::duration<double>(Block / rate_);
    auto next = std::chrono::steady_clock::now();
    while (!quit_) {
        render(Block, l.data(), r.data());
        if (output_.untimed) {
            bool idle;
            {
                std::lock_guard lock(mutex_);
                idle = !playing_;
            }
            if (idle)
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(blockTime);
        std::this_thread::sleep_until(next);
    }
}

int MidiEngine::start(MidiDevice* device, const SmfSong* song) {
    if (const int err = ensureSynth())
        return err;
    {
        std::lock_guard lock(mutex_);
        if (deviceRaw_ != device) {
            device_ = device;
            deviceRaw_ = device;
            song_ = song;
            next_ = 0;
            songSamples_ = 0;
        }
        playing_ = true;
    }
    if (const int err = ensureOutput()) {
        std::lock_guard lock(mutex_);
        playing_ = false;
        return err;
    }
    return 0;
}

void MidiEngine::pause(MidiDevice* device) {
    std::lock_guard lock(mutex_);
    if (deviceRaw_ != device)
        return;
    playing_ = false;
    silenceRequested_ = true;
}

void MidiEngine::stop(MidiDevice* device) {
    std::lock_guard lock(mutex_);
    if (deviceRaw_ != device)
        return;
    playing_ = false;
    silenceRequested_ = true;
    device_ = nullptr;
    deviceRaw_ = nullptr;
    song_ = nullptr;
}

std::int64_t MidiEngine::positionUs(const MidiDevice* device) const {
    std::lock_guard lock(mutex_);
    if (deviceRaw_ != device)
        return 0;
    return static_cast<std::int64_t>(songSamples_ * 1e6 / rate_);
}

bool MidiEngine::isPlaying(const MidiDevice* device) const {
    std::lock_guard lock(mutex_);
    return deviceRaw_ == device && playing_;
}

void MidiEngine::silence() {
    // Sustain off and all sound off on every channel: nothing hangs on after a pause or stop.
    for (int ch = 0; ch < 16; ++ch) {
        fluid_synth_cc(synth_, ch, 64, 0);
        fluid_synth_all_sounds_off(synth_, ch);
    }
}

void MidiEngine::render(int frames, float* left, float* right) {
    int done = 0;
    while (done < frames) {
        const int n = std::min(Block, frames - done);
        QPointer<MidiDevice> ended;
        {
            std::lock_guard lock(mutex_);
            if (silenceRequested_) {
                silence();
                silenceRequested_ = false;
            }
            if (playing_ && song_) {
                const std::int64_t untilUs = static_cast<std::int64_t>((songSamples_ + n) * 1e6 / rate_);
                const auto& ev = song_->events;
                while (next_ < ev.size() && ev[next_].timeUs <= untilUs) {
                    const MidiEvent& e = ev[next_++];
                    const int ch = e.status & 0x0f;
                    switch (e.status & 0xf0) {
                    case 0x80:
                        fluid_synth_noteoff(synth_, ch, e.data1);
                        break;
                    case 0x90:
                        fluid_synth_noteon(synth_, ch, e.data1, e.data2);
                        break;
                    case 0xA0:
                        fluid_synth_key_pressure(synth_, ch, e.data1, e.data2);
                        break;
                    case 0xB0:
                        fluid_synth_cc(synth_, ch, e.data1, e.data2);
                        break;
                    case 0xC0:
                        fluid_synth_program_change(synth_, ch, e.data1);
                        break;
                    case 0xD0:
                        fluid_synth_channel_pressure(synth_, ch, e.data1);
                        break;
                    case 0xE0:
                        fluid_synth_pitch_bend(synth_, ch, e.data1 | (e.data2 << 7));
                        break;
                    case 0xF0: {
                        QByteArray body = e.sysex;
                        if (body.endsWith('\xF7'))
                            body.chop(1);
                        if (!body.isEmpty() && body.size() < 65536)
                            fluid_synth_sysex(synth_, body.constData(), static_cast<int>(body.size()),
                                              nullptr, nullptr, nullptr, 0);
                        break;
                    }
                    default:
                        break;
                    }
                }
                songSamples_ += n;
                if (next_ >= ev.size() && songSamples_ * 1e6 / rate_ >= song_->lengthUs) {
                    playing_ = false;
                    ended = device_;
                }
            }
        }
        if (synth_)
            fluid_synth_write_float(synth_, n, left + done, 0, 1, right + done, 0, 1);
        else {
            std::fill(left + done, left + done + n, 0.0f);
            std::fill(right + done, right + done + n, 0.0f);
        }
        rendered_ += n;
        if (ended)
            QMetaObject::invokeMethod(ended.data(), &MidiDevice::songEnded, Qt::QueuedConnection);
        done += n;
    }
}

// ---------------------------------------------------------------------------------------------

MidiDevice::MidiDevice(MidiEngine* engine) : engine_(engine) {}

MidiDevice::~MidiDevice() {
    close();
}

int MidiDevice::open(const QString& hostPath) {
    QFile f(hostPath);
    if (!QFileInfo(hostPath).isFile())
        return mcierr::FileNotFound;
    if (!f.open(QIODevice::ReadOnly))
        return mcierr::FileRead;
    switch (parseSmf(f.readAll(), song_)) {
    case SmfError::None:
        break;
    case SmfError::Unsupported:
        return mcierr::SeqDivIncompatible;
    default:
        return mcierr::InvalidFile;
    }
    if (const int err = engine_->ensureSynth())
        return err;
    open_ = true;
    return 0;
}

int MidiDevice::play() {
    if (!open_)
        return mcierr::InvalidDeviceName;
    return engine_->start(this, &song_);
}

int MidiDevice::pause() {
    engine_->pause(this);
    return 0;
}

void MidiDevice::close() {
    if (!open_)
        return;
    open_ = false;
    engine_->stop(this);
}

bool MidiDevice::isPlaying() const {
    return engine_->isPlaying(this);
}

qint64 MidiDevice::position() const {
    return std::min<qint64>(engine_->positionUs(this) / 1000, length());
}

void MidiDevice::songEnded() {
    if (open_)
        Q_EMIT finished();
}

} // namespace zypo

#include "platform/media/MidiDevice.h"

#include "platform/HostPath.h"
#include "platform/MediaErrors.h"
#include "platform/media/AlsaPort.h"
#include "platform/media/SongPrograms.h"
#include "platform/media/SoundFontFile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <chrono>
#include <cmath>
#include <fluidsynth.h>
#include <malloc.h>
#include <memory>
#include <pulse/simple.h>

namespace zypo {

namespace {
/// The synthesiser's own gain; a master volume message scales it. Loud enough to stand beside a
/// WAV item at normal level; the limiter keeps dense passages from reaching full scale.
constexpr double SynthGain = 0.5;
/// The limiter's ceiling (-1 dBFS) and how fast its gain comes back after a peak (about 0.2 s).
constexpr float LimitCeiling = 0.891f;
constexpr float LimitReleasePerBlock = 0.0145f;
} // namespace

MidiEngine::MidiEngine(MidiOutput output) : output_(std::move(output)) {
    unloadTimer_.setSingleShot(true);
    unloadTimer_.setInterval(output_.soundFontIdleMs);
    QObject::connect(&unloadTimer_, &QTimer::timeout, [this] { unloadUnused(); });
}

MidiEngine::~MidiEngine() {
    if (loading_.valid())
        loading_.wait();
    {
        const std::lock_guard lock(outputMutex_);
        quit_ = true;
    }
    if (unloading_.valid())
        unloading_.wait();
    wake_.notify_all();
    if (outputThread_.joinable())
        outputThread_.join();
    if (pulse_)
        pa_simple_free(pulse_);
    if (driver_)
        delete_fluid_audio_driver(driver_);
    if (synth_)
        delete_fluid_synth(synth_);
    if (settings_)
        delete_fluid_settings(settings_);
}

/// The module messages act on the synthesiser through its own calls.
class MidiEngine::FluidModuleControl : public ModuleControl {
public:
    explicit FluidModuleControl(fluid_synth_t* synth) : synth_(synth) {}
    void resetAll() override {
        fluid_synth_system_reset(synth_);
        secondPortDrums();
    }
    void restoreChannels() override {
        for (int ch = 0; ch < MidiModules::Channels; ++ch) {
            // Pedals up first: held notes go into their release and ring out, not on for ever.
            fluid_synth_cc(synth_, ch, 64, 0);
            fluid_synth_cc(synth_, ch, 66, 0);
            fluid_synth_cc(synth_, ch, 121, 0); // pitch bend, pressure, modulation, expression, RPN
            // What "reset all controllers" leaves as it was, back to the synthesiser's defaults.
            for (const auto& [cc, value] :
                 {std::pair{7, 100}, {10, 64}, {8, 64}, {91, 40}, {93, 0}, {0, 0}, {32, 0}})
                fluid_synth_cc(synth_, ch, cc, value);
            for (int cc = 70; cc <= 79; ++cc)
                fluid_synth_cc(synth_, ch, cc, 64);
            fluid_synth_pitch_wheel_sens(synth_, ch, 2);
            fluid_synth_deactivate_tuning(synth_, ch, 0);
            const bool drum = ch % 16 == 9;
            fluid_synth_set_channel_type(synth_, ch, drum ? CHANNEL_TYPE_DRUM : CHANNEL_TYPE_MELODIC);
            fluid_synth_bank_select(synth_, ch, drum ? MidiModules::DrumBank : 0);
            fluid_synth_program_change(synth_, ch, 0);
        }
    }
    /// The second port's channel 10 is a drum channel too, as on a 32-part module.
    void secondPortDrums() {
        fluid_synth_set_channel_type(synth_, 25, CHANNEL_TYPE_DRUM);
        fluid_synth_bank_select(synth_, 25, MidiModules::DrumBank);
        fluid_synth_program_change(synth_, 25, 0);
    }
    void setDrum(int channel, bool drum) override {
        int font = 0, bank = 0, program = 0;
        fluid_synth_get_program(synth_, channel, &font, &bank, &program);
        fluid_synth_set_channel_type(synth_, channel, drum ? CHANNEL_TYPE_DRUM : CHANNEL_TYPE_MELODIC);
        fluid_synth_bank_select(synth_, channel, drum ? MidiModules::DrumBank : 0);
        fluid_synth_program_change(synth_, channel, program);
    }
    void selectBank(int channel, int bank) override { fluid_synth_bank_select(synth_, channel, bank); }
    void setMasterVolume(double level) override {
        fluid_synth_set_gain(synth_, static_cast<float>(SynthGain * std::clamp(level, 0.0, 1.0)));
    }

private:
    fluid_synth_t* synth_;
};

int MidiEngine::ensureSynth() {
    if (!output_.alsaPort.isEmpty()) {
        // An external port: opened once; whether it is still there is asked at every open.
        if (!alsa_) {
            alsa_ = output_.makePort ? output_.makePort() : std::make_unique<AlsaPort>();
            if (const int err = alsa_->open(output_.alsaPort)) {
                alsa_.reset();
                return err;
            }
            return 0;
        }
        // At every open: a module switched off and on again, or unplugged and plugged in again,
        // has lost our connection (and maybe its number); without it the events would go
        // nowhere, with no error. The output thread sends under mutex_.
        const std::lock_guard lock(mutex_);
        if (const int err = alsa_->reconnect(output_.alsaPort))
            return err;
        portLost_ = false;
        return 0;
    }
    const std::lock_guard lock(loadMutex_);
    if (loading_.valid())
        loading_.get(); // the synthesiser made by preload() (an output that failed is tried at start)
    if (!synth_) {
        if (const int err = makeSynth())
            return err;
    }
    return ensureSoundFont();
}

void MidiEngine::preload() {
    if (!output_.alsaPort.isEmpty() || synth_ || loading_.valid())
        return;
    // The first song should not wait for the synthesiser to be made, nor for the sound output:
    // a fresh stream's first writes are slow to be taken. Both are begun at start, off the UI
    // thread.
    loading_ = std::async(std::launch::async, [this] {
        if (const int err = makeSynth())
            return err;
        ensureOutput(); // an output that cannot start is tried again, and reported, at a start
        return 0;
    });
}

int MidiEngine::makeSynth() {
    fluid_set_log_function(FLUID_ERR, nullptr, nullptr);
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    settings_ = new_fluid_settings();
    fluid_settings_setnum(settings_, "synth.sample-rate", rate_);
    fluid_settings_setint(settings_, "synth.cpu-cores", 1);
    fluid_settings_setnum(settings_, "synth.gain", SynthGain);
    // Two ports of 16 channels, as a 32-part module has; a file on one port uses the first 16.
    fluid_settings_setint(settings_, "synth.midi-channels", MidiModules::Channels);
    // A General MIDI SoundFont is 6 to 150 MB of samples, of which a song uses a few presets:
    // only the preset table is read at load, and a preset's samples when a song will use it.
    fluid_settings_setint(settings_, "synth.dynamic-sample-loading", 1);
    synth_ = new_fluid_synth(settings_);
    if (!synth_)
        return mcierr::SeqNoMidiPresent;
    if (fluid_sfloader_t* loader = soundfont::makeHeldFileLoader(settings_))
        fluid_synth_add_sfloader(synth_, loader);
    moduleControl_ = std::make_unique<FluidModuleControl>(synth_);
    moduleControl_->secondPortDrums();
    return 0;
}

int MidiEngine::ensureSoundFont() {
    if (fontId_ >= 0 && !soundfont::changedSinceLoad(output_.soundFont))
        return 0;
    if (fontId_ >= 0) {
        // Written over in place while we ran: the presets read at load no longer describe the
        // file. It is loaded afresh (the samples in use play on until their notes end).
        dropSoundFont();
    }
    // A SoundFont that failed is tried again once its file has changed (installed, or written
    // whole at last); until then each song reports it at once.
    const QFileInfo file(output_.soundFont);
    const QString stamp =
        file.exists() ? QStringLiteral("%1 %2").arg(file.size()).arg(file.lastModified().toMSecsSinceEpoch())
                      : QString();
    if (fontError_ >= 0 && stamp == failedStamp_)
        return fontError_;
    fontError_ = mcierr::SeqNoMidiPresent;
    failedStamp_ = stamp;
    if (output_.soundFont.isEmpty() || !file.isReadable())
        return fontError_;
    const int id = fluid_synth_sfload(synth_, output_.soundFont.toLocal8Bit().constData(), 1);
    if (id == FLUID_FAILED) {
        soundfont::release(output_.soundFont);
        return fontError_;
    }
    fontId_ = id;
    if (fluid_sfont_t* font = fluid_synth_get_sfont_by_id(synth_, id)) {
        fluid_sfont_iteration_start(font);
        while (fluid_preset_t* preset = fluid_sfont_iteration_next(font))
            fontPresets_.emplace_back(fluid_preset_get_banknum(preset), fluid_preset_get_num(preset));
    }
    // Reading the table leaves as much again in freed blocks between the ones it keeps.
    malloc_trim(0);
    return fontError_ = 0;
}

class MidiEngine::PresetHold {
public:
    PresetHold(MidiEngine* engine, int font) : engine_(engine), font_(font) {}
    ~PresetHold() { engine_->unpin(presets_, font_); }
    std::vector<std::pair<int, int>> presets_;

private:
    MidiEngine* engine_;
    int font_;
};

std::shared_ptr<MidiEngine::PresetHold> MidiEngine::holdPresets(const SmfSong& song) {
    if (alsa_ || !synth_)
        return nullptr;
    int font = -1;
    std::vector<std::pair<int, int>> wanted;
    {
        const std::lock_guard lock(loadMutex_);
        if (ensureSoundFont() != 0)
            return nullptr;
        ++songsHeld_; // the SoundFont stays while the hold lives
        font = fontId_;
        const SongPrograms programs = programsOf(song);
        for (const auto& preset : fontPresets_)
            if (programs.wants(preset.first, preset.second))
                wanted.push_back(preset);
    }
    auto hold = std::make_shared<PresetHold>(this, font);
    for (const auto& [bank, program] : wanted) {
        // One preset at a time: each load holds the synthesiser (and its rendering) only for
        // that preset's samples.
        const std::lock_guard lock(pinMutex_);
        if (pins_[{font, bank, program}]++ == 0)
            fluid_synth_pin_preset(synth_, font, bank, program);
        hold->presets_.emplace_back(bank, program);
    }
    return hold;
}

void MidiEngine::unpin(const std::vector<std::pair<int, int>>& presets, int font) {
    {
        const std::lock_guard lock(pinMutex_);
        for (const auto& [bank, program] : presets) {
            const auto it = pins_.find({font, bank, program});
            if (it == pins_.end() || --it->second > 0)
                continue;
            pins_.erase(it);
            // Its samples go once no channel has the preset selected either.
            fluid_synth_unpin_preset(synth_, font, bank, program);
        }
    }
    const std::lock_guard lock(loadMutex_);
    if (--songsHeld_ > 0)
        return;
    // No song is open: the SoundFont's table and the samples still selected go a little later
    // (a run of WAV and AVI items does not carry them; songs that follow each other keep them).
    // Asked from any thread, timed on the engine's own.
    QMetaObject::invokeMethod(&unloadTimer_, qOverload<>(&QTimer::start), Qt::QueuedConnection);
}

void MidiEngine::dropSoundFont() {
    fluid_synth_sfunload(synth_, fontId_, 1);
    fontId_ = -1;
    fontError_ = -1;
    fontPresets_.clear();
    soundfont::release(output_.soundFont); // the next load reads the file as it is then
}

bool MidiEngine::soundFontLoaded() const {
    const std::lock_guard lock(loadMutex_);
    return fontId_ >= 0;
}

void MidiEngine::unloadUnused() {
    std::future<void> previous; // let go of outside the lock: it may still wait for it
    const std::lock_guard lock(loadMutex_);
    if (songsHeld_ > 0 || fontId_ < 0)
        return;
    previous = std::move(unloading_);
    // Freeing tens of megabytes takes a moment: off the UI thread.
    unloading_ = std::async(std::launch::async, [this] {
        const std::lock_guard unloadLock(loadMutex_);
        if (songsHeld_ > 0 || fontId_ < 0)
            return;
        fluid_synth_all_sounds_off(synth_, -1); // a tail that still rings would hold its samples
        dropSoundFont();
        // Tens of megabytes in small blocks: given back to the system, not kept for later.
        malloc_trim(0);
    });
}

int MidiEngine::start(MidiDevice* device, const SmfSong* song, bool carriesOn) {
    if (const int err = ensureSynth())
        return err;
    // A sound server that has gone (or is not up yet) is waited for by the output, with the
    // song's clock standing; the song fails only when it does not come back in time.
    checkIdleOutput();
    {
        std::lock_guard lock(mutex_);
        if (deviceRaw_ != device) {
            device_ = device;
            deviceRaw_ = device;
            song_ = song;
            next_ = 0;
            songSamples_ = 0;
            // Every item starts from the module's power-on state, so that a song sounds the
            // same on every lap whatever the song before it set; an item after the initial MIDI
            // file starts from the state that file left.
            powerOnRequested_ = !carriesOn;
        }
        playing_ = true;
    }
    wakeOutput();
    if (const int err = ensureOutput()) {
        std::lock_guard lock(mutex_);
        playing_ = false;
        return err;
    }
    return 0;
}

int MidiEngine::channelBank(int channel) const {
    if (!synth_)
        return -1;
    std::lock_guard lock(mutex_);
    int font = 0, bank = -1, program = 0;
    if (fluid_synth_get_program(synth_, channel, &font, &bank, &program) != FLUID_OK)
        return -1;
    return bank;
}

MidiStandard MidiEngine::standard() const {
    std::lock_guard lock(mutex_);
    return modules_.standard();
}

std::vector<float> MidiEngine::renderNote(int channel, int note, int velocity, int frames) {
    std::vector<float> left(static_cast<size_t>(frames)), right(static_cast<size_t>(frames));
    if (!synth_)
        return left;
    std::lock_guard lock(mutex_);
    const std::lock_guard rendering(renderMutex_);
    // Dry: the effects keep tails of whatever sounded before.
    fluid_synth_reverb_on(synth_, -1, 0);
    fluid_synth_chorus_on(synth_, -1, 0);
    fluid_synth_all_sounds_off(synth_, -1);
    std::vector<float> settle(Block);
    fluid_synth_write_float(synth_, Block, settle.data(), 0, 1, settle.data(), 0, 1);
    fluid_synth_noteon(synth_, channel, note, velocity);
    fluid_synth_write_float(synth_, frames, left.data(), 0, 1, right.data(), 0, 1);
    fluid_synth_noteoff(synth_, channel, note);
    fluid_synth_all_sounds_off(synth_, -1);
    fluid_synth_reverb_on(synth_, -1, 1);
    fluid_synth_chorus_on(synth_, -1, 1);
    return left;
}

int MidiEngine::channelProgram(int channel) const {
    if (!synth_)
        return -1;
    int font = 0, bank = 0, program = -1;
    if (fluid_synth_get_program(synth_, channel, &font, &bank, &program) != FLUID_OK)
        return -1;
    return program;
}

void MidiEngine::pause(MidiDevice* device) {
    {
        std::lock_guard lock(mutex_);
        if (deviceRaw_ != device)
            return;
        playing_ = false;
        silenceRequested_ = true;
    }
    wakeOutput();
}

void MidiEngine::stop(MidiDevice* device) {
    std::unique_lock lock(mutex_);
    if (deviceRaw_ != device)
        return;
    // Stopped while it sounds: silent at once. Closed after its end: its last notes ring out,
    // also into the next item, as they would on a module.
    (playing_ ? silenceRequested_ : releaseRequested_) = true;
    playing_ = false;
    device_ = nullptr;
    deviceRaw_ = nullptr;
    song_ = nullptr;
    lock.unlock();
    wakeOutput();
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
    for (int ch = 0; ch < (alsa_ ? 16 : MidiModules::Channels); ++ch) {
        if (alsa_) {
            for (std::uint8_t cc : {64, 120, 123})
                alsa_->send({0, static_cast<std::uint8_t>(0xB0 | ch), cc, 0, {}});
            continue;
        }
        fluid_synth_cc(synth_, ch, 64, 0);
        fluid_synth_all_sounds_off(synth_, ch);
    }
}

void MidiEngine::release() {
    // Pedals up and every note off: what still sounds goes into its release, and nothing that
    // the song left held (a file cut short) drones on.
    for (int ch = 0; ch < (alsa_ ? 16 : MidiModules::Channels); ++ch) {
        for (std::uint8_t cc : {64, 66, 123}) {
            if (alsa_)
                alsa_->send({0, static_cast<std::uint8_t>(0xB0 | ch), cc, 0, {}});
            else
                fluid_synth_cc(synth_, ch, cc, 0);
        }
    }
}

void MidiEngine::send(const MidiEvent& e) {
    if (alsa_) {
        if (!alsa_->send(e))
            portLost_ = true;
        return;
    }
    const int ch = channelOf(e);
    FluidModuleControl& control = *moduleControl_;
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
        if (!modules_.controlChange(ch, e.data1, e.data2, control))
            fluid_synth_cc(synth_, ch, e.data1, e.data2);
        break;
    case 0xC0:
        fluid_synth_program_change(synth_, ch, modules_.programChange(ch, e.data1, control));
        break;
    case 0xD0:
        fluid_synth_channel_pressure(synth_, ch, e.data1);
        break;
    case 0xE0:
        fluid_synth_pitch_bend(synth_, ch, e.data1 | (e.data2 << 7));
        break;
    case 0xF0: {
        const QByteArray body = sysexBody(e);
        // GM, GS and XG set-up messages are the module's; others (tuning) go to the synthesiser.
        if (!body.isEmpty() && body.size() < 65536 && !modules_.sysex(body, control))
            fluid_synth_sysex(synth_, body.constData(), static_cast<int>(body.size()), nullptr, nullptr,
                              nullptr, 0);
        break;
    }
    default:
        break;
    }
}

void MidiEngine::render(int frames, float* left, float* right) {
    int done = 0;
    while (done < frames) {
        const int n = std::min(Block, frames - done);
        QPointer<MidiDevice> ended;
        QPointer<MidiDevice> lost;
        {
            std::lock_guard lock(mutex_);
            if (silenceRequested_) {
                silence();
                silenceRequested_ = false;
                releaseRequested_ = false;
            }
            if (releaseRequested_) {
                release();
                releaseRequested_ = false;
            }
            if (powerOnRequested_) {
                if (moduleControl_ && !alsa_)
                    modules_.powerOn(*moduleControl_);
                powerOnRequested_ = false;
            }
            if (playing_ && song_) {
                const std::int64_t untilUs = static_cast<std::int64_t>((songSamples_ + n) * 1e6 / rate_);
                const auto& ev = song_->events;
                while (next_ < ev.size() && ev[next_].timeUs <= untilUs)
                    send(ev[next_++]);
                songSamples_ += n;
                if (portLost_) {
                    // The external port went away while playing: the item fails.
                    playing_ = false;
                    lost = device_;
                } else if (next_ >= ev.size() && songSamples_ * 1e6 / rate_ >= song_->lengthUs) {
                    playing_ = false;
                    ended = device_;
                }
            }
        }
        if (synth_) {
            const std::lock_guard rendering(renderMutex_);
            fluid_synth_write_float(synth_, n, left + done, 0, 1, right + done, 0, 1);
            if (output_.limiter)
                limit(n, left + done, right + done);
        } else {
            std::fill(left + done, left + done + n, 0.0f);
            std::fill(right + done, right + done + n, 0.0f);
        }
        if (ended)
            QMetaObject::invokeMethod(ended.data(), &MidiDevice::songEnded, Qt::QueuedConnection);
        if (lost)
            failLater(lost, mcierr::SeqPortNonexistent);
        done += n;
    }
}

void MidiEngine::failLater(const QPointer<MidiDevice>& device, int error) {
    QMetaObject::invokeMethod(
        device.data(),
        [device, error] {
            if (device)
                Q_EMIT device->failed(error);
        },
        Qt::QueuedConnection);
}

void MidiEngine::limit(int frames, float* left, float* right) {
    // A peak limiter over one block: the block's gain is never above what keeps its highest
    // sample under the ceiling (so nothing reaches full scale and nothing is clipped), and it
    // comes back towards 1 smoothly, block by block, once the peak has passed.
    float peak = 0.0f;
    for (int i = 0; i < frames; ++i)
        peak = std::max({peak, std::fabs(left[i]), std::fabs(right[i])});
    const float needed = peak > LimitCeiling ? LimitCeiling / peak : 1.0f;
    const float released = limiterGain_ + (1.0f - limiterGain_) * LimitReleasePerBlock;
    const float from = limiterGain_;
    const float to = std::min(needed, released);
    if (to >= 1.0f && from >= 1.0f) {
        limiterGain_ = 1.0f;
        return;
    }
    for (int i = 0; i < frames; ++i) {
        // Down at once (the peak may be the block's first sample), up along a ramp.
        const float g =
            to < from ? to : from + (to - from) * static_cast<float>(i + 1) / static_cast<float>(frames);
        left[i] *= g;
        right[i] *= g;
    }
    limiterGain_ = to;
}

// ---------------------------------------------------------------------------------------------

MidiDevice::MidiDevice(MidiEngine* engine) : engine_(engine) {}

MidiDevice::~MidiDevice() {
    close();
}

int MidiDevice::open(const QString& hostPath) {
    // The song is read off the UI thread: a share that stops answering leaves the window going,
    // and Stop or another entry give the open up.
    struct Read {
        HostFacts facts;
        bool opened = false;
        SmfError parsed = SmfError::None;
        SmfSong song;
        int synthError = 0;
        std::shared_ptr<MidiEngine::PresetHold> presets;
        std::atomic<bool> abandoned{false};
    };
    auto read = std::make_shared<Read>();
    const auto answer = openWait_.ask(
        [read, hostPath] {
            read->facts = hostFacts(hostPath);
            QFile f;
            if (!read->facts.file || !openHostFile(hostPath, f))
                return;
            read->opened = true;
            read->parsed = parseSmf(f.readAll(), read->song);
        },
        DiskAnswerLimitMs);
    if (answer != DiskWait::Answered)
        return mcierr::FileRead;
    if (!read->facts.exists)
        return mcierr::FileNotFound;
    if (!read->facts.file)
        return mcierr::InvalidFile; // a FIFO or a device node: never waited on
    if (!read->opened)
        return mcierr::FileRead;
    switch (read->parsed) {
    case SmfError::None:
        break;
    case SmfError::Unsupported:
        return mcierr::SeqDivIncompatible;
    default:
        return mcierr::InvalidFile;
    }
    // The SoundFont's table and the song's samples, read from the SoundFont's own disk. The
    // user's clicks wait meanwhile (a Play pressed at once then finds the item open).
    MidiEngine* engine = engine_; // kept for the run
    const auto loaded = openWait_.askWithoutInput(
        [read, engine] {
            if (read->abandoned)
                return;
            read->synthError = engine->ensureSynth();
            if (read->synthError == 0 && !read->abandoned)
                read->presets = engine->holdPresets(read->song);
        },
        DiskAnswerLimitMs);
    if (loaded != DiskWait::Answered) {
        read->abandoned = true; // an answer that comes late holds nothing
        return mcierr::DeviceNotReady;
    }
    if (read->synthError != 0)
        return read->synthError;
    song_ = std::move(read->song);
    presets_ = std::move(read->presets);
    open_ = true;
    return 0;
}

int MidiDevice::play() {
    if (!open_)
        return mcierr::InvalidDeviceName;
    return engine_->start(this, &song_, carriesOn_);
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
    presets_.reset();
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

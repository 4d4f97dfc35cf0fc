#include "platform/media/MidiDevice.h"

#include "platform/HostPath.h"
#include "platform/MediaErrors.h"

#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <alsa/asoundlib.h>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <fluidsynth.h>
#include <pulse/simple.h>

namespace zypo {

namespace {
constexpr int Block = 64; // frames rendered between event checks (1.5 ms at 44.1 kHz)
/// The synthesiser's own gain; a master volume message scales it. Loud enough to stand beside a
/// WAV item at normal level; the limiter keeps dense passages from reaching full scale.
constexpr double SynthGain = 0.5;
/// The limiter's ceiling (-1 dBFS) and how fast its gain comes back after a peak (about 0.2 s).
constexpr float LimitCeiling = 0.891f;
constexpr float LimitReleasePerBlock = 0.0145f;

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

/// MIDI out through the ALSA sequencer: our own client with one port, connected to the chosen
/// port; events are sent directly, timed by the engine's clock.
class AlsaPort {
public:
    ~AlsaPort() {
        if (seq_)
            snd_seq_close(seq_);
    }
    /// 0, or a media error number.
    int open(const QString& address) {
        if (snd_seq_open(&seq_, "default", SND_SEQ_OPEN_OUTPUT, SND_SEQ_NONBLOCK) < 0) {
            seq_ = nullptr;
            return mcierr::SeqPortNonexistent;
        }
        snd_seq_set_client_name(seq_, "zypo");
        port_ =
            snd_seq_create_simple_port(seq_, "zypo out", SND_SEQ_PORT_CAP_READ | SND_SEQ_PORT_CAP_SUBS_READ,
                                       SND_SEQ_PORT_TYPE_MIDI_GENERIC | SND_SEQ_PORT_TYPE_APPLICATION);
        if (port_ < 0 || snd_seq_parse_address(seq_, &dest_, address.toUtf8().constData()) < 0 ||
            snd_seq_connect_to(seq_, port_, dest_.client, dest_.port) < 0)
            return mcierr::SeqPortNonexistent;
        return 0;
    }
    /// The port is still there.
    bool alive() {
        snd_seq_port_info_t* info = nullptr;
        snd_seq_port_info_alloca(&info);
        return seq_ && snd_seq_get_any_port_info(seq_, dest_.client, dest_.port, info) == 0;
    }
    /// False when the port has gone.
    bool send(const MidiEvent& e) {
        snd_seq_event_t ev;
        snd_seq_ev_clear(&ev);
        snd_seq_ev_set_source(&ev, port_);
        snd_seq_ev_set_subs(&ev);
        snd_seq_ev_set_direct(&ev);
        const int ch = e.status & 0x0f;
        switch (e.status & 0xf0) {
        case 0x80:
            snd_seq_ev_set_noteoff(&ev, ch, e.data1, e.data2);
            break;
        case 0x90:
            snd_seq_ev_set_noteon(&ev, ch, e.data1, e.data2);
            break;
        case 0xA0:
            snd_seq_ev_set_keypress(&ev, ch, e.data1, e.data2);
            break;
        case 0xB0:
            snd_seq_ev_set_controller(&ev, ch, e.data1, e.data2);
            break;
        case 0xC0:
            snd_seq_ev_set_pgmchange(&ev, ch, e.data1);
            break;
        case 0xD0:
            snd_seq_ev_set_chanpress(&ev, ch, e.data1);
            break;
        case 0xE0:
            snd_seq_ev_set_pitchbend(&ev, ch, (e.data1 | (e.data2 << 7)) - 8192);
            break;
        case 0xF0:
        case 0xF7: {
            // An escape's bytes go out as they stand.
            sysex_ = e.status == 0xF0 ? QByteArray(1, '\xF0') + e.sysex : e.sysex;
            snd_seq_ev_set_sysex(&ev, static_cast<unsigned>(sysex_.size()), sysex_.data());
            break;
        }
        default:
            return true;
        }
        const int r = snd_seq_event_output_direct(seq_, &ev);
        return r >= 0 || r == -EAGAIN;
    }

private:
    snd_seq_t* seq_ = nullptr;
    int port_ = -1;
    snd_seq_addr_t dest_{};
    QByteArray sysex_;
};

MidiEngine::MidiEngine(MidiOutput output) : output_(std::move(output)) {}

MidiEngine::~MidiEngine() {
    if (loading_.valid())
        loading_.wait();
    {
        const std::lock_guard lock(outputMutex_);
        quit_ = true;
    }
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
            alsa_ = std::make_unique<AlsaPort>();
            if (const int err = alsa_->open(output_.alsaPort)) {
                alsa_.reset();
                return err;
            }
        }
        if (!alsa_->alive())
            return mcierr::SeqPortNonexistent;
        portLost_ = false;
        return 0;
    }
    if (loading_.valid())
        loadError_ = loading_.get(); // the load begun by preload() has finished by now
    if (loadError_ >= 0)
        return loadError_;
    return loadError_ = loadSynth();
}

void MidiEngine::preload() {
    if (!output_.alsaPort.isEmpty() || loadError_ >= 0 || loading_.valid())
        return;
    // A large SoundFont takes a moment to load: begun at start, off the UI thread, the first
    // MIDI item does not wait for it.
    // The sound output is opened then too: a fresh stream's first writes are slow to be
    // taken, and the first song should not wait for them.
    loading_ = std::async(std::launch::async, [this] {
        if (const int err = loadSynth())
            return err;
        ensureOutput(); // an output that cannot start is tried again, and reported, at a start
        return 0;
    });
}

int MidiEngine::loadSynth() {
    fluid_set_log_function(FLUID_WARN, nullptr, nullptr);
    fluid_set_log_function(FLUID_INFO, nullptr, nullptr);
    fluid_set_log_function(FLUID_DBG, nullptr, nullptr);
    if (output_.soundFont.isEmpty() || !QFileInfo(output_.soundFont).isReadable())
        return mcierr::SeqNoMidiPresent;
    settings_ = new_fluid_settings();
    fluid_settings_setnum(settings_, "synth.sample-rate", rate_);
    fluid_settings_setint(settings_, "synth.cpu-cores", 1);
    fluid_settings_setnum(settings_, "synth.gain", SynthGain);
    // Two ports of 16 channels, as a 32-part module has; a file on one port uses the first 16.
    fluid_settings_setint(settings_, "synth.midi-channels", MidiModules::Channels);
    synth_ = new_fluid_synth(settings_);
    if (!synth_ || fluid_synth_sfload(synth_, output_.soundFont.toLocal8Bit().constData(), 1) == FLUID_FAILED)
        return mcierr::SeqNoMidiPresent;
    moduleControl_ = std::make_unique<FluidModuleControl>(synth_);
    moduleControl_->secondPortDrums();
    return 0;
}

int MidiEngine::ensureOutput() {
    if (driver_ || outputThread_.joinable() || output_.callerRenders)
        return 0;
    if (output_.nullAudio || alsa_) {
        // No audio of our own: the engine's clock is a thread paced in real time (or, for a
        // null output in tests, as fast as it goes).
        outputThread_ = std::thread([this] { nullLoop(); });
        return 0;
    }
    if (output_.audioDriver.isEmpty()) {
        // Our own stream; also when the sound server is not up yet (the player started first, at
        // login): a song then waits for it.
        const bool connected = openPulse();
        if (connected || expectsSoundServer()) {
            outputLost_ = !connected;
            outputThread_ = std::thread([this] { pulseLoop(); });
            return 0;
        }
    }
    if (!output_.audioDriver.isEmpty())
        fluid_settings_setstr(settings_, "audio.driver", output_.audioDriver.toUtf8().constData());
    driver_ = new_fluid_audio_driver2(settings_, audioCallback, this);
    return driver_ ? 0 : mcierr::WaveOutputsUnsuitable;
}

int MidiEngine::queuedFrames() const {
    // 30 ms at the server rides out a busy moment. It costs no wait at a song's start: an idle
    // output has run dry, and the server plays a dry stream's first sound at once (a WAV-to-MIDI
    // gap of 6 to 9 ms with 30 ms queued; with silence kept queued it was about 5 ms + half the
    // queue). A song's end is reported when its last sound is handed over, so the next item's
    // sound joins on.
    return static_cast<int>(rate_ * 0.030);
}

bool MidiEngine::openPulse() {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32LE, static_cast<std::uint32_t>(rate_), 2};
    pa_buffer_attr attr;
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(queuedFrames() * 2 * sizeof(float));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(-1);
    attr.fragsize = static_cast<std::uint32_t>(-1);
    pa_simple* stream =
        pa_simple_new(nullptr, "zypo", PA_STREAM_PLAYBACK, nullptr, "MIDI", &format, nullptr, &attr, nullptr);
    if (!stream)
        return false;
    const std::lock_guard lock(outputMutex_);
    pulse_ = stream;
    return true;
}

void MidiEngine::pulseLoop() {
    std::vector<float> l(Block), r(Block), frames(2 * Block);
    const auto blockTime = std::chrono::duration_cast<std::chrono::steady_clock::duration>(
        std::chrono::duration<double>(Block / rate_));
    auto next = std::chrono::steady_clock::now();
    const int queued = queuedFrames();
    quietFrames_ = queued;
    while (!quit_) {
        if (waitForSong(queued))
            next = std::chrono::steady_clock::now();
        if (outputLost_) {
            if (!reconnect())
                continue;
            next = std::chrono::steady_clock::now();
        }
        pa_simple* out = nullptr;
        {
            const std::lock_guard lock(outputMutex_);
            out = pulse_;
        }
        render(Block, l.data(), r.data());
        float peak = 0.0f;
        for (int i = 0; i < Block; ++i) {
            frames[2 * i] = l[i];
            frames[2 * i + 1] = r[i];
            peak = std::max({peak, std::fabs(l[i]), std::fabs(r[i])});
        }
        // -60 dB: what is left of the effects' tails once everything has stopped.
        quietFrames_ = peak < 1e-3f ? quietFrames_ + Block : 0;
        if (out && pa_simple_write(out, frames.data(), frames.size() * sizeof(float), nullptr) >= 0)
            continue;
        // The sound server went away (a restart, a crash): the song's clock stands while the
        // output waits for it, and the rest of the song is heard once it is back.
        {
            const std::lock_guard lock(outputMutex_);
            pulse_ = nullptr;
        }
        if (out)
            pa_simple_free(out);
        outputLost_ = true;
        quietFrames_ = queued; // nothing more is heard of what was rendered
    }
}

bool MidiEngine::expectsSoundServer() {
    // A PulseAudio server (or PipeWire's) belongs to this system, though it may not be up yet.
    return !qEnvironmentVariableIsEmpty("PULSE_SERVER") ||
           QFileInfo::exists(QStringLiteral("/usr/bin/pulseaudio")) ||
           QFileInfo::exists(QStringLiteral("/usr/bin/pipewire-pulse"));
}

bool MidiEngine::reconnect() {
    QPointer<MidiDevice> waiting;
    {
        std::lock_guard lock(mutex_);
        if (playing_)
            waiting = device_;
    }
    if (waiting && openPulse()) {
        outputLost_ = false;
        waitingForServer_ = false;
        return true;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!waiting) {
        waitingForServer_ = false; // nothing waits; the next song tries again at once
    } else if (!waitingForServer_) {
        waitingForServer_ = true;
        serverLostAt_ = now;
    } else if (now - serverLostAt_ > std::chrono::milliseconds(output_.serverWaitMs)) {
        // Waited long enough: the song fails, and is reported and passed over like any item.
        waitingForServer_ = false;
        {
            std::lock_guard lock(mutex_);
            if (device_ == waiting)
                playing_ = false;
        }
        QMetaObject::invokeMethod(
            waiting.data(),
            [d = waiting] {
                if (d)
                    Q_EMIT d->failed(mcierr::WaveOutputsUnsuitable);
            },
            Qt::QueuedConnection);
    }
    // Asked again four times a second (at once when a song starts).
    std::unique_lock lock(outputMutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(250), [this] { return songStarted_ || quit_; });
    songStarted_ = false;
    return false;
}

bool MidiEngine::waitForSong(int queued) {
    // Nothing plays and the last sound has been handed over with a queue's worth of silence
    // after it (or nothing has been written yet): the stream is left to run dry until the next
    // song. Its first sound then goes
    // out as a fresh stream's would, at once, instead of behind queued silence (and nothing is
    // rendered while a WAV or AVI item plays). A start from here on wakes the wait below
    // (start() sets playing_ before songStarted_).
    songStarted_.exchange(false);
    {
        std::lock_guard lock(mutex_);
        if (playing_ || silenceRequested_ || releaseRequested_ || powerOnRequested_ || quietFrames_ < queued)
            return false;
    }
    std::unique_lock lock(outputMutex_);
    idle_ = true;
    wake_.wait(lock, [this] { return songStarted_ || quit_; });
    idle_ = false;
    return true;
}

void MidiEngine::checkIdleOutput() {
    // Nothing is written while idle, so a sound server that went away meanwhile is asked about
    // here: the start then connects again or fails with a message, rather than playing unheard.
    const std::lock_guard lock(outputMutex_);
    if (idle_ && pulse_ && pa_simple_get_latency(pulse_, nullptr) == static_cast<pa_usec_t>(-1)) {
        pa_simple_free(pulse_);
        pulse_ = nullptr;
        outputLost_ = true;
    }
}

void MidiEngine::nullLoop() {
    std::vector<float> l(Block), r(Block);
    const auto blockTime = std::chrono::duration<double>(Block / rate_);
    auto next = std::chrono::steady_clock::now();
    while (!quit_) {
        // Nothing to send and nobody to hear the synthesiser: the clock sleeps until a song
        // starts (for weeks, between the songs of an external port, or while WAV items play).
        if (waitForSong(0))
            next = std::chrono::steady_clock::now();
        render(Block, l.data(), r.data());
        if (output_.untimed)
            continue;
        next += std::chrono::duration_cast<std::chrono::steady_clock::duration>(blockTime);
        std::this_thread::sleep_until(next);
    }
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

void MidiEngine::wakeOutput() {
    {
        const std::lock_guard lock(outputMutex_);
        songStarted_ = true;
    }
    wake_.notify_all();
}

bool MidiEngine::outputIdle() const {
    const std::lock_guard lock(outputMutex_);
    return idle_;
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
    // The second port's events go to the second 16 channels.
    const int ch = (e.port ? 16 : 0) | (e.status & 0x0f);
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
        QByteArray body = e.sysex;
        if (body.endsWith('\xF7'))
            body.chop(1);
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
            QMetaObject::invokeMethod(
                lost.data(),
                [d = lost] {
                    if (d)
                        Q_EMIT d->failed(mcierr::SeqPortNonexistent);
                },
                Qt::QueuedConnection);
        done += n;
    }
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
    QFile f;
    const HostFacts facts = hostFacts(hostPath);
    if (!facts.exists)
        return mcierr::FileNotFound;
    if (!facts.file)
        return mcierr::InvalidFile; // a FIFO or a device node: never waited on
    if (!openHostFile(hostPath, f))
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

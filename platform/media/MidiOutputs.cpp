// The MIDI engine's outputs: our own PulseAudio stream (kept for the run, idle between songs,
// waiting for a sound server that has gone away), the paced clock of an output without sound of
// its own (an external port, or none), and FluidSynth's own audio drivers as the last resort.
// Each asks the engine for samples (render) and sends them on; the engine knows nothing of them.
#include "platform/media/MidiDevice.h"

#include "platform/MediaErrors.h"

#include <QMetaObject>
#include <chrono>
#include <cmath>
#include <fluidsynth.h>
#include <pulse/simple.h>

namespace zypo {

namespace {
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
    // Paced by the server: a write waits while the stream holds its queue.
    std::vector<float> l(Block), r(Block), frames(2 * Block);
    const int queued = queuedFrames();
    quietFrames_ = queued;
    while (!quit_) {
        waitForSong(queued);
        if (outputLost_ && !reconnect())
            continue;
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
        failLater(waiting, mcierr::WaveOutputsUnsuitable);
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

} // namespace zypo

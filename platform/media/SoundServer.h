#pragma once
// The sound server a desktop session plays through: PulseAudio, or PipeWire's PulseAudio server.
// It may not be up yet when the player starts (autostart at login), and it goes away and comes
// back (a resume, an update, a crash): items then wait for it rather than fail at once.

#include <atomic>
#include <memory>

namespace zypo {

/// A sound server belongs to this system, though it may not be up at this moment.
bool expectsSoundServer();

/// How long an item waits for a sound server that has gone away before it fails.
inline constexpr int SoundServerWaitMs = 30000;

/// The rate the sound server's default output runs at, as last asked (0: not known yet).
int soundServerRate();

/// Asks the sound server for its output's rate again, off the calling thread (the answer
/// arrives in soundServerRate). Nothing happens while a question is under way.
void askSoundServerRate();

/// Asks, off the calling thread, whether the sound server takes connections. The answer
/// arrives in the shared flag: 0 while asking, 1 yes, 2 no. The caller may go away meanwhile.
class SoundServerProbe {
public:
    /// Starts a question unless one is under way.
    void ask();
    /// True once the server has answered since the last ask (and forgets the answer).
    bool answered();

private:
    std::shared_ptr<std::atomic<int>> answer_;
};

} // namespace zypo

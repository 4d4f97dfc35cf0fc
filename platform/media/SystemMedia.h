#pragma once
// The media backend the player uses for real: the MIDI sequencer for Standard MIDI Files and
// mpv for everything else, chosen by the file's content.
#include "platform/MediaDevice.h"

#include <memory>

namespace zypo {

class SettingsStore;

/// preloadSoundFont: begin loading the SoundFont at once, in the background (the player does;
/// tests that never play MIDI need not).
std::unique_ptr<MediaBackend> createSystemMediaBackend(SettingsStore* settings,
                                                       bool preloadSoundFont = false);

} // namespace zypo

#pragma once
// What the WAV queue of MpvDevice (queueFollower) shares with the rest of the device.
#include <QString>
#include <cstdint>

struct mpv_handle;

namespace zypo {

/// mpv's audio filter that spreads a mono sound to both sides at its full level.
extern const char* const MonoToStereo;
/// The channel count a RIFF WAV's header gives, or an AVI's for its first sound stream (0: not
/// such a file, no sound, or not read).
int riffChannels(const QString& hostPath);
/// Takes the entry with that id out of the player's playlist, if it is there.
void removePlaylistEntry(mpv_handle* player, std::int64_t id);

} // namespace zypo

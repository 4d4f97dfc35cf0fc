#pragma once
// How the player's own sound clients talk to the sound server. PulseAudio 16 aborts, now and
// then, when a client whose sound it took from shared memory goes away while the server still
// counts its blocks; the player closes a clip's sound stream at every clip, and a run of short
// clips brought the user's whole desktop sound down in about one run in three. Sound sent through
// the socket instead costs a copy of a few hundred kilobytes a second.

#include <QString>

namespace zypo {

/// The client configuration the sound library would read for this process (the file named by
/// the environment, the user's own, or the system's), or an empty string when there is none.
QString soundClientConfigInUse();

/// A client configuration that keeps everything `inUse` (and the files of its ".d" folder) says
/// and adds that sound goes through the socket. Empty when `inUse` cannot be included as it
/// stands (a name the configuration syntax would cut short).
QString soundClientConfigWithoutSharedMemory(const QString& inUse);

/// Points this process's sound clients (mpv's, the synthesiser's, the server questions) at such
/// a configuration, written once into the user's runtime folder. Call before the first of them
/// connects. False, and nothing changed, when the file cannot be written.
bool sendSoundThroughTheSocket();

} // namespace zypo

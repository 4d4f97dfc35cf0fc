#pragma once
// The SoundFont is read on demand: its preset table once, each preset's samples when a song
// needs them. Those later reads go through a descriptor held open from the first read, so that
// a SoundFont replaced or deleted on disk while the player runs is still the one read (the
// samples of one instrument never come from two files). A file written over in place is no
// longer the one that was loaded: reads from it fail from then on, and the engine loads the
// file afresh before its next song.
#include <QString>

typedef struct _fluid_sfloader_t fluid_sfloader_t;
typedef struct _fluid_hashtable_t fluid_settings_t;

namespace zypo::soundfont {

/// A SoundFont loader for one synthesiser that reads through held descriptors.
fluid_sfloader_t* makeHeldFileLoader(fluid_settings_t* settings);

/// The file held for `path` is no longer what was first read from it (written over in place,
/// or gone from the held descriptor's view). A path never read is not changed.
bool changedSinceLoad(const QString& path);

/// Lets go of the descriptor held for `path`: the next load reads the file as it is now.
void release(const QString& path);

/// Bytes read from SoundFonts so far, in this process (tests and measurements).
long long bytesRead();

} // namespace zypo::soundfont

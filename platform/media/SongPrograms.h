#pragma once
// The programs a song may select, read from its events without a synthesiser: their samples are
// loaded when the song is opened, so that no program change has to load them while it plays.
#include "platform/media/Smf.h"

#include <set>

namespace zypo {

/// The programs a song may select on melodic channels (any bank but the drum kits') and on drum
/// channels (a drum kit), as sent and as its module standard maps them.
struct SongPrograms {
    std::set<int> melodic{0}; // every channel's program at power-on
    std::set<int> kits{0};    // the standard kit, which a kit that is not there falls back to
    bool wants(int bank, int program) const;
};

SongPrograms programsOf(const SmfSong& song);

} // namespace zypo

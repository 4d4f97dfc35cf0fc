// Standard MIDI File reader: any bytes, never a crash; events come out in time order and the
// length covers them.
#include "platform/media/Smf.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zypo::SmfSong song;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (zypo::parseSmf(bytes, song) != zypo::SmfError::None)
        return 0;
    std::int64_t last = 0;
    for (const zypo::MidiEvent& e : song.events) {
        if (e.timeUs < last || e.timeUs > song.lengthUs)
            std::abort();
        last = e.timeUs;
    }
    return 0;
}

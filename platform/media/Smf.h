#pragma once
// Standard MIDI File reader: format 0 and 1 (2 is read like 1), running status, SysEx, meta
// events, tempo map and SMPTE division. The file becomes one list of events in play order with
// their times in microseconds.
#include <QByteArray>
#include <cstdint>
#include <vector>

namespace zypo {

struct MidiEvent {
    std::int64_t timeUs = 0;
    std::uint8_t status = 0; // 0x80..0xEF channel messages, 0xF0 SysEx
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    QByteArray sysex; // for 0xF0: the bytes after F0 (F7 included when present)
};

struct SmfSong {
    std::vector<MidiEvent> events;
    std::int64_t lengthUs = 0; // time of the last event, End of Track included
};

enum class SmfError { None, NotMidi, Damaged, Unsupported };

/// Parses a whole file's bytes. Damaged tracks (a length past the end, a truncated event) are
/// read up to the damage. A file whose header is not "MThd" (or RIFF RMID) is NotMidi.
SmfError parseSmf(const QByteArray& bytes, SmfSong& song);

} // namespace zypo

#pragma once
// Standard MIDI File reader: formats 0, 1 and 2, running status, SysEx (also in packets),
// meta events, tempo map, SMPTE division and MIDI ports. The file becomes one list of events
// in play order with their times in microseconds.
//
// What it tolerates, since old collections are full of it:
//  - a RIFF RMID wrapper, and chunks of other kinds (XF's) between or after the tracks;
//  - a track whose declared length is wrong (short or long), or stray bytes between chunks:
//    the next track is looked for by its "MTrk", so the damage costs that track at most;
//  - a track cut short, a length past the end of the file: read up to the damage;
//  - running status used after a SysEx or meta event;
//  - a header that counts fewer (or more) tracks than the file holds: the tracks there play;
//  - format 2: its sequences play one after another, each with its own tempo map.
#include <QByteArray>
#include <cstdint>
#include <vector>

namespace zypo {

struct MidiEvent {
    std::int64_t timeUs = 0;
    std::uint8_t status = 0; // 0x80..0xEF channel messages, 0xF0 SysEx, 0xF7 bytes to send as they are
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    /// 0xF0: the bytes after F0 (F7 included when present), joined from its packets;
    /// 0xF7: an escape's bytes as they stand.
    QByteArray sysex;
    /// 0: the first 16 channels; 1: the second 16 (the file's second MIDI port).
    std::uint8_t port = 0;
};

/// The synthesiser's channel of a channel message: the second port's go to the second 16.
inline int channelOf(const MidiEvent& e) {
    return (e.port ? 16 : 0) | (e.status & 0x0f);
}

/// A SysEx event's bytes after F0, without the F7 that ends it.
QByteArray sysexBody(const MidiEvent& e);

struct SmfSong {
    std::vector<MidiEvent> events;
    std::int64_t lengthUs = 0; // time of the last event, End of Track included
    /// MIDI ports the song's events use: 1, or 2 for a file written for a 32-part module.
    int ports = 1;
};

enum class SmfError { None, NotMidi, Damaged, Unsupported };

/// Parses a whole file's bytes. A file whose header is not "MThd" (or RIFF RMID) is NotMidi.
SmfError parseSmf(const QByteArray& bytes, SmfSong& song);

} // namespace zypo

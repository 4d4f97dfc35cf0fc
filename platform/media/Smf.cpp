#include "platform/media/Smf.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace zypo {

namespace {

constexpr std::size_t MaxEvents = 20'000'000;

struct TickEvent {
    std::uint32_t tick;
    std::uint32_t order;     // track and place, so equal ticks keep file order
    MidiEvent ev;            // timeUs filled in from the tempo map; port as the file numbers it
    std::uint32_t tempo = 0; // for tempo meta events
    bool isTempo = false;
    bool isEnd = false;
};

struct Reader {
    const std::uint8_t* p;
    const std::uint8_t* end;
    bool ok() const { return p < end; }
    bool varLen(std::uint32_t& v) {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            if (p >= end)
                return false;
            const std::uint8_t b = *p++;
            v = (v << 7) | (b & 0x7f);
            if (!(b & 0x80))
                return true;
        }
        return false;
    }
};

std::uint32_t be32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}
std::uint16_t be16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>((p[0] << 8) | p[1]);
}

/// Reads one track's events; returns where the reading stopped (after End of Track, or at the
/// damage, or at the end).
const std::uint8_t* readTrack(Reader r, std::uint32_t trackNo, std::vector<TickEvent>& out) {
    std::uint32_t tick = 0;
    std::uint8_t running = 0;
    std::uint8_t port = 0; // set by the port prefix (FF 21) for the events after it
    std::uint32_t seq = 0;
    // A SysEx message begun in an F0 packet without its F7, waiting for its F7 continuations
    // (channel messages may come between the packets).
    bool packets = false;
    TickEvent pending{};
    const auto flushPending = [&] {
        // A begun message that no continuation finishes is taken as it stands (old files leave
        // the F7 off): sent at the time it began.
        if (packets && out.size() < MaxEvents)
            out.push_back(pending);
        packets = false;
    };
    while (r.ok() && out.size() < MaxEvents) {
        std::uint32_t delta = 0;
        if (!r.varLen(delta))
            break;
        tick += delta;
        if (!r.ok())
            break;
        std::uint8_t status = *r.p;
        if (status & 0x80) {
            ++r.p;
        } else {
            if (!running)
                break; // data without a status: the rest is damaged
            status = running;
        }
        TickEvent te{tick, (trackNo << 24) | (seq++ & 0xffffff), {}, 0, false, false};
        te.ev.port = port;
        if (status == 0xFF) {
            if (!r.ok())
                break;
            const std::uint8_t type = *r.p++;
            std::uint32_t len = 0;
            if (!r.varLen(len) || len > std::uint32_t(r.end - r.p))
                break;
            if (type == 0x51 && len == 3) {
                te.isTempo = true;
                te.tempo = (std::uint32_t(r.p[0]) << 16) | (std::uint32_t(r.p[1]) << 8) | r.p[2];
                out.push_back(te);
            } else if (type == 0x21 && len == 1) {
                port = r.p[0] & 0x7f;
            } else if (type == 0x2F) {
                flushPending();
                te.isEnd = true;
                out.push_back(te);
                r.p += len;
                return r.p;
            }
            r.p += len;
            continue; // running status goes on after a meta event, as players let it
        }
        if (status == 0xF0 || status == 0xF7) {
            std::uint32_t len = 0;
            if (!r.varLen(len) || len > std::uint32_t(r.end - r.p))
                break;
            const QByteArray data(reinterpret_cast<const char*>(r.p), static_cast<qsizetype>(len));
            r.p += len;
            // Running status is kept: files use it after a SysEx, and players have let them.
            if (status == 0xF7 && packets) {
                // A continuation: the message is sent whole once its last packet (the one
                // ending in F7) has come.
                pending.ev.sysex += data;
                if (data.endsWith('\xF7')) {
                    pending.tick = tick;
                    pending.order = te.order;
                    out.push_back(pending);
                    packets = false;
                }
                continue;
            }
            flushPending();
            if (status == 0xF0) {
                te.ev.status = 0xF0;
                te.ev.sysex = data;
                if (data.endsWith('\xF7')) {
                    out.push_back(te);
                } else {
                    packets = true;
                    pending = te;
                }
            } else if (data.startsWith('\xF0')) {
                // An escape that carries a whole message: a SysEx like any other.
                te.ev.status = 0xF0;
                te.ev.sysex = data.mid(1);
                out.push_back(te);
            } else if (!data.isEmpty()) {
                te.ev.status = 0xF7;
                te.ev.sysex = data;
                out.push_back(te);
            }
            continue;
        }
        if (status >= 0xF1)
            break; // system common/real-time bytes do not belong in a file
        running = status;
        const int dataBytes = ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 1 : 2;
        if (r.end - r.p < dataBytes)
            break;
        te.ev.status = status;
        te.ev.data1 = r.p[0] & 0x7f;
        te.ev.data2 = dataBytes == 2 ? (r.p[1] & 0x7f) : 0;
        r.p += dataBytes;
        out.push_back(te);
    }
    flushPending();
    return r.p;
}

/// Four printable characters: the name of a chunk ("MTrk", or another kind's).
bool looksLikeChunk(const std::uint8_t* p, const std::uint8_t* end) {
    if (end - p < 8)
        return false;
    for (int i = 0; i < 4; ++i)
        if (p[i] < 0x20 || p[i] > 0x7e)
            return false;
    return true;
}

const std::uint8_t* findTrack(const std::uint8_t* from, const std::uint8_t* end) {
    static const char id[] = "MTrk";
    const std::uint8_t* found = std::search(from, end, id, id + 4);
    return found;
}

/// Ticks to microseconds through the tempo map (or the fixed SMPTE rate), from `startUs` on.
/// Returns the time of the last event (End of Track included).
double timeEvents(std::vector<TickEvent>& all, std::uint16_t division, double startUs,
                  std::vector<MidiEvent>& out) {
    std::stable_sort(all.begin(), all.end(), [](const TickEvent& a, const TickEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });
    const bool smpte = division & 0x8000;
    double usPerTick = 500000.0 / division;
    if (smpte) {
        const int fps = -static_cast<std::int8_t>(division >> 8);
        const double frameRate = fps == 29 ? 29.97 : fps;
        usPerTick = 1e6 / (frameRate * (division & 0xff));
    }
    double us = startUs;
    double last = startUs;
    std::uint32_t lastTick = 0;
    for (TickEvent& te : all) {
        us += double(te.tick - lastTick) * usPerTick;
        lastTick = te.tick;
        last = std::max(last, us);
        if (te.isTempo) {
            if (!smpte && te.tempo > 0)
                usPerTick = double(te.tempo) / division;
            continue;
        }
        if (te.isEnd)
            continue;
        te.ev.timeUs = static_cast<std::int64_t>(us);
        out.push_back(std::move(te.ev));
    }
    return last;
}

} // namespace

QByteArray sysexBody(const MidiEvent& e) {
    QByteArray body = e.sysex;
    if (body.endsWith('\xF7'))
        body.chop(1);
    return body;
}

SmfError parseSmf(const QByteArray& bytes, SmfSong& song) {
    song = {};
    const auto* base = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const std::uint8_t* p = base;
    const std::uint8_t* end = base + bytes.size();
    // RIFF RMID wraps a standard file in its "data" chunk.
    if (bytes.size() >= 20 && bytes.startsWith("RIFF") && bytes.mid(8, 4) == "RMID") {
        const std::uint8_t* q = base + 12;
        while (end - q >= 8) {
            const std::uint32_t len = q[4] | (q[5] << 8) | (q[6] << 16) | (std::uint32_t(q[7]) << 24);
            if (std::memcmp(q, "data", 4) == 0) {
                p = q + 8;
                end = p + std::min<std::size_t>(len, static_cast<std::size_t>(end - p));
                break;
            }
            if (len > std::size_t(end - q - 8))
                return SmfError::Damaged;
            q += 8 + len + (len & 1);
        }
    }
    if (end - p < 14 || std::memcmp(p, "MThd", 4) != 0)
        return SmfError::NotMidi;
    const std::uint32_t hlen = be32(p + 4);
    if (hlen < 6)
        return SmfError::Damaged;
    const std::uint16_t format = be16(p + 8);
    const std::uint16_t division = be16(p + 12);
    if (division == 0)
        return SmfError::Unsupported;
    if ((division & 0x8000) && (-static_cast<std::int8_t>(division >> 8) <= 0 || (division & 0xff) == 0))
        return SmfError::Unsupported;
    p += 8 + std::min<std::size_t>(hlen, static_cast<std::size_t>(end - p - 8));

    // Every track the file holds, whatever the header counts; a chunk whose length is wrong
    // costs that chunk at most: where its declared end is not the start of a chunk, the next
    // track is looked for by its name.
    std::vector<std::vector<TickEvent>> tracks;
    std::size_t events = 0;
    while (end - p >= 8 && events < MaxEvents) {
        const std::uint8_t* body = p + 8;
        const std::uint8_t* declaredEnd = body + std::min<std::size_t>(be32(p + 4), std::size_t(end - body));
        const std::uint8_t* stop = declaredEnd;
        if (std::memcmp(p, "MTrk", 4) == 0) {
            tracks.emplace_back();
            stop = std::min(
                readTrack({body, declaredEnd}, static_cast<std::uint32_t>(tracks.size() - 1), tracks.back()),
                declaredEnd);
            events += tracks.back().size();
        } else if (!looksLikeChunk(p, end)) {
            // Stray bytes where a chunk should start.
            p = findTrack(p + 1, end);
            continue;
        } else {
            stop = body; // another kind of chunk (XF's): nothing in it is ours
        }
        if (stop < declaredEnd) {
            // The track ended before its declared end: a length that runs on into the next
            // track (or to the end of the file) is found by that track's name.
            const std::uint8_t* next = findTrack(stop, declaredEnd);
            if (next != declaredEnd) {
                p = next;
                continue;
            }
        }
        if (declaredEnd == end || looksLikeChunk(declaredEnd, end)) {
            p = declaredEnd;
            continue;
        }
        // The declared length is wrong: the next track starts near where this one stopped (a
        // few bytes back, for a track without its End of Track that ran into it).
        p = findTrack(std::max(body, stop - 3), end);
    }

    // A file written for a 32-part module puts its tracks on two ports (the port prefix): the
    // first port it uses drives the first 16 channels, any other the second 16. A file on one
    // port (whichever its number) stays on the first 16.
    std::set<std::uint8_t> used;
    for (const auto& t : tracks)
        for (const TickEvent& te : t)
            if (te.ev.status >= 0x80)
                used.insert(te.ev.port);
    song.ports = used.size() > 1 ? 2 : 1;
    const std::uint8_t first = used.empty() ? 0 : *used.begin();
    for (auto& t : tracks)
        for (TickEvent& te : t)
            te.ev.port = song.ports > 1 && te.ev.port != first ? 1 : 0;

    song.events.reserve(events);
    if (format == 2) {
        // Independent sequences, one after another, each with its own tempo map.
        double at = 0;
        for (auto& t : tracks)
            at = timeEvents(t, division, at, song.events);
        song.lengthUs = static_cast<std::int64_t>(at);
    } else {
        std::vector<TickEvent> all;
        all.reserve(events);
        for (auto& t : tracks)
            all.insert(all.end(), std::make_move_iterator(t.begin()), std::make_move_iterator(t.end()));
        song.lengthUs = static_cast<std::int64_t>(timeEvents(all, division, 0, song.events));
    }
    return SmfError::None;
}

} // namespace zypo

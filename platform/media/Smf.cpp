#include "platform/media/Smf.h"

#include <algorithm>
#include <cstring>

namespace zypo {

namespace {

constexpr std::size_t MaxEvents = 20'000'000;

struct TickEvent {
    std::uint32_t tick;
    std::uint32_t order;     // track and place, so equal ticks keep file order
    MidiEvent ev;            // timeUs filled in from the tempo map
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

void readTrack(Reader r, std::uint32_t trackNo, std::vector<TickEvent>& out) {
    std::uint32_t tick = 0;
    std::uint8_t running = 0;
    std::uint32_t seq = 0;
    while (r.ok() && out.size() < MaxEvents) {
        std::uint32_t delta = 0;
        if (!r.varLen(delta))
            return;
        tick += delta;
        if (!r.ok())
            return;
        std::uint8_t status = *r.p;
        if (status & 0x80) {
            ++r.p;
        } else {
            if (!running)
                return; // data without a status: the rest is damaged
            status = running;
        }
        TickEvent te{tick, (trackNo << 24) | (seq++ & 0xffffff), {}, 0, false, false};
        if (status == 0xFF) {
            if (!r.ok())
                return;
            const std::uint8_t type = *r.p++;
            std::uint32_t len = 0;
            if (!r.varLen(len) || len > std::uint32_t(r.end - r.p))
                return;
            if (type == 0x51 && len == 3) {
                te.isTempo = true;
                te.tempo = (std::uint32_t(r.p[0]) << 16) | (std::uint32_t(r.p[1]) << 8) | r.p[2];
                out.push_back(te);
            } else if (type == 0x2F) {
                te.isEnd = true;
                out.push_back(te);
                return;
            }
            r.p += len;
            continue; // meta events do not change running status meaningfully here
        }
        if (status == 0xF0 || status == 0xF7) {
            std::uint32_t len = 0;
            if (!r.varLen(len) || len > std::uint32_t(r.end - r.p))
                return;
            running = 0;
            if (status == 0xF0) {
                te.ev.status = 0xF0;
                te.ev.sysex = QByteArray(reinterpret_cast<const char*>(r.p), static_cast<qsizetype>(len));
                out.push_back(te);
            }
            r.p += len;
            continue;
        }
        if (status >= 0xF1)
            return; // system common/real-time bytes do not belong in a file
        running = status;
        const int dataBytes = ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 1 : 2;
        if (r.end - r.p < dataBytes)
            return;
        te.ev.status = status;
        te.ev.data1 = r.p[0] & 0x7f;
        te.ev.data2 = dataBytes == 2 ? (r.p[1] & 0x7f) : 0;
        r.p += dataBytes;
        out.push_back(te);
    }
}

} // namespace

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
    const std::uint16_t ntracks = be16(p + 10);
    const std::uint16_t division = be16(p + 12);
    if (division == 0)
        return SmfError::Unsupported;
    p += 8 + std::min<std::size_t>(hlen, static_cast<std::size_t>(end - p - 8));

    std::vector<TickEvent> all;
    for (std::uint32_t t = 0; t < ntracks && end - p >= 8; ++t) {
        const std::uint32_t len = be32(p + 4);
        const bool isTrack = std::memcmp(p, "MTrk", 4) == 0;
        p += 8;
        const std::uint8_t* trackEnd = p + std::min<std::size_t>(len, static_cast<std::size_t>(end - p));
        if (isTrack)
            readTrack({p, trackEnd}, t, all);
        else
            --t; // an unknown chunk is not a track
        p = trackEnd;
    }
    std::stable_sort(all.begin(), all.end(), [](const TickEvent& a, const TickEvent& b) {
        return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
    });

    // Ticks to microseconds through the tempo map (or the fixed SMPTE rate).
    const bool smpte = division & 0x8000;
    double usPerTickFixed = 0;
    if (smpte) {
        int fps = -static_cast<std::int8_t>(division >> 8);
        const int perFrame = division & 0xff;
        if (fps <= 0 || perFrame == 0)
            return SmfError::Unsupported;
        const double frameRate = fps == 29 ? 29.97 : fps;
        usPerTickFixed = 1e6 / (frameRate * perFrame);
    }
    double us = 0;
    std::uint32_t lastTick = 0;
    double usPerTick = smpte ? usPerTickFixed : 500000.0 / division;
    song.events.reserve(all.size());
    for (const TickEvent& te : all) {
        us += double(te.tick - lastTick) * usPerTick;
        lastTick = te.tick;
        const auto now = static_cast<std::int64_t>(us);
        song.lengthUs = std::max(song.lengthUs, now);
        if (te.isTempo) {
            if (!smpte && te.tempo > 0)
                usPerTick = double(te.tempo) / division;
            continue;
        }
        if (te.isEnd)
            continue;
        MidiEvent ev = te.ev;
        ev.timeUs = now;
        song.events.push_back(std::move(ev));
    }
    return SmfError::None;
}

} // namespace zypo

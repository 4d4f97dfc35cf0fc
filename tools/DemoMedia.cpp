// Small media files of our own making: the demo folder's and the backend tests'.
#include "tools/DemoMedia.h"

#include <QList>
#include <cmath>

namespace zypo::demo {

namespace {

void put16le(QByteArray& b, unsigned v) {
    b.append(char(v & 0xff)).append(char((v >> 8) & 0xff));
}
void put32le(QByteArray& b, unsigned v) {
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xff));
}
void put32be(QByteArray& b, unsigned v) {
    for (int i = 3; i >= 0; --i)
        b.append(char((v >> (8 * i)) & 0xff));
}
void putVar(QByteArray& b, unsigned v) {
    char buf[4];
    int n = 0;
    buf[n++] = char(v & 0x7f);
    while (v >>= 7)
        buf[n++] = char((v & 0x7f) | 0x80);
    while (n--)
        b.append(buf[n]);
}

} // namespace

QByteArray midiTune() {
    // Format 1: a tempo track and two instrument tracks, 480 ticks per quarter note.
    QByteArray tempo;
    putVar(tempo, 0);
    tempo.append("\xFF\x51\x03\x07\xA1\x20", 6); // 120 bpm
    putVar(tempo, 480 * 8);
    tempo.append("\xFF\x51\x03\x05\x16\x15", 6); // faster for the second half (180 bpm)
    putVar(tempo, 0);
    tempo.append("\xFF\x2F\x00", 3);

    auto melodyTrack = [](int channel, int program, const int* notes, int count, int len) {
        QByteArray t;
        putVar(t, 0);
        t.append(char(0xC0 | channel)).append(char(program));
        putVar(t, 0);
        t.append(char(0xB0 | channel)).append(char(7)).append(char(100));
        for (int i = 0; i < count; ++i) {
            putVar(t, 0);
            t.append(char(0x90 | channel)).append(char(notes[i])).append(char(90));
            putVar(t, unsigned(len));
            t.append(char(0x80 | channel)).append(char(notes[i])).append(char(0));
        }
        putVar(t, 0);
        t.append("\xFF\x2F\x00", 3);
        return t;
    };
    const int melody[] = {60, 62, 64, 65, 67, 69, 71, 72, 72, 71, 69, 67, 65, 64, 62, 60};
    const int bass[] = {48, 43, 45, 41, 48, 43, 45, 48};
    QByteArray file("MThd");
    put32be(file, 6);
    file.append("\x00\x01\x00\x03\x01\xE0", 6);
    for (const QByteArray& t :
         {tempo, melodyTrack(0, 0, melody, 16, 480), melodyTrack(1, 32, bass, 8, 960)}) {
        file.append("MTrk");
        put32be(file, unsigned(t.size()));
        file.append(t);
    }
    return file;
}

namespace {
/// 16-bit mono PCM in a RIFF WAVE file.
QByteArray monoWav(const QByteArray& pcm, unsigned rate) {
    QByteArray b("RIFF");
    put32le(b, 36 + unsigned(pcm.size()));
    b.append("WAVEfmt ");
    put32le(b, 16);
    put16le(b, 1);
    put16le(b, 1);
    put32le(b, rate);
    put32le(b, rate * 2);
    put16le(b, 2);
    put16le(b, 16);
    b.append("data");
    put32le(b, unsigned(pcm.size()));
    return b + pcm;
}
} // namespace

QByteArray wavTones(int seconds) {
    const int rate = 22050;
    QByteArray pcm;
    const double freqs[] = {440.0, 554.37, 659.25};
    for (int i = 0; i < rate * seconds; ++i) {
        const double f = freqs[(i / rate) % 3];
        const double env = std::min(1.0, (rate - i % rate) / 2000.0);
        const auto s = static_cast<int>(12000 * env * std::sin(2 * M_PI * f * i / rate));
        put16le(pcm, unsigned(s) & 0xffff);
    }
    return monoWav(pcm, rate);
}

QByteArray chunk(const char* id, const QByteArray& body) {
    QByteArray b(id, 4);
    put32le(b, unsigned(body.size()));
    b.append(body);
    if (body.size() & 1)
        b.append('\0');
    return b;
}
QByteArray list(const char* type, const QByteArray& body) {
    return chunk("LIST", QByteArray(type, 4) + body);
}

QByteArray aviPattern(int w, int h, int frames, double toneHz) {
    const int fps = 10;
    const int frameBytes = w * h * 3;
    const bool sound = toneHz > 0;
    const int rate = 22050;
    const int samplesPerFrame = rate / fps;
    QByteArray avih;
    put32le(avih, 1000000 / fps);
    put32le(avih, frameBytes * fps);
    put32le(avih, 0);
    put32le(avih, 0x10); // has index
    put32le(avih, frames);
    put32le(avih, 0);
    put32le(avih, sound ? 2 : 1);
    put32le(avih, frameBytes);
    put32le(avih, w);
    put32le(avih, h);
    for (int i = 0; i < 4; ++i)
        put32le(avih, 0);
    QByteArray strh("vidsDIB ", 8);
    put32le(strh, 0);
    put16le(strh, 0);
    put16le(strh, 0);
    put32le(strh, 0);
    put32le(strh, 1);
    put32le(strh, fps);
    put32le(strh, 0);
    put32le(strh, frames);
    put32le(strh, frameBytes);
    put32le(strh, 0xffffffff);
    put32le(strh, 0);
    put16le(strh, 0);
    put16le(strh, 0);
    put16le(strh, w);
    put16le(strh, h);
    QByteArray strf;
    put32le(strf, 40);
    put32le(strf, w);
    put32le(strf, h);
    put16le(strf, 1);
    put16le(strf, 24);
    put32le(strf, 0);
    put32le(strf, frameBytes);
    for (int i = 0; i < 4; ++i)
        put32le(strf, 0);
    QByteArray audioList;
    if (sound) {
        QByteArray ash("auds", 4);
        put32le(ash, 0); // handler
        put32le(ash, 0); // flags
        put16le(ash, 0);
        put16le(ash, 0);
        put32le(ash, 0);
        put32le(ash, 1);    // scale
        put32le(ash, rate); // rate: samples a second
        put32le(ash, 0);
        put32le(ash, unsigned(frames * samplesPerFrame));
        put32le(ash, unsigned(samplesPerFrame * 2));
        put32le(ash, 0xffffffff);
        put32le(ash, 2); // sample size
        for (int i = 0; i < 4; ++i)
            put16le(ash, 0);
        QByteArray wfx;
        put16le(wfx, 1); // PCM
        put16le(wfx, 1);
        put32le(wfx, rate);
        put32le(wfx, rate * 2);
        put16le(wfx, 2);
        put16le(wfx, 16);
        put16le(wfx, 0);
        audioList = list("strl", chunk("strh", ash) + chunk("strf", wfx));
    }
    const QByteArray hdrl = list(
        "hdrl", chunk("avih", avih) + list("strl", chunk("strh", strh) + chunk("strf", strf)) + audioList);
    QByteArray movi, idx;
    static const unsigned char bars[8][3] = {{255, 255, 255}, {0, 255, 255}, {255, 255, 0}, {0, 255, 0},
                                             {255, 0, 255},   {0, 0, 255},   {255, 0, 0},   {0, 0, 0}};
    for (int f = 0; f < frames; ++f) {
        QByteArray px;
        px.reserve(frameBytes);
        for (int y = 0; y < h; ++y) // bottom-up BGR rows
            for (int x = 0; x < w; ++x) {
                const int bar = ((x * 8 / w) + f / 4) % 8;
                const bool marker = y < 12 && x >= f * (w / frames) && x < (f + 1) * (w / frames);
                const unsigned char* c = bars[bar];
                px.append(char(marker ? 0 : c[2]))
                    .append(char(marker ? 0 : c[1]))
                    .append(char(marker ? 0 : c[0]));
            }
        idx.append("00db", 4);
        put32le(idx, 0x10);
        put32le(idx, unsigned(4 + movi.size()));
        put32le(idx, unsigned(px.size()));
        movi.append(chunk("00db", px));
        if (sound) {
            QByteArray pcm;
            for (int i = 0; i < samplesPerFrame; ++i) {
                const int n = f * samplesPerFrame + i;
                put16le(pcm,
                        unsigned(static_cast<int>(10000 * std::sin(2 * M_PI * toneHz * n / rate))) & 0xffff);
            }
            idx.append("01wb", 4);
            put32le(idx, 0x10);
            put32le(idx, unsigned(4 + movi.size()));
            put32le(idx, unsigned(pcm.size()));
            movi.append(chunk("01wb", pcm));
        }
    }
    const QByteArray body = QByteArray("AVI ") + hdrl + list("movi", movi) + chunk("idx1", idx);
    QByteArray file("RIFF");
    put32le(file, unsigned(body.size()));
    return file + body;
}

namespace {
QByteArray smfFile(const QList<QByteArray>& tracks, int division) {
    QByteArray file("MThd");
    put32be(file, 6);
    file.append(char(0)).append(char(tracks.size() > 1 ? 1 : 0));
    file.append(char(0)).append(char(tracks.size()));
    file.append(char(division >> 8)).append(char(division & 0xff));
    for (const QByteArray& t : tracks) {
        file.append("MTrk");
        put32be(file, unsigned(t.size()));
        file.append(t);
    }
    return file;
}
} // namespace

QByteArray denseMidi(int seconds, int programOffset) {
    // 500 ticks a second at the default tempo with 250 ticks a quarter note.
    QByteArray t;
    for (int ch = 0; ch < 16; ++ch) {
        putVar(t, 0);
        t.append(char(0xC0 | ch)).append(char((ch * 8 + programOffset) % 128));
    }
    const int steps = seconds * 8; // eighth notes
    for (int s = 0; s < steps; ++s) {
        for (int ch = 0; ch < 16; ++ch)
            for (int k = 0; k < 3; ++k) {
                putVar(t, 0);
                const int note = ch == 9 ? 35 + (s + k) % 12 : 48 + (s * 5 + ch * 3 + k * 4) % 36;
                t.append(char(0x90 | ch)).append(char(note)).append(char(70 + k * 10));
            }
        putVar(t, 62);
        for (int ch = 0; ch < 16; ++ch)
            for (int k = 0; k < 3; ++k) {
                if (ch || k)
                    putVar(t, 0);
                const int note = ch == 9 ? 35 + (s + k) % 12 : 48 + (s * 5 + ch * 3 + k * 4) % 36;
                t.append(char(0x80 | ch)).append(char(note)).append(char(0));
            }
    }
    putVar(t, 0);
    t.append("\xFF\x2F\x00", 3);
    return smfFile({t}, 250);
}

QByteArray heldNoteMidi(int note, int ms) {
    // 1000 ticks a second: 500 ticks a quarter note at 120 bpm.
    QByteArray t;
    putVar(t, 0);
    t.append("\xC0\x10", 2); // drawbar organ: sounds at once, stops at once
    putVar(t, 0);
    t.append(char(0x90)).append(char(note)).append(char(100));
    putVar(t, unsigned(ms));
    t.append(char(0x80)).append(char(note)).append(char(0));
    putVar(t, 0);
    t.append("\xFF\x2F\x00", 3);
    return smfFile({t}, 500);
}

QByteArray toneWav(double frequency, int ms) {
    const int rate = 44100;
    const int n = rate * ms / 1000;
    QByteArray pcm;
    pcm.reserve(n * 2);
    for (int i = 0; i < n; ++i) {
        const auto s = static_cast<int>(10000 * std::sin(2 * M_PI * frequency * i / rate));
        put16le(pcm, unsigned(s) & 0xffff);
    }
    return monoWav(pcm, rate);
}

} // namespace zypo::demo

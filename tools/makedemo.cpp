// Writes the demo media: a short MIDI tune (several channels, a tempo change, program changes),
// a WAV of a few tones, a small AVI test pattern (uncompressed frames), and a playlist of them
// (DEMO.RZ0, naming the files by their drive paths in the folder where they are written).
//   makedemo OUTPUT-FOLDER
// or one test item of a kind the desktop tests and benchmarks listen to:
//   makedemo tone HZ MS FILE.wav        a steady sine tone
//   makedemo note NOTE MS FILE.mid      one held organ note
//   makedemo avi W H FRAMES HZ FILE.avi moving colour bars, 10 frames a second, with a tone
#include "platform/DriveMap.h"
#include "playlist/Rz0File.h"
#include "tools/DemoMedia.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <cstdio>

namespace {
bool save(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}
} // namespace

using namespace zypo::demo;

int main(int argc, char** argv) {
    const QString kind = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const auto num = [&](int i) { return QString::fromLocal8Bit(argv[i]).toDouble(); };
    const auto file = [&](int i) { return QString::fromLocal8Bit(argv[i]); };
    if (kind == QLatin1String("tone") && argc == 5)
        return save(file(4), toneWav(num(2), static_cast<int>(num(3)))) ? 0 : 1;
    if (kind == QLatin1String("note") && argc == 5)
        return save(file(4), heldNoteMidi(static_cast<int>(num(2)), static_cast<int>(num(3)))) ? 0 : 1;
    if (kind == QLatin1String("avi") && argc == 7)
        return save(file(6), aviPattern(static_cast<int>(num(2)), static_cast<int>(num(3)),
                                         static_cast<int>(num(4)), num(5)))
                   ? 0
                   : 1;
    if (argc != 2) {
        std::fprintf(stderr, "usage: makedemo OUTPUT-FOLDER | tone HZ MS FILE | note NOTE MS FILE | "
                             "avi W H FRAMES HZ FILE\n");
        return 2;
    }
    const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
    QDir().mkpath(out);
    const bool ok = save(out + QStringLiteral("/tune.mid"), midiTune()) &&
                    save(out + QStringLiteral("/tones.wav"), wavTones()) &&
                    save(out + QStringLiteral("/pattern.avi"), aviPattern());
    // The playlist names the files by their drive paths where they stand now.
    const zypo::DriveMap drives = zypo::DriveMap::fromSystem(nullptr);
    QStringList entries;
    for (const char* name : {"tune.mid", "tones.wav", "pattern.avi"})
        entries << drives.toDrivePath(out + QLatin1Char('/') + QString::fromLatin1(name));
    if (!ok || zypo::WriteRz0File(out + QStringLiteral("/DEMO.RZ0"), entries) != zypo::Rz0Result::Opened) {
        std::fprintf(stderr, "makedemo: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}

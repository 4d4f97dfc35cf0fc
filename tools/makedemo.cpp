// Writes the demo media: a short MIDI tune (several channels, a tempo change, program changes),
// a WAV of a few tones, a small AVI test pattern (uncompressed frames), and a playlist of them
// (DEMO.RZ0, naming the files by their drive paths in the folder where they are written).
//   makedemo OUTPUT-FOLDER
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
    if (argc != 2) {
        std::fprintf(stderr, "usage: makedemo OUTPUT-FOLDER\n");
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

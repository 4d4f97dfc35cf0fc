#pragma once
// Host paths as text, also where a file name is not UTF-8. Old CD-ROMs and archives unpack on
// Linux with names in Shift-JIS bytes; Qt's own file classes turn such bytes into replacement
// characters and then cannot find the file again. Inside the player a host path is text in which
// every byte that is not part of valid UTF-8 stands as one character U+DC80..U+DCFF (a lone
// surrogate, which valid text never holds), so the text gives back the very same bytes. Every
// look at a file by a host path that may hold such a name goes through here.
//
// In drive paths (what the lists show and playlists keep) such a name is read as code page 932,
// as the system that wrote it did: テスト.wav. Bytes that are not CP932 either are kept apart as
// Cp932 keeps them, so the drive path still leads back to the file.
#include <QByteArray>
#include <QString>
#include <vector>

class QFile;

namespace zypo {

/// The bytes a host path names.
QByteArray hostBytes(const QString& hostPath);
/// A host path (or name) from its bytes.
QString hostText(const QByteArray& bytes);
/// How a host name stands in a drive path: itself when its bytes are UTF-8, else its bytes read
/// as code page 932.
QString driveName(const QString& hostName);

struct HostEntry {
    QString name; // host text
    QString text; // as it stands in a drive path
    bool folder = false;
    bool file = false; // a regular file (links followed); FIFOs and device nodes are neither
};
/// The entries of a folder, "." and ".." left out, in the order the file system gives them.
/// False when the folder cannot be read.
bool listFolder(const QString& hostPath, std::vector<HostEntry>& entries);

struct HostFacts {
    bool exists = false;
    bool file = false; // a regular file
    bool folder = false;
    bool readable = false;
    qint64 size = -1;
    qint64 modifiedNs = -1;
};
/// What the file system says of a path (links followed).
HostFacts hostFacts(const QString& hostPath);

/// How much of a file's start is read off the window's thread before the file opens (its disk has
/// answered for it then), and may be read again on that thread from what the system has kept: a
/// WAV's format, an AVI's stream headers (OpenDML's index room makes each stream's about 4 KiB).
constexpr int FileHeadBytes = 64 * 1024;

/// Opens a regular file for reading without waiting on it: a FIFO or a device node is refused
/// (false, with errno ENXIO) instead of blocking the caller.
bool openHostFile(const QString& hostPath, QFile& file);

} // namespace zypo

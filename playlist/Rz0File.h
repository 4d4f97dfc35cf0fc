#pragma once
// Playlist files (.RZ0): one full drive-letter path per line, Shift-JIS (CP932), every line
// ended by CR LF, no header. The one writer and the one reader every part of the player uses.
#include <QString>
#include <QStringList>

namespace zypo {

enum class Rz0Result {
    Opened,
    OpenFailed,
    /// Opened, but not every byte could be written; the file that was there before is intact.
    WriteFailed,
};

inline constexpr int Rz0MaxEntries = 32767;

/// Reads a playlist. Entries are appended to `entries` in file order until the end of the file,
/// a read failure, or `maxEntries` in all; CR LF and a lone CR end a line; a last line without
/// terminator is an entry; a terminator at the very end adds none.
Rz0Result ReadRz0File(const QString& hostPath, QStringList& entries, int maxEntries = Rz0MaxEntries);

/// The entries of one file's bytes, as ReadRz0File takes them.
QStringList parseRz0(const QByteArray& bytes, int maxEntries = Rz0MaxEntries);
QByteArray formatRz0(const QStringList& entries);

/// Writes a playlist, replacing any file of that name only once every byte is on disk.
Rz0Result WriteRz0File(const QString& hostPath, const QStringList& entries);

} // namespace zypo

#pragma once
// Playlist files (.RZ0): one full drive-letter path per line, Shift-JIS (CP932), every line
// ended by CR LF, no header. The one writer and the one reader every part of the player uses.
#include <QString>
#include <QStringList>
#include <optional>

namespace zypo {

enum class Rz0Result {
    Opened,
    OpenFailed,
    /// Opened, but not every byte could be written; the file that was there before is intact.
    WriteFailed,
    /// Read, but no playlist: a line far longer than any path, or a file far larger than a
    /// full list of such lines. Nothing is appended.
    NotAPlaylist,
};

inline constexpr int Rz0MaxEntries = 32767;
/// No path comes near this many bytes; a longer line means the file is something else.
inline constexpr qsizetype Rz0MaxLineBytes = 32 * 1024;

/// Reads a playlist. Entries are appended to `entries` in file order until the end of the file,
/// a read failure, or `maxEntries` in all; CR LF and a lone CR end a line; a last line without
/// terminator is an entry; a terminator at the very end adds none. The file is read in pieces,
/// never whole, so a large file that is no playlist costs no more memory than a playlist.
Rz0Result ReadRz0File(const QString& hostPath, QStringList& entries, int maxEntries = Rz0MaxEntries);

/// The entries of one file's bytes, as ReadRz0File takes them; nullopt when the bytes are no
/// playlist (a line longer than Rz0MaxLineBytes).
std::optional<QStringList> parseRz0(const QByteArray& bytes, int maxEntries = Rz0MaxEntries);
QByteArray formatRz0(const QStringList& entries);

/// Writes a playlist, replacing any file of that name only once every byte is on disk.
Rz0Result WriteRz0File(const QString& hostPath, const QStringList& entries);

} // namespace zypo

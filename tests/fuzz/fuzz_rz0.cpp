// Playlist bytes: the reader never crashes, never yields more than 32,767 entries, and the
// bytes of a file whose every line ends in CR LF come back exactly when written again.
#include "playlist/Rz0File.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::optional<QStringList> read = zypo::parseRz0(bytes);
    if (!read) {
        // Only a line longer than any path makes bytes no playlist.
        if (bytes.size() <= zypo::Rz0MaxLineBytes)
            std::abort();
        return 0;
    }
    const QStringList& entries = *read;
    if (entries.size() > zypo::Rz0MaxEntries)
        std::abort();
    const QByteArray again = zypo::formatRz0(entries);
    if (zypo::parseRz0(again) != entries)
        std::abort();
    bool onlyCrLf = bytes.isEmpty() || bytes.endsWith("\r\n");
    for (qsizetype i = 0; onlyCrLf && i < bytes.size(); ++i)
        if (bytes[i] == '\r' && (i + 1 >= bytes.size() || bytes[i + 1] != '\n'))
            onlyCrLf = false;
    if (onlyCrLf && entries.size() < zypo::Rz0MaxEntries && again != bytes)
        std::abort();
    return 0;
}

#include "platform/FileId.h"

#include <QFile>
#include <sys/stat.h>

namespace zypo {

std::optional<FileId> fileId(const QString& hostPath) {
    struct stat st {};
    if (::stat(QFile::encodeName(hostPath).constData(), &st) != 0)
        return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

} // namespace zypo

#include "platform/FileId.h"

#include "platform/HostPath.h"

#include <QFile>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace zypo {

std::optional<FileId> fileId(const QString& hostPath) {
    struct stat st {};
    if (::stat(hostBytes(hostPath).constData(), &st) != 0)
        return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::optional<FileId> folderId(const QString& hostPath) {
    struct stat st {};
    if (::stat(hostBytes(hostPath).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return std::nullopt;
    return FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

std::unordered_set<std::uint64_t> pseudoFileSystemDevices(const QString& mountInfoPath) {
    // File systems of the kernel's own making: their folders hold no media, only the system's
    // state (and endless or blocking entries).
    static const char* const kinds[] = {
        "proc",      "sysfs",   "devtmpfs",    "devpts",   "cgroup",    "cgroup2",    "securityfs",
        "debugfs",   "tracefs", "pstore",      "bpf",      "configfs",  "fusectl",    "mqueue",
        "hugetlbfs", "autofs",  "binfmt_misc", "efivarfs", "selinuxfs", "rpc_pipefs", "nsfs"};
    std::unordered_set<std::uint64_t> out;
    QFile f(mountInfoPath);
    if (!f.open(QIODevice::ReadOnly))
        return out;
    // "36 35 98:0 /root /mount/point options [optional fields] - fstype source super-options"
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf(QByteArray("-"));
        if (fields.size() < 3 || dash < 0 || dash + 1 >= fields.size())
            continue;
        const QByteArray& type = fields.at(dash + 1);
        bool pseudo = false;
        for (const char* k : kinds)
            pseudo = pseudo || type == k;
        if (!pseudo)
            continue;
        const QList<QByteArray> mm = fields.at(2).split(':');
        bool okMajor = false;
        bool okMinor = false;
        const unsigned major = mm.value(0).toUInt(&okMajor);
        const unsigned minor = mm.value(1).toUInt(&okMinor);
        if (okMajor && okMinor)
            out.insert(static_cast<std::uint64_t>(makedev(major, minor)));
    }
    return out;
}

} // namespace zypo

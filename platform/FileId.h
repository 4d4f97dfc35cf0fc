#pragma once
// The identity of a file or folder on its file system (device and inode), following links: two
// paths with the same identity are the same folder, however they were reached.
#include <QString>
#include <cstdint>
#include <optional>
#include <unordered_set>

namespace zypo {

struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};

std::optional<FileId> fileId(const QString& hostPath);
/// The identity of a folder (following links); nullopt for anything that is not a folder (a
/// file, a FIFO, a device node) or cannot be looked at.
std::optional<FileId> folderId(const QString& hostPath);
/// The devices of the mounted pseudo file systems (proc, sysfs, devtmpfs, cgroup and the like),
/// from a mount table in the form of /proc/self/mountinfo.
std::unordered_set<std::uint64_t>
pseudoFileSystemDevices(const QString& mountInfoPath = QStringLiteral("/proc/self/mountinfo"));

} // namespace zypo

template <> struct std::hash<zypo::FileId> {
    std::size_t operator()(const zypo::FileId& id) const noexcept {
        return std::hash<std::uint64_t>()(id.inode * 31 + id.device);
    }
};

#pragma once
// The identity of a file or folder on its file system (device and inode), following links: two
// paths with the same identity are the same folder, however they were reached.
#include <QString>
#include <cstdint>
#include <optional>

namespace zypo {

struct FileId {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};

std::optional<FileId> fileId(const QString& hostPath);

} // namespace zypo

template <> struct std::hash<zypo::FileId> {
    std::size_t operator()(const zypo::FileId& id) const noexcept {
        return std::hash<std::uint64_t>()(id.inode * 31 + id.device);
    }
};

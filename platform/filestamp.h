#pragma once

#include <cstdint>
#include <optional>

#include <QString>

// What tells a file apart from itself a moment later, or from another file
// of the same name: which file it is (its device and inode), its size and
// its last change to the nanosecond. A file rewritten in place, or replaced
// by another under its name, gets another stamp.
struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t changedSeconds = 0;
    std::int64_t changedNanoseconds = 0;

    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The file at `path` as it is now; none when it cannot be looked at.
std::optional<FileStamp> fileStamp(const QString& path);

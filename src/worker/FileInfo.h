#pragma once
// What the copy routine knows about a file: the values a directory entry and the standard
// attribute query both give, and the comparison that decides whether a copy is up to date.
#include <cstdint>

namespace snapkeep {

struct FileInfo {
    std::uint32_t attributes = 0;
    std::uint64_t creationTime = 0; // 100 ns units since 1601, as the file system gives them
    std::uint64_t lastAccessTime = 0;
    std::uint64_t lastWriteTime = 0;
    std::uint64_t size = 0;
};

// CompareIdentical when the copy matches the source; otherwise the code of the first
// difference, tested in the order attributes, size, creation time, last-write time. The
// last-access time changes whenever the source is read, so it is never compared.
int CompareFileInfo(const FileInfo& source, const FileInfo& destination);

} // namespace snapkeep

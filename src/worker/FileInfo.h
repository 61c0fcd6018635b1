#pragma once
// What the copy routine knows about a file: the values a directory entry and the standard
// attribute query both give, and the comparison that decides whether a copy is up to date.
#include <cstdint>

#include "worker/VolumeTraits.h"

namespace snapkeep {

struct FileInfo {
    std::uint32_t attributes = 0;
    std::uint64_t creationTime = 0; // 100 ns units since 1601, as the file system gives them
    std::uint64_t lastAccessTime = 0;
    std::uint64_t lastWriteTime = 0;
    std::uint64_t size = 0;
    // When anything about the file last changed, its data or its other times included; no
    // program can set it back along with the last-write time. Only an open file gives it (0
    // from a directory entry or a query by path), and it is never compared with a copy's.
    std::uint64_t changeTime = 0;
};

// CompareIdentical when the copy matches the source; otherwise the code of the first
// difference, tested in the order attributes, size, creation time, last-write time. The
// last-access time changes whenever the source is read, so it is never compared. `rule` says
// how closely the two volumes can agree (Coarser of the source's and the destination's): each
// time at its precision, and only the attributes both keep that a copy can set. The default is
// the rule between two NTFS volumes: times to the last 100 ns.
int CompareFileInfo(const FileInfo& source, const FileInfo& destination,
                    const VolumeTraits& rule = VolumeTraits{});
// True when the copy's content looks changed beside its source: another size, or a last-write
// time apart by the volumes' precision or more. Attributes and creation time do not count: they
// change without the content (a file marked read-only, a file copied in by another program).
bool ContentLooksChanged(const FileInfo& source, const FileInfo& copy, const VolumeTraits& rule);

} // namespace snapkeep

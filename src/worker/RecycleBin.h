#pragma once
// The Recycle Bin, for the user's files a restore replaces. A restore first moves such a file
// aside under a name that says so; this decides whether it can then go to the Recycle Bin of its
// volume without being deleted outright, and sends it there. Behind an interface so that a test
// can stand in for a bin that is absent, switched off, too small, or failing.
#include <cstdint>
#include <string>

#include "worker/EarlierCopies.h"

namespace snapkeep {

class RecycleBin {
public:
    virtual ~RecycleBin() = default;
    // The settings of the bin of the volume holding `path`; false when they cannot be told.
    virtual bool ReadFacts(const std::wstring& path, RecycleBinFacts& facts);
    // Sends the file to the bin (the shell's delete with undo, without any window); true when
    // the file has left its place.
    virtual bool Recycle(const std::wstring& path);
};

// The system's bin.
RecycleBin& SystemRecycleBin();

enum class ReplacedFileFate { Recycled, KeptBeside };

// Sends the moved-aside file `path` of `size` bytes to the bin where the bin keeps it; otherwise,
// or when the bin refuses it, the file stays where it is.
ReplacedFileFate PutReplacedFileAway(RecycleBin& bin, const std::wstring& path, std::uint64_t size);

} // namespace snapkeep

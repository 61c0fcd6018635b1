#pragma once
// How many bytes the files below a folder hold, for a simulated disk whose size is smaller than
// the folder of the machine behind its letter: what is free on it is its size less this.
#include <cstdint>
#include <string>

namespace snapkeep {

// The sizes of all files below `folder` ("E:\"), summed. Links and junctions are neither followed
// nor counted: what they lead to lies elsewhere, perhaps on another disk, or back up the tree.
// A folder that cannot be listed counts as empty.
std::uint64_t BytesOfFilesBelow(const std::wstring& folder);

} // namespace snapkeep

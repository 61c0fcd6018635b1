#pragma once
// Which folder a path names, whatever way leads to it: the walk follows folder links (junctions,
// symbolic links), so two paths may name one folder. A folder is known by its volume's serial
// number and its file id (128 bits, as ReFS needs them).
#include <cstdint>
#include <optional>
#include <string>

namespace snapkeep {

struct FolderIdentity {
    std::uint64_t volumeSerial = 0;
    std::uint64_t fileIdLow = 0;
    std::uint64_t fileIdHigh = 0;
    bool operator==(const FolderIdentity&) const = default;
};

// None when the folder cannot be opened (missing, refused) or its file system gives no index.
std::optional<FolderIdentity> IdentifyFolder(const std::wstring& folder);

} // namespace snapkeep

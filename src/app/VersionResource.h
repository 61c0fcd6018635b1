#pragma once
// The fixed file information inside a version resource, read from the resource's own bytes.
// The program reads its version from its own image (FindResource and friends, which kernel32
// offers), so it needs no version.dll: that DLL is not one Windows always loads from its own
// folder, and a copy planted beside the program would otherwise be loaded with it.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace snapkeep {

struct FileVersion {
    uint32_t MostSignificant = 0;  // major << 16 | minor
    uint32_t LeastSignificant = 0; // build << 16 | revision
};

// The file version of a VS_VERSIONINFO block: its key "VS_VERSION_INFO", then, aligned to 32
// bits, the fixed file information with its signature. Nothing when the block is cut short,
// carries another key, or has no fixed information.
std::optional<FileVersion> FixedFileVersion(const uint8_t* data, size_t size);

} // namespace snapkeep

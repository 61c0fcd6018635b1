#pragma once
// What the loader reads from a 64-bit Windows image before the program's first instruction:
// the DLLs it imports (directly and delay-loaded) and the dependent-load flags of its load
// configuration. Read from the file's bytes, as the loader does, not from a loaded module.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace snapkeep::test {

struct PeImage {
    std::vector<std::string> Imports;      // DLL names as the import directory spells them
    std::vector<std::string> DelayImports; // the same for delay-loaded DLLs
    // The load configuration's dependent-load flags; nothing without a load configuration
    // (or one too short to hold them).
    std::optional<uint16_t> DependentLoadFlags;
};

// Nothing when the bytes are not a PE32+ image or a directory points outside them.
std::optional<PeImage> ReadPeImage(const std::string& bytes);

// Windows 10 and 11 map these from the system folder whatever lies beside the program (the
// KnownDLLs list of the session manager, plus ntdll, which every process has first). Lower case.
const std::vector<std::string>& KnownDlls();

} // namespace snapkeep::test

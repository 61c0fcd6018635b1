#include "app/OwnVersion.h"

#include <windows.h>

namespace snapkeep {

std::optional<FileVersion> OwnFileVersion() {
    // The resource of the image already mapped (the exe itself), through kernel32 alone:
    // GetFileVersionInfo would read the same bytes from the file but needs version.dll.
    HMODULE self = ::GetModuleHandleW(nullptr);
    HRSRC found = ::FindResourceW(self, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION);
    if (!found)
        return std::nullopt;
    HGLOBAL loaded = ::LoadResource(self, found);
    const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
    if (!bytes)
        return std::nullopt;
    return FixedFileVersion(static_cast<const uint8_t*>(bytes), ::SizeofResource(self, found));
}

} // namespace snapkeep

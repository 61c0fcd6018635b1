#include "worker/FolderIdentity.h"

#include <windows.h>

#include "win/Handle.h"
#include "win/Text.h"
#include "worker/LongPath.h"

namespace snapkeep {

std::optional<FolderIdentity> IdentifyFolder(const std::wstring& folder) {
    const std::wstring path = win::ToWide(ExtendedLengthPath(win::ToU16(folder)));
    // Attribute access alone, shared with everyone: the walk must not get in anybody's way.
    // Opening a folder at all needs the backup-semantics flag.
    win::FileHandle handle(::CreateFileW(
        path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION data;
    if (!handle || !::GetFileInformationByHandle(handle.Get(), &data))
        return std::nullopt;
    const std::uint64_t index =
        (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    // Some file systems (network shares among them) give every file the index 0: that names
    // no folder, and taking it for one would make every subfolder look like its own ancestor.
    if (index == 0)
        return std::nullopt;
    return FolderIdentity{data.dwVolumeSerialNumber, index};
}

} // namespace snapkeep

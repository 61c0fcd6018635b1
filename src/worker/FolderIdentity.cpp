#include "worker/FolderIdentity.h"

#include <windows.h>

#include <cstring>

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
    if (!handle)
        return std::nullopt;
    FolderIdentity identity;
    // The id query is answered from the open folder; GetFileInformationByHandle also asks for
    // the volume's name, which costs Wine a round of requests to its mount manager for every
    // folder. A file system without 128-bit ids (FAT) refuses the query and gets the older one.
    FILE_ID_INFO id;
    BY_HANDLE_FILE_INFORMATION data;
    if (::GetFileInformationByHandleEx(handle.Get(), FileIdInfo, &id, sizeof id)) {
        static_assert(sizeof id.FileId.Identifier == 2 * sizeof(std::uint64_t));
        identity.volumeSerial = id.VolumeSerialNumber;
        std::memcpy(&identity.fileIdLow, id.FileId.Identifier, sizeof identity.fileIdLow);
        std::memcpy(&identity.fileIdHigh, id.FileId.Identifier + sizeof identity.fileIdLow,
                    sizeof identity.fileIdHigh);
    } else if (::GetFileInformationByHandle(handle.Get(), &data)) {
        identity.volumeSerial = data.dwVolumeSerialNumber;
        identity.fileIdLow =
            (static_cast<std::uint64_t>(data.nFileIndexHigh) << 32) | data.nFileIndexLow;
    } else {
        return std::nullopt;
    }
    // Some file systems (network shares among them) give every file the id 0: that names no
    // folder, and taking it for one would make every subfolder look like its own ancestor.
    if (identity.fileIdLow == 0 && identity.fileIdHigh == 0)
        return std::nullopt;
    return identity;
}

} // namespace snapkeep

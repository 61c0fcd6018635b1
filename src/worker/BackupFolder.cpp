#include "worker/BackupFolder.h"

#include <windows.h>

#include <sddl.h>

#include "win/Text.h"
#include "worker/LongPath.h"
#include "worker/VolumeRules.h"

namespace snapkeep {

namespace {

bool KeepsPermissions(const std::wstring& folder) {
    const std::wstring root = VolumeRootOf(folder);
    DWORD flags = 0;
    return !root.empty() &&
           ::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr,
                                   0) &&
           (flags & FILE_PERSISTENT_ACLS);
}

} // namespace

bool CreateBackupFolder(const std::wstring& folder) {
    std::wstring path = folder;
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    const std::wstring target = win::ToWide(ExtendedLengthPath(win::ToU16(path)));
    BOOL made = FALSE;
    ::SetLastError(ERROR_SUCCESS);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (KeepsPermissions(path) &&
        ::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            kBackupFolderSecurity, SDDL_REVISION_1, &descriptor, nullptr)) {
        SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};
        made = ::CreateDirectoryW(target.c_str(), &security);
        ::LocalFree(descriptor);
    }
    // A volume that says it keeps permissions but refuses these still gets its backup.
    if (!made && ::GetLastError() != ERROR_ALREADY_EXISTS)
        made = ::CreateDirectoryW(target.c_str(), nullptr);
    if (made)
        return true;
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace snapkeep

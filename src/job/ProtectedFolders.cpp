#include "job/ProtectedFolders.h"

#include "job/EnclosureIndexFile.h"
#include "job/ProtectedPath.h"
#include "win/Handle.h"
#include "win/Text.h"
#include "worker/LongPath.h"

#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

namespace snapkeep {

namespace {

// The path the system resolves an existing folder to, links followed and long names; empty
// when it cannot tell.
std::wstring ResolvedFolder(const std::wstring& folder) {
    win::FileHandle handle(
        ::CreateFileW(win::ToWide(ExtendedLengthPath(win::ToU16(folder))).c_str(),
                      FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle)
        return {};
    std::wstring found(1024, L'\0');
    const DWORD length = ::GetFinalPathNameByHandleW(handle.Get(), found.data(),
                                                     static_cast<DWORD>(found.size()), 0);
    if (length == 0 || length >= found.size())
        return {};
    found.resize(length);
    return found;
}

bool IsFolder(const std::wstring& path) {
    const DWORD attributes =
        ::GetFileAttributesW(win::ToWide(ExtendedLengthPath(win::ToU16(path))).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void AddFolder(std::vector<std::u16string>& folders, const std::wstring& folder) {
    if (folder.empty())
        return;
    folders.push_back(win::ToU16(folder));
    const std::wstring resolved = ResolvedFolder(folder);
    if (!resolved.empty())
        folders.push_back(win::ToU16(resolved));
}

} // namespace

ProtectedFolders::ProtectedFolders() {
    wchar_t windows[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (length > 0 && length < MAX_PATH)
        AddFolder(folders_, windows);
    for (const KNOWNFOLDERID& id :
         {FOLDERID_Windows, FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86,
          FOLDERID_ProgramFilesX64, FOLDERID_Startup, FOLDERID_CommonStartup}) {
        PWSTR path = nullptr;
        if (SUCCEEDED(::SHGetKnownFolderPath(id, KF_FLAG_DONT_VERIFY, nullptr, &path)) && path)
            AddFolder(folders_, path);
        ::CoTaskMemFree(path);
    }
}

bool ProtectedFolders::RefusesFolder(const std::wstring& folder) const {
    if (LiesInProtectedFolder(win::ToU16(folder), folders_, SameFolderName))
        return true;
    // The deepest folder of the path that exists, resolved, and the names below it that the
    // copy would create as they are written.
    std::wstring existing = folder;
    std::wstring rest;
    while (!existing.empty() && !IsFolder(existing)) {
        const size_t slash = existing.find_last_of(L'\\', existing.size() - 2);
        if (slash == std::wstring::npos)
            return false;
        rest = existing.substr(slash + 1) + rest;
        existing.resize(slash + 1);
    }
    std::wstring resolved = ResolvedFolder(existing);
    if (resolved.empty())
        return false;
    if (resolved.back() != L'\\')
        resolved += L'\\';
    return LiesInProtectedFolder(win::ToU16(resolved + rest), folders_, SameFolderName);
}

bool ProtectedFolders::Refuses(const std::wstring& destination) {
    const size_t slash = destination.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return false;
    std::wstring folder = destination.substr(0, slash + 1);
    if (folder != lastFolder_) {
        lastAnswer_ = RefusesFolder(folder);
        lastFolder_ = std::move(folder);
    }
    return lastAnswer_;
}

} // namespace snapkeep

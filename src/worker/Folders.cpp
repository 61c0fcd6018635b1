#include "worker/Folders.h"

#include <windows.h>

#include "win/Text.h"
#include "worker/LongPath.h"

namespace snapkeep {

namespace {

bool IsFolder(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool MakeFolder(const std::wstring& folder, int depth) {
    const std::wstring path = win::ToWide(ExtendedLengthPath(win::ToU16(folder)));
    if (::CreateDirectoryW(path.c_str(), nullptr))
        return true;
    const DWORD error = ::GetLastError();
    if (error == ERROR_ALREADY_EXISTS)
        return IsFolder(path); // a file of that name is in the way
    if (error != ERROR_PATH_NOT_FOUND || depth > 512)
        return false;
    const size_t slash = folder.find_last_of(L'\\');
    // Nothing left to create above a drive root or a share: the volume itself is missing.
    if (slash == std::wstring::npos || slash == 0 || folder[slash - 1] == L':')
        return false;
    if (!MakeFolder(folder.substr(0, slash), depth + 1))
        return false;
    return ::CreateDirectoryW(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

} // namespace

bool ForceDirectories(const std::wstring& folder) {
    std::wstring path = folder;
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return MakeFolder(path, 0);
}

} // namespace snapkeep

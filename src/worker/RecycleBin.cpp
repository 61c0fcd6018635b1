#include "worker/RecycleBin.h"

#include <windows.h>

#include <shellapi.h>

#include <vector>

namespace snapkeep {

namespace {

// A DWORD value of `key` below the current user's hive; false when absent.
bool ReadUserDword(const wchar_t* key, const wchar_t* value, DWORD& data) {
    DWORD size = sizeof data;
    return ::RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_REG_DWORD, nullptr, &data, &size) ==
           ERROR_SUCCESS;
}

} // namespace

bool RecycleBin::ReadFacts(const std::wstring& path, RecycleBinFacts& facts) {
    facts = RecycleBinFacts{};
    wchar_t root[MAX_PATH + 1] = {};
    if (!::GetVolumePathNameW(path.c_str(), root, MAX_PATH))
        return false;
    // Removable and network drives have no Recycle Bin: the shell deletes their files outright.
    if (::GetDriveTypeW(root) != DRIVE_FIXED)
        return true;
    DWORD policy = 0;
    if (ReadUserDword(L"Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\Explorer",
                      L"NoRecycleFiles", policy) &&
        policy != 0)
        return true;
    // Explorer keeps each volume's bin settings under the volume's GUID name.
    wchar_t volume[64] = {};
    if (!::GetVolumeNameForVolumeMountPointW(root, volume, 64))
        return false;
    const std::wstring name = volume;
    const size_t open = name.find(L'{');
    const size_t close = name.find(L'}');
    if (open == std::wstring::npos || close == std::wstring::npos || close < open)
        return false;
    const std::wstring key =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\BitBucket\\Volume\\" +
        name.substr(open, close - open + 1);
    DWORD nuke = 0;
    DWORD capacityMb = 0;
    // Without the capacity the shell's choice for a large file cannot be foreseen.
    if (!ReadUserDword(key.c_str(), L"MaxCapacity", capacityMb))
        return false;
    ReadUserDword(key.c_str(), L"NukeOnDelete", nuke);
    facts.hasBin = true;
    facts.deletesOutright = nuke != 0;
    facts.maxBytes = static_cast<std::uint64_t>(capacityMb) * 1024 * 1024;
    return true;
}

bool RecycleBin::Recycle(const std::wstring& path) {
    // The shell wants a list ending in two nulls, and a plain (not "\\?\") path.
    std::vector<wchar_t> from(path.begin(), path.end());
    from.push_back(L'\0');
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.data();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    if (::SHFileOperationW(&operation) != 0 || operation.fAnyOperationsAborted)
        return false;
    return ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES;
}

RecycleBin& SystemRecycleBin() {
    static RecycleBin bin;
    return bin;
}

ReplacedFileFate PutReplacedFileAway(RecycleBin& bin, const std::wstring& path,
                                     std::uint64_t size) {
    RecycleBinFacts facts;
    const bool known = bin.ReadFacts(path, facts);
    if (RecycleBinKeeps(known, facts, size) && bin.Recycle(path))
        return ReplacedFileFate::Recycled;
    return ReplacedFileFate::KeptBeside;
}

} // namespace snapkeep

#include "job/EnclosureIndexFile.h"

#include "win/Files.h"
#include "win/Handle.h"
#include "win/Text.h"

#include <windows.h>

namespace snapkeep {

namespace {

constexpr wchar_t kBackupFolder[] = L"Backup\\";

// A disk someone else wrote may hold a link where the Backup folder or the index should be: the
// elevated program neither reads nor writes the index through one (a junction to a system
// folder would otherwise get a file written there).
bool IsReparsePoint(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

// Asked without the trailing backslash: with it, the system answers for what a link leads to.
bool IndexPathHasLink(const std::wstring& root) {
    return IsReparsePoint(root + L"Backup") ||
           IsReparsePoint(root + win::ToWide(kEnclosureIndexPath));
}

} // namespace

std::optional<std::vector<IndexEntry>> ReadEnclosureIndex(const std::wstring& root) {
    const std::wstring path = root + win::ToWide(kEnclosureIndexPath);
    // The disk may hold anything under this name: its size is looked at before it is read.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (IndexPathHasLink(root) ||
        !::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || data.nFileSizeHigh != 0 ||
        data.nFileSizeLow > kEnclosureIndexLimitBytes)
        return std::nullopt;
    const std::optional<std::string> bytes = win::ReadWholeFile(path);
    if (!bytes)
        return std::nullopt;
    return DecodeEnclosureIndex(*bytes);
}

std::vector<std::u16string> ListBackupFolders(const std::wstring& root) {
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW entry;
    win::FindHandle listing(::FindFirstFileExW((root + kBackupFolder + L"*").c_str(),
                                               FindExInfoBasic, &entry, FindExSearchNameMatch,
                                               nullptr, 0));
    if (!listing)
        return names;
    do {
        const std::wstring_view name = entry.cFileName;
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != L"." && name != L"..")
            names.push_back(win::ToU16(name));
    } while (::FindNextFileW(listing.Get(), &entry));
    return names;
}

std::vector<std::u16string> FindEnclosureFolders(const std::wstring& root) {
    const std::optional<std::vector<IndexEntry>> index = ReadEnclosureIndex(root);
    return FoldersOnEnclosure(index,
                              index ? std::vector<std::u16string>{} : ListBackupFolders(root));
}

bool SameFolderName(std::u16string_view a, std::u16string_view b) {
    const std::wstring x = win::ToWide(a), y = win::ToWide(b);
    return ::CompareStringOrdinal(x.c_str(), static_cast<int>(x.size()), y.c_str(),
                                  static_cast<int>(y.size()), TRUE) == CSTR_EQUAL;
}

bool FolderExistsBelow(const std::wstring& root, std::u16string_view below) {
    const DWORD attributes = ::GetFileAttributesW((root + win::ToWide(below)).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::u16string ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
    if (!::GetComputerNameW(name, &size))
        return {};
    return win::ToU16(std::wstring_view(name, size));
}

std::u16string IndexTimeNow() {
    SYSTEMTIME now{};
    ::GetSystemTime(&now);
    wchar_t text[32];
    ::swprintf(text, 32, L"%04u-%02u-%02uT%02u:%02u:%02uZ", now.wYear, now.wMonth, now.wDay,
               now.wHour, now.wMinute, now.wSecond);
    return win::ToU16(text);
}

bool PutEnclosureIndexEntry(const std::wstring& root, const IndexEntry& entry) {
    const std::wstring backup = root + kBackupFolder;
    if (!::CreateDirectoryW(backup.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    if (IndexPathHasLink(root))
        return false;
    std::optional<std::vector<IndexEntry>> entries = ReadEnclosureIndex(root);
    if (!entries)
        entries = SeedIndexEntries(ListBackupFolders(root));
    PutIndexEntry(*entries, entry, SameFolderName);
    return win::ReplaceFileContent(root + win::ToWide(kEnclosureIndexPath),
                                   EncodeEnclosureIndex(*entries));
}

} // namespace snapkeep

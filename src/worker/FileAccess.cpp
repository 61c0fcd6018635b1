#include "worker/FileAccess.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "win/Handle.h"
#include "win/Text.h"
#include "worker/LongPath.h"

namespace snapkeep {

namespace {

std::uint64_t Join(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

std::uint64_t FromFileTime(const FILETIME& time) {
    return Join(time.dwHighDateTime, time.dwLowDateTime);
}

// The system describes a file in several structures (attribute data, a directory entry) whose
// fields share names; one reading serves them all.
template <class SystemData> FileInfo FromSystemData(const SystemData& data) {
    FileInfo info;
    info.attributes = data.dwFileAttributes;
    info.creationTime = FromFileTime(data.ftCreationTime);
    info.lastAccessTime = FromFileTime(data.ftLastAccessTime);
    info.lastWriteTime = FromFileTime(data.ftLastWriteTime);
    info.size = Join(data.nFileSizeHigh, data.nFileSizeLow);
    return info;
}

LARGE_INTEGER ToLargeInteger(std::uint64_t value) {
    LARGE_INTEGER out;
    out.QuadPart = static_cast<LONGLONG>(value);
    return out;
}

// `attributes` 0 leaves the attributes alone; NORMAL clears them all.
bool SetBasicInfo(HANDLE file, const FileInfo& info, DWORD attributes) {
    FILE_BASIC_INFO basic{};
    basic.CreationTime = ToLargeInteger(info.creationTime);
    basic.LastAccessTime = ToLargeInteger(info.lastAccessTime);
    basic.LastWriteTime = ToLargeInteger(info.lastWriteTime);
    // The change time stays zero, "leave as it is": it is the file system's own.
    basic.FileAttributes = attributes;
    return ::SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != FALSE;
}

} // namespace

bool FileAccess::ReadInfo(const std::wstring& path, FileInfo& info, DWORD& error) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    // The same extended form the copy opens the file by: destinations may reach the full 260
    // units, one more than the plain form allows, and a name ending in a dot must not be read
    // as the name without it.
    const std::wstring query = win::ToWide(ExtendedLengthPath(win::ToU16(path)));
    if (!::GetFileAttributesExW(query.c_str(), GetFileExInfoStandard, &data)) {
        error = ::GetLastError();
        return false;
    }
    info = FromSystemData(data);
    return true;
}

bool FileAccess::ReadInfo(HANDLE file, FileInfo& info) {
    // Times and attributes, then the size: GetFileInformationByHandle would also ask for the
    // volume's serial number, which nobody here reads and which Wine answers through its mount
    // manager, eight wine-server requests per file.
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ||
        !::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard))
        return false;
    info.attributes = basic.FileAttributes;
    info.creationTime = static_cast<std::uint64_t>(basic.CreationTime.QuadPart);
    info.lastAccessTime = static_cast<std::uint64_t>(basic.LastAccessTime.QuadPart);
    info.lastWriteTime = static_cast<std::uint64_t>(basic.LastWriteTime.QuadPart);
    info.size = static_cast<std::uint64_t>(standard.EndOfFile.QuadPart);
    info.changeTime = static_cast<std::uint64_t>(basic.ChangeTime.QuadPart);
    return true;
}

bool FileAccess::ApplyInfo(HANDLE file, const std::wstring&, const FileInfo& info) {
    const DWORD attributes = info.attributes & kSettableAttributes;
    // Read-only goes on in a second step: Wine, run by an ordinary user, drops hidden and system
    // when they arrive together with read-only.
    const DWORD first = attributes & ~FILE_ATTRIBUTE_READONLY;
    if (SetBasicInfo(file, info, first != 0 ? first : FILE_ATTRIBUTE_NORMAL))
        return attributes == first || SetBasicInfo(file, info, attributes);
    // Some volumes take times but refuse any change of attributes (Wine on a FUSE-mounted FAT
    // volume answers every attribute change with a general failure). The times are what the
    // next comparison needs; the copy has still done its work when the attributes that protect
    // or hide a file are as the source has them.
    if (!SetBasicInfo(file, info, 0))
        return false;
    FILE_BASIC_INFO now;
    if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &now, sizeof now))
        return false;
    constexpr DWORD kVisible =
        FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return ((now.FileAttributes ^ attributes) & kVisible) == 0;
}

HANDLE FileAccess::FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry, DWORD& error) {
    // With the short names: a name may clash with another entry's short name.
    HANDLE listing = ::FindFirstFileExW(pattern.c_str(), FindExInfoStandard, &entry,
                                        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
    error = listing == INVALID_HANDLE_VALUE ? ::GetLastError() : 0;
    return listing;
}

bool FileAccess::FindNext(HANDLE listing, WIN32_FIND_DATAW& entry, DWORD& error) {
    if (::FindNextFileW(listing, &entry))
        return true;
    error = ::GetLastError();
    return false;
}

bool FileAccess::FreeSpace(const std::wstring& folder, std::uint64_t& bytes) {
    ULARGE_INTEGER available{};
    const std::wstring path = win::ToWide(ExtendedLengthPath(win::ToU16(folder + L"\\")));
    if (!::GetDiskFreeSpaceExW(path.c_str(), &available, nullptr, nullptr))
        return false;
    bytes = available.QuadPart;
    return true;
}

HANDLE FileAccess::Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flags) {
    return ::CreateFileW(path.c_str(), access, share, nullptr, disposition, flags, nullptr);
}

bool FileAccess::Read(HANDLE file, void* buffer, DWORD size, DWORD& got) {
    got = 0;
    return ::ReadFile(file, buffer, size, &got, nullptr) != FALSE;
}

bool FileAccess::Write(HANDLE file, const void* data, DWORD size, DWORD& put) {
    put = 0;
    return ::WriteFile(file, data, size, &put, nullptr) != FALSE;
}

bool FileAccess::Flush(HANDLE file) {
    return ::FlushFileBuffers(file) != FALSE;
}

bool FileAccess::Replace(const std::wstring& destination, const std::wstring& replacement,
                         DWORD& error) {
    if (::ReplaceFileW(destination.c_str(), replacement.c_str(), nullptr,
                       REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                       nullptr))
        return true;
    error = ::GetLastError();
    return false;
}

bool FileAccess::Move(const std::wstring& from, const std::wstring& to, DWORD& error) {
    if (::MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    error = ::GetLastError();
    return false;
}

bool FileAccess::ReplaceKeeping(const std::wstring& destination, const std::wstring& replacement,
                                const std::wstring& backup, DWORD& error) {
    if (::ReplaceFileW(destination.c_str(), replacement.c_str(), backup.c_str(),
                       REPLACEFILE_IGNORE_MERGE_ERRORS | REPLACEFILE_IGNORE_ACL_ERRORS, nullptr,
                       nullptr))
        return true;
    error = ::GetLastError();
    return false;
}

bool FileAccess::Rename(HANDLE file, const std::wstring& to, DWORD& error) {
    // The structure ends in the name, which runs past its declared one-character array.
    const size_t bytes = sizeof(FILE_RENAME_INFO) + to.size() * sizeof(wchar_t);
    std::vector<std::uint8_t> buffer(bytes, 0);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(to.size() * sizeof(wchar_t));
    std::copy(to.begin(), to.end(), info->FileName);
    if (::SetFileInformationByHandle(file, FileRenameInfo, info, static_cast<DWORD>(bytes)))
        return true;
    error = ::GetLastError();
    return false;
}

bool FileAccess::AllocatedSize(const std::wstring& path, std::uint64_t& bytes) {
    win::FileHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, 0, nullptr));
    FILE_STANDARD_INFO standard;
    if (!file ||
        !::GetFileInformationByHandleEx(file.Get(), FileStandardInfo, &standard, sizeof standard))
        return false;
    bytes = static_cast<std::uint64_t>(standard.AllocationSize.QuadPart);
    return true;
}

std::vector<std::wstring> FileAccess::NamedStreams(const std::wstring& path) {
    std::vector<std::wstring> names;
    WIN32_FIND_STREAM_DATA stream;
    win::FindHandle listing(::FindFirstStreamW(path.c_str(), FindStreamInfoStandard, &stream, 0));
    if (!listing)
        return names;
    // ":name:$DATA" for a named stream; "::$DATA" is the file's data itself.
    constexpr std::wstring_view kData = L":$DATA";
    do {
        const std::wstring_view name = stream.cStreamName;
        if (name.size() > kData.size() + 1 && name.ends_with(kData))
            names.emplace_back(name.substr(0, name.size() - kData.size()));
    } while (::FindNextStreamW(listing.Get(), &stream));
    return names;
}

namespace {
std::atomic<FileAccess*> installed{nullptr};
} // namespace

FileAccess& PlainFileAccess() {
    static FileAccess system;
    return system;
}

FileAccess& SystemFileAccess() {
    FileAccess* files = installed.load();
    return files ? *files : PlainFileAccess();
}

void UseFileAccess(FileAccess& files) {
    installed.store(&files);
}

FileInfo FileInfoFromFindData(const WIN32_FIND_DATAW& entry) {
    return FromSystemData(entry);
}

} // namespace snapkeep

#include "WorkerTestSupport.h"

#include <winioctl.h>

#include <cstring>

#include "TempDir.h"
#include "Wait.h"

namespace snapkeep::test {

namespace {

// Wine's mount manager request that defines a drive letter for a Unix folder (and, without a
// folder, removes it).
struct WineUnixDrive {
    ULONG size;
    ULONG type;
    ULONG fsType;
    DWORD serial;
    ULONGLONG unixDev;
    WCHAR letter;
    USHORT mountPointOffset;
    USHORT deviceOffset;
    USHORT labelOffset;
};
constexpr DWORD kDefineUnixDrive =
    CTL_CODE('m', 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
constexpr ULONG kWineHardDiskVolume = 2;

bool WineDefineDrive(wchar_t letter, const char* unixFolder) {
    win::FileHandle manager(::CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, 0, nullptr));
    if (!manager)
        return false;
    const size_t pathBytes = unixFolder ? std::strlen(unixFolder) + 1 : 0;
    std::vector<char> request(sizeof(WineUnixDrive) + pathBytes, 0);
    auto* drive = reinterpret_cast<WineUnixDrive*>(request.data());
    drive->size = static_cast<ULONG>(request.size());
    drive->letter = static_cast<WCHAR>(::towlower(letter));
    if (unixFolder) {
        drive->type = kWineHardDiskVolume;
        drive->mountPointOffset = sizeof(WineUnixDrive);
        std::memcpy(request.data() + sizeof(WineUnixDrive), unixFolder, pathBytes);
    }
    DWORD returned = 0;
    return ::DeviceIoControl(manager.Get(), kDefineUnixDrive, request.data(),
                             static_cast<DWORD>(request.size()), nullptr, 0, &returned, nullptr);
}

std::string WineUnixName(const std::wstring& path) {
    using GetUnixName = char*(CDECL*)(LPCWSTR);
    auto get = reinterpret_cast<GetUnixName>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    if (!get)
        return {};
    char* name = get(path.c_str());
    if (!name)
        return {};
    std::string out = name;
    ::HeapFree(::GetProcessHeap(), 0, name);
    return out;
}

bool SeesFolder(wchar_t letter, const std::wstring& folder) {
    // A marker file written through the folder must be visible through the letter.
    const std::wstring marker = L"snapkeep-drive-marker";
    if (!WriteBytes(folder + L"\\" + marker, "x"))
        return false;
    const bool seen = FileExists(std::wstring(1, letter) + L":\\" + marker);
    ::DeleteFileW((folder + L"\\" + marker).c_str());
    return seen;
}

std::uint64_t FromFileTime(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

void SnapshotInto(const std::wstring& root, const std::wstring& relative,
                  std::map<std::wstring, Entry>& out) {
    WIN32_FIND_DATAW data;
    win::FindHandle find(::FindFirstFileW((root + L"\\" + relative + L"*").c_str(), &data));
    if (!find)
        return;
    do {
        const std::wstring name = data.cFileName;
        if (name == L"." || name == L"..")
            continue;
        const std::wstring path = relative + name;
        Entry entry{data.dwFileAttributes,
                    (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow,
                    FromFileTime(data.ftLastWriteTime), 0};
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entry.lastWrite = 0; // a folder's time changes with its content
            out[path] = entry;
            SnapshotInto(root, path + L"\\", out);
        } else {
            std::uint64_t sum = 1469598103934665603ull;
            for (unsigned char c : ReadBytes(root + L"\\" + path))
                sum = (sum ^ c) * 1099511628211ull;
            entry.checksum = sum;
            out[path] = entry;
        }
    } while (::FindNextFileW(find.Get(), &data));
}

} // namespace

MappedDrive::MappedDrive(const std::wstring& folder) : folder_(folder) {
    for (wchar_t letter = L'P'; letter <= L'Y'; ++letter) {
        // A letter removed earlier stays listed, without a root: such a letter is free again.
        const std::wstring root = std::wstring(1, letter) + L":\\";
        if (::GetDriveTypeW(root.c_str()) != DRIVE_NO_ROOT_DIR)
            continue;
        const std::wstring device = std::wstring(1, letter) + L":";
        if (::DefineDosDeviceW(0, device.c_str(), folder.c_str())) {
            if (SeesFolder(letter, folder)) {
                letter_ = letter;
                return;
            }
            ::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE, device.c_str(),
                               folder.c_str());
        }
        const std::string unixFolder = WineUnixName(folder);
        if (!unixFolder.empty() && WineDefineDrive(letter, unixFolder.c_str()) &&
            SeesFolder(letter, folder)) {
            letter_ = letter;
            wine_ = true;
        }
        return;
    }
}

MappedDrive::~MappedDrive() {
    if (!letter_)
        return;
    if (wine_)
        WineDefineDrive(letter_, nullptr);
    else
        ::DefineDosDeviceW(DDD_REMOVE_DEFINITION | DDD_EXACT_MATCH_ON_REMOVE,
                           (std::wstring(1, letter_) + L":").c_str(), folder_.c_str());
}

std::string Pattern(size_t size, unsigned seed) {
    std::string bytes(size, '\0');
    std::uint32_t state = seed * 2654435761u + 1;
    for (char& c : bytes) {
        state = state * 1664525u + 1013904223u;
        c = static_cast<char>(state >> 24);
    }
    return bytes;
}

bool WriteFileAt(const std::wstring& path, const std::string& bytes) {
    for (size_t slash = path.find(L'\\', 3); slash != std::wstring::npos;
         slash = path.find(L'\\', slash + 1))
        ::CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
    return WriteBytes(path, bytes);
}

Info InfoOf(const std::wstring& path) {
    Info info;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) {
        info.attributes = data.dwFileAttributes;
        info.lastWrite = FromFileTime(data.ftLastWriteTime);
        info.size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return info;
}

bool SetWriteTimeAndAttributes(const std::wstring& path, std::uint64_t lastWrite,
                               DWORD attributes) {
    {
        ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        win::FileHandle file(::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES,
                                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
        if (!file)
            return false;
        FILETIME time{static_cast<DWORD>(lastWrite), static_cast<DWORD>(lastWrite >> 32)};
        if (!::SetFileTime(file.Get(), nullptr, nullptr, &time))
            return false;
    }
    return ::SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY) &&
           ::SetFileAttributesW(path.c_str(), attributes);
}

std::map<std::wstring, Entry> Snapshot(const std::wstring& root) {
    std::map<std::wstring, Entry> out;
    SnapshotInto(root, L"", out);
    return out;
}

namespace {

using UnixFileNameCall = char*(CDECL*)(const wchar_t*);

// Wine's own export that names the Linux path of a Windows path; none on Windows.
UnixFileNameCall WineUnixFileName() {
    return reinterpret_cast<UnixFileNameCall>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

} // namespace

bool UnderWine() {
    return WineUnixFileName() != nullptr;
}

std::wstring UnixPath(const std::wstring& path) {
    const UnixFileNameCall unixFileName = WineUnixFileName();
    char* name = unixFileName ? unixFileName(path.c_str()) : nullptr;
    std::wstring wide;
    if (name) {
        const int n = ::MultiByteToWideChar(CP_UTF8, 0, name, -1, nullptr, 0);
        wide.resize(n > 0 ? n - 1 : 0);
        ::MultiByteToWideChar(CP_UTF8, 0, name, -1, wide.data(), n);
        ::HeapFree(::GetProcessHeap(), 0, name);
    }
    return wide;
}

bool RunUnixCommand(const std::vector<std::wstring>& arguments) {
    if (!UnderWine() || arguments.empty())
        return false;
    // Wine's start.exe runs a Linux program given by its Linux path.
    std::wstring command = L"start.exe /wait /unix";
    for (const std::wstring& argument : arguments)
        command += L" \"" + argument + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &process))
        return false;
    win::Handle thread(process.hThread);
    win::Handle child(process.hProcess);
    return ::WaitForSingleObject(child.Get(), 30000) == WAIT_OBJECT_0;
}

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
    if (!UnderWine())
        return ::CreateSymbolicLinkW(link.c_str(), target.c_str(),
                                     SYMBOLIC_LINK_FLAG_DIRECTORY |
                                         SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) != FALSE;
    const std::wstring from = UnixPath(target);
    const std::wstring to = UnixPath(link);
    if (from.empty() || to.empty() || !RunUnixCommand({L"/bin/ln", L"-s", from, to}))
        return false;
    return WaitUntil([&] { return ::GetFileAttributesW(link.c_str()) != INVALID_FILE_ATTRIBUTES; },
                     10000);
}

namespace {

// True while `folder` lies on a volume of at most `bytes` (the small one, not the disk below it).
bool OnSmallVolume(const std::wstring& folder, std::uint64_t bytes) {
    ULARGE_INTEGER total{};
    return ::GetDiskFreeSpaceExW((folder + L"\\").c_str(), nullptr, &total, nullptr) &&
           total.QuadPart <= bytes;
}

} // namespace

SmallVolume::SmallVolume(const std::wstring& folder, std::uint64_t bytes)
    : folder_(folder), bytes_(bytes) {
    const std::wstring unixFolder = UnixPath(folder);
    if (unixFolder.empty() ||
        !RunUnixCommand({L"/bin/mount", L"-t", L"tmpfs", L"-o", L"size=" + std::to_wstring(bytes),
                         L"snapkeep-test", unixFolder}))
        return;
    // start.exe may return before the Linux program has ended, and mount's own answer does not
    // come back through it: the volume's size tells.
    attempted_ = true;
    mounted_ = WaitUntil([&] { return OnSmallVolume(folder_, bytes_); }, 10000);
}

SmallVolume::~SmallVolume() {
    if (!attempted_)
        return;
    RunUnixCommand({L"/bin/umount", L"-l", UnixPath(folder_)});
    WaitUntil([&] { return !OnSmallVolume(folder_, bytes_); }, 10000);
}

namespace {

// True while a small volume is mounted on `folder`: Wine reports no mount points of its own,
// but the size of the volume the folder lies on changes.
bool IsVolumeRoot(const std::wstring& folder) {
    return OnSmallVolume(folder, 1ull << 30);
}

} // namespace

FuseVolume::FuseVolume(const std::wstring& folder, Kind kind, unsigned megabytes)
    : folder_(folder), image_(folder + L".img") {
    const std::wstring unixFolder = UnixPath(folder);
    const std::wstring unixImage = UnixPath(image_);
    if (unixFolder.empty() || unixImage.empty()) {
        why_ = "FUSE volumes are mounted under Wine only";
        return;
    }
    const std::wstring size = std::to_wstring(megabytes) + L"M";
    // One shell line, so that the loop device found by losetup reaches the mount.
    const std::wstring script =
        kind == Kind::Fat32
            ? L"truncate -s " + size + L" '" + unixImage + L"' && mkfs.vfat -F 32 '" + unixImage +
                  L"' && fusefat -o rw+ '" + unixImage + L"' '" + unixFolder + L"'"
            : L"truncate -s " + size + L" '" + unixImage + L"' && mkfs.exfat '" + unixImage +
                  L"' && mount.exfat-fuse $(losetup -f --show '" + unixImage + L"') '" +
                  unixFolder + L"'";
    if (!RunUnixCommand({L"/bin/sh", L"-c", script + L" >/dev/null 2>&1"})) {
        why_ = "the shell could not be started";
        return;
    }
    attempted_ = true;
    mounted_ = WaitUntil([&] { return IsVolumeRoot(folder_); }, 10000);
    if (!mounted_)
        why_ = "mounting a FUSE file system was refused (needs root, /dev/fuse, loop devices, "
               "and the fusefat, exfat-fuse, dosfstools and exfatprogs packages)";
}

FuseVolume::~FuseVolume() {
    if (!attempted_)
        return;
    const std::wstring unixFolder = UnixPath(folder_);
    const std::wstring unixImage = UnixPath(image_);
    RunUnixCommand({L"/bin/sh", L"-c",
                    L"umount '" + unixFolder + L"' || umount -l '" + unixFolder +
                        L"'; losetup -j '" + unixImage +
                        L"' | cut -d: -f1 | xargs -r -n1 losetup -d; rm -f '" + unixImage + L"'"});
    WaitUntil([&] { return !IsVolumeRoot(folder_); }, 10000);
}

std::vector<std::wstring> TemporaryFilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    win::FindHandle find(::FindFirstFileW((folder + L"\\~snapkeep-*").c_str(), &data));
    if (find) {
        do
            names.push_back(data.cFileName);
        while (::FindNextFileW(find.Get(), &data));
    }
    return names;
}

GatedFileAccess::GatedFileAccess(std::uint64_t stopAt)
    : stopAt_(stopAt), reached_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      gate_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

bool GatedFileAccess::Read(HANDLE file, void* buffer, DWORD size, DWORD& got) {
    if (done_ >= stopAt_) {
        ::SetEvent(reached_.Get());
        ::WaitForSingleObject(gate_.Get(), INFINITE);
    }
    const bool ok = FileAccess::Read(file, buffer, size, got);
    done_ += got;
    return ok;
}

bool GatedFileAccess::WaitReached(DWORD timeoutMs) const {
    return ::WaitForSingleObject(reached_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

bool FailingFileAccess::Read(HANDLE file, void* buffer, DWORD size, DWORD& got) {
    if (what_ == What::Reads && read_ >= failAt_) {
        got = 0;
        ::SetLastError(ERROR_READ_FAULT);
        return false;
    }
    const bool ok = FileAccess::Read(file, buffer, size, got);
    read_ += got;
    return ok;
}

bool FailingFileAccess::Write(HANDLE file, const void* data, DWORD size, DWORD& put) {
    if (what_ == What::Writes && written_ >= failAt_) {
        put = 0;
        ::SetLastError(ERROR_DISK_FULL);
        return false;
    }
    const bool ok = FileAccess::Write(file, data, size, put);
    written_ += put;
    return ok;
}

bool FailingFileAccess::Flush(HANDLE file) {
    if (what_ != What::Flushes)
        return FileAccess::Flush(file);
    ::SetLastError(ERROR_IO_DEVICE);
    return false;
}

HANDLE RefusingListings::FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry,
                                   DWORD& error) {
    {
        std::lock_guard lock(mutex_);
        patterns_.push_back(pattern);
    }
    if (!pattern.starts_with(L"\\\\?\\") && pattern.size() >= MAX_PATH) {
        error = ERROR_PATH_NOT_FOUND;
        return INVALID_HANDLE_VALUE;
    }
    for (const std::wstring& folder : refused_)
        if (pattern == folder + L"*.*" || pattern == L"\\\\?\\" + folder + L"*.*") {
            error = error_;
            return INVALID_HANDLE_VALUE;
        }
    return FileAccess::FindFirst(pattern, entry, error);
}

HANDLE BreakingListing::FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry,
                                  DWORD& error) {
    HANDLE listing = FileAccess::FindFirst(pattern, entry, error);
    if (listing != INVALID_HANDLE_VALUE && pattern == L"\\\\?\\" + folder_ + L"*.*") {
        std::lock_guard lock(mutex_);
        broken_ = listing;
        given_ = 1;
    }
    return listing;
}

bool BreakingListing::FindNext(HANDLE listing, WIN32_FIND_DATAW& entry, DWORD& error) {
    {
        std::lock_guard lock(mutex_);
        if (listing == broken_ && given_++ >= entries_) {
            error = error_;
            return false;
        }
    }
    return FileAccess::FindNext(listing, entry, error);
}

std::vector<std::wstring> RefusingListings::Patterns() const {
    std::lock_guard lock(mutex_);
    return patterns_;
}

namespace {
// The path without its "\\?\" prefix.
std::wstring Plain(const std::wstring& path) {
    return path.starts_with(L"\\\\?\\") ? path.substr(4) : path;
}
} // namespace

std::wstring StreamsBeside::Beside(const std::wstring& path) {
    const size_t colon = path.find(L':', path.rfind(L'\\') + 1);
    return colon == std::wstring::npos
               ? path
               : path.substr(0, colon) + L".stream-" + path.substr(colon + 1);
}

HANDLE StreamsBeside::Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                           DWORD flags) {
    const std::wstring beside = Beside(path);
    if (beside != path && !streamless_.empty() &&
        ::CompareStringOrdinal(Plain(path).c_str(), static_cast<int>(streamless_.size()),
                               streamless_.c_str(), static_cast<int>(streamless_.size()),
                               TRUE) == CSTR_EQUAL) {
        ::SetLastError(ERROR_INVALID_NAME);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = FileAccess::Open(beside, access, share, disposition, flags);
    if (file != INVALID_HANDLE_VALUE) {
        std::lock_guard<std::mutex> guard(lock_);
        opened_[file] = beside;
    }
    return file;
}

void StreamsBeside::MoveStreams(const std::wstring& from, const std::wstring& to) {
    for (const std::wstring& name : NamedStreams(from))
        ::MoveFileExW(Beside(from + name).c_str(), Beside(to + name).c_str(),
                      MOVEFILE_REPLACE_EXISTING);
}

bool StreamsBeside::ReplaceKeeping(const std::wstring& destination, const std::wstring& replacement,
                                   const std::wstring& backup, DWORD& error) {
    const std::vector<std::wstring> earlier = NamedStreams(destination);
    if (!FileAccess::ReplaceKeeping(destination, replacement, backup, error))
        return false;
    // The backup is the earlier file itself, streams and all; those the replacement has none of
    // stay on the new file too.
    for (const std::wstring& name : earlier)
        ::CopyFileW(Beside(destination + name).c_str(), Beside(backup + name).c_str(), FALSE);
    MoveStreams(replacement, destination);
    return true;
}

bool StreamsBeside::Move(const std::wstring& from, const std::wstring& to, DWORD& error) {
    if (!FileAccess::Move(from, to, error))
        return false;
    MoveStreams(from, to);
    return true;
}

bool StreamsBeside::Rename(HANDLE file, const std::wstring& to, DWORD& error) {
    std::wstring from;
    {
        std::lock_guard<std::mutex> guard(lock_);
        const auto known = opened_.find(file);
        if (known != opened_.end())
            from = known->second;
    }
    if (!FileAccess::Rename(file, to, error))
        return false;
    if (!from.empty())
        MoveStreams(from, to);
    return true;
}

std::vector<std::wstring> StreamsBeside::NamedStreams(const std::wstring& path) {
    std::vector<std::wstring> names;
    const std::wstring prefix = path + L".stream-";
    WIN32_FIND_DATAW entry;
    win::FindHandle listing(::FindFirstFileW((prefix + L"*").c_str(), &entry));
    if (!listing)
        return names;
    const std::wstring start = prefix.substr(prefix.rfind(L'\\') + 1);
    do {
        const std::wstring name = entry.cFileName;
        if (name.size() > start.size() && name.starts_with(start))
            names.push_back(L":" + name.substr(start.size()));
    } while (::FindNextFileW(listing.Get(), &entry));
    return names;
}

bool StreamsBeside::Replace(const std::wstring& destination, const std::wstring& replacement,
                            DWORD& error) {
    const std::vector<std::wstring> streams = NamedStreams(replacement);
    if (!FileAccess::Replace(destination, replacement, error))
        return false;
    for (const std::wstring& name : streams)
        ::MoveFileExW(Beside(replacement + name).c_str(), Beside(destination + name).c_str(),
                      MOVEFILE_REPLACE_EXISTING);
    return true;
}

} // namespace snapkeep::test

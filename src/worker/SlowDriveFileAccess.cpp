#include "worker/SlowDriveFileAccess.h"

#include "worker/FolderBytes.h"

#include <algorithm>
#include <thread>

namespace snapkeep {

namespace {

// What a disk that has gone answers.
constexpr DWORD kGone = ERROR_DEVICE_NOT_CONNECTED;

std::uint64_t CapacityBytes(const DriveSpeed& speed) {
    return static_cast<std::uint64_t>(speed.capacityMB) * 1'000'000;
}

} // namespace

void SlowDriveFileAccess::SetDrives(std::map<char, DriveSpeed> drives) {
    std::lock_guard lock(mutex_);
    drives_ = std::move(drives);
}

std::optional<DriveSpeed> SlowDriveFileAccess::SpeedOfLetter(char letter) const {
    std::lock_guard lock(mutex_);
    const auto drive = drives_.find(letter);
    return drive == drives_.end() ? std::nullopt : std::optional(drive->second);
}

std::optional<DriveSpeed> SlowDriveFileAccess::SpeedOfPath(const std::wstring& path) const {
    const std::optional<char> letter = DriveLetterOf(path);
    return letter ? SpeedOfLetter(*letter) : std::nullopt;
}

std::optional<DriveSpeed> SlowDriveFileAccess::SpeedOfHandle(HANDLE file, char& letter) const {
    std::lock_guard lock(mutex_);
    const auto handle = handles_.find(file);
    if (handle == handles_.end())
        return std::nullopt;
    letter = handle->second;
    const auto drive = drives_.find(letter);
    return drive == drives_.end() ? std::nullopt : std::optional(drive->second);
}

void SlowDriveFileAccess::Spend(char letter, std::int64_t microseconds) {
    if (microseconds <= 0)
        return;
    const Clock::time_point epoch{};
    const auto now = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - epoch);
    std::int64_t until = 0;
    {
        std::lock_guard lock(mutex_);
        until = clocks_[letter].Schedule(now.count(), microseconds);
    }
    // The system's sleep counts whole milliseconds and may wake a little early: the rest of the
    // time is slept again, so a 5 ms opening never costs 4.
    const Clock::time_point done = epoch + std::chrono::microseconds(until);
    for (auto now = Clock::now(); now < done; now = Clock::now())
        std::this_thread::sleep_for(done - now);
}

std::uint64_t SlowDriveFileAccess::Recount(char letter) {
    {
        std::lock_guard lock(mutex_);
        usage_[letter].writtenSince = 0;
    }
    // A write made while the count runs may be counted twice, by it and by Write: the disk then
    // seems fuller than it is until the next count, never emptier.
    const std::uint64_t counted = BytesOfFilesBelow(std::wstring(1, letter) + L":\\");
    std::lock_guard lock(mutex_);
    Usage& usage = usage_[letter];
    usage.known = true;
    usage.counted = counted;
    return counted + usage.writtenSince;
}

bool SlowDriveFileAccess::Fits(char letter, std::uint64_t capacity, DWORD size) {
    std::optional<std::uint64_t> used;
    {
        std::lock_guard lock(mutex_);
        if (const Usage& usage = usage_[letter]; usage.known)
            used = usage.counted + usage.writtenSince;
    }
    if (used && *used + size <= capacity)
        return true;
    // The running figure only grows between counts: files deleted, or written over in place,
    // are not taken off it. A write is refused only by a fresh count, or a disk emptied by
    // another program (the removal of old versions, a test) would stay full.
    return Recount(letter) + size <= capacity;
}

bool SlowDriveFileAccess::ReadInfo(const std::wstring& path, FileInfo& info, DWORD& error) {
    if (const auto speed = SpeedOfPath(path); speed && !speed->attached) {
        error = kGone;
        return false;
    }
    return inner_.ReadInfo(path, info, error);
}

bool SlowDriveFileAccess::ReadInfo(HANDLE file, FileInfo& info) {
    return inner_.ReadInfo(file, info);
}

bool SlowDriveFileAccess::ApplyInfo(HANDLE file, const std::wstring& path, const FileInfo& info) {
    if (const auto speed = SpeedOfPath(path); speed && !speed->attached) {
        ::SetLastError(kGone);
        return false;
    }
    return inner_.ApplyInfo(file, path, info);
}

HANDLE SlowDriveFileAccess::FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry,
                                      DWORD& error) {
    if (const auto speed = SpeedOfPath(pattern); speed && !speed->attached) {
        error = kGone;
        return INVALID_HANDLE_VALUE;
    }
    return inner_.FindFirst(pattern, entry, error);
}

bool SlowDriveFileAccess::FreeSpace(const std::wstring& folder, std::uint64_t& bytes) {
    const std::optional<char> letter = DriveLetterOf(folder);
    const std::optional<DriveSpeed> speed = letter ? SpeedOfLetter(*letter) : std::nullopt;
    if (speed && !speed->attached)
        return false;
    if (!speed || speed->capacityMB == 0)
        return inner_.FreeSpace(folder, bytes);
    const std::uint64_t capacity = CapacityBytes(*speed);
    const std::uint64_t used = Recount(*letter);
    bytes = used < capacity ? capacity - used : 0;
    return true;
}

HANDLE SlowDriveFileAccess::Open(const std::wstring& path, DWORD access, DWORD share,
                                 DWORD disposition, DWORD flags) {
    const std::optional<DriveSpeed> speed = SpeedOfPath(path);
    if (speed && !speed->attached) {
        ::SetLastError(kGone);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE file = inner_.Open(path, access, share, disposition, flags);
    if (file == INVALID_HANDLE_VALUE)
        return file;
    const DWORD error = ::GetLastError(); // CREATE_ALWAYS tells whether it replaced a file
    {
        // A handle value is used again once its file is closed: the entry is renewed by every
        // opening, and every file whose data comes through here was opened here.
        std::lock_guard lock(mutex_);
        if (speed)
            handles_[file] = *DriveLetterOf(path);
        else
            handles_.erase(file);
    }
    if (speed && (access & (GENERIC_WRITE | FILE_WRITE_DATA | FILE_APPEND_DATA)))
        Spend(*DriveLetterOf(path), std::int64_t{speed->fileOpenMs} * 1000);
    ::SetLastError(error);
    return file;
}

bool SlowDriveFileAccess::Read(HANDLE file, void* buffer, DWORD size, DWORD& got) {
    char letter = 0;
    const std::optional<DriveSpeed> speed = SpeedOfHandle(file, letter);
    if (speed && !speed->attached) {
        got = 0;
        ::SetLastError(kGone);
        return false;
    }
    const bool ok = inner_.Read(file, buffer, size, got);
    if (ok && speed)
        Spend(letter, TransferMicroseconds(got, speed->readMBps));
    return ok;
}

bool SlowDriveFileAccess::Write(HANDLE file, const void* data, DWORD size, DWORD& put) {
    char letter = 0;
    const std::optional<DriveSpeed> speed = SpeedOfHandle(file, letter);
    if (speed && !speed->attached) {
        put = 0;
        ::SetLastError(kGone);
        return false;
    }
    if (speed && speed->capacityMB > 0 && !Fits(letter, CapacityBytes(*speed), size)) {
        put = 0;
        ::SetLastError(ERROR_DISK_FULL);
        return false;
    }
    // The time first, then the data: a disk pulled out while it was busy has not taken it.
    if (speed) {
        Spend(letter, TransferMicroseconds(size, speed->writeMBps));
        if (const auto now = SpeedOfLetter(letter); now && !now->attached) {
            put = 0;
            ::SetLastError(kGone);
            return false;
        }
    }
    const bool ok = inner_.Write(file, data, size, put);
    if (ok && speed && speed->capacityMB > 0) {
        std::lock_guard lock(mutex_);
        usage_[letter].writtenSince += put;
    }
    return ok;
}

} // namespace snapkeep

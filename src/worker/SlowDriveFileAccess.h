#pragma once
// File access that makes chosen drive letters as slow as a USB disk: each read and write on them
// takes the time their disk's speed gives it, and each file opened there for writing pays its
// cost, whatever the folder behind the letter really takes. A disk given a capacity holds no
// more than that, whatever the folder's own volume has free. An unplugged disk answers every
// request with an error, as a disk that is gone does. Listings and attribute queries take their
// own time. Only SnapkeepSim.exe puts it in front of its copies and its speed probe; it is not
// part of Snapkeep.exe.
#include "worker/DriveSpeed.h"
#include "worker/FileAccess.h"

#include <chrono>
#include <map>
#include <mutex>

namespace snapkeep {

class SlowDriveFileAccess final : public FileAccess {
public:
    explicit SlowDriveFileAccess(FileAccess& inner) : inner_(inner) {}

    // The slowed letters (upper case) and their disks' speeds; every other letter is left as
    // it is. Takes effect at the next request, the ones in flight included.
    void SetDrives(std::map<char, DriveSpeed> drives);

    // On a letter with a capacity, FreeSpace answers the capacity less the bytes of all files
    // below its root, counted anew at each call, and Write fails with ERROR_DISK_FULL (nothing
    // written) when the bytes there and the write's would exceed it.

    bool ReadInfo(const std::wstring& path, FileInfo& info, DWORD& error) override;
    bool ReadInfo(HANDLE file, FileInfo& info) override;
    bool ApplyInfo(HANDLE file, const std::wstring& path, const FileInfo& info) override;
    HANDLE FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry, DWORD& error) override;
    bool FreeSpace(const std::wstring& folder, std::uint64_t& bytes) override;
    HANDLE Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) override;
    bool Read(HANDLE file, void* buffer, DWORD size, DWORD& got) override;
    bool Write(HANDLE file, const void* data, DWORD size, DWORD& put) override;

private:
    using Clock = std::chrono::steady_clock;
    // The speed of the disk behind `path`'s letter, or of the letter `file` was opened on;
    // none when it is not slowed.
    std::optional<DriveSpeed> SpeedOfLetter(char letter) const;
    std::optional<DriveSpeed> SpeedOfPath(const std::wstring& path) const;
    std::optional<DriveSpeed> SpeedOfHandle(HANDLE file, char& letter) const;
    // Holds the caller until the disk of `letter` has done `microseconds` more work, on the
    // disk's own clock (DiskClock), so the oversleeping of one wait is taken off the next.
    void Spend(char letter, std::int64_t microseconds);

    // What the files on a letter with a capacity hold: the last count's figure and the bytes
    // written through here since.
    struct Usage {
        bool known = false;
        std::uint64_t counted = 0;
        std::uint64_t writtenSince = 0;
    };
    // Counts the bytes of the letter's files again; answers them with what was written meanwhile.
    std::uint64_t Recount(char letter);
    // True when `size` more bytes fit on the letter's disk of `capacity` bytes.
    bool Fits(char letter, std::uint64_t capacity, DWORD size);

    FileAccess& inner_;
    mutable std::mutex mutex_; // guards all below
    std::map<char, DriveSpeed> drives_;
    std::map<HANDLE, char> handles_; // files opened on a slowed letter
    std::map<char, DiskClock> clocks_;
    std::map<char, Usage> usage_;
};

} // namespace snapkeep

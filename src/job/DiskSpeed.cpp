#include "job/DiskSpeed.h"

#include "win/Handle.h"
#include "worker/FileAccess.h"

#include <cstdint>
#include <memory>

namespace snapkeep {

namespace {

constexpr DWORD kMebibyte = 1048576;
constexpr int kAttempts = 101;
constexpr DWORD kExistenceRetryMs = 10;
constexpr DWORD kDeletionRetryMs = 200;

enum class ProbeWrite { NotCreated, WriteFailed, Written };

// The file is written through to the disk and, when looked for, opened without the cache, so
// the times are the disk's and not the system's memory. It goes through the same file access as
// the copies, so that whatever stands in front of the disk for them stands in front of it here.
ProbeWrite WriteProbe(const std::wstring& path, const void* buffer, DWORD bytes) {
    FileAccess& files = SystemFileAccess();
    win::FileHandle file(files.Open(path, GENERIC_WRITE, FILE_SHARE_WRITE, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH));
    if (!file)
        return ProbeWrite::NotCreated;
    if (bytes == 0)
        return ProbeWrite::Written;
    DWORD written = 0;
    return files.Write(file.Get(), buffer, bytes, written) && written == bytes
               ? ProbeWrite::Written
               : ProbeWrite::WriteFailed;
}

// The file counts as there once an exclusive creation is refused because it exists.
bool ConfirmProbe(const std::wstring& path) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        win::FileHandle file(SystemFileAccess().Open(
            path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_NEW,
            FILE_FLAG_WRITE_THROUGH | FILE_FLAG_NO_BUFFERING));
        if (!file && ::GetLastError() == ERROR_FILE_EXISTS)
            return true;
        file.Reset(); // made by this attempt, or not at all: closed before the next
        ::Sleep(kExistenceRetryMs);
    }
    return false;
}

// Gone only when the system says there is no such file: a deletion it accepted may still be
// pending while another program (a virus scanner, an indexer) holds the file open.
bool RemoveProbe(const std::wstring& path) {
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (!::DeleteFileW(path.c_str()) && ::GetLastError() == ERROR_FILE_NOT_FOUND)
            return true;
        ::Sleep(kDeletionRetryMs);
    }
    return false;
}

} // namespace

std::wstring ProbeFilePath(const std::wstring& driveRoot) {
    constexpr int kOtherNames = 99;
    for (int n = 0; n <= kOtherNames; ++n) {
        const std::wstring path =
            driveRoot + (n == 0 ? std::wstring(L"temp") : L"temp~" + std::to_wstring(n)) + L".~txt";
        if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
            ::GetLastError() == ERROR_FILE_NOT_FOUND)
            return path;
    }
    // Every name taken, or the root cannot be looked at (gone, not ready): no probe.
    return std::wstring();
}

bool TimeProbeFile(const std::wstring& path, const void* buffer, DWORD bytes,
                   std::int32_t& milliseconds) {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER start{};
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&start);
    const ProbeWrite written = WriteProbe(path, buffer, bytes);
    if (written != ProbeWrite::Written || !ConfirmProbe(path)) {
        // A probe this program made goes again, once: left behind, it would look like a
        // user's file to the next job, which would then probe under yet another name.
        if (written != ProbeWrite::NotCreated)
            ::DeleteFileW(path.c_str());
        return false;
    }
    LARGE_INTEGER end{};
    ::QueryPerformanceCounter(&end);
    const long long ticks = end.QuadPart - start.QuadPart;
    milliseconds =
        frequency.QuadPart > 0 ? static_cast<std::int32_t>(ticks * 1000 / frequency.QuadPart) : 0;
    return RemoveProbe(path);
}

std::optional<DiskSpeed> MeasureDiskSpeed(const std::wstring& driveRoot) {
    const std::wstring path = ProbeFilePath(driveRoot);
    if (path.empty())
        return std::nullopt;
    // Zero-filled: what the probe writes does not matter, only how long it takes.
    const auto buffer = std::make_unique<char[]>(kMebibyte);
    std::int32_t discarded = 0;
    std::int32_t megabyte = 0;
    std::int32_t small = 0;
    // The first write wakes the disk up and is not counted.
    if (!TimeProbeFile(path, buffer.get(), 10, discarded) ||
        !TimeProbeFile(path, buffer.get(), kMebibyte, megabyte) ||
        !TimeProbeFile(path, buffer.get(), 10, small) ||
        !TimeProbeFile(path, buffer.get(), 0, discarded))
        return std::nullopt;
    DiskSpeed speed;
    speed.megabyteMs = megabyte > 0 ? megabyte : 1;
    const long long twice = 2LL * small;
    speed.smallFileMs = twice <= 0          ? 1
                        : twice > INT32_MAX ? INT32_MAX
                                            : static_cast<std::int32_t>(twice);
    return speed;
}

} // namespace snapkeep

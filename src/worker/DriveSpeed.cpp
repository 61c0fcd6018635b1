#include "worker/DriveSpeed.h"

namespace snapkeep {

std::int64_t TransferMicroseconds(std::uint64_t bytes, int megabytesPerSecond) {
    if (megabytesPerSecond <= 0)
        return 0;
    // Bytes per microsecond is the speed in MB/s; rounded up, so that no transfer is free.
    const std::uint64_t rate = static_cast<std::uint64_t>(megabytesPerSecond);
    return static_cast<std::int64_t>((bytes + rate - 1) / rate);
}

std::int64_t DiskClock::Schedule(std::int64_t nowUs, std::int64_t costUs) {
    if (!started_ || nowUs - busyUntilUs_ > kCatchUpUs)
        busyUntilUs_ = nowUs;
    started_ = true;
    busyUntilUs_ += costUs;
    return busyUntilUs_;
}

std::optional<char> DriveLetterOf(std::wstring_view path) {
    if (path.starts_with(L"\\\\?\\") || path.starts_with(L"\\??\\"))
        path.remove_prefix(4);
    if (path.size() < 2 || path[1] != L':')
        return std::nullopt;
    const wchar_t c = path[0];
    if (c >= L'a' && c <= L'z')
        return static_cast<char>(c - L'a' + 'A');
    if (c >= L'A' && c <= L'Z')
        return static_cast<char>(c);
    return std::nullopt;
}

} // namespace snapkeep

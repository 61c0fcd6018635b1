#pragma once
// How fast a simulated disk is, and how big: what SnapkeepSim.exe makes the drive letters of an
// enclosure cost and hold, so that a job on a folder of the machine takes the time it would take
// on a USB disk, and meets a full disk where the test wants one.
#include <cstdint>
#include <optional>
#include <string_view>

namespace snapkeep {

struct DriveSpeed {
    int writeMBps = 0;  // sustained writing, 1 MB = 1,000,000 bytes a second; 0 = unlimited
    int readMBps = 0;   // sustained reading; 0 = unlimited
    int fileOpenMs = 0; // each file opened for writing (its directory entry, its allocation)
    bool attached = true;
    int capacityMB = 0; // the disk's size, 1 MB = 1,000,000 bytes; 0 = the folder's free space

    bool operator==(const DriveSpeed&) const = default;
};

// The microseconds `bytes` take at `megabytesPerSecond`; 0 when the speed is 0 (unlimited).
std::int64_t TransferMicroseconds(std::uint64_t bytes, int megabytesPerSecond);

// When a disk is done with the work given to it, in microseconds on any steady clock. Work given
// while the disk is busy queues behind what it has; work given a moment after it went idle
// (less than `kCatchUpUs`: a wait that overslept, the caller's own time between two blocks)
// starts where the last ended, so the small delays of many waits do not add up to a slower
// disk. Work given to a disk idle for longer starts now: an idle disk banks no time, or the
// first write after a pause would be free.
class DiskClock {
public:
    static constexpr std::int64_t kCatchUpUs = 20'000;
    // Adds `costUs` of work given at `nowUs`; answers when it is done.
    std::int64_t Schedule(std::int64_t nowUs, std::int64_t costUs);

private:
    std::int64_t busyUntilUs_ = 0;
    bool started_ = false;
};

// The upper-case drive letter a full path lies on ("E:\x", "e:", "\\?\E:\x"); none for a
// relative path, a share or a device path.
std::optional<char> DriveLetterOf(std::wstring_view path);

} // namespace snapkeep

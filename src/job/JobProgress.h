#pragma once
// The counters of one job and the rules that turn them into the gauge, the file bar and the time
// left. The worker's after-file hooks write them on the worker's thread while the job window's
// timers read them on the user-interface thread: every value is one atomic, read whole, and
// each has one writer at a time.
#include "job/Estimates.h"

#include <atomic>
#include <cstdint>

namespace snapkeep {

// Gauge of the whole copy pass and bar of the current file, 0 to 100.
struct ProgressBars {
    int gauge = 0;
    int bar = 0;
    bool operator==(const ProgressBars&) const = default;
};

// The gauge follows the bytes done; while fewer files are finished than were counted it stops
// at 99, so it never shows 100 before the last file is counted. Without bytes it follows the
// files, with nothing to copy it is full. `percent` is the current file's part already copied.
ProgressBars ComputeBars(std::uint32_t totalFiles, std::uint64_t totalBytes,
                         std::uint32_t finishedFiles, std::uint64_t doneBytes, int percent);

class JobProgress {
public:
    // The measured write times (each at least 1), set before the scan pass counts a file.
    void SetSpeed(std::int32_t smallFileMs, std::int32_t megabyteMs);
    std::int32_t SmallFileMs() const { return smallFileMs_.load(); }
    std::int32_t MegabyteMs() const { return megabyteMs_.load(); }
    std::int32_t EstimateMs(std::uint64_t bytes) const;

    // Scan pass: nothing found yet; then one call per file the copy pass will handle.
    void StartScan();
    void CountScannedFile(std::uint64_t size);

    // Copy pass: nothing done yet; then one call per file handled, copied or failed.
    void StartCopy();
    void RecordCopiedFile(bool copied, std::uint64_t size);

    // The copy timer's look at the file being copied: adds its copied part to the bytes done
    // and takes its estimate off the time left; answers the gauge and the bar. `fileSize` is 0
    // while no file is being copied (the walk passing files it leaves alone, or between two
    // folders), so that nothing part-way counts then.
    ProgressBars RefreshCopy(int percent, std::uint64_t fileSize);

    Clock TimeLeftNow() const { return TimeLeft(RemainingMs(), RemainingNowMs()); }

    std::uint32_t TotalFiles() const { return totalFiles_.load(); }
    std::uint64_t TotalBytes() const { return totalBytes_.load(); }
    std::uint32_t FinishedFiles() const { return finishedFiles_.load(); }
    std::uint64_t FinishedBytes() const { return finishedBytes_.load(); }
    std::uint64_t DoneBytes() const { return doneBytes_.load(); }
    // The estimates as 32-bit milliseconds: a sum beyond that range shows as its largest value.
    std::int32_t RemainingMs() const { return Saturate(remainingMs_.load()); }
    std::int32_t RemainingNowMs() const { return Saturate(remainingNowMs_.load()); }

private:
    static std::int32_t Saturate(std::int64_t ms);

    std::atomic<std::int32_t> smallFileMs_{1};
    std::atomic<std::int32_t> megabyteMs_{1};
    std::atomic<std::uint32_t> totalFiles_{0};
    std::atomic<std::uint64_t> totalBytes_{0};
    std::atomic<std::uint32_t> finishedFiles_{0};
    std::atomic<std::uint64_t> finishedBytes_{0};
    std::atomic<std::uint64_t> doneBytes_{0};
    // Kept in 64 bits, so that a sum beyond the 32-bit range neither wraps nor loses what the
    // copy pass later takes off it.
    std::atomic<std::int64_t> remainingMs_{0};
    std::atomic<std::int64_t> remainingNowMs_{0};
};

} // namespace snapkeep

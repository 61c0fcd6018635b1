#include "job/JobProgress.h"

#include <algorithm>
#include <limits>

namespace snapkeep {

namespace {
// Once the copy pass has handled a file, the time left never shows less than a second.
constexpr std::int64_t kFloorMs = 1000;
} // namespace

ProgressBars ComputeBars(std::uint32_t totalFiles, std::uint64_t totalBytes,
                         std::uint32_t finishedFiles, std::uint64_t doneBytes, int percent) {
    if (totalFiles == 0)
        return {100, 100};
    if (totalBytes == 0) {
        const std::uint64_t byFiles = std::uint64_t{finishedFiles} * 100 / totalFiles;
        return {static_cast<int>(std::min<std::uint64_t>(byFiles, 100)), 100};
    }
    const unsigned __int128 share = static_cast<unsigned __int128>(doneBytes) * 100 / totalBytes;
    int gauge = share >= 100 ? 100 : static_cast<int>(share);
    // Files that appeared between the two passes are copied too, so more files can be finished
    // than were counted: only files still to come hold the gauge below 100.
    if (gauge == 100 && finishedFiles < totalFiles)
        gauge = 99;
    return {gauge, std::clamp(percent, 0, 100)};
}

void JobProgress::SetSpeed(std::int32_t smallFileMs, std::int32_t megabyteMs) {
    smallFileMs_.store(std::max(smallFileMs, 1));
    megabyteMs_.store(std::max(megabyteMs, 1));
}

std::int32_t JobProgress::EstimateMs(std::uint64_t bytes) const {
    return EstimateCopyMs(bytes, smallFileMs_.load(), megabyteMs_.load());
}

void JobProgress::StartScan() {
    totalFiles_.store(0);
    totalBytes_.store(0);
    remainingMs_.store(0);
    remainingNowMs_.store(0);
}

void JobProgress::CountScannedFile(std::uint64_t size) {
    totalFiles_.fetch_add(1);
    totalBytes_.fetch_add(size);
    const std::int64_t remaining = remainingMs_.load() + EstimateMs(size);
    remainingMs_.store(remaining);
    remainingNowMs_.store(remaining);
}

void JobProgress::StartCopy() {
    finishedFiles_.store(0);
    finishedBytes_.store(0);
    doneBytes_.store(0);
}

void JobProgress::RecordCopiedFile(bool copied, std::uint64_t size) {
    if (copied) {
        finishedFiles_.fetch_add(1);
        finishedBytes_.fetch_add(size);
    }
    remainingMs_.store(std::max(remainingMs_.load() - EstimateMs(size), kFloorMs));
}

ProgressBars JobProgress::RefreshCopy(int percent, std::uint64_t fileSize) {
    const int p = std::clamp(percent, 0, 100);
    const std::uint64_t partial =
        static_cast<std::uint64_t>(static_cast<unsigned __int128>(fileSize) * p / 100);
    const std::uint64_t done = finishedBytes_.load() + partial;
    doneBytes_.store(done);
    remainingNowMs_.store(std::max(remainingMs_.load() - EstimateMs(partial), kFloorMs));
    return ComputeBars(totalFiles_.load(), totalBytes_.load(), finishedFiles_.load(), done, p);
}

std::int32_t JobProgress::Saturate(std::int64_t ms) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(
        ms, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

} // namespace snapkeep

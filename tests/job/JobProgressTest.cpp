#include "job/JobProgress.h"

#include <gtest/gtest.h>

#include <thread>

using namespace snapkeep;

namespace {

TEST(ComputeBars, Rules) {
    struct Case {
        const char* what;
        std::uint32_t totalFiles;
        std::uint64_t totalBytes;
        std::uint32_t finishedFiles;
        std::uint64_t doneBytes;
        int percent;
        ProgressBars bars;
    };
    const Case cases[] = {
        {"nothing to copy", 0, 0, 0, 0, 0, {100, 100}},
        {"all files empty, none done", 4, 0, 0, 0, 0, {0, 100}},
        {"all files empty, three done", 4, 0, 3, 0, 0, {75, 100}},
        {"half the bytes", 2, 1000, 1, 500, 40, {50, 40}},
        {"last file at 100 % before its hook", 2, 1000, 1, 1000, 100, {99, 100}},
        {"everything counted", 2, 1000, 2, 1000, 100, {100, 100}},
        {"files grew since the scan", 2, 1000, 1, 5000, 100, {99, 100}},
        {"grew, all counted", 2, 1000, 2, 5000, 0, {100, 0}},
        {"more files finished than scanned", 2, 1000, 3, 1500, 100, {100, 100}},
        {"more finished than scanned, all empty", 2, 0, 3, 0, 0, {100, 100}},
        {"failures keep it short", 3, 300, 2, 200, 0, {66, 0}},
        {"huge byte counts", 2, ~std::uint64_t{0} / 2, 1, ~std::uint64_t{0} / 4, 10, {49, 10}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComputeBars(c.totalFiles, c.totalBytes, c.finishedFiles, c.doneBytes, c.percent),
                  c.bars)
            << c.what;
}

TEST(JobProgress, ScanAddsUpAndCopyTakesOff) {
    JobProgress job;
    job.SetSpeed(6, 20);
    job.StartScan();
    job.CountScannedFile(5 << 20);   // 100 ms
    job.CountScannedFile(10);        // 6 ms
    job.CountScannedFile(300 << 20); // 6000 ms
    EXPECT_EQ(job.TotalFiles(), 3u);
    EXPECT_EQ(job.TotalBytes(), (5u << 20) + 10 + (300u << 20));
    EXPECT_EQ(job.RemainingMs(), 6106);
    EXPECT_EQ(job.RemainingNowMs(), 6106);

    job.StartCopy();
    job.RecordCopiedFile(true, 5 << 20);
    EXPECT_EQ(job.RemainingMs(), 6006);
    job.RecordCopiedFile(false, 10); // a failure is not counted but leaves the estimate
    EXPECT_EQ(job.FinishedFiles(), 1u);
    EXPECT_EQ(job.FinishedBytes(), 5u << 20);
    EXPECT_EQ(job.RemainingMs(), 6000);

    // Half of the big file: 3000 ms of it are done.
    EXPECT_EQ(job.RefreshCopy(50, 300 << 20), (ProgressBars{50, 50})); // 155 of 305 MiB
    EXPECT_EQ(job.DoneBytes(), (5u << 20) + (150u << 20));
    EXPECT_EQ(job.RemainingNowMs(), 3000);
    EXPECT_EQ(job.TimeLeftNow(), (Clock{0, 0, 3}));

    job.RecordCopiedFile(true, 300 << 20);
    EXPECT_EQ(job.RemainingMs(), 1000) << "never under a second once a file was handled";
    // At 0 % the small-write time comes off.
    job.RefreshCopy(0, 0);
    EXPECT_EQ(job.RemainingNowMs(), 1000);
    EXPECT_EQ(job.TimeLeftNow(), (Clock{0, 0, 1}));
}

TEST(JobProgress, EstimatesBeyond32BitsSaturate) {
    JobProgress job;
    job.SetSpeed(1, 1000);
    job.StartScan();
    for (int i = 0; i < 3; ++i)
        job.CountScannedFile(std::uint64_t{1} << 40); // 1,048,576,000 ms each
    EXPECT_EQ(job.RemainingMs(), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(job.TimeLeftNow(), (Clock{23, 59, 59}));
    // What the copy takes off comes off the true sum, not off the saturated one.
    job.StartCopy();
    job.RecordCopiedFile(true, std::uint64_t{1} << 40);
    job.RecordCopiedFile(true, std::uint64_t{1} << 40);
    EXPECT_EQ(job.RemainingMs(), 1048576000);
}

TEST(JobProgress, SpeedIsAtLeastOneMillisecond) {
    JobProgress job;
    job.SetSpeed(0, 0);
    EXPECT_EQ(job.SmallFileMs(), 1);
    EXPECT_EQ(job.MegabyteMs(), 1);
}

TEST(JobProgress, HooksOnAnotherThreadWhileTheTimerReads) {
    // The shape of a job: one thread counts, the other reads; whole values throughout.
    JobProgress job;
    job.SetSpeed(1, 1);
    job.StartScan();
    for (int i = 0; i < 1000; ++i)
        job.CountScannedFile(std::uint64_t{1} << 33);
    job.StartCopy();
    std::thread worker([&] {
        for (int i = 0; i < 1000; ++i)
            job.RecordCopiedFile(true, std::uint64_t{1} << 33);
    });
    for (int i = 0; i < 1000; ++i) {
        const ProgressBars bars = job.RefreshCopy(50, std::uint64_t{1} << 33);
        EXPECT_LE(bars.gauge, 100);
        EXPECT_EQ(job.FinishedBytes() % (std::uint64_t{1} << 33), 0u);
    }
    worker.join();
    EXPECT_EQ(job.FinishedFiles(), 1000u);
    EXPECT_EQ(job.RefreshCopy(100, 0), (ProgressBars{100, 100}));
}

} // namespace

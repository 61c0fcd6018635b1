// The simulated disks' arithmetic: how long a transfer takes, and which letter a path is on.
#include "worker/DriveSpeed.h"

#include <gtest/gtest.h>

#include <vector>

using namespace snapkeep;

namespace {

TEST(DriveSpeedTest, ATransferTakesItsBytesOverTheSpeed) {
    struct Case {
        std::uint64_t bytes;
        int mbps;
        std::int64_t microseconds;
    };
    const Case cases[] = {
        {1'000'000, 1, 1'000'000},
        {1'048'576, 30, 34'953}, // 1 MiB at 30 MB/s, rounded up
        {10, 30, 1},
        {0, 30, 0},
        {1'000'000, 0, 0},                    // unlimited
        {4'000'000'000ull, 1, 4'000'000'000}, // beyond 32 bits
    };
    for (const Case& c : cases)
        EXPECT_EQ(TransferMicroseconds(c.bytes, c.mbps), c.microseconds)
            << c.bytes << " bytes at " << c.mbps << " MB/s";
}

TEST(DriveSpeedTest, ADisksClockQueuesWorkAbsorbsShortGapsAndBanksNoIdleTime) {
    struct Step {
        std::int64_t now, cost, done;
    };
    // Each table is one disk's life, step by step.
    const std::vector<std::vector<Step>> lives = {
        // Work given while busy queues behind the earlier.
        {{1'000'000, 5'000, 1'005'000}, {1'001'000, 30'000, 1'035'000}},
        // A wait that overslept by 3 ms: the next block starts where the last one ended.
        {{1'000'000, 30'000, 1'030'000}, {1'033'000, 30'000, 1'060'000}},
        // Idle for 200 ms (the probe's pause between two files): nothing banked, the file's
        // opening costs its whole 5 ms.
        {{1'000'000, 30'000, 1'030'000}, {1'230'000, 5'000, 1'235'000}},
        // The first work of a disk starts when it is given.
        {{7'000'000, 10, 7'000'010}},
    };
    for (size_t life = 0; life < lives.size(); ++life) {
        DiskClock clock;
        for (const Step& step : lives[life])
            EXPECT_EQ(clock.Schedule(step.now, step.cost), step.done) << "life " << life;
    }
}

TEST(DriveSpeedTest, APathsLetterIsFoundInEveryFormTheCopyUses) {
    struct Case {
        const wchar_t* path;
        std::optional<char> letter;
    };
    const Case cases[] = {
        {L"E:\\temp.~txt", 'E'},
        {L"e:\\Backup\\C\\x", 'E'},
        {L"\\\\?\\F:\\long\\path", 'F'},
        {L"\\??\\g:\\x", 'G'},
        {L"Z:", 'Z'},
        {L"\\\\?\\UNC\\server\\x", {}},
        {L"\\\\server\\share\\x", {}},
        {L"relative\\x", {}},
        {L"", {}},
        {L"1:\\x", {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(DriveLetterOf(c.path), c.letter)
            << std::string(c.path, c.path + std::wcslen(c.path));
}

} // namespace

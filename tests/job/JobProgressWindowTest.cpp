// What the job window shows: counts, the gauge and the file bar, the time labels, the failure
// lines, and the user's thousands separator.
#include "JobWindowFixture.h"

#include <shlobj.h>

#include <algorithm>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

TEST_F(JobWindowTest, NothingToCopyFillsTheGaugeAndFinishes) {
    AddHostFolder(L"Empty");
    RunJob(true, [] {});
    EXPECT_FALSE(job_->Showing()) << "finished and closed by itself";
    EXPECT_EQ(job_->CGaugeTotal.Position(), 100);
    EXPECT_EQ(job_->ProgressBarSingle.Position(), 100);
    EXPECT_EQ(job_->LabelFinishedFiles.Caption(), L"Finished Files: 0");
    EXPECT_EQ(job_->LabelTimeLeft.Caption(), L"Time Left: 00:00:00") << "the pass has ended";
    // The time left while such a pass runs: one second.
    job_->TimerSpentTimer();
    EXPECT_EQ(job_->LabelTimeLeft.Caption(), L"Time Left: 00:00:01");
}

TEST_F(JobWindowTest, EmptyFilesMoveTheGaugeByTheirCount) {
    const std::wstring folder = AddHostFolder(L"Empty files");
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(WriteFileAt(folder + L"e" + std::to_wstring(i) + L".txt", ""));
    Gate gate;
    job_->OnWorkerReady = [&](TScanCopyFiles& worker, bool scanPass) {
        if (!scanPass)
            worker.SetOnBeforeFile([&, files = 0](TScanCopyFiles&) mutable {
                if (++files == 3)
                    gate.Hold(); // two of four copied
            });
    };
    RunJob(true, [&] {
        ASSERT_TRUE(gate.WaitHeld());
        EXPECT_TRUE(WaitUntilOnThread([&] {
            return job_->CGaugeTotal.Position() == 50 && job_->ProgressBarSingle.Position() == 100;
        })) << job_->CGaugeTotal.Position();
        EXPECT_EQ(job_->Progress.TotalBytes(), 0u);
        gate.Open();
    });
    EXPECT_EQ(job_->CGaugeTotal.Position(), 100);
}

TEST_F(JobWindowTest, TheLastFileDoneButNotYetCountedShows99) {
    const std::wstring folder = AddHostFolder(L"One");
    ASSERT_TRUE(WriteFileAt(folder + L"only.bin", Pattern(200'000, 3)));
    Gate gate;
    job_->OnWorkerReady = [&](TScanCopyFiles& worker, bool scanPass) {
        if (!scanPass)
            worker.SetOnAfterFile([&](TScanCopyFiles& w) {
                gate.Hold(); // copied whole, its hook not yet run
                job_->RecordCopiedFile(w);
            });
    };
    RunJob(true, [&] {
        ASSERT_TRUE(gate.WaitHeld());
        EXPECT_TRUE(WaitUntilOnThread([&] {
            return job_->CGaugeTotal.Position() == 99 && job_->ProgressBarSingle.Position() == 100;
        })) << job_->CGaugeTotal.Position()
            << " " << job_->ProgressBarSingle.Position();
        gate.Open();
    });
    EXPECT_EQ(job_->CGaugeTotal.Position(), 100);
}

// Holds the walk where it compares one file with its copy.
class HoldAtCompare : public FileAccess {
public:
    HoldAtCompare(std::wstring copy, Gate& gate) : copy_(std::move(copy)), gate_(gate) {}
    using FileAccess::ReadInfo;
    bool ReadInfo(const std::wstring& path, FileInfo& info, DWORD& error) override {
        if (path == copy_)
            gate_.Hold();
        return FileAccess::ReadInfo(path, info, error);
    }

private:
    std::wstring copy_;
    Gate& gate_;
};

TEST_F(JobWindowTest, WalkingPastAnUnchangedFileAddsNothingToTheBytesDone) {
    // The first folder's file is copied, so the copy's percentage stands at 100 when the walk
    // reaches the second folder's large file, which is identical to its copy.
    const std::wstring copied = AddHostFolder(L"A") + L"new.txt";
    const std::wstring unchanged = AddHostFolder(L"B") + L"large.bin";
    const std::wstring later = AddHostFolder(L"C") + L"later.txt";
    ASSERT_TRUE(WriteFileAt(copied, Pattern(10'000, 1)));
    ASSERT_TRUE(WriteFileAt(later, Pattern(10'000, 2)));
    for (const std::wstring& path : {unchanged, BackupOf(unchanged)}) {
        ASSERT_TRUE(WriteFileAt(path, Pattern(4'000'000, 3)));
        ASSERT_TRUE(
            SetWriteTimeAndAttributes(path, 132'000'000'000'000'000ull, FILE_ATTRIBUTE_ARCHIVE));
    }
    Gate gate;
    HoldAtCompare hold(BackupOf(unchanged), gate);
    job_->OnWorkerReady = [&](TScanCopyFiles& worker, bool scanPass) {
        if (!scanPass)
            worker.SetFileAccess(hold);
    };
    RunJob(true, [&] {
        ASSERT_TRUE(gate.WaitHeld());
        // A copy tick has seen the worker at the large file; the sent message is answered once
        // that tick's handler has returned.
        EXPECT_TRUE(WaitForText(job_->LabelStatus, L"Backup " + unchanged));
        ::SendMessageW(job_->Handle(), WM_NULL, 0, 0);
        EXPECT_EQ(job_->Progress.TotalBytes(), 20'000u) << "the unchanged file is not to copy";
        EXPECT_EQ(job_->Progress.FinishedBytes(), 10'000u);
        EXPECT_EQ(job_->Progress.DoneBytes(), 10'000u) << "the file walked past counts as done";
        EXPECT_EQ(job_->CGaugeTotal.Position(), 50);
        // Nothing part-way: only the small-write time comes off the time left.
        EXPECT_EQ(job_->Progress.RemainingNowMs(),
                  std::max(job_->Progress.RemainingMs() - job_->Progress.SmallFileMs(), 1000));
        gate.Open();
    });
    EXPECT_EQ(job_->CGaugeTotal.Position(), 100);
}

TEST_F(JobWindowTest, FailureLinesInTheOrderOfTheFailures) {
    // Three folders, one failure each: a destination past 260 units (7), a folder where the
    // destination file must go (9), a source locked by another program (in use, 16).
    const std::wstring tooLongFolder = AddHostFolder(L"A");
    const std::wstring tooLong =
        tooLongFolder + std::wstring(255 - tooLongFolder.size() - 4, L'n') + L".txt";
    ASSERT_EQ(tooLong.size(), 255u);
    ASSERT_TRUE(WriteFileAt(tooLong, "x"));
    const std::wstring blocked = AddHostFolder(L"B") + L"blocked.txt";
    ASSERT_TRUE(WriteFileAt(blocked, "y"));
    ASSERT_EQ(::SHCreateDirectoryExW(nullptr, BackupOf(blocked).c_str(), nullptr), ERROR_SUCCESS);
    const std::wstring locked = AddHostFolder(L"C") + L"locked.txt";
    ASSERT_TRUE(WriteFileAt(locked, "z"));
    win::FileHandle lock(
        ::CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.Valid());

    RunJob(true, [] {});
    EXPECT_FALSE(job_->Showing()) << "failures still end in Finished and the automatic close";
    ASSERT_EQ(job_->ListBoxFiles.Count(), 3);
    EXPECT_EQ(job_->ListBoxFiles.Item(0),
              BackupOf(tooLong) + L"; Fail: Destination path is too long.");
    EXPECT_EQ(job_->ListBoxFiles.Item(1),
              BackupOf(blocked) + L"; Fail: Destination file cannot be created.");
    EXPECT_EQ(job_->ListBoxFiles.Item(2), locked + L"; Fail: In use by another program.");
    EXPECT_EQ(job_->LabelFinishedFiles.Caption(), L"Finished Files: 0");
    EXPECT_EQ(job_->CGaugeTotal.Position(), 0) << "nothing was copied";

    // The list scrolls as far as its widest line, and a later job keeps that extent.
    const int widest = job_->ListBoxFiles.TextWidth(job_->ListBoxFiles.Item(0) + L"  ");
    EXPECT_EQ(job_->WidestLine, widest);
    EXPECT_EQ(job_->ListBoxFiles.HorizontalExtent(), widest);
    lock.Reset();
    main_->ListViewHost.SetChecked(0, false);
    main_->ListViewHost.SetChecked(1, false);
    RunJob(true, [] {});
    EXPECT_EQ(job_->ListBoxFiles.Count(), 0) << "the next copy pass empties the list";
    EXPECT_EQ(job_->WidestLine, widest);
}

TEST_F(JobWindowTest, TimeLabels) {
    struct Case {
        std::int32_t remainingMs;
        int elapsedSeconds;
        std::wstring spent;
        std::wstring left;
    };
    const Case cases[] = {
        {90'061'000, 59, L"Time Spent: 00:00:59", L"Time Left: 23:59:59"},
        {3'661'000, 60, L"Time Spent: 00:01:00", L"Time Left: 01:01:01"},
        {999, 86'400, L"Time Spent: 23:59:59", L"Time Left: 00:00:01"},
    };
    for (const Case& c : cases) {
        // One scanned file whose estimate is the small-write time.
        job_->Progress.SetSpeed(c.remainingMs, 1);
        job_->Progress.StartScan();
        job_->Progress.CountScannedFile(0);
        job_->ElapsedSeconds = c.elapsedSeconds;
        job_->TimerSpentTimer();
        EXPECT_EQ(job_->LabelTimeSpent.Caption(), c.spent);
        EXPECT_EQ(job_->LabelTimeLeft.Caption(), c.left);
        EXPECT_EQ(job_->ElapsedSeconds, c.elapsedSeconds + 1);
        EXPECT_EQ(job_->TimerSpent.Interval(), 1000);
    }
}

TEST_F(JobWindowTest, CountsUseTheUsersThousandsSeparator) {
    wchar_t previous[8] = {};
    ASSERT_TRUE(::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, previous, 8));
    ASSERT_TRUE(::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, L"."));
    job_->Progress.StartScan();
    for (int i = 0; i < 12000; ++i)
        job_->Progress.CountScannedFile(1);
    job_->ScanWorker = std::make_unique<TScanCopyFiles>(true); // never started
    job_->TimerScanFileTimer();
    EXPECT_EQ(job_->LabelTotalFiles.Caption(), L"Total Files: 12.000");
    EXPECT_EQ(job_->LabelStatus.Caption(), L"0 files have been scanned.");
    EXPECT_EQ(job_->TimerScanFile.Interval(), 200);
    job_->ScanWorker.reset();
    ::SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, previous);
}

TEST_F(JobWindowTest, ScanStatusStartsAgainForEachFolderWhileTheTotalGrows) {
    const std::wstring first = AddHostFolder(L"First");
    const std::wstring second = AddHostFolder(L"Second");
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(WriteFileAt(first + L"f" + std::to_wstring(i) + L".txt", "1"));
    for (int i = 0; i < 2; ++i)
        ASSERT_TRUE(WriteFileAt(second + L"s" + std::to_wstring(i) + L".txt", "2"));
    Gate gate;
    int scanWorkers = 0;
    job_->OnWorkerReady = [&](TScanCopyFiles& worker, bool scanPass) {
        if (scanPass && ++scanWorkers == 2)
            worker.SetOnAfterFile([&, files = 0](TScanCopyFiles& w) mutable {
                job_->CountScannedFile(w);
                if (++files == 1)
                    gate.Hold();
            });
    };
    RunJob(true, [&] {
        ASSERT_TRUE(gate.WaitHeld());
        EXPECT_TRUE(WaitForText(job_->LabelStatus, L"1 files have been scanned."))
            << std::string(job_->LabelStatus.Caption().begin(), job_->LabelStatus.Caption().end());
        EXPECT_TRUE(WaitForText(job_->LabelTotalFiles, L"Total Files: 4"));
        gate.Open();
    });
}

TEST_F(JobWindowTest, AFolderScannedInLessThanATickShowsItsCount) {
    const std::wstring first = AddHostFolder(L"Quick");
    AddHostFolder(L"Next");
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(WriteFileAt(first + L"q" + std::to_wstring(i) + L".txt", "1"));
    std::wstring status;
    std::wstring total;
    int scanWorkers = 0;
    // The second folder's worker is made right after the first folder's scan, far sooner than
    // the period of a second the timer first waits: what the labels say then is what the quick
    // scan left on screen.
    job_->OnWorkerReady = [&](TScanCopyFiles&, bool scanPass) {
        if (scanPass && ++scanWorkers == 2) {
            status = job_->LabelStatus.Caption();
            total = job_->LabelTotalFiles.Caption();
        }
    };
    RunJob(true, [] {});
    EXPECT_EQ(status, L"3 files have been scanned.");
    EXPECT_EQ(total, L"Total Files: 3");
}

} // namespace

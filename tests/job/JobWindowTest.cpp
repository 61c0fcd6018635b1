// The job window's states as a user meets them: scanning, copying, paused, the cancel questions
// answered both ways, finished with the automatic close, and stopped.
#include "JobWindowFixture.h"

#include "job/DiskSpeed.h"
#include "worker/CopyState.h"

using namespace snapkeep;
using namespace snapkeep::test;
using SteadyClock = std::chrono::steady_clock;

namespace {

TEST_F(JobWindowTest, BackupScansCopiesAndClosesItselfWhenFinished) {
    const std::wstring first = AddHostFolder(L"Pictures");
    const std::wstring skipped = AddHostFolder(L"Skipped", false);
    const std::wstring second = AddHostFolder(L"Docs");
    ASSERT_TRUE(WriteFileAt(first + L"a.jpg", Pattern(3000, 1)));
    ASSERT_TRUE(WriteFileAt(first + L"sub\\b.txt", Pattern(10, 2)));
    ASSERT_TRUE(WriteFileAt(skipped + L"c.txt", Pattern(10, 3)));
    ASSERT_TRUE(WriteFileAt(second + L"big.bin", Pattern(3'000'000, 4)));
    main_->ListViewDevice.Add(true, L"X:\\Backup\\C\\old\\"); // kept: a backup adds its rows

    Gate scanGate;
    Gate copyGate;
    int workers = 0;
    job_->OnWorkerReady = [&](TScanCopyFiles& worker, bool scanPass) {
        // Hold the first folder of each pass at its first file.
        if (workers++ % 2 == 0)
            worker.SetOnBeforeFile(
                [&gate = scanPass ? scanGate : copyGate](TScanCopyFiles&) { gate.Hold(); });
    };
    SteadyClock::time_point finishedSeen;
    RunJob(true, [&] {
        ASSERT_TRUE(scanGate.WaitHeld());
        EXPECT_TRUE(WaitForLayout(kScanning)) << Current();
        EXPECT_EQ(job_->Panel.Caption(), L"Backup from Host to USB Device");
        EXPECT_TRUE(job_->Showing());
        scanGate.Open();

        ASSERT_TRUE(copyGate.WaitHeld());
        EXPECT_TRUE(WaitForLayout(kCopying)) << Current();
        Click(job_->btnPause);
        EXPECT_TRUE(WaitForLayout(kPaused)) << Current();
        // The click's handler shows Restart before it holds the worker.
        EXPECT_TRUE(WaitUntilOnThread([] { return CopyPaused.load(); }));
        Click(job_->btnRestart);
        EXPECT_TRUE(WaitForLayout(kCopying)) << Current();
        copyGate.Open();

        // The finished layout is seen through the window styles, which need no answer from
        // the window: reading a text would wait out the pause before the close and so measure
        // nothing.
        EXPECT_TRUE(WaitForLayout(kFinished)) << Current();
        finishedSeen = SteadyClock::now();
        EXPECT_EQ(job_->LabelStatus.Caption(), L"Backup has finished.");
    });
    EXPECT_FALSE(job_->Showing());
    EXPECT_GE(
        std::chrono::duration_cast<std::chrono::milliseconds>(closedAt_ - finishedSeen).count(),
        2800)
        << "a finished job stays on view for 3000 ms";
    EXPECT_EQ(workers, 4) << "one worker per ticked folder and pass";

    // The files, and one unticked device row per ticked folder, in host-list order.
    EXPECT_EQ(Snapshot(first), Snapshot(BackupOf(first)));
    EXPECT_EQ(Snapshot(second), Snapshot(BackupOf(second)));
    EXPECT_FALSE(FileExists(BackupOf(skipped) + L"c.txt"));
    ASSERT_EQ(main_->ListViewDevice.Count(), 3);
    EXPECT_EQ(main_->ListViewDevice.Text(0), L"X:\\Backup\\C\\old\\");
    EXPECT_TRUE(main_->ListViewDevice.Checked(0));
    EXPECT_EQ(main_->ListViewDevice.Text(1), BackupOf(first));
    EXPECT_EQ(main_->ListViewDevice.Text(2), BackupOf(second));
    EXPECT_FALSE(main_->ListViewDevice.Checked(1) || main_->ListViewDevice.Checked(2));
    EXPECT_EQ(job_->CGaugeTotal.Position(), 100);
    EXPECT_EQ(job_->LabelFinishedFiles.Caption(), L"Finished Files: 3");
    EXPECT_FALSE(FileExists(drive_->Root() + L"temp.~txt")) << "the probe file is gone";
}

TEST_F(JobWindowTest, CancelWhileScanningAnsweredNoGoesOnAndYesCloses) {
    const std::wstring folder = AddHostFolder(L"Docs");
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(WriteFileAt(folder + L"f" + std::to_wstring(i) + L".txt", Pattern(100, i)));
    Gate gate;
    int counted = 0;
    job_->OnWorkerReady = [&](TScanCopyFiles& worker, bool scanPass) {
        ASSERT_TRUE(scanPass) << "no copy worker after a confirmed cancel";
        // Hold at the second file, once the first is counted.
        worker.SetOnBeforeFile([&](TScanCopyFiles&) {
            if (++counted == 2)
                gate.Hold();
        });
    };
    RunJob(true, [&] {
        ASSERT_TRUE(gate.WaitHeld());
        {
            MessageBoxAnswerer no(L"Question", IDNO);
            Click(job_->btnCancel);
            ASSERT_TRUE(WaitUntilOnThread([&] { return no.Texts().size() == 1; }));
            EXPECT_EQ(no.Texts()[0], L"Cancel the scanning?");
        }
        EXPECT_TRUE(WaitForLayout(kScanning)) << Current();
        EXPECT_EQ(job_->Progress.TotalFiles(), 1u) << "the counts stand as they were";
        MessageBoxAnswerer yes(L"Question", IDYES, [&](HWND) { gate.Open(); });
        Click(job_->btnCancel);
        EXPECT_TRUE(WaitUntilOnThread([&] { return yes.Texts().size() == 1; }));
    });
    EXPECT_FALSE(job_->Showing());
    EXPECT_FALSE(FileExists(drive_->Root() + L"Backup")) << "nothing was copied";
    EXPECT_EQ(main_->ListViewDevice.Count(), 0) << "a backup cancelled in the scan leaves no row";
}

TEST_F(JobWindowTest, CancelWhileCopyingOrPausedAnsweredNoKeepsTheStateAndYesKeepsTheOldCopy) {
    const std::wstring folder = AddHostFolder(L"Video");
    const std::wstring source = folder + L"film.mkv";
    ASSERT_TRUE(WriteFileAt(source, Pattern(8'000'000, 7)));
    // An earlier backup of the file, older and different: a cancelled copy must leave it whole.
    const std::wstring earlier = BackupOf(source);
    const std::string earlierBytes = Pattern(5000, 8);
    ASSERT_TRUE(WriteFileAt(earlier, earlierBytes));
    ASSERT_TRUE(
        SetWriteTimeAndAttributes(earlier, 125'000'000'000'000'000ull, FILE_ATTRIBUTE_ARCHIVE));

    GatedFileAccess files(4'096'000); // the copy holds in the middle of the file
    job_->OnWorkerReady = [&](TScanCopyFiles& worker, bool scanPass) {
        if (!scanPass)
            worker.SetFileAccess(files);
    };
    RunJob(true, [&] {
        ASSERT_TRUE(files.WaitReached(20000));
        ASSERT_TRUE(WaitForLayout(kCopying)) << Current();
        {
            MessageBoxAnswerer no(L"Question", IDNO);
            Click(job_->btnCancel);
            ASSERT_TRUE(WaitUntilOnThread([&] { return no.Texts().size() == 1; }));
            EXPECT_EQ(no.Texts()[0], L"Cancel the copying?");
        }
        EXPECT_TRUE(WaitForLayout(kCopying)) << "No from copying goes on copying";
        EXPECT_TRUE(WaitUntilOnThread([&] { return job_->TimerSpent.Enabled(); }));
        EXPECT_FALSE(CopyPaused.load());

        Click(job_->btnPause);
        ASSERT_TRUE(WaitForLayout(kPaused)) << Current();
        const std::wstring spent = job_->LabelTimeSpent.Caption();
        {
            MessageBoxAnswerer no(L"Question", IDNO);
            Click(job_->btnCancel);
            ASSERT_TRUE(WaitUntilOnThread([&] { return no.Texts().size() == 1; }));
        }
        EXPECT_TRUE(WaitForLayout(kPaused)) << "No from paused stays paused";
        EXPECT_FALSE(job_->TimerSpent.Enabled());
        EXPECT_FALSE(job_->TimerCopyFile.Enabled());
        EXPECT_TRUE(CopyPaused.load());
        EXPECT_EQ(job_->LabelTimeSpent.Caption(), spent) << "the time spent does not move";

        // Yes from paused: the worker wakes, drops the file and the window closes.
        MessageBoxAnswerer yes(L"Question", IDYES, [&](HWND) { files.Open(); });
        Click(job_->btnCancel);
        EXPECT_TRUE(WaitUntilOnThread([&] { return yes.Texts().size() == 1; }));
    });
    EXPECT_FALSE(job_->Showing());
    EXPECT_EQ(ReadBytes(earlier), earlierBytes);
    EXPECT_EQ(InfoOf(earlier).lastWrite, 125'000'000'000'000'000ull);
    EXPECT_TRUE(TemporaryFilesIn(BackupOf(folder)).empty());
    ASSERT_EQ(main_->ListViewDevice.Count(), 1) << "the folder's turn had come";
}

TEST_F(JobWindowTest, StopForExitCancelsTheCopyAndWaitsUntilTheWorkerHasStopped) {
    // What the tray's Close does during a job before the program saves its lists and ends.
    const std::wstring folder = AddHostFolder(L"Video");
    const std::wstring source = folder + L"film.mkv";
    ASSERT_TRUE(WriteFileAt(source, Pattern(8'000'000, 7)));
    const std::wstring earlier = BackupOf(source);
    ASSERT_TRUE(WriteFileAt(earlier, Pattern(5000, 8)));
    GatedFileAccess files(4'096'000);
    job_->OnWorkerReady = [&](TScanCopyFiles& worker, bool scanPass) {
        if (!scanPass)
            worker.SetFileAccess(files);
    };
    // The close arrives through the job's own message loop, as the tray menu's command does.
    bool stopped = false;
    bool earlierKeptAtStop = false;
    bool noTemporaryAtStop = false;
    ui::Timer tray;
    tray.OnTimer = [&] {
        if (stopped || !files.WaitReached(0))
            return;
        stopped = true;
        // The copy is held inside the file; it reads on once the cancel has been asked for.
        std::thread release([&] {
            WaitUntilOnThread([] { return CopyCancelled.load(); });
            files.Open();
        });
        job_->StopForExit();
        release.join();
        earlierKeptAtStop = ReadBytes(earlier) == Pattern(5000, 8);
        noTemporaryAtStop = TemporaryFilesIn(BackupOf(folder)).empty();
    };
    tray.SetInterval(10);
    tray.SetEnabled(true);
    RunJob(true, [] {});
    tray.SetEnabled(false);
    EXPECT_TRUE(stopped);
    EXPECT_TRUE(earlierKeptAtStop) << "the unfinished copy replaced the earlier one";
    EXPECT_TRUE(noTemporaryAtStop);
    EXPECT_EQ(main_->ListViewDevice.Count(), 1) << "the row the lists are saved with";
}

TEST_F(JobWindowTest, AQuitDuringTheCopyStopsTheWorkerAndEndsTheJobAtOnce) {
    // The program's message loop told to end mid-job: the job's loops must not run on (a quit
    // waiting in the queue would wake them at once, again and again), and the file being copied
    // must be dropped with the earlier copy kept.
    const std::wstring folder = AddHostFolder(L"Video");
    const std::wstring source = folder + L"film.mkv";
    ASSERT_TRUE(WriteFileAt(source, Pattern(8'000'000, 7)));
    const std::wstring earlier = BackupOf(source);
    ASSERT_TRUE(WriteFileAt(earlier, Pattern(5000, 8)));
    GatedFileAccess files(4'096'000);
    job_->OnWorkerReady = [&](TScanCopyFiles& worker, bool scanPass) {
        if (!scanPass)
            worker.SetFileAccess(files);
    };
    bool quit = false;
    SteadyClock::time_point quitAt;
    ui::Timer end;
    end.OnTimer = [&] {
        if (quit || !files.WaitReached(0))
            return;
        quit = true;
        quitAt = SteadyClock::now();
        ::PostQuitMessage(0);
    };
    end.SetInterval(10);
    end.SetEnabled(true);
    // The copy is held inside the file; it reads on once the cancel has been asked for.
    std::thread release([&] {
        WaitUntilOnThread([] { return CopyCancelled.load(); });
        files.Open();
    });
    RunJob(true, [] {});
    end.SetEnabled(false);
    release.join();
    ASSERT_TRUE(quit);
    EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(closedAt_ - quitAt).count(),
              5000)
        << "the job ran on after the quit";
    EXPECT_TRUE(CopyCancelled.load()) << "the worker was not stopped";
    EXPECT_EQ(ReadBytes(earlier), Pattern(5000, 8))
        << "the unfinished copy replaced the earlier one";
    EXPECT_TRUE(TemporaryFilesIn(BackupOf(folder)).empty());
}

// Fills a volume to its last block, so that not even a small file can be written there.
void Fill(const std::wstring& root) {
    int n = 0;
    for (size_t chunk : {size_t{256} << 10, size_t{4} << 10, size_t{1}})
        while (WriteFileAt(root + L"filler" + std::to_wstring(n++), Pattern(chunk, 1)))
            continue;
}

TEST_F(JobWindowTest, AnEnclosureTheProbeCannotWriteStopsABackupButNotARestore) {
    // A full enclosure: the probe cannot write there. (Wine's drives cannot be made read-only
    // for a test running as root, which may write anywhere.)
    SmallVolume volume(enclosure_.Path(), 4u << 20);
    if (!volume.Mounted())
        GTEST_SKIP() << "a small RAM file system cannot be mounted here (it needs root)";
    const std::wstring folder = AddHostFolder(L"Docs");
    ASSERT_TRUE(WriteFileAt(folder + L"a.txt", Pattern(3000, 1)));
    RunJob(true, [] {});
    ASSERT_EQ(ReadBytes(BackupOf(folder) + L"a.txt"), Pattern(3000, 1));
    Fill(drive_->Root());
    ASSERT_TRUE(WriteFileAt(folder + L"a.txt", Pattern(3000, 2)));

    // A backup has nowhere to write: it stops before any folder is scanned.
    int workers = 0;
    job_->OnWorkerReady = [&](TScanCopyFiles&, bool) { ++workers; };
    {
        MessageBoxAnswerer error(L"Error", IDOK);
        RunJob(true, [&] {
            ASSERT_TRUE(WaitUntilOnThread([&] { return error.Texts().size() == 1; }));
            EXPECT_EQ(error.Texts()[0], L"Disk cannot be accessed.");
            EXPECT_TRUE(WaitForLayout(kStopped)) << Current();
            EXPECT_EQ(job_->LabelStatus.Caption(), L"Scanning file ...");
            ::Sleep(200);
            EXPECT_TRUE(job_->Showing()) << "the window waits for Close";
            Click(job_->btnClose);
        });
    }
    EXPECT_EQ(workers, 0);
    EXPECT_FALSE(FileExists(drive_->Root() + L"temp.~txt")) << "the failed probe stayed";

    // A restore only reads the enclosure: it goes on, its estimates those of a typical disk.
    // The first backup's row is kept by the stopped one, and is ticked for the restore.
    ASSERT_EQ(main_->ListViewDevice.Count(), 1) << "the stopped backup kept the earlier row";
    EXPECT_EQ(main_->ListViewDevice.Text(0), BackupOf(folder));
    main_->ListViewDevice.SetChecked(0, true);
    RunJob(false, [&] { EXPECT_TRUE(WaitForText(job_->LabelStatus, L"Restore has finished.")); });
    EXPECT_EQ(workers, 2);
    EXPECT_EQ(ReadBytes(folder + L"a.txt"), Pattern(3000, 1));
    EXPECT_EQ(job_->Progress.SmallFileMs(), kTypicalUsb2Disk.smallFileMs);
    EXPECT_EQ(job_->Progress.MegabyteMs(), kTypicalUsb2Disk.megabyteMs);
    EXPECT_FALSE(FileExists(drive_->Root() + L"temp.~txt"));
    EXPECT_FALSE(FileExists(drive_->Root() + L"temp~1.~txt"));
}

TEST_F(JobWindowTest, TheWholeJobStaysOnTheVolumeItStartedOn) {
    // Device changes during a job fill the drive box again and may select another volume of
    // the enclosure; the folders still to come go where the job started all the same.
    TempDir otherVolume;
    MappedDrive other(otherVolume.Path());
    ASSERT_TRUE(other.Valid());
    const std::wstring first = AddHostFolder(L"One");
    const std::wstring second = AddHostFolder(L"Two");
    ASSERT_TRUE(WriteFileAt(first + L"a.txt", Pattern(100, 1)));
    ASSERT_TRUE(WriteFileAt(second + L"b.txt", Pattern(100, 2)));
    const std::wstring started = drive_->Root();
    job_->OnWorkerReady = [&](TScanCopyFiles&, bool scanPass) {
        // A rescan in each pass, before each folder's worker starts.
        main_->ComboBoxDiskLetter.Clear();
        main_->ComboBoxDiskLetter.Add(scanPass ? started : other.Root());
        main_->ComboBoxDiskLetter.Add(scanPass ? other.Root() : started);
        main_->ComboBoxDiskLetter.SetItemIndex(0);
    };
    RunJob(true, [] {});
    EXPECT_EQ(ReadBytes(BackupOf(first) + L"a.txt"), Pattern(100, 1));
    EXPECT_EQ(ReadBytes(BackupOf(second) + L"b.txt"), Pattern(100, 2));
    EXPECT_FALSE(FileExists(other.Root() + L"Backup")) << "a folder went to the other volume";
    ASSERT_EQ(main_->ListViewDevice.Count(), 2);
    EXPECT_EQ(main_->ListViewDevice.Text(1), BackupOf(second));
}

TEST_F(JobWindowTest, APassGuardBeforeAnyJobStillLeavesCloseToClick) {
    // No host folder at all: the scan pass stops at its guard without a message.
    RunJob(true, [&] {
        EXPECT_TRUE(WaitUntilOnThread(
            [&] { return job_->btnClose.Visible() && !job_->btnCancel.Visible(); }));
        Click(job_->btnClose);
    });
    EXPECT_FALSE(job_->Showing());
}

// A window of the test's own where the job window stands, behind it: what a click meant for the
// job window would land on once the job window has gone.
class Behind : public ui::Window {
public:
    explicit Behind(const RECT& place) {
        CreateTopLevel(L"SnapkeepTestBehind", nullptr, L"Behind", WS_POPUP, 0, 10, 10, nullptr);
        ::SetWindowPos(hwnd_, nullptr, place.left, place.top, place.right - place.left,
                       place.bottom - place.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    }
    ~Behind() override { Destroy(); }
};

// The clicks and key strokes this thread takes from its queue, told apart by whether the job
// window was on screen at that moment.
struct TakenInput {
    HWND jobWindow = nullptr;
    std::atomic<int> whileShown{0};
    std::atomic<int> afterClose{0};
};
TakenInput* takenInput = nullptr;

LRESULT CALLBACK RecordTakenInput(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE && takenInput) {
        const UINT m = reinterpret_cast<const MSG*>(lParam)->message;
        // Mouse moves are left out: the system makes one of its own when a window goes.
        const bool press = (m >= WM_KEYFIRST && m <= WM_KEYLAST) ||
                           (m > WM_MOUSEMOVE && m <= WM_MOUSELAST) ||
                           (m > WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK);
        if (press)
            ++(::IsWindowVisible(takenInput->jobWindow) ? takenInput->whileShown
                                                        : takenInput->afterClose);
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(JobWindowTest, ClicksAndKeysDuringTheFinishedPauseAreDropped) {
    AddHostFolder(L"Empty");
    RECT place;
    ::GetWindowRect(job_->Handle(), &place);
    Behind behind(place);
    TakenInput taken;
    taken.jobWindow = job_->Handle();
    takenInput = &taken;
    HHOOK hook =
        ::SetWindowsHookExW(WH_GETMESSAGE, RecordTakenInput, nullptr, ::GetCurrentThreadId());
    ASSERT_TRUE(hook);
    RunJob(true, [&] {
        ASSERT_TRUE(WaitForLayout(kFinished)) << Current();
        // The pause has begun once the window stops answering.
        ASSERT_TRUE(WaitUntilOnThread([&] {
            DWORD_PTR answer = 0;
            return ::SendMessageTimeoutW(job_->Handle(), WM_NULL, 0, 0, SMTO_NORMAL, 50, &answer) ==
                   0;
        }));
        // A click on Close and an Enter, as an impatient user makes them.
        RECT button;
        ::GetWindowRect(job_->btnClose.Handle(), &button);
        ::SetCursorPos((button.left + button.right) / 2, (button.top + button.bottom) / 2);
        INPUT input[4] = {};
        input[0].type = input[1].type = INPUT_MOUSE;
        input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
        input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
        input[2].type = input[3].type = INPUT_KEYBOARD;
        input[2].ki.wVk = input[3].ki.wVk = VK_RETURN;
        input[3].ki.dwFlags = KEYEVENTF_KEYUP;
        EXPECT_EQ(::SendInput(4, input, sizeof(INPUT)), 4u);
    });
    PumpMessages();
    ::UnhookWindowsHookEx(hook);
    takenInput = nullptr;
    EXPECT_GT(taken.whileShown.load(), 0) << "the input never reached the queue";
    EXPECT_EQ(taken.afterClose.load(), 0) << "input of the pause was handled after the close";
}

TEST_F(JobWindowTest, ACloseRequestBetweenJobsLeavesTheWindowForTheNextJob) {
    ::SendMessageW(job_->Handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(::IsWindow(job_->Handle())) << "destroyed before its first job";
    AddHostFolder(L"Empty");
    RunJob(true, [] {});
    EXPECT_EQ(job_->LabelStatus.Caption(), L"Backup has finished.");
    // As a second click on Close leaves one behind.
    ::PostMessageW(job_->Handle(), WM_CLOSE, 0, 0);
    PumpMessages();
    EXPECT_TRUE(::IsWindow(job_->Handle())) << "destroyed after a job";
}

TEST_F(JobWindowTest, APauseThatCameAfterAWorkerFinishedHoldsTheNextFolder) {
    const std::wstring first = AddHostFolder(L"One");
    const std::wstring second = AddHostFolder(L"Two");
    ASSERT_TRUE(WriteFileAt(first + L"a.txt", Pattern(100, 1)));
    ASSERT_TRUE(WriteFileAt(second + L"b.txt", Pattern(100, 2)));
    // The first copy worker's last hook clicks Pause and waits until the window has handled the
    // click: by then that worker is as good as finished, with nothing left to hold.
    bool secondStartedPaused = false;
    int copyWorkers = 0;
    job_->OnWorkerReady = [&](TScanCopyFiles& worker, bool scanPass) {
        if (scanPass)
            return;
        if (++copyWorkers == 1) {
            worker.SetOnAfterFile([&](TScanCopyFiles& w) {
                job_->RecordCopiedFile(w);
                Click(job_->btnPause);
                WaitUntilOnThread([&] { return job_->btnRestart.Visible(); });
            });
        } else {
            secondStartedPaused = job_->btnRestart.Visible();
        }
    };
    RunJob(true, [&] {
        ASSERT_TRUE(WaitUntilOnThread([&] { return copyWorkers == 2; }));
        ::Sleep(300); // a worker that ran would copy its one small file in far less
        EXPECT_FALSE(FileExists(BackupOf(second) + L"b.txt")) << "the second folder must wait";
        EXPECT_EQ(Current(), kPaused);
        Click(job_->btnRestart);
    });
    EXPECT_TRUE(secondStartedPaused);
    EXPECT_EQ(ReadBytes(BackupOf(second) + L"b.txt"), Pattern(100, 2));
}

TEST_F(JobWindowTest, RestoreBringsTheBackupBackAndLeavesTheListsAlone) {
    const std::wstring folder = AddHostFolder(L"Docs");
    ASSERT_TRUE(WriteFileAt(folder + L"keep.txt", Pattern(2000, 1)));
    ASSERT_TRUE(WriteFileAt(folder + L"deep\\er\\x.doc", Pattern(20, 2)));
    RunJob(true, [] {});
    const auto backedUp = Snapshot(folder);
    ASSERT_EQ(main_->ListViewDevice.Count(), 1);

    // Change one file, delete another; then restore from the device row.
    ASSERT_TRUE(WriteFileAt(folder + L"keep.txt", Pattern(2000, 9)));
    ASSERT_TRUE(::DeleteFileW((folder + L"deep\\er\\x.doc").c_str()));
    main_->ListViewDevice.SetChecked(0, true);
    RunJob(false, [&] {
        EXPECT_TRUE(WaitForText(job_->Panel, L"Restore from USB Device to Host"));
        EXPECT_TRUE(WaitForText(job_->LabelStatus, L"Restore has finished."));
    });
    // The newer keep.txt the restore replaced is not gone: it was moved aside under a name that
    // says so, and (Wine's Recycle Bin cannot be relied on, docs/wine.md) kept beside.
    WIN32_FIND_DATAW entry;
    HANDLE aside = ::FindFirstFileW((folder + L"keep (before restore *).txt").c_str(), &entry);
    ASSERT_NE(aside, INVALID_HANDLE_VALUE);
    ::FindClose(aside);
    const std::wstring asidePath = folder + entry.cFileName;
    EXPECT_TRUE(ReadBytes(asidePath) == Pattern(2000, 9));
    ASSERT_TRUE(job_->LastJob.has_value());
    EXPECT_EQ(job_->LastJob->keptBeside, 1u);
    EXPECT_EQ(job_->LastJob->recycled, 0u);
    ASSERT_TRUE(::DeleteFileW(asidePath.c_str()));
    EXPECT_EQ(Snapshot(folder), backedUp);
    EXPECT_EQ(main_->ListViewDevice.Count(), 1);
    EXPECT_EQ(main_->ListViewHost.Count(), 1);
}

// A user profile holds a dozen compatibility junctions: a backup leaves them out without a
// failure line, and its history record says how many, folder by folder.
TEST_F(JobWindowTest, TheHistoryRecordCountsTheLinksEachFolderLeftOut) {
    const std::wstring profile = AddHostFolder(L"Profile");
    const std::wstring docs = AddHostFolder(L"Docs");
    ASSERT_TRUE(WriteFileAt(profile + L"ntuser.txt", Pattern(10, 1)));
    ASSERT_TRUE(WriteFileAt(profile + L"AppData\\settings.txt", Pattern(10, 3)));
    ASSERT_TRUE(WriteFileAt(docs + L"a.txt", Pattern(10, 2)));
    if (!MakeFolderLink(profile + L"My Documents", docs) ||
        !MakeFolderLink(profile + L"AppData\\Application Data", profile + L"AppData"))
        GTEST_SKIP() << "folder links cannot be made here";
    RunJob(true, [] {});
    ASSERT_TRUE(job_->LastJob);
    const JobRecord& record = *job_->LastJob;
    EXPECT_EQ(record.end, JobEnd::Finished);
    ASSERT_EQ(record.folders.size(), 2u);
    EXPECT_EQ(record.folders[0].linksSkipped, 2u);
    EXPECT_EQ(record.folders[0].files, 2u);
    EXPECT_EQ(record.folders[1].linksSkipped, 0u);
    EXPECT_EQ(record.FailureCount(), 0u);
    EXPECT_FALSE(FileExists(BackupOf(profile) + L"My Documents"));
}

} // namespace

// What the job window costs on top of the worker: a whole backup job of 10,000 files of 4 KiB
// through the real job window (scan pass, speed probe, copy pass) against the worker's copy pass
// alone on the same tree; the user-interface thread's CPU time during the job's copy pass; and
// how far the time-left estimate is off at 25 % and 50 % of a job of mixed sizes. Everything is
// made in a fresh folder below the temporary folder and removed at the end.
#include "BenchSupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "app/Main.h"
#include "job/CopyFileWindow.h"
#include "ui/Application.h"
#include "worker/ScanCopyFilesThread.h"

using namespace snapkeep;
using namespace snapkeep::bench;

namespace {

const char* const kAll[] = {"<all>"};
// A finished job stays on view this long before its window closes; it is no work.
constexpr double kFinishedShowSeconds = 3.0;

// CPU seconds (user and kernel) of the calling thread so far.
double ThreadCpu() {
    FILETIME created, ended, kernel, user;
    ::GetThreadTimes(::GetCurrentThread(), &created, &ended, &kernel, &user);
    auto seconds = [](const FILETIME& t) {
        return static_cast<double>((static_cast<unsigned long long>(t.dwHighDateTime) << 32) |
                                   t.dwLowDateTime) /
               1e7;
    };
    return seconds(kernel) + seconds(user);
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    win::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD put = 0;
    if (file)
        ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &put, nullptr);
}

// The worker's copy pass alone, polled every 1 ms as the job window polls it.
double WorkerCopyPass(const std::wstring& root, const std::wstring& deviceRoot) {
    const double start = Now();
    TScanCopyFiles worker(true);
    worker.SetRootFolder(root);
    worker.SetScanOnly(false);
    worker.SetBackupDirection(true);
    worker.SetDeviceRoot(std::string(deviceRoot.begin(), deviceRoot.end()));
    worker.SetTypeList(kAll, 1);
    worker.Start();
    while (!worker.IsFinished())
        ::Sleep(1);
    return Now() - start;
}

struct JobFigures {
    double wall = 0;     // the job, without the 3 s the finished window stays on view
    double copyWall = 0; // its copy pass
    double copyCpu = 0;  // the user-interface thread's CPU time in that pass
    // Time left shown (ms) and what was really left (s) when the gauge first reached 25 and 50.
    double estimateAt[2] = {0, 0};
    double actualAt[2] = {0, 0};
};

// One backup of `host` to `deviceRoot` through the job window.
JobFigures RunJob(TMainForm& main, TCopyFileForm& job, const std::wstring& host,
                  const std::wstring& deviceRoot) {
    main.ListViewHost.Clear();
    main.ListViewHost.Add(true, host);
    main.ComboBoxDiskLetter.Clear();
    main.ComboBoxDiskLetter.Add(deviceRoot);
    main.ComboBoxDiskLetter.SetItemIndex(0);
    JobFigures figures;
    double copyStart = 0;
    double cpuStart = 0;
    job.OnWorkerReady = [&](TScanCopyFiles&, bool scanPass) {
        if (!scanPass && copyStart == 0) {
            copyStart = Now();
            cpuStart = ThreadCpu();
        }
    };
    // Watches the gauge from the same loops the job runs in.
    double sampledAt[2] = {0, 0};
    ui::Timer watch;
    watch.OnTimer = [&] {
        const int gauge = job.CGaugeTotal.Position();
        for (int i = 0; i < 2; ++i) {
            if (sampledAt[i] == 0 && job.FailedFiles && gauge >= 25 * (i + 1)) {
                sampledAt[i] = Now();
                figures.estimateAt[i] =
                    std::min(job.Progress.RemainingMs(), job.Progress.RemainingNowMs());
            }
        }
    };
    watch.SetInterval(10);
    watch.SetEnabled(true);
    const double start = Now();
    job.BackupDirection = true;
    job.ShowJob();
    const double copyEnd = Now() - kFinishedShowSeconds;
    const double cpuEnd = ThreadCpu();
    watch.SetEnabled(false);
    figures.wall = copyEnd - start;
    figures.copyWall = copyEnd - copyStart;
    figures.copyCpu = cpuEnd - cpuStart;
    for (int i = 0; i < 2; ++i)
        figures.actualAt[i] = sampledAt[i] ? copyEnd - sampledAt[i] : 0;
    job.OnWorkerReady = nullptr;
    return figures;
}

} // namespace

int wmain() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring base =
        std::wstring(temp) + L"snapkeep-job-bench-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(base.c_str(), nullptr);
    ::CreateDirectoryW((base + L"\\data").c_str(), nullptr);
    ::SetCurrentDirectoryW((base + L"\\data").c_str());
    std::printf("working folder: %ls\n\n", base.c_str());

    ui::Application::Instance().Initialize();
    TMainForm main;
    std::string error;
    TCopyFileForm job(main);
    if (!main.Create(error) || !job.Create()) {
        std::printf("the windows cannot be created: %s\n", error.c_str());
        return 1;
    }
    job.TntFormCreate();

    // 1 and 2: 10,000 files of 4 KiB in 100 folders.
    const std::wstring small = base + L"\\small\\";
    ::CreateDirectoryW(small.c_str(), nullptr);
    const std::string bytes(4096, 'x');
    for (int f = 0; f < 100; ++f) {
        const std::wstring folder = small + L"d" + std::to_wstring(f);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        for (int i = 0; i < 100; ++i)
            WriteFileBytes(folder + L"\\file" + std::to_wstring(i) + L".dat", bytes);
    }
    constexpr int kRuns = 3;
    std::vector<double> jobs, workers, cpuShare;
    for (int run = 0; run < kRuns; ++run) {
        const std::wstring jobDevice = base + L"\\job-out\\";
        const std::wstring workerDevice = base + L"\\worker-out\\";
        ::CreateDirectoryW(jobDevice.c_str(), nullptr);
        ::CreateDirectoryW(workerDevice.c_str(), nullptr);
        const JobFigures figures = RunJob(main, job, small, jobDevice);
        jobs.push_back(figures.wall);
        cpuShare.push_back(figures.copyCpu / figures.copyWall);
        workers.push_back(WorkerCopyPass(small, workerDevice));
        std::printf("run %d: job %.2f s (copy pass %.2f s, UI thread CPU %.3f s), worker %.2f s\n",
                    run + 1, figures.wall, figures.copyWall, figures.copyCpu, workers.back());
        RemoveTree(base + L"\\job-out");
        RemoveTree(base + L"\\worker-out");
    }
    std::printf("\n1. whole job (scan, probe, copy) %.2f s vs worker copy pass %.2f s: %.2fx "
                "(target <= 1.15)\n",
                Median(jobs), Median(workers), Median(jobs) / Median(workers));
    std::printf("2. UI thread CPU in the copy pass: %.1f %% of its wall time (target < 5 %%)\n",
                100 * Median(cpuShare));
    RemoveTree(base + L"\\small");

    // 3: mixed sizes, 1 KiB to 8 MiB.
    const std::wstring mixed = base + L"\\mixed\\";
    ::CreateDirectoryW(mixed.c_str(), nullptr);
    const size_t sizes[] = {1024, 16384, 262144, 1 << 20, 8 << 20};
    std::string pattern(8 << 20, '\0');
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<char>((i * 2654435761u) >> 13);
    for (int i = 0; i < 400; ++i)
        WriteFileBytes(mixed + L"m" + std::to_wstring(i) + L".bin",
                       pattern.substr(0, sizes[i % 5]));
    const std::wstring out = base + L"\\mixed-out\\";
    ::CreateDirectoryW(out.c_str(), nullptr);
    const JobFigures figures = RunJob(main, job, mixed, out);
    std::printf("3. time left, mixed job of 400 files (%.2f s copy pass):\n", figures.copyWall);
    for (int i = 0; i < 2; ++i) {
        const double shown = figures.estimateAt[i] / 1000.0;
        const double actual = figures.actualAt[i];
        std::printf("   at %d %%: estimated %.2f s, really %.2f s left, error %+.0f %%\n",
                    25 * (i + 1), shown, actual, actual > 0 ? 100 * (shown - actual) / actual : 0);
    }
    std::printf("   probe: small write %d ms, 1 MiB %d ms\n", job.Progress.SmallFileMs(),
                job.Progress.MegabyteMs());
    ::SetCurrentDirectoryW(temp);
    RemoveTree(base);
    return 0;
}

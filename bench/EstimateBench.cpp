// How good the time left is on a disk as slow as a USB 2.0 enclosure: a backup of a mixed tree
// (many small files, a few large ones) through the real job window to a drive letter made slow
// by the simulated enclosures' file access (30 MB/s writing, 5 ms for each file created). At
// 10, 25, 50 and 75 % of the gauge it compares what the time left said with what the copy pass
// then really took, median of three runs; and it prints the probe's constants against the ones
// the configured speed gives.
//
// Usage: snapkeep_estimate_bench.exe X:\  (a drive letter mapped to an empty folder)
#include "BenchSupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "app/Main.h"
#include "job/CopyFileWindow.h"
#include "job/Estimates.h"
#include "ui/Application.h"
#include "ui/Timer.h"
#include "worker/SlowDriveFileAccess.h"

using namespace snapkeep;
using namespace snapkeep::bench;

namespace {

constexpr int kWriteMBps = 30;
constexpr int kFileOpenMs = 5;
constexpr double kFinishedShowSeconds = 3.0;
constexpr int kPoints[] = {10, 25, 50, 75};
constexpr int kPointCount = 4;

void WriteFileBytes(const std::wstring& path, const char* bytes, size_t size) {
    win::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD put = 0;
    if (file)
        ::WriteFile(file.Get(), bytes, static_cast<DWORD>(size), &put, nullptr);
}

struct Run {
    double copyWall = 0;
    double said[kPointCount] = {}; // the time left shown, seconds
    double took[kPointCount] = {}; // what the copy pass then really took, seconds
    int smallFileMs = 0;
    int megabyteMs = 0;
};

Run Backup(TMainForm& main, TCopyFileForm& job, const std::wstring& host,
           const std::wstring& deviceRoot) {
    main.ListViewHost.Clear();
    main.ListViewHost.Add(true, host);
    main.ComboBoxDiskLetter.Clear();
    main.ComboBoxDiskLetter.Add(deviceRoot);
    main.ComboBoxDiskLetter.SetItemIndex(0);
    Run run;
    double copyStart = 0;
    job.OnWorkerReady = [&](TScanCopyFiles&, bool scanPass) {
        if (!scanPass && copyStart == 0)
            copyStart = Now();
    };
    // What the user reads: the label's whole seconds, as the window shows them.
    double sampledAt[kPointCount] = {};
    ui::Timer watch;
    watch.OnTimer = [&] {
        const int gauge = job.CGaugeTotal.Position();
        for (int i = 0; i < kPointCount; ++i) {
            if (sampledAt[i] == 0 && job.FailedFiles && gauge >= kPoints[i]) {
                sampledAt[i] = Now();
                const std::wstring left = job.LabelTimeLeft.Caption();
                int h = 0, m = 0, s = 0;
                const size_t colon = left.rfind(L": ");
                if (colon != std::wstring::npos)
                    std::swscanf(left.c_str() + colon + 2, L"%d:%d:%d", &h, &m, &s);
                run.said[i] = h * 3600 + m * 60 + s;
            }
        }
    };
    watch.SetInterval(10);
    watch.SetEnabled(true);
    job.BackupDirection = true;
    job.ShowJob();
    const double copyEnd = Now() - kFinishedShowSeconds;
    watch.SetEnabled(false);
    run.copyWall = copyEnd - copyStart;
    for (int i = 0; i < kPointCount; ++i)
        run.took[i] = sampledAt[i] ? copyEnd - sampledAt[i] : 0;
    run.smallFileMs = job.Progress.SmallFileMs();
    run.megabyteMs = job.Progress.MegabyteMs();
    job.OnWorkerReady = nullptr;
    return run;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2 || std::wcslen(argv[1]) < 2 || argv[1][1] != L':') {
        std::printf("usage: snapkeep_estimate_bench X:\\   (a letter mapped to an empty folder)\n");
        return 2;
    }
    const std::wstring device = std::wstring(1, argv[1][0]) + L":\\";
    static SlowDriveFileAccess slow(PlainFileAccess());
    slow.SetDrives({{static_cast<char>(std::towupper(argv[1][0])),
                     DriveSpeed{kWriteMBps, kWriteMBps, kFileOpenMs, true}}});
    UseFileAccess(slow);

    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring base =
        std::wstring(temp) + L"snapkeep-estimate-bench-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(base.c_str(), nullptr);
    ::CreateDirectoryW((base + L"\\data").c_str(), nullptr);
    ::SetCurrentDirectoryW((base + L"\\data").c_str());

    ui::Application::Instance().Initialize();
    TMainForm main;
    std::string error;
    TCopyFileForm job(main);
    if (!main.Create(error) || !job.Create()) {
        std::printf("the windows cannot be created: %s\n", error.c_str());
        return 1;
    }
    job.TntFormCreate();

    // The mixed tree: 1,000 files of 1 to 64 KiB in 20 folders, 40 of 512 KiB and 4 of 24 MiB,
    // the large ones spread through the walk.
    const std::wstring host = base + L"\\host\\";
    ::CreateDirectoryW(host.c_str(), nullptr);
    std::string pattern(24 << 20, '\0');
    for (size_t i = 0; i < pattern.size(); ++i)
        pattern[i] = static_cast<char>((i * 2654435761u) >> 13);
    std::uint64_t total = 0;
    int files = 0;
    std::vector<std::uint64_t> sizes;
    for (int f = 0; f < 20; ++f) {
        const std::wstring folder = host + L"d" + std::to_wstring(f) + L"\\";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        for (int i = 0; i < 50; ++i) {
            const size_t size = 1024 + static_cast<size_t>((i * 7919 + f * 131) % 64) * 1024;
            WriteFileBytes(folder + L"s" + std::to_wstring(i) + L".jpg", pattern.data(), size);
            total += size, ++files;
            sizes.push_back(size);
        }
        if (f % 2 == 0)
            for (int i = 0; i < 4; ++i) {
                WriteFileBytes(folder + L"m" + std::to_wstring(i) + L".pdf", pattern.data(),
                               512 << 10);
                total += 512 << 10, ++files;
                sizes.push_back(512 << 10);
            }
        if (f % 5 == 2) {
            WriteFileBytes(folder + L"big.mkv", pattern.data(), pattern.size());
            total += pattern.size(), ++files;
            sizes.push_back(pattern.size());
        }
    }
    const double configuredSmall = 2.0 * (kFileOpenMs + 10.0 / (kWriteMBps * 1000.0));
    const double configuredMegabyte = kFileOpenMs + 1048576.0 / (kWriteMBps * 1000.0);
    std::printf("mixed tree: %d files, %.1f MB; device %d MB/s, %d ms per file created\n", files,
                total / 1e6, kWriteMBps, kFileOpenMs);
    // The estimate's rules with a probe that measured the device exactly.
    double exact = 0;
    for (std::uint64_t size : sizes)
        exact += EstimateCopyMs(size, static_cast<std::int32_t>(configuredSmall),
                                static_cast<std::int32_t>(configuredMegabyte));
    std::printf("what the device alone takes: %.2f s; the estimate with the configured constants "
                "(SmallFileMs %.0f, MegabyteMs %.0f): %.2f s\n\n",
                total / (kWriteMBps * 1e6) + files * kFileOpenMs / 1000.0, configuredSmall,
                configuredMegabyte, exact / 1000);

    constexpr int kRuns = 3;
    std::vector<double> errors[kPointCount];
    std::vector<double> smalls, megabytes, walls;
    for (int r = 0; r < kRuns; ++r) {
        const Run run = Backup(main, job, host, device);
        std::printf("run %d: copy pass %.2f s; probe small %d ms, 1 MiB %d ms;", r + 1,
                    run.copyWall, run.smallFileMs, run.megabyteMs);
        for (int i = 0; i < kPointCount; ++i) {
            const double error =
                run.took[i] > 0 ? 100 * (run.said[i] - run.took[i]) / run.took[i] : 0;
            errors[i].push_back(error);
            std::printf(" %d%%: said %.0f s, took %.2f s (%+.0f %%);", kPoints[i], run.said[i],
                        run.took[i], error);
        }
        std::printf("\n");
        smalls.push_back(run.smallFileMs);
        megabytes.push_back(run.megabyteMs);
        walls.push_back(run.copyWall);
        RemoveTree(device + L"Backup");
    }
    std::printf("\nmedian copy pass %.2f s\n", Median(walls));
    for (int i = 0; i < kPointCount; ++i)
        std::printf("time left at %d %%: median error %+.0f %%\n", kPoints[i], Median(errors[i]));
    std::printf("probe: SmallFileMs median %.0f (configured device: %.1f), MegabyteMs median %.0f "
                "(configured device: %.1f)\n",
                Median(smalls), configuredSmall, Median(megabytes), configuredMegabyte);
    ::SetCurrentDirectoryW(temp);
    RemoveTree(base);
    return 0;
}

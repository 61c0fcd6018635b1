// How fast the worker copies and scans, side by side with the system's own copy and robocopy on
// the same folders, and how much memory a scan pass needs. Everything is made in a fresh folder
// below the temporary folder and removed at the end.
//
//   snapkeep_worker_bench.exe            all four measurements
//   snapkeep_worker_bench.exe --copy     the 10,000-file copy pass and the CopyFileW loop once
//                                        each, between markers for bench/request-count.sh
//   snapkeep_worker_bench.exe --second [D] the second pass of (3) alone, median of three; with
//                                        D (e.g. E:\ on an exFAT volume), the tree is backed up
//                                        there, and a second backup's copies and time are printed
//   snapkeep_worker_bench.exe --scan R D (internal) one scan pass over R with device root D,
//                                        prints peak memory
#include "BenchSupport.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "worker/Folders.h"
#include "worker/ScanCopyFilesThread.h"

using namespace snapkeep;
using namespace snapkeep::bench;

namespace {

const char* const kAll[] = {"<all>"};

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    win::FileHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD put = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 24));
        if (!::WriteFile(file.Get(), bytes.data() + done, want, &put, nullptr) || put == 0)
            return false;
        done += put;
    }
    return true;
}

void ReadWhole(const std::wstring& path) {
    win::FileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, 0, nullptr));
    std::vector<char> buffer(1 << 20);
    DWORD got = 0;
    while (file && ::ReadFile(file.Get(), buffer.data(), 1 << 20, &got, nullptr) && got > 0) {
    }
}

// `folders` folders of `perFolder` files of `size` bytes below `root`.
void MakeTree(const std::wstring& root, int folders, int perFolder, size_t size) {
    const std::string bytes(size, 'x');
    ::CreateDirectoryW(root.c_str(), nullptr);
    for (int f = 0; f < folders; ++f) {
        const std::wstring folder = root + L"\\d" + std::to_wstring(f);
        ::CreateDirectoryW(folder.c_str(), nullptr);
        for (int i = 0; i < perFolder; ++i)
            WriteFileBytes(folder + L"\\file" + std::to_wstring(i) + L".dat", bytes);
    }
}

// Runs a program and waits for it; its output goes nowhere.
bool RunQuiet(const std::wstring& commandLine) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    win::FileHandle nul(::CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      &inherit, OPEN_EXISTING, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = startup.hStdError = nul.Get();
    startup.hStdInput = nullptr;
    PROCESS_INFORMATION process{};
    std::wstring line = commandLine;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process))
        return false;
    win::Handle thread(process.hThread);
    win::Handle child(process.hProcess);
    ::WaitForSingleObject(child.Get(), INFINITE);
    return true;
}

std::wstring Robocopy() {
    wchar_t system[MAX_PATH];
    ::GetSystemDirectoryW(system, MAX_PATH);
    return L"\"" + std::wstring(system) + L"\\robocopy.exe\"";
}

// Whether robocopy.exe really copies: Wine 8 ships a stub that copies nothing and exits 16.
bool RobocopyCopies(const std::wstring& base) {
    const std::wstring in = base + L"\\robo-probe";
    const std::wstring out = base + L"\\robo-probe-out";
    ::CreateDirectoryW(in.c_str(), nullptr);
    WriteFileBytes(in + L"\\probe.txt", "probe");
    RunQuiet(Robocopy() + L" \"" + in + L"\" \"" + out + L"\" probe.txt");
    const bool copied =
        ::GetFileAttributesW((out + L"\\probe.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
    RemoveTree(in);
    RemoveTree(out);
    return copied;
}

// Runs a worker to its end; the worker's owner polls as the job window does.
double RunWorker(const std::wstring& root, const std::wstring& deviceRoot, bool scanOnly,
                 unsigned long* reported = nullptr) {
    static unsigned long count;
    count = 0;
    TScanCopyFiles worker(true);
    worker.SetRootFolder(root);
    worker.SetScanOnly(scanOnly);
    worker.SetOnAfterFile([](TScanCopyFiles&) { ++count; });
    worker.SetBackupDirection(true);
    worker.SetDeviceRoot(std::string(deviceRoot.begin(), deviceRoot.end()));
    worker.SetTypeList(kAll, 1);
    const double start = Now();
    worker.Start();
    while (!worker.IsFinished())
        ::Sleep(1);
    const double seconds = Now() - start;
    if (reported)
        *reported = count;
    return seconds;
}

// The plain loop the worker's copy pass is held against: CopyFileW, then FlushFileBuffers and
// SetFileTime per file. The copy flushes each file's data before its times go on, so the loop
// flushes too, or the comparison would charge the copy for a safety the loop skips.
double CopyFileLoop(const std::wstring& from, const std::wstring& to) {
    const double start = Now();
    ::CreateDirectoryW(to.c_str(), nullptr);
    WIN32_FIND_DATAW folder;
    win::FindHandle folders(::FindFirstFileW((from + L"\\*").c_str(), &folder));
    do {
        if (!(folder.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || folder.cFileName[0] == L'.')
            continue;
        const std::wstring in = from + L"\\" + folder.cFileName;
        const std::wstring out = to + L"\\" + folder.cFileName;
        ::CreateDirectoryW(out.c_str(), nullptr);
        WIN32_FIND_DATAW file;
        win::FindHandle files(::FindFirstFileW((in + L"\\*").c_str(), &file));
        do {
            if (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            const std::wstring target = out + L"\\" + file.cFileName;
            ::CopyFileW((in + L"\\" + file.cFileName).c_str(), target.c_str(), FALSE);
            win::FileHandle handle(::CreateFileW(target.c_str(), GENERIC_WRITE,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                 OPEN_EXISTING, 0, nullptr));
            ::FlushFileBuffers(handle.Get());
            ::SetFileTime(handle.Get(), &file.ftCreationTime, &file.ftLastAccessTime,
                          &file.ftLastWriteTime);
        } while (::FindNextFileW(files.Get(), &file));
    } while (::FindNextFileW(folders.Get(), &folder));
    return Now() - start;
}

// Where a backup with device root `deviceRoot` puts the folder `folder`.
std::wstring BackupOf(const std::wstring& deviceRoot, const std::wstring& folder) {
    return deviceRoot + L"Backup\\" + folder.substr(0, 1) + folder.substr(2);
}

void Line(const char* text) {
    std::printf("%s\n", text);
}

// Tells a trace of the wine server's requests (bench/request-count.sh) where a measured stretch
// begins and ends, which thread does its work, and how many files it copied; the markers reach
// the trace through Wine's debug-string channel.
void Mark(const char* what, const char* stretch, DWORD thread, unsigned long files) {
    char text[160];
    std::snprintf(text, sizeof text, "snapkeep-bench %s %s thread=%04lx files=%lu\n", what, stretch,
                  static_cast<unsigned long>(thread), files);
    ::OutputDebugStringA(text);
}

// The copy pass of (2) and the loop once each, marked for the request count, with their times.
int CopyPassOnce(const std::wstring& base) {
    const std::wstring tree = base + L"\\tree";
    MakeTree(tree, 100, 100, 4096);
    const std::wstring device = base + L"\\dev\\";
    ::CreateDirectoryW(device.c_str(), nullptr);

    static DWORD workerThread = 0;
    static unsigned long copied = 0;
    copied = 0;
    double seconds = 0;
    {
        TScanCopyFiles worker(true);
        worker.SetRootFolder(tree + L"\\");
        worker.SetOnAfterFile([](TScanCopyFiles&) { ++copied; });
        worker.SetBackupDirection(true);
        worker.SetDeviceRoot(std::string(device.begin(), device.end()));
        worker.SetTypeList(kAll, 1);
        workerThread = ::GetThreadId(worker.ThreadHandle());
        Mark("begin", "worker", workerThread, 0);
        const double start = Now();
        worker.Start();
        while (!worker.IsFinished())
            ::Sleep(1);
        seconds = Now() - start;
        Mark("end", "worker", workerThread, copied);
    }
    const std::wstring loopDevice = base + L"\\loop\\";
    const std::wstring loopTarget = BackupOf(loopDevice, tree);
    ForceDirectories(loopTarget.substr(0, loopTarget.rfind(L'\\')));
    Mark("begin", "loop", ::GetCurrentThreadId(), 0);
    const double loop = CopyFileLoop(tree, loopTarget);
    Mark("end", "loop", ::GetCurrentThreadId(), 10000);

    Line("2. 10,000 files of 4 KiB in 100 folders (one run)");
    std::printf("   worker copy pass        %8.0f files/s (%lu copied)\n", copied / seconds,
                copied);
    std::printf("   CopyFileW + flush + times %6.0f files/s\n", 10000 / loop);
    std::printf("   worker / loop = %.2f\n", (copied / seconds) / (10000 / loop));
    RemoveTree(base);
    return 0;
}

// One look at a file itself, as the walk takes it before it skips a file the listing calls
// unchanged: opened for reading without sharing its writing (refused while another program
// writes it), asked for its current size and times, closed.
bool LookAtFile(const std::wstring& path) {
    win::FileHandle file(::CreateFileW(path.c_str(), FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                       0, nullptr));
    FILE_BASIC_INFO basic;
    FILE_STANDARD_INFO standard;
    return file &&
           ::GetFileInformationByHandleEx(file.Get(), FileBasicInfo, &basic, sizeof basic) &&
           ::GetFileInformationByHandleEx(file.Get(), FileStandardInfo, &standard, sizeof standard);
}

// The least a second pass can do: list the source and ask once about each destination file;
// with `look`, also look once at each source file (the least a pass that never skips a file held
// open for writing can do).
double ListingLimit(const std::wstring& from, const std::wstring& to, unsigned long& found,
                    bool look = false) {
    found = 0;
    const double start = Now();
    WIN32_FIND_DATAW folder;
    win::FindHandle folders(::FindFirstFileW((from + L"\\*.*").c_str(), &folder));
    do {
        if (!(folder.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || folder.cFileName[0] == L'.')
            continue;
        const std::wstring in = from + L"\\" + folder.cFileName + L"\\";
        const std::wstring out = to + L"\\" + folder.cFileName + L"\\";
        WIN32_FIND_DATAW file;
        win::FindHandle files(::FindFirstFileW((in + L"*.*").c_str(), &file));
        do {
            if (file.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                continue;
            WIN32_FILE_ATTRIBUTE_DATA data;
            if (::GetFileAttributesExW((out + file.cFileName).c_str(), GetFileExInfoStandard,
                                       &data) &&
                (!look || LookAtFile(in + file.cFileName)))
                ++found;
        } while (::FindNextFileW(files.Get(), &file));
    } while (::FindNextFileW(folders.Get(), &folder));
    return Now() - start;
}

int ScanChild(const std::wstring& root, const std::wstring& deviceRoot) {
    unsigned long reported = 0;
    const double seconds = RunWorker(root, deviceRoot, true, &reported);
    PROCESS_MEMORY_COUNTERS_EX memory{};
    ::GetProcessMemoryInfo(::GetCurrentProcess(),
                           reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory);
    std::printf("%lu %.3f %zu %zu\n", reported, seconds, memory.PeakWorkingSetSize,
                memory.PeakPagefileUsage);
    return 0;
}

struct ChildFigures {
    unsigned long files = 0;
    double seconds = 0;
    size_t peakWorkingSet = 0;
    size_t peakPrivate = 0;
};

ChildFigures ScanInChild(const std::wstring& root, const std::wstring& deviceRoot) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    ::CreatePipe(&readEnd, &writeEnd, &inherit, 0);
    win::Handle reader(readEnd);
    win::Handle writer(writeEnd);
    ::SetHandleInformation(reader.Get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writer.Get();
    // Folders go without their trailing backslash: before a closing quote it would escape it.
    const auto bare = [](const std::wstring& f) { return f.substr(0, f.size() - 1); };
    std::wstring line = L"\"" + std::wstring(self) + L"\" --scan \"" + bare(root) + L"\" \"" +
                        bare(deviceRoot) + L"\"";
    PROCESS_INFORMATION process{};
    ChildFigures figures;
    if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                          &startup, &process))
        return figures;
    win::Handle thread(process.hThread);
    win::Handle child(process.hProcess);
    writer.Reset();
    std::string text;
    char buffer[256];
    DWORD got = 0;
    while (::ReadFile(reader.Get(), buffer, sizeof buffer, &got, nullptr) && got > 0)
        text.append(buffer, got);
    ::WaitForSingleObject(child.Get(), INFINITE);
    std::sscanf(text.c_str(), "%lu %lf %zu %zu", &figures.files, &figures.seconds,
                &figures.peakWorkingSet, &figures.peakPrivate);
    return figures;
}

// (3) alone: the tree backed up once, then the second pass over it against its limit, three
// times; then a second backup (the copy pass), which on a volume that keeps coarser times than
// the host must copy nothing.
int SecondPass(const std::wstring& base, const std::wstring& deviceRoot) {
    const std::wstring tree = base + L"\\tree";
    MakeTree(tree, 100, 100, 4096);
    const std::wstring device = deviceRoot.empty() ? base + L"\\dev\\" : deviceRoot;
    ::CreateDirectoryW(device.c_str(), nullptr);
    unsigned long copied = 0, reported = 0, found = 0;
    const double first = RunWorker(tree + L"\\", device, false, &copied);
    std::printf("first backup: %lu files copied in %.2f s\n", copied, first);
    std::vector<double> scan, limit, looked;
    for (int run = 0; run < 3; ++run) {
        scan.push_back(RunWorker(tree + L"\\", device, true, &reported));
        limit.push_back(ListingLimit(tree, BackupOf(device, tree), found));
        looked.push_back(ListingLimit(tree, BackupOf(device, tree), found, true));
    }
    Line("3. second pass over the unchanged tree (median of 3 runs)");
    std::printf("   worker scan pass         %7.1f ms (%lu reported as differing)\n",
                Median(scan) * 1000, reported);
    std::printf("   listing + one query each %7.1f ms (%lu destinations found)\n",
                Median(limit) * 1000, found);
    std::printf("   the same + one look at each source %7.1f ms\n", Median(looked) * 1000);
    std::printf("   worker / limit with the look = %.2f (target <= 1.1)\n",
                Median(scan) / Median(looked));
    std::printf("   worker / limit without it = %.2f\n", Median(scan) / Median(limit));
    const double second = RunWorker(tree + L"\\", device, false, &copied);
    std::printf("second backup: %lu files copied in %.2f s\n", copied, second);
    RemoveTree(BackupOf(device, tree));
    RemoveTree(tree);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 2 && std::wstring(argv[1]) == L"--scan")
        return argc == 4 ? ScanChild(std::wstring(argv[2]) + L"\\", std::wstring(argv[3]) + L"\\")
                         : 2;

    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring base =
        std::wstring(temp) + L"snapkeep-bench-" + std::to_wstring(::GetCurrentProcessId());
    ::CreateDirectoryW(base.c_str(), nullptr);
    std::printf("working folder: %ls\n\n", base.c_str());
    if (argc >= 2 && std::wstring(argv[1]) == L"--copy")
        return CopyPassOnce(base);
    if (argc >= 2 && std::wstring(argv[1]) == L"--second") {
        const int code = SecondPass(base, argc >= 3 ? std::wstring(argv[2]) : std::wstring());
        RemoveTree(base);
        return code;
    }
    constexpr int kRuns = 3;
    const bool robocopy = RobocopyCopies(base);
    if (!robocopy)
        Line("robocopy.exe copies nothing here (Wine's is a stub): its figures are left out.\n");

    // 1. One 256 MiB file.
    {
        const std::wstring in = base + L"\\one";
        const std::wstring out = base + L"\\one-out";
        ::CreateDirectoryW(in.c_str(), nullptr);
        ::CreateDirectoryW(out.c_str(), nullptr);
        const std::wstring source = in + L"\\big.bin";
        const std::wstring target = out + L"\\big.bin";
        std::string bytes(256u << 20, '\0');
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((i * 2654435761u) >> 13);
        WriteFileBytes(source, bytes);
        bytes.clear();
        bytes.shrink_to_fit();
        ReadWhole(source); // in the cache for every contestant alike

        std::vector<double> worker, system, robo;
        for (int run = 0; run < kRuns; ++run) {
            ::DeleteFileW(target.c_str());
            double start = Now();
            const int code = RunFileCopy(source, target);
            worker.push_back(Now() - start);
            if (code != 0)
                std::printf("RunFileCopy answered %d\n", code);
            ::DeleteFileW(target.c_str());
            start = Now();
            ::CopyFileW(source.c_str(), target.c_str(), FALSE);
            system.push_back(Now() - start);
            ::DeleteFileW(target.c_str());
            if (robocopy) {
                ::DeleteFileW(target.c_str());
                start = Now();
                RunQuiet(Robocopy() + L" \"" + in + L"\" \"" + out + L"\" big.bin /NP /NJH /NJS");
                robo.push_back(Now() - start);
            }
        }
        const double mb = 256.0 * 1.048576;
        const double w = mb / Median(worker), s = mb / Median(system);
        Line("1. one 256 MiB file (median of 3 runs)");
        std::printf("   RunFileCopy  %8.1f MB/s\n   CopyFileW    %8.1f MB/s\n", w, s);
        std::printf("   RunFileCopy / CopyFileW = %.2f (target >= 0.95)\n", w / s);
        if (robocopy) {
            const double r = mb / Median(robo);
            std::printf("   robocopy     %8.1f MB/s (includes starting the program)\n"
                        "   RunFileCopy / robocopy = %.2f\n",
                        r, w / r);
        }
        Line("");
        RemoveTree(in);
        RemoveTree(out);
    }

    // 2. and 3. 10,000 files of 4 KiB in 100 folders.
    {
        const std::wstring tree = base + L"\\tree";
        MakeTree(tree, 100, 100, 4096);
        std::vector<double> worker, loop, robo, scan, limit;
        unsigned long copied = 0, reported = 0, found = 0;
        for (int run = 0; run < kRuns; ++run) {
            const std::wstring device = base + L"\\dev" + std::to_wstring(run) + L"\\";
            ::CreateDirectoryW(device.c_str(), nullptr);
            worker.push_back(RunWorker(tree + L"\\", device, false, &copied));
            // Into the same layout the worker writes, so both resolve paths of the same depth.
            const std::wstring loopDevice = base + L"\\loop" + std::to_wstring(run) + L"\\";
            const std::wstring loopTarget = BackupOf(loopDevice, tree);
            ForceDirectories(loopTarget.substr(0, loopTarget.rfind(L'\\')));
            loop.push_back(CopyFileLoop(tree, loopTarget));
            if (robocopy) {
                const double start = Now();
                RunQuiet(Robocopy() + L" \"" + tree + L"\" \"" + base + L"\\robo" +
                         std::to_wstring(run) + L"\" /E /NP /NJH /NJS /NFL /NDL");
                robo.push_back(Now() - start);
            }
            // The second pass over the unchanged tree, and the least it could cost.
            scan.push_back(RunWorker(tree + L"\\", device, true, &reported));
            limit.push_back(ListingLimit(tree, BackupOf(device, tree), found));
        }
        const double w = 10000 / Median(worker), l = 10000 / Median(loop);
        Line("2. 10,000 files of 4 KiB in 100 folders (median of 3 runs)");
        std::printf("   worker copy pass        %8.0f files/s (%lu copied)\n", w, copied);
        std::printf("   CopyFileW + flush + times %6.0f files/s\n", l);
        std::printf("   worker / loop = %.2f (target >= 0.8)\n", w / l);
        if (robocopy) {
            const double r = 10000 / Median(robo);
            std::printf("   robocopy /E             %8.0f files/s\n   worker / robocopy = %.2f\n",
                        r, w / r);
        }
        Line("");
        Line("3. second pass over the unchanged tree (median of 3 runs)");
        std::printf("   worker scan pass         %7.1f ms (%lu reported as differing)\n",
                    Median(scan) * 1000, reported);
        std::printf("   listing + one query each %7.1f ms (%lu destinations found)\n",
                    Median(limit) * 1000, found);
        std::printf("   worker / limit = %.2f (target <= 1.1)\n\n", Median(scan) / Median(limit));
        RemoveTree(tree);
        for (int run = 0; run < kRuns; ++run) {
            RemoveTree(base + L"\\dev" + std::to_wstring(run));
            RemoveTree(base + L"\\loop" + std::to_wstring(run));
            RemoveTree(base + L"\\robo" + std::to_wstring(run));
        }
    }

    // 4. Peak memory of a scan pass, each in a process of its own.
    {
        Line("4. peak memory of a scan pass (fresh process each)");
        ChildFigures small, large;
        for (int files : {1000, 100000}) {
            const std::wstring tree = base + L"\\scan" + std::to_wstring(files);
            MakeTree(tree, files / 100, 100, 0);
            const std::wstring device = base + L"\\scandev\\";
            ::CreateDirectoryW(device.c_str(), nullptr);
            const ChildFigures f = ScanInChild(tree + L"\\", device);
            std::printf("   %6d files: %lu reported in %.2f s, peak working set %zu KiB, "
                        "peak private %zu KiB\n",
                        files, f.files, f.seconds, f.peakWorkingSet / 1024, f.peakPrivate / 1024);
            (files == 1000 ? small : large) = f;
            RemoveTree(tree);
        }
        if (small.peakWorkingSet && small.peakPrivate)
            std::printf("   100,000 / 1,000: working set %.2f, private %.2f (target <= 1.2)\n",
                        static_cast<double>(large.peakWorkingSet) / small.peakWorkingSet,
                        static_cast<double>(large.peakPrivate) / small.peakPrivate);
    }

    RemoveTree(base);
    return 0;
}

// Failures end to end, through the real windows of SnapkeepSim.exe on a simulated enclosure
// whose drive letter is a test folder: an enclosure that fills up, one pulled out in the middle
// of a file, the program killed in the middle of a file and while it saves its lists. Whatever
// happens, no earlier copy is lost, the job says what failed, and the next start and the next
// backup work.
#include "ProcessDriver.h"
#include "TempDir.h"
#include "Wait.h"
#include "WorkerTestSupport.h"
#include "app/ControlIds.h"
#include "job/JobControlIds.h"
#include "store/FolderListFile.h"
#include "win/Handle.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

// The files of a tree picture (the copy gives folders no times of their own), without the
// leftovers of an interrupted copy.
std::map<std::wstring, Entry> UserFiles(std::map<std::wstring, Entry> entries) {
    std::erase_if(entries, [](const auto& e) {
        return (e.second.attributes & FILE_ATTRIBUTE_DIRECTORY) ||
               e.first.find(L"~snapkeep-") != std::wstring::npos;
    });
    return entries;
}

std::vector<std::wstring> Leftovers(const std::map<std::wstring, Entry>& entries) {
    std::vector<std::wstring> names;
    for (const auto& [name, entry] : entries)
        if (name.find(L"~snapkeep-") != std::wstring::npos)
            names.push_back(name);
    return names;
}

std::vector<std::wstring> ListBoxLines(HWND list) {
    std::vector<std::wstring> lines;
    const LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        std::wstring line(static_cast<size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1,
                          L'\0');
        line.resize(static_cast<size_t>(
            ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
        lines.push_back(line);
    }
    return lines;
}

struct JobEnd {
    bool finished = false;
    std::vector<std::wstring> failures; // the lines of the job window's list
};

class FailureProgramTest : public testing::Test {
protected:
    void SetUp() override {
        caption_ = L"Snapkeep failures " + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                   std::to_wstring(counter_++);
        ASSERT_TRUE(WriteEnglishDataFolder(dir_ / L"SnapData", caption_, SNAPKEEP_LANGUAGE_DIR));
    }
    std::wstring Data(const std::wstring& name) const { return dir_ / (L"SnapData\\" + name); }

    // Maps a drive letter to the enclosure's folder and describes the enclosure on it.
    void PlugIn() {
        drive_ = std::make_unique<MappedDrive>(enclosure_.Path());
        ASSERT_TRUE(drive_->Valid());
        Describe(true);
    }
    // The enclosure says it is gone and its drive letter goes with it.
    void PullOut() {
        Describe(false);
        drive_.reset();
    }
    void Describe(bool attached) {
        const char letter = static_cast<char>(drive_ ? drive_->Letter() : L'Q');
        ASSERT_TRUE(
            WriteBytes(Data(L"Enclosure.ini"),
                       "[Enclosure]\r\nProfile=inquiry-785\r\nLetters=" + std::string(1, letter) +
                           "\r\nAttached=" + (attached ? "1" : "0") + "\r\n"));
    }
    // Where a backup puts a host folder, below the enclosure's own folder (whatever its letter).
    std::wstring BackupOf(const std::wstring& hostFolder) const {
        return enclosure_ / (L"Backup\\" + hostFolder.substr(0, 1) + hostFolder.substr(2));
    }
    void ListHostFolders(const std::vector<std::wstring>& folders) {
        std::vector<FolderRow> rows;
        for (const std::wstring& folder : folders)
            rows.push_back({true, U16(folder)});
        ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), EncodeFolderList(rows)));
    }

    std::unique_ptr<ChildProcess> Start() {
        auto program =
            std::make_unique<ChildProcess>(BuildProgram(L"SnapkeepSim.exe"), dir_.Path());
        main_ = WaitForTopWindow(L"TMainForm", caption_, program->Id());
        return program;
    }
    // Waits until the enclosure is found, then clicks Backup and waits for the job window.
    HWND StartBackup(const ChildProcess& program) {
        HWND drives = FindControl(main_, ids::ComboBoxDiskLetter);
        HWND backup = FindControl(main_, ids::btnBackup);
        if (!WaitUntil(
                [&] {
                    return ::SendMessageW(drives, CB_GETCURSEL, 0, 0) == 0 &&
                           ::IsWindowEnabled(backup);
                },
                30000))
            return nullptr;
        // Posted: the click's handler runs the whole job in its own loops.
        ::PostMessageW(backup, BM_CLICK, 0, 0);
        HWND job = WaitForTopWindow(L"TCopyFileForm", caption_, program.Id());
        if (job)
            WaitUntil([&] { return ::IsWindowVisible(job); });
        return job;
    }
    // Waits until the job window shows its finished text and reads its failure lines while it
    // is still up (it closes by itself a few seconds later).
    static JobEnd WaitForJobEnd(HWND job, unsigned timeoutMs = 120000) {
        JobEnd end;
        HWND status = FindControl(job, ids::LabelStatus);
        end.finished =
            WaitUntil([&] { return WindowText(status) == L"Backup has finished."; }, timeoutMs);
        end.failures = ListBoxLines(FindControl(job, ids::ListBoxFiles));
        WaitUntil([&] { return !::IsWindowVisible(job); }, 20000);
        return end;
    }
    // Ends the program at once, as a crash or the task manager would.
    static void Kill(const ChildProcess& program) {
        win::Handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, program.Id()));
        ASSERT_TRUE(process.Valid());
        ASSERT_TRUE(::TerminateProcess(process.Get(), 1));
        ASSERT_EQ(::WaitForSingleObject(process.Get(), 20000), WAIT_OBJECT_0);
    }
    void Close(ChildProcess& program) {
        ::PostMessageW(main_, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    }
    // One whole backup from start to close; answers how it ended.
    JobEnd Backup() {
        auto program = Start();
        EXPECT_NE(main_, nullptr);
        HWND job = main_ ? StartBackup(*program) : nullptr;
        EXPECT_NE(job, nullptr) << "no job window";
        JobEnd end = job ? WaitForJobEnd(job) : JobEnd{};
        Close(*program);
        return end;
    }

    TempDir dir_;
    TempDir enclosure_;
    TempDir host_;
    std::unique_ptr<MappedDrive> drive_;
    std::wstring caption_;
    HWND main_ = nullptr;
    static inline int counter_ = 0;
};

TEST_F(FailureProgramTest, AFullEnclosureFailsWhatDoesNotFitAndKeepsEveryEarlierFile) {
    SmallVolume volume(enclosure_.Path(), 16u << 20);
    if (!volume.Mounted())
        GTEST_SKIP() << "a small RAM file system cannot be mounted here (it needs root)";
    PlugIn();
    const std::wstring folder = host_ / L"Documents\\";
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(
            WriteFileAt(folder + L"early\\f" + std::to_wstring(i) + L".doc", Pattern(200'000, i)));
    ListHostFolders({folder});
    JobEnd first = Backup();
    ASSERT_TRUE(first.finished);
    ASSERT_TRUE(first.failures.empty());
    const auto earlier = UserFiles(Snapshot(BackupOf(folder)));
    ASSERT_EQ(earlier.size(), 20u);

    // 35 MiB more for the 10 or so left.
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(WriteFileAt(folder + L"late\\big" + std::to_wstring(i) + L".bin",
                                Pattern(5u << 20, 100 + i)));
    ASSERT_TRUE(WriteFileAt(folder + L"late\\huge.bin", Pattern(20u << 20, 200)));
    JobEnd second = Backup();
    EXPECT_TRUE(second.finished) << "the window did not end in Finished";
    ASSERT_FALSE(second.failures.empty());
    for (const std::wstring& line : second.failures)
        EXPECT_NE(line.find(L"; Fail: Destination file cannot be created."), std::wstring::npos)
            << std::string(line.begin(), line.end());
    EXPECT_TRUE(std::any_of(second.failures.begin(), second.failures.end(),
                            [](const std::wstring& l) { return l.find(L"huge.bin") != l.npos; }));

    const auto after = Snapshot(BackupOf(folder));
    EXPECT_TRUE(Leftovers(after).empty()) << "a temporary file was left";
    for (const auto& [name, entry] : earlier)
        EXPECT_TRUE(after.count(name) && after.at(name) == entry)
            << std::string(name.begin(), name.end());
    // What was written is whole; what did not fit is not there at all.
    const auto host = Snapshot(folder);
    for (const auto& [name, entry] : UserFiles(after))
        EXPECT_TRUE(host.at(name) == entry) << std::string(name.begin(), name.end());
}

TEST_F(FailureProgramTest, PullingTheEnclosureOutMidFileEndsTheJobAndTheNextBackupCompletes) {
    PlugIn();
    const std::wstring video = host_ / L"Video\\";
    const std::wstring photos = host_ / L"Photos\\";
    ASSERT_TRUE(WriteFileAt(video + L"big.mkv", Pattern(50u << 20, 1)));
    for (int i = 0; i < 500; ++i)
        ASSERT_TRUE(WriteFileAt(photos + L"p" + std::to_wstring(i) + L".jpg", Pattern(1000, i)));
    ListHostFolders({video, photos});

    auto program = Start();
    ASSERT_NE(main_, nullptr);
    HWND job = StartBackup(*program);
    ASSERT_NE(job, nullptr);
    // Pulled out once the 50 MiB file is being written. The job is held (its Pause button)
    // while the drive goes, so that the rest of it surely meets a missing enclosure however
    // slowly the system takes the letter away.
    ASSERT_TRUE(WaitUntil([&] { return FileExists(BackupOf(video) + L"big.mkv"); }, 120000));
    HWND restart = FindControl(job, ids::btnRestart);
    ::PostMessageW(FindControl(job, ids::btnPause), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(restart) != FALSE; }));
    const std::wstring root = drive_->Root();
    PullOut();
    ASSERT_TRUE(
        WaitUntil([&] { return ::GetFileAttributesW(root.c_str()) == INVALID_FILE_ATTRIBUTES; }));
    ::PostMessageW(restart, BM_CLICK, 0, 0);
    JobEnd end = WaitForJobEnd(job);
    EXPECT_TRUE(end.finished) << "the job did not end";
    EXPECT_FALSE(end.failures.empty()) << "a job on a pulled-out enclosure reported no failure";
    EXPECT_FALSE(FileExists(dir_ / L"Backup")) << "files went below the program's folder";
    EXPECT_NE(WaitForTopWindow(L"TMainForm", caption_, program->Id(), 0), nullptr)
        << "the program ended";
    Close(*program);

    // Plugged back in, the next backup makes the tree whole.
    PlugIn();
    JobEnd again = Backup();
    EXPECT_TRUE(again.finished);
    EXPECT_TRUE(again.failures.empty());
    for (const std::wstring& folder : {video, photos})
        EXPECT_TRUE(UserFiles(Snapshot(folder)) == Snapshot(BackupOf(folder)))
            << std::string(folder.begin(), folder.end());
}

TEST_F(FailureProgramTest, KilledMidFileKeepsEveryEarlierCopyAndTheNextRunsComplete) {
    PlugIn();
    const std::wstring folder = host_ / L"Documents\\";
    for (int i = 0; i < 10; ++i)
        ASSERT_TRUE(WriteFileAt(folder + L"f" + std::to_wstring(i) + L".txt", Pattern(3000, i)));
    ASSERT_TRUE(WriteFileAt(folder + L"big.iso", Pattern(100u << 20, 1)));
    ListHostFolders({folder});
    ASSERT_TRUE(Backup().finished);
    const auto earlier = Snapshot(BackupOf(folder));
    ASSERT_EQ(UserFiles(earlier).size(), 11u);

    // The big file changes, and the program is killed while it writes the new data beside its
    // earlier copy.
    ASSERT_TRUE(WriteFileAt(folder + L"big.iso", Pattern(100u << 20, 2)));
    {
        auto program = Start();
        ASSERT_NE(main_, nullptr);
        ASSERT_NE(StartBackup(*program), nullptr);
        ASSERT_TRUE(WaitUntil([&] { return !TemporaryFilesIn(BackupOf(folder)).empty(); }, 120000));
        Kill(*program);
    }
    const auto killed = Snapshot(BackupOf(folder));
    EXPECT_TRUE(UserFiles(killed) == UserFiles(earlier)) << "an earlier copy changed";
    EXPECT_EQ(Leftovers(killed).size(), 1u) << "the kill did not come in the middle of the file";

    // The next start loads its lists, and the next backup completes. The leftover is not the
    // user's file: it is never copied anywhere, and as the earlier file it was written for is
    // there, the next backup removes it.
    {
        auto program = Start();
        ASSERT_NE(main_, nullptr) << "the program did not start after the kill";
        EXPECT_EQ(::SendMessageW(FindControl(main_, ids::ListViewHost), LVM_GETITEMCOUNT, 0, 0), 1);
        Close(*program);
    }
    JobEnd next = Backup();
    EXPECT_TRUE(next.finished);
    EXPECT_TRUE(next.failures.empty());
    EXPECT_TRUE(UserFiles(Snapshot(BackupOf(folder))) == Snapshot(folder));
    EXPECT_TRUE(Leftovers(Snapshot(BackupOf(folder))).empty()) << "the leftover stayed";

    // A restore brings back what is missing and leaves the leftover behind.
    ASSERT_TRUE(::DeleteFileW((folder + L"f0.txt").c_str()));
    const std::wstring row = drive_->Root() + L"Backup\\" + folder.substr(0, 1) + folder.substr(2);
    ASSERT_TRUE(WriteBytes(Data(L"Device.txt"), EncodeFolderList({{true, U16(row)}})));
    {
        auto program = Start();
        ASSERT_NE(main_, nullptr);
        HWND restore = FindControl(main_, ids::btnRestore);
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(restore) != FALSE; }, 30000));
        ::PostMessageW(restore, BM_CLICK, 0, 0);
        HWND job = WaitForTopWindow(L"TCopyFileForm", caption_, program->Id());
        ASSERT_NE(job, nullptr);
        HWND status = FindControl(job, ids::LabelStatus);
        EXPECT_TRUE(
            WaitUntil([&] { return WindowText(status) == L"Restore has finished."; }, 60000));
        EXPECT_TRUE(ListBoxLines(FindControl(job, ids::ListBoxFiles)).empty());
        WaitUntil([&] { return !::IsWindowVisible(job); }, 20000);
        Close(*program);
    }
    EXPECT_TRUE(FileExists(folder + L"f0.txt"));
    EXPECT_TRUE(Leftovers(Snapshot(folder)).empty()) << "a leftover temporary file was restored";
}

TEST_F(FailureProgramTest, KilledWhileSavingLeavesTheOldOrTheNewListsAndStartsAgain) {
    PlugIn();
    const std::vector<FolderRow> oldHosts = {{true, U16(host_ / L"A\\")},
                                             {true, U16(host_ / L"B\\")}};
    const std::vector<FolderRow> newHosts = {{false, oldHosts[0].Path}, {true, oldHosts[1].Path}};
    for (int attempt = 0; attempt < 16; ++attempt) {
        SCOPED_TRACE(attempt);
        ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), EncodeFolderList(oldHosts)));
        auto program = Start();
        ASSERT_NE(main_, nullptr) << "the program did not start after the last kill";
        // A change the close must save: the first host folder unticked.
        HWND hosts = FindControl(main_, ids::ListViewHost);
        ASSERT_TRUE(SetListCheck(hosts, 0, false));
        ::PostMessageW(main_, WM_CLOSE, 0, 0);
        // Killed at a different moment of the close each time, from at once to after it.
        if (attempt > 0)
            ::Sleep(static_cast<DWORD>(attempt * 3)); // the point of the kill, not a wait
        win::Handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, program->Id()));
        ::TerminateProcess(process.Get(), 1);
        ::WaitForSingleObject(process.Get(), 20000);

        const FolderListResult read = DecodeFolderList(
            ReadBytes(Data(L"Host.txt")), [](std::string_view) { return std::u16string(); });
        ASSERT_TRUE(read.Ok) << read.Error;
        EXPECT_TRUE(read.Rows == oldHosts || read.Rows == newHosts);
        for (const wchar_t* name : {L"Device.txt", L"Setting.txt"})
            if (FileExists(Data(name))) {
                EXPECT_FALSE(ReadBytes(Data(name)).empty()) << name << " is empty";
            }
    }
    auto last = Start();
    EXPECT_NE(main_, nullptr);
    Close(*last);
}

} // namespace

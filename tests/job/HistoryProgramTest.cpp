// The job history and the end-of-job notice end to end, through the real windows of
// SnapkeepSim.exe on a simulated enclosure: every way a job ends leaves its record in
// SnapData\History.txt, failure lines exactly as the job window showed them; the tray icon says
// how the job ended, and a click on its notice shows where the history is; a kill while the record
// is appended leaves the old or the new history; and a data folder that cannot be written changes
// nothing about the job.
#include "ProcessDriver.h"
#include "TempDir.h"
#include "Wait.h"
#include "WorkerTestSupport.h"
#include "app/ControlIds.h"
#include "job/JobControlIds.h"
#include "job/JobHistory.h"
#include "store/FolderListFile.h"
#include "win/Handle.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <memory>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

std::string Utf8(const std::wstring& text) {
    return EncodeUtf8(U16(text));
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

// The visible top-level windows of a class, of any process, with their texts.
std::vector<std::pair<HWND, std::wstring>> VisibleWindows(const std::wstring& className) {
    struct Search {
        std::wstring className;
        std::vector<std::pair<HWND, std::wstring>> found;
    } search{className, {}};
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            wchar_t name[64] = {};
            ::GetClassNameW(hwnd, name, 64);
            if (s.className == name && ::IsWindowVisible(hwnd))
                s.found.emplace_back(hwnd, WindowText(hwnd));
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

class HistoryProgramTest : public testing::Test {
protected:
    void SetUp() override {
        caption_ = L"Snapkeep history " + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                   std::to_wstring(counter_++);
        ASSERT_TRUE(::CreateDirectoryW((dir_ / L"SnapData").c_str(), nullptr));
        PrepareDataFolder(dir_ / L"SnapData");
        drive_ = std::make_unique<MappedDrive>(enclosure_.Path());
        ASSERT_TRUE(drive_->Valid());
        ASSERT_TRUE(WriteEnclosure(false));
    }
    void PrepareDataFolder(const std::wstring& folder) {
        ASSERT_TRUE(WriteEnglishDataFolder(folder, caption_, SNAPKEEP_LANGUAGE_DIR));
    }
    std::wstring Data(const std::wstring& name) const { return dir_ / (L"SnapData\\" + name); }
    // The enclosure, its button held or not; written whole and renamed into place, as the
    // program may read it at any moment.
    bool WriteEnclosure(bool pressed) {
        const std::string text = "[Enclosure]\r\nProfile=inquiry-785\r\nLetters=" +
                                 std::string(1, static_cast<char>(drive_->Letter())) +
                                 "\r\nButtonPressed=" + (pressed ? "1" : "0") + "\r\n";
        const std::wstring file = Data(L"Enclosure.ini");
        return WriteBytes(file + L".new", text) &&
               ::MoveFileExW((file + L".new").c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    std::wstring BackupOf(const std::wstring& hostFolder) const {
        return drive_->Root() + L"Backup\\" + hostFolder.substr(0, 1) + hostFolder.substr(2);
    }
    // A host folder of `count` small files, ticked in the host list.
    std::wstring HostFolder(int count) {
        const std::wstring folder = host_ / L"Photos\\";
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(WriteFileAt(folder + L"p" + std::to_wstring(i) + L".jpg",
                                    Pattern(1000 + i, static_cast<unsigned>(i))));
        EXPECT_TRUE(WriteBytes(Data(L"Host.txt"), EncodeFolderList({{true, U16(folder)}})));
        return folder;
    }

    std::unique_ptr<ChildProcess> Start() {
        auto program =
            std::make_unique<ChildProcess>(BuildProgram(L"SnapkeepSim.exe"), dir_.Path());
        main_ = WaitForTopWindow(L"TMainForm", caption_, program->Id());
        return program;
    }
    bool WaitForEnclosure() {
        HWND drives = FindControl(main_, ids::ComboBoxDiskLetter);
        HWND backup = FindControl(main_, ids::btnBackup);
        return WaitUntil(
            [&] {
                return ::SendMessageW(drives, CB_GETCURSEL, 0, 0) == 0 && ::IsWindowEnabled(backup);
            },
            30000);
    }
    HWND WaitForJobWindow(const ChildProcess& program) {
        HWND job = WaitForTopWindow(L"TCopyFileForm", caption_, program.Id());
        if (job)
            WaitUntil([&] { return ::IsWindowVisible(job); });
        return job;
    }
    // Clicks Backup (posted: its handler runs the whole job) and waits for the job window.
    HWND ClickBackup(const ChildProcess& program) {
        if (!WaitForEnclosure())
            return nullptr;
        ::PostMessageW(FindControl(main_, ids::btnBackup), BM_CLICK, 0, 0);
        return WaitForJobWindow(program);
    }
    static bool WaitForStatus(HWND job, const std::wstring& text, unsigned timeoutMs = 120000) {
        HWND status = FindControl(job, ids::LabelStatus);
        return WaitUntil([&] { return WindowText(status) == text; }, timeoutMs);
    }
    void Close(ChildProcess& program) {
        ::PostMessageW(main_, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    }
    std::vector<std::string> Records() const {
        std::vector<std::string> records;
        const std::string file = ReadBytes(Data(L"History.txt"));
        for (std::string_view r : SplitJobRecords(file))
            records.emplace_back(r);
        return records;
    }
    // The tray icon's window of the program; a click on its notice comes to it as the shell's
    // NIN_BALLOONUSERCLICK callback.
    HWND TrayWindow(const ChildProcess& program) const {
        return WaitForTopWindow(L"TTrayIconWindow", L"", program.Id());
    }

    TempDir dir_;
    TempDir enclosure_;
    TempDir host_;
    std::unique_ptr<MappedDrive> drive_;
    std::wstring caption_;
    HWND main_ = nullptr;
    static inline int counter_ = 0;
};

// A button-started backup with one source file held open by another program: the record has
// the folder, the two files copied and the failure line exactly as the job window listed it;
// the notice warns of the file, and a click on it shows where the history is.
TEST_F(HistoryProgramTest, AButtonBackupWithALockedFileRecordsTheWindowsFailureLine) {
    const std::wstring folder = HostFolder(3);
    win::Handle locked(::CreateFileW((folder + L"p1.jpg").c_str(), GENERIC_READ, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(locked.Valid());

    auto program = Start();
    ASSERT_NE(main_, nullptr);
    ASSERT_TRUE(WaitForEnclosure());
    ASSERT_TRUE(WriteEnclosure(true));
    HWND job = WaitForJobWindow(*program);
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(WriteEnclosure(false));
    ASSERT_TRUE(WaitForStatus(job, L"Backup has finished."));
    const std::vector<std::wstring> shown = ListBoxLines(FindControl(job, ids::ListBoxFiles));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(job); }, 20000));

    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 1u);
    const std::string& r = records[0];
    EXPECT_NE(r.find("\r\nBackup, started by the button of the USB device\r\n"), std::string::npos)
        << r;
    EXPECT_NE(r.find("\r\nUSB Device: " + Utf8(drive_->Root()) + "\r\n"), std::string::npos) << r;
    EXPECT_NE(r.find("\r\nFolder: " + Utf8(folder) + " -> " + Utf8(BackupOf(folder)) +
                     "\r\n    Files copied: 2, "),
              std::string::npos)
        << r;
    EXPECT_NE(r.find("\r\n    " + Utf8(shown[0]) + "\r\n"), std::string::npos) << r;
    EXPECT_TRUE(r.ends_with("\r\nResult: Finished\r\n")) << r;
    EXPECT_NE(r.find("\r\nStarted: 20"), std::string::npos) << r;

    // The notice, as the shell shows it (a balloon tooltip with the text).
    const bool seen = WaitUntil(
        [&] {
            for (const auto& [hwnd, text] : VisibleWindows(L"tooltips_class32"))
                if (text.find(L"Backup finished: 1 files could not be copied") !=
                    std::wstring::npos)
                    return true;
            return false;
        },
        10000);
    EXPECT_TRUE(seen) << "no notice on screen";

    // A click on the notice: the program runs elevated (under Wine every process does) and
    // there is no desktop shell to hand the history to, so it starts no viewer, which would run
    // elevated, and shows the history's path instead.
    HWND tray = TrayWindow(*program);
    ASSERT_NE(tray, nullptr);
    ::PostMessageW(tray, WM_APP + 1, 0, NIN_BALLOONUSERCLICK);
    HWND box = WaitForTopWindow(L"#32770", caption_, program->Id(), 20000);
    ASSERT_NE(box, nullptr) << "the history's path was not shown";
    EXPECT_EQ(MessageBoxText(box),
              L"The job history is kept in this file. Open it with a text editor:\n" +
                  Data(L"History.txt"));
    EXPECT_TRUE(VisibleWindows(L"Notepad").empty()) << "a viewer was started elevated";
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    Close(*program);
}

// Cancelled by the user: the record says so, and the notice too.
TEST_F(HistoryProgramTest, ACancelledJobLeavesItsRecord) {
    HostFolder(3);
    auto program = Start();
    ASSERT_NE(main_, nullptr);
    HWND job = ClickBackup(*program);
    ASSERT_NE(job, nullptr);
    // Cancel during the probe is handled once the scan has started; the question then comes.
    ::PostMessageW(FindControl(job, ids::btnCancel), BM_CLICK, 0, 0);
    HWND question = WaitForTopWindow(L"#32770", L"Question", program->Id(), 30000);
    ASSERT_NE(question, nullptr);
    ::PostMessageW(question, WM_COMMAND, IDYES, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(job); }, 30000));
    EXPECT_TRUE(WaitUntil([&] { return Records().size() == 1; }, 10000));
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].find("\r\nBackup, started by a click\r\n"), std::string::npos);
    EXPECT_TRUE(records[0].ends_with("\r\nResult: Cancelled by the user\r\n")) << records[0];
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (const auto& [hwnd, text] : VisibleWindows(L"tooltips_class32"))
                if (text.find(L"Backup cancelled: ") != std::wstring::npos)
                    return true;
            return false;
        },
        10000))
        << "no notice on screen";
    Close(*program);
}

// The trial write to the enclosure cannot be made (folders stand under every name the trial
// file may take, which the probe leaves alone): after the error box the record says why the job
// stopped; the job waits for Close as before.
TEST_F(HistoryProgramTest, AJobStoppedByAProbeFailureLeavesItsRecord) {
    HostFolder(2);
    ASSERT_TRUE(::CreateDirectoryW((drive_->Root() + L"temp.~txt").c_str(), nullptr));
    for (int n = 1; n <= 99; ++n)
        ASSERT_TRUE(::CreateDirectoryW(
            (drive_->Root() + L"temp~" + std::to_wstring(n) + L".~txt").c_str(), nullptr));
    auto program = Start();
    ASSERT_NE(main_, nullptr);
    HWND job = ClickBackup(*program);
    ASSERT_NE(job, nullptr);
    HWND box = WaitForTopWindow(L"#32770", L"Error", program->Id(), 30000);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box), L"Disk cannot be accessed.");
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    HWND closeButton = FindControl(job, ids::btnClose);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(closeButton) != FALSE; }));
    EXPECT_TRUE(WaitUntil([&] { return Records().size() == 1; }, 10000));
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_TRUE(records[0].ends_with(
        "\r\nResult: Stopped: the disk of the USB device could not be written\r\n"))
        << records[0];
    EXPECT_EQ(records[0].find("Folder: "), std::string::npos) << "nothing was copied";
    ::PostMessageW(closeButton, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(job); }, 20000));
    Close(*program);
}

// A history at its limit, and the program killed at a different moment of the job's end each
// time: the history is always either what it was or what it was with the new record (the
// oldest ones dropped to make room), whole records only, never more than the limit.
TEST_F(HistoryProgramTest, KilledWhileAppendingLeavesTheOldOrTheNewHistory) {
    const std::wstring folder = HostFolder(2);
    // Records of earlier jobs up to just below the limit.
    JobRecord earlier;
    earlier.started = earlier.ended = u"2026-01-01 00:00:00";
    earlier.enclosure = u"E:\\";
    earlier.folders.push_back({u"C:\\Old\\", u"E:\\Backup\\C\\Old\\", 1, 1, {}, 0});
    HistoryFormat english{[](Text key) { return std::u16string(EnglishText(key)); },
                          [](std::uint64_t n) {
                              const std::string t = std::to_string(n);
                              return std::u16string(t.begin(), t.end());
                          },
                          [](std::uint64_t) { return std::u16string(u"1 bytes"); }};
    std::string old;
    const std::string one = FormatJobRecord(earlier, english);
    while (old.size() + one.size() <= kHistoryLimitBytes - 200)
        old = AppendJobRecord(old, one);
    const size_t oldRecords = SplitJobRecords(old).size();

    for (int attempt = 0; attempt < 8; ++attempt) {
        SCOPED_TRACE(attempt);
        ASSERT_TRUE(WriteBytes(Data(L"History.txt"), old));
        auto program = Start();
        ASSERT_NE(main_, nullptr);
        HWND job = ClickBackup(*program);
        ASSERT_NE(job, nullptr);
        ASSERT_TRUE(WaitForStatus(job, L"Backup has finished."));
        ::Sleep(static_cast<DWORD>(attempt * 4)); // the point of the kill, not a wait
        win::Handle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, program->Id()));
        ::TerminateProcess(process.Get(), 1);
        ::WaitForSingleObject(process.Get(), 20000);

        const std::string now = ReadBytes(Data(L"History.txt"));
        if (now == old)
            continue;
        ASSERT_LE(now.size(), kHistoryLimitBytes);
        const auto records = SplitJobRecords(now);
        ASSERT_GE(records.size(), 2u);
        EXPECT_LT(records.size(), oldRecords + 1) << "the oldest records made room";
        for (std::string_view r : records)
            EXPECT_TRUE(r.starts_with(kHistoryRecordMark) && r.ends_with("\r\n")) << r;
        EXPECT_NE(records.back().find("Folder: " + Utf8(folder)), std::string::npos);
        EXPECT_TRUE(records.back().ends_with("Result: Finished\r\n"));
        // What stands before the new record is the old history without its first records.
        const size_t kept = now.size() - records.back().size();
        EXPECT_TRUE(old.ends_with(now.substr(3, kept - 3)));
    }
}

// A data folder that cannot be written: the job runs and finishes as before, and no history
// appears (nor a temporary file of one).
TEST_F(HistoryProgramTest, AReadOnlyDataFolderChangesNothingAboutTheJob) {
    if (!UnderWine())
        GTEST_SKIP() << "the read-only mount is made with Linux commands";
    const std::wstring folder = HostFolder(3);
    // Root writes through read-only modes: the folder becomes a read-only bind mount instead.
    const std::wstring data = UnixPath(dir_ / L"SnapData");
    struct Unmount {
        std::wstring data;
        ~Unmount() { RunUnixCommand({L"/bin/umount", L"-l", data}); }
    } unmount{data};
    RunUnixCommand({L"/bin/mount", L"-o", L"bind,ro", data, data});
    // start.exe may return before mount has ended: the folder is read-only once a write fails.
    // (A write made before the mount took hold leaves its file, so only the write's failure
    // counts.)
    const bool readOnly = WaitUntil([&] { return !WriteBytes(Data(L"probe.txt"), "x"); }, 30000);
    if (!readOnly)
        GTEST_SKIP() << "a read-only mount cannot be made here (it needs root)";

    auto program = Start();
    ASSERT_NE(main_, nullptr);
    HWND job = ClickBackup(*program);
    ASSERT_NE(job, nullptr);
    EXPECT_TRUE(WaitForStatus(job, L"Backup has finished."));
    EXPECT_TRUE(ListBoxLines(FindControl(job, ids::ListBoxFiles)).empty());
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(job); }, 20000))
        << "the job window did not close by itself";
    EXPECT_EQ(Snapshot(BackupOf(folder)).size(), 3u);
    EXPECT_FALSE(FileExists(Data(L"History.txt")));
    Close(*program);
    EXPECT_TRUE(TemporaryFilesIn(dir_ / L"SnapData").empty());
}

} // namespace

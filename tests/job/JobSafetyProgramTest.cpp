// A running job and the rest of the program, through the real windows of SnapkeepSim.exe on a
// simulated enclosure whose drive letters are test folders: the main window coming back from
// the tray mid-job, the program closed mid-job by each road, device changes mid-job on an
// enclosure with two volumes, and the enclosure's button held against a refusal.
#include "ProcessDriver.h"
#include "TempDir.h"
#include "Wait.h"
#include "WorkerTestSupport.h"
#include "app/ControlIds.h"
#include "job/JobControlIds.h"
#include "store/FolderListFile.h"
#include "store/SettingsFile.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <dbt.h>

#include <memory>
#include <set>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

// The visible message boxes of a process with a caption.
struct BoxSearch {
    DWORD processId;
    const std::wstring* caption;
    std::vector<HWND> found;
};

BOOL CALLBACK VisitBox(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<BoxSearch*>(param);
    wchar_t className[64] = {};
    ::GetClassNameW(hwnd, className, ARRAYSIZE(className));
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    if (owner == search->processId && std::wstring(className) == L"#32770" &&
        ::IsWindowVisible(hwnd) && WindowText(hwnd) == *search->caption)
        search->found.push_back(hwnd);
    return TRUE;
}

std::vector<HWND> BoxesOf(DWORD processId, const std::wstring& caption) {
    BoxSearch search{processId, &caption, {}};
    ::EnumWindows(VisitBox, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

const wchar_t* const kLargeFiles[] = {L"one.iso", L"two.iso", L"three.iso", L"four.iso"};
constexpr size_t kLargeSize = 40u << 20;

class JobSafetyProgramTest : public testing::Test {
protected:
    void SetUp() override {
        caption_ = L"Snapkeep safety " + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                   std::to_wstring(counter_++);
        ASSERT_TRUE(WriteEnglishDataFolder(dir_ / L"SnapData", caption_, SNAPKEEP_LANGUAGE_DIR));
        drive_ = std::make_unique<MappedDrive>(enclosure_.Path());
        ASSERT_TRUE(drive_->Valid());
        ASSERT_TRUE(Describe(false));
    }
    std::wstring Data(const std::wstring& name) const { return dir_ / (L"SnapData\\" + name); }

    // The enclosure on the mapped drive(s), its button held or not; written whole and renamed
    // into place, as the program may read it at any moment.
    bool Describe(bool pressed) {
        std::string letters(1, static_cast<char>(drive_->Letter()));
        if (second_)
            letters += std::string(" ") + static_cast<char>(second_->Letter());
        const std::string text = "[Enclosure]\r\nProfile=inquiry-785\r\nLetters=" + letters +
                                 "\r\nButtonPressed=" + (pressed ? "1" : "0") + "\r\n";
        const std::wstring file = Data(L"Enclosure.ini");
        // The program reads the file before every bridge command: a replace that meets it open
        // is refused, and tried again.
        return WaitUntil([&] {
            return WriteBytes(file + L".new", text) &&
                   ::MoveFileExW((file + L".new").c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
        });
    }
    std::wstring BackupOn(const MappedDrive& drive, const std::wstring& hostPath) const {
        return drive.Root() + L"Backup\\" + hostPath.substr(0, 1) + hostPath.substr(2);
    }
    void ListHostFolders(const std::vector<std::wstring>& folders) {
        std::vector<FolderRow> rows;
        for (const std::wstring& folder : folders)
            rows.push_back({true, U16(folder)});
        ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), EncodeFolderList(rows)));
    }
    std::vector<FolderRow> DeviceRows() const {
        const FolderListResult list = DecodeFolderList(
            ReadBytes(Data(L"Device.txt")), [](std::string_view) { return std::u16string(); });
        EXPECT_TRUE(list.Ok) << list.Error;
        return list.Rows;
    }

    // Two host folders: a few small files, then large ones whose earlier copies are on the
    // enclosure already, older and different, so that the job replaces them. Large enough
    // together that the job is still inside them when a click made on seeing the first one
    // begun is handled.
    void MakeTwoFolders() {
        small_ = host_ / L"Small\\";
        large_ = host_ / L"Large\\";
        for (int i = 0; i < 20; ++i)
            ASSERT_TRUE(
                WriteFileAt(small_ + L"s" + std::to_wstring(i) + L".txt", Pattern(2000, i)));
        for (const wchar_t* name : kLargeFiles) {
            ASSERT_TRUE(WriteFileAt(large_ + name, Pattern(kLargeSize, 1)));
            const std::wstring earlier = BackupOn(*drive_, large_) + name;
            ASSERT_TRUE(WriteFileAt(earlier, Pattern(70'000, 2)));
            ASSERT_TRUE(SetWriteTimeAndAttributes(earlier, 125'000'000'000'000'000ull,
                                                  FILE_ATTRIBUTE_ARCHIVE));
        }
        ListHostFolders({small_, large_});
    }
    // After the program ended mid-job: each large file's copy is its earlier copy or the whole
    // new file, at least one is the earlier one (it was being written), and nothing is left
    // half-written.
    void ExpectEarlierCopiesKept() {
        int earlierKept = 0;
        for (const wchar_t* name : kLargeFiles) {
            const std::string copy = ReadBytes(BackupOn(*drive_, large_) + name);
            if (copy == Pattern(70'000, 2))
                ++earlierKept;
            else
                EXPECT_TRUE(copy == Pattern(kLargeSize, 1)) << "a copy changed half-way";
        }
        EXPECT_GE(earlierKept, 1) << "the program did not end in the middle of a file";
        EXPECT_TRUE(TemporaryFilesIn(BackupOn(*drive_, large_)).empty())
            << "a temporary file was left";
        // The enclosure held a Backup tree from before it kept an index: its drive-letter folder
        // is a row of its own, before the rows of the folders the job had begun.
        const std::wstring letterFolder =
            drive_->Root() + L"Backup\\" + large_.substr(0, 1) + L"\\";
        EXPECT_EQ(DeviceRows(), (std::vector<FolderRow>{{false, U16(letterFolder)},
                                                        {false, U16(BackupOn(*drive_, small_))},
                                                        {false, U16(BackupOn(*drive_, large_))}}))
            << "the device rows the job had added";
    }

    std::unique_ptr<ChildProcess> Start() {
        auto program =
            std::make_unique<ChildProcess>(BuildProgram(L"SnapkeepSim.exe"), dir_.Path());
        main_ = WaitForTopWindow(L"TMainForm", caption_, program->Id());
        return program;
    }
    // Waits until the enclosure is found and Backup can be clicked.
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
            WaitUntil([&] { return ::IsWindowVisible(job) != FALSE; });
        return job;
    }
    HWND StartBackup(const ChildProcess& program) {
        ::PostMessageW(FindControl(main_, ids::btnBackup), BM_CLICK, 0, 0);
        return WaitForJobWindow(program);
    }
    // Waits until the first large file is being written, then pauses the job among them.
    bool PauseAmongTheLargeFiles(HWND job) {
        if (!WaitUntil([&] { return !TemporaryFilesIn(BackupOn(*drive_, large_)).empty(); }, 60000))
            return false;
        ::PostMessageW(FindControl(job, ids::btnPause), BM_CLICK, 0, 0);
        HWND restart = FindControl(job, ids::btnRestart);
        if (!WaitUntil([&] { return ::IsWindowVisible(restart) != FALSE; }))
            return false;
        // A click on a hidden button still runs its handler: make sure the copy was running.
        const std::wstring status = WindowText(FindControl(job, ids::LabelStatus));
        EXPECT_EQ(status.rfind(L"Backup ", 0), 0u) << "not copying when paused";
        return status != L"Backup has finished.";
    }
    static bool WaitForFinish(HWND job, unsigned timeoutMs = 120000) {
        HWND status = FindControl(job, ids::LabelStatus);
        return WaitUntil([&] { return WindowText(status) == L"Backup has finished."; },
                         timeoutMs) &&
               WaitUntil([&] { return !::IsWindowVisible(job); }, 20000);
    }
    void Close(ChildProcess& program) {
        ::PostMessageW(main_, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    }

    TempDir dir_;
    TempDir enclosure_;
    TempDir host_;
    std::unique_ptr<MappedDrive> drive_;
    std::unique_ptr<MappedDrive> second_;
    std::wstring caption_;
    std::wstring small_, large_;
    HWND main_ = nullptr;
    static inline int counter_ = 0;
};

TEST_F(JobSafetyProgramTest, AMainWindowBroughtBackFromTheTrayMidJobStaysDisabled) {
    MakeTwoFolders();
    auto program = Start();
    ASSERT_NE(main_, nullptr);
    ASSERT_TRUE(WaitForEnclosure());
    // Minimised, the main window leaves the task bar for the tray.
    ::PostMessageW(main_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main_); }));

    // The enclosure's button starts the backup, held until the job window shows.
    ASSERT_TRUE(Describe(true));
    HWND job = WaitForJobWindow(*program);
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(Describe(false));
    ASSERT_TRUE(PauseAmongTheLargeFiles(job));

    // A second copy of the program brings the first one's window back, as the tray icon does.
    {
        ChildProcess second(BuildProgram(L"SnapkeepSim.exe"), dir_.Path());
        EXPECT_EQ(second.WaitForExit(), 0);
    }
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main_) != FALSE; }))
        << "the second copy did not bring the main window back";
    EXPECT_FALSE(::IsWindowEnabled(main_)) << "the main window takes input during the job";
    // And a double click on the tray icon.
    HWND tray = WaitForTopWindow(L"TTrayIconWindow", L"", program->Id());
    ASSERT_NE(tray, nullptr);
    ::PostMessageW(tray, WM_APP + 1, 0, WM_LBUTTONDBLCLK);
    ::Sleep(300); // an absence: the window would have been enabled by now
    EXPECT_FALSE(::IsWindowEnabled(main_));
    EXPECT_TRUE(::IsWindowVisible(job));

    ::PostMessageW(FindControl(job, ids::btnRestart), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitForFinish(job));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(main_) != FALSE; }))
        << "enabled again once the job window has closed";
    Close(*program);
}

TEST_F(JobSafetyProgramTest, ClosingMidJobStopsTheCopyKeepsEarlierCopiesAndSavesTheRows) {
    // Each road out: a close sent to the main window, and Windows ending the session.
    const struct {
        const char* road;
        bool endSession;
    } roads[] = {{"WM_CLOSE", false}, {"WM_QUERYENDSESSION, WM_ENDSESSION", true}};
    MakeTwoFolders();
    for (const auto& road : roads) {
        SCOPED_TRACE(road.road);
        auto program = Start();
        ASSERT_NE(main_, nullptr);
        ASSERT_TRUE(WaitForEnclosure());
        HWND job = StartBackup(*program);
        ASSERT_NE(job, nullptr);
        ASSERT_TRUE(PauseAmongTheLargeFiles(job));
        if (road.endSession) {
            DWORD_PTR mayEnd = 0;
            ASSERT_TRUE(::SendMessageTimeoutW(main_, WM_QUERYENDSESSION, 0, 0, SMTO_ABORTIFHUNG,
                                              5000, &mayEnd));
            EXPECT_EQ(mayEnd, TRUE) << "the program refused the shutdown";
            // The program ends while it handles this; the send may then report a failure.
            ::SendMessageTimeoutW(main_, WM_ENDSESSION, TRUE, 0, SMTO_ABORTIFHUNG, 10000, nullptr);
        } else {
            ::PostMessageW(main_, WM_CLOSE, 0, 0);
        }
        EXPECT_EQ(program->WaitForExit(10000), 0) << "the program did not end within seconds";
        ExpectEarlierCopiesKept();
        for (int i = 0; i < 20; ++i)
            EXPECT_EQ(ReadBytes(BackupOn(*drive_, small_) + L"s" + std::to_wstring(i) + L".txt"),
                      Pattern(2000, i));
        // The next run starts from the earlier copies again.
        ASSERT_TRUE(::DeleteFileW(Data(L"Device.txt").c_str()));
        for (const wchar_t* name : kLargeFiles) {
            const std::wstring earlier = BackupOn(*drive_, large_) + name;
            ASSERT_TRUE(WriteFileAt(earlier, Pattern(70'000, 2)));
            ASSERT_TRUE(SetWriteTimeAndAttributes(earlier, 125'000'000'000'000'000ull,
                                                  FILE_ATTRIBUTE_ARCHIVE));
        }
    }
}

TEST_F(JobSafetyProgramTest, DeviceChangesMidJobLeaveEveryFileOnTheVolumeChosen) {
    TempDir secondVolume;
    second_ = std::make_unique<MappedDrive>(secondVolume.Path());
    ASSERT_TRUE(second_->Valid());
    ASSERT_TRUE(Describe(false));
    const std::wstring big = host_ / L"Video\\";
    const std::wstring photos = host_ / L"Photos\\";
    for (const wchar_t* name : kLargeFiles)
        ASSERT_TRUE(WriteFileAt(big + name, Pattern(kLargeSize, 3)));
    for (int i = 0; i < 50; ++i)
        ASSERT_TRUE(WriteFileAt(photos + L"p" + std::to_wstring(i) + L".jpg", Pattern(1500, i)));
    ListHostFolders({big, photos});

    auto program = Start();
    ASSERT_NE(main_, nullptr);
    ASSERT_TRUE(WaitForEnclosure());
    HWND drives = FindControl(main_, ids::ComboBoxDiskLetter);
    ASSERT_EQ(::SendMessageW(drives, CB_GETCOUNT, 0, 0), 2) << "both volumes listed";
    // The user picks the second volume, once the rescans of the program's start are over (a
    // rescan selects the first volume again): the choice has to stand for a second.
    DWORD chosenAt = 0;
    ASSERT_TRUE(WaitUntil([&] {
        if (::SendMessageW(drives, CB_GETCURSEL, 0, 0) != 1) {
            ::SendMessageW(drives, CB_SETCURSEL, 1, 0);
            chosenAt = ::GetTickCount();
        }
        return ::GetTickCount() - chosenAt > 1000;
    }));
    ASSERT_EQ(WindowText(drives), second_->Root());
    HWND job = StartBackup(*program);
    ASSERT_NE(job, nullptr);

    // A burst of device-change notices while the first folder is being written (the job held
    // there): each one rescans and selects the first volume again.
    // (A new file is written under its own name.)
    ASSERT_TRUE(
        WaitUntil([&] { return FileExists(BackupOn(*second_, big) + kLargeFiles[0]); }, 60000))
        << "the job did not start on the volume chosen";
    ::PostMessageW(FindControl(job, ids::btnPause), BM_CLICK, 0, 0);
    HWND restart = FindControl(job, ids::btnRestart);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(restart) != FALSE; }));
    ASSERT_NE(WindowText(FindControl(job, ids::LabelStatus)), L"Backup has finished.")
        << "the job ended before the notices";
    for (int i = 0; i < 10; ++i)
        ::PostMessageW(main_, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    EXPECT_TRUE(WaitUntil([&] { return ::SendMessageW(drives, CB_GETCURSEL, 0, 0) == 0; }))
        << "the notices did not rescan";
    ::PostMessageW(restart, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitForFinish(job));
    Close(*program);

    EXPECT_TRUE(Snapshot(big) == Snapshot(BackupOn(*second_, big)));
    EXPECT_TRUE(Snapshot(photos) == Snapshot(BackupOn(*second_, photos)));
    EXPECT_FALSE(FileExists(drive_->Root() + L"Backup")) << "files went to the first volume";
    EXPECT_EQ(DeviceRows(), (std::vector<FolderRow>{{false, U16(BackupOn(*second_, big))},
                                                    {false, U16(BackupOn(*second_, photos))}}));
}

TEST_F(JobSafetyProgramTest, AButtonHeldAgainstAnEmptyOthersTextShowsOneBox) {
    const std::wstring folder = host_ / L"Photos\\";
    ASSERT_TRUE(WriteFileAt(folder + L"a.jpg", Pattern(100, 1)));
    ListHostFolders({folder});
    StoredSettings settings;
    settings.Checked = {false, false, false, false, false, false, false, true};
    settings.OthersExtString = "";
    ASSERT_TRUE(WriteBytes(Data(L"Setting.txt"), EncodeSettings(settings)));

    auto program = Start();
    ASSERT_NE(main_, nullptr);
    ASSERT_TRUE(WaitForEnclosure());
    ASSERT_TRUE(Describe(true));
    HWND box = WaitForTopWindow(L"#32770", L"Error", program->Id());
    ASSERT_NE(box, nullptr) << "the refusal was not shown";
    EXPECT_EQ(MessageBoxText(box), L"File Type in Others cannot be empty.");
    // The button stays held, the timer ticking inside the box's own loop (every 300 ms), while
    // the box is open for a while and after it has been answered.
    std::set<HWND> seen{box};
    size_t mostAtOnce = 1;
    const auto watch = [&](DWORD ms) {
        const DWORD until = ::GetTickCount() + ms;
        while (static_cast<LONG>(until - ::GetTickCount()) > 0) {
            const std::vector<HWND> boxes = BoxesOf(program->Id(), L"Error");
            mostAtOnce = std::max(mostAtOnce, boxes.size());
            seen.insert(boxes.begin(), boxes.end());
            ::Sleep(20);
        }
    };
    watch(2000); // the observation window: ticks that would open boxes, not a wait for one
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindow(box); }));
    watch(2000);
    EXPECT_EQ(mostAtOnce, 1u) << "more than one box at a time";
    EXPECT_EQ(seen.size(), 1u) << "a held button opened another box";

    // Let go and pressed again: asks once more.
    ASSERT_TRUE(Describe(false));
    watch(1000);
    ASSERT_TRUE(Describe(true));
    EXPECT_TRUE(WaitUntil([&] { return !BoxesOf(program->Id(), L"Error").empty(); }));
    for (HWND open : BoxesOf(program->Id(), L"Error"))
        ::PostMessageW(open, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(Describe(false));
    WaitUntil([&] { return BoxesOf(program->Id(), L"Error").empty(); });
    EXPECT_EQ(::SendMessageW(FindControl(main_, ids::ListViewDevice), LVM_GETITEMCOUNT, 0, 0), 0)
        << "no job ran";
    Close(*program);
}

} // namespace

// The job history and the end-of-job notice end to end, through the real windows of
// SnapkeepSim.exe on a simulated enclosure: every way a job ends leaves its record in
// SnapData\History.txt, failure lines exactly as the job window showed them; the tray icon says
// how the job ended, and a click on its notice opens the history; a kill while the record is
// appended leaves the old or the new history; and a data folder that cannot be written changes
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
        ASSERT_TRUE(::CreateDirectoryW((folder + L"\\Language").c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW(SourceFile(SNAPKEEP_LANGUAGE_DIR "/English.ini").c_str(),
                                (folder + L"\\Language\\English.ini").c_str(), FALSE));
        const std::string caption(caption_.begin(), caption_.end());
        ASSERT_TRUE(WriteProductConfig(folder + L"\\qconfig.inis",
                                       "Model=ALL\r\nMainFormCaption=" + caption + "\r\n"));
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
// the notice warns of the file, and a click on it opens the history in the text viewer.
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

    // A click on the notice opens the history in the text viewer.
    HWND tray = TrayWindow(*program);
    ASSERT_NE(tray, nullptr);
    ::PostMessageW(tray, WM_APP + 1, 0, NIN_BALLOONUSERCLICK);
    HWND viewer = nullptr;
    EXPECT_TRUE(WaitUntil(
        [&] {
            for (const auto& [hwnd, text] : VisibleWindows(L"Notepad"))
                if (text.find(L"History.txt") != std::wstring::npos)
                    viewer = hwnd;
            return viewer != nullptr;
        },
        20000))
        << "the history was not opened";
    if (viewer)
        ::PostMessageW(viewer, WM_CLOSE, 0, 0);
    Close(*program);
}

} // namespace

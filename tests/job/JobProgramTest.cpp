// A whole backup and restore through the real windows of SnapkeepSim.exe on a simulated
// enclosure whose drive letter is a test folder: messages posted to its buttons, files and list
// files compared afterwards. Nothing here calls into the program's code.
#include "ProcessDriver.h"
#include "TempDir.h"
#include "Wait.h"
#include "WorkerTestSupport.h"
#include "app/ControlIds.h"
#include "job/JobControlIds.h"
#include "store/FolderListFile.h"
#include "ui/Messages.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <windows.h>

#include <functional>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

std::vector<FolderRow> ReadList(const std::wstring& path) {
    const FolderListResult list =
        DecodeFolderList(ReadBytes(path), [](std::string_view) { return std::u16string(); });
    EXPECT_TRUE(list.Ok) << list.Error;
    return list.Rows;
}

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

// The entries of two tree pictures that differ, by name; empty when the trees are equal.
std::vector<std::wstring> Differences(const std::map<std::wstring, Entry>& a,
                                      const std::map<std::wstring, Entry>& b) {
    std::vector<std::wstring> names;
    for (const auto& [name, entry] : a) {
        auto other = b.find(name);
        if (other == b.end() || !(other->second == entry))
            names.push_back(name);
    }
    for (const auto& [name, entry] : b)
        if (!a.count(name))
            names.push_back(name);
    return names;
}

std::string Names(const std::vector<std::wstring>& names) {
    std::string text;
    for (const std::wstring& name : names)
        text += std::string(name.begin(), name.end()) + " ";
    return text;
}

class JobProgramTest : public testing::Test {
protected:
    void SetUp() override {
        caption_ = L"Snapkeep job " + std::to_wstring(::GetCurrentProcessId());
        ASSERT_TRUE(::CreateDirectoryW((dir_ / L"SnapData").c_str(), nullptr));
        const std::string caption(caption_.begin(), caption_.end());
        ASSERT_TRUE(WriteProductConfig(Data(L"qconfig.inis"),
                                       "Model=ALL\r\nMainFormCaption=" + caption + "\r\n"));
        drive_ = std::make_unique<MappedDrive>(enclosure_.Path());
        ASSERT_TRUE(drive_->Valid());
        ASSERT_TRUE(WriteEnclosure(false));
    }
    // The enclosure on the mapped drive, its button held or not; written whole and renamed into
    // place, as the program may read it at any moment.
    bool WriteEnclosure(bool pressed) {
        const std::string text = "[Enclosure]\r\nProfile=inquiry-785\r\nLetters=" +
                                 std::string(1, static_cast<char>(drive_->Letter())) +
                                 "\r\nButtonPressed=" + (pressed ? "1" : "0") + "\r\n";
        const std::wstring file = Data(L"Enclosure.ini");
        return WriteBytes(file + L".new", text) &&
               ::MoveFileExW((file + L".new").c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    std::wstring Data(const std::wstring& name) const { return dir_ / (L"SnapData\\" + name); }
    std::wstring BackupOf(const std::wstring& hostPath) const {
        return drive_->Root() + L"Backup\\" + hostPath.substr(0, 1) + hostPath.substr(2);
    }

    // Starts the program, waits until its rescan has found the enclosure, clicks `button` and
    // waits until the job window has come and gone; then closes the program (which writes the
    // lists).
    void RunCommand(int button) {
        RunJob([&](HWND command) { ::PostMessageW(command, BM_CLICK, 0, 0); }, button);
    }

    // The same with the enclosure's button: held until the job window shows, then let go.
    void PressEnclosureButton() {
        RunJob([&](HWND) { ASSERT_TRUE(WriteEnclosure(true)); }, ids::btnBackup,
               [&] { ASSERT_TRUE(WriteEnclosure(false)); });
    }

    void RunJob(const std::function<void(HWND command)>& start, int button,
                const std::function<void()>& onShown = {}) {
        ChildProcess program(BuildProgram(L"SnapkeepSim.exe"), dir_.Path());
        HWND main = WaitForTopWindow(L"TMainForm", caption_, program.Id());
        ASSERT_NE(main, nullptr);
        HWND drives = FindControl(main, ids::ComboBoxDiskLetter);
        HWND command = FindControl(main, button);
        ASSERT_TRUE(WaitUntil([&] {
            return ::SendMessageW(drives, CB_GETCURSEL, 0, 0) == 0 && ::IsWindowEnabled(command);
        })) << "the enclosure was not found";
        // A click is posted: its handler runs the whole job in its own loops.
        start(command);
        HWND job = WaitForTopWindow(L"TCopyFileForm", caption_, program.Id());
        ASSERT_NE(job, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(job); }));
        if (onShown)
            onShown();
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(job); }, 120000))
            << "the job window did not close by itself";
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
    }

    TempDir dir_;
    TempDir enclosure_;
    TempDir host_;
    std::unique_ptr<MappedDrive> drive_;
    std::wstring caption_;
};

TEST_F(JobProgramTest, BackupThenRestoreThroughTheSimulatedEnclosure) {
    // Two folders of a few hundred files: mixed types and sizes, nested folders, hidden and
    // read-only files, and one of 50 MiB.
    const std::wstring folders[] = {host_ / L"Pictures\\", host_ / L"Documents\\"};
    const wchar_t* types[] = {L".jpg", L".txt", L".doc", L".bin", L".mp3", L""};
    const size_t sizes[] = {0, 1, 999, 1000, 1001, 4096, 65536, 300000};
    unsigned seed = 0;
    for (const std::wstring& folder : folders) {
        for (int i = 0; i < 150; ++i) {
            const std::wstring sub = i % 3 == 0 ? L"" : i % 3 == 1 ? L"a\\" : L"a\\b\\c\\";
            const std::wstring path =
                folder + sub + L"f" + std::to_wstring(i) + types[i % std::size(types)];
            ASSERT_TRUE(WriteFileAt(path, Pattern(sizes[i % std::size(sizes)], ++seed)));
            const DWORD attributes = i % 7 == 0   ? FILE_ATTRIBUTE_HIDDEN
                                     : i % 7 == 1 ? FILE_ATTRIBUTE_READONLY
                                                  : FILE_ATTRIBUTE_ARCHIVE;
            ASSERT_TRUE(SetWriteTimeAndAttributes(
                path, 132'000'000'000'000'000ull + i * 10'000'000ull, attributes));
        }
    }
    const std::wstring big = folders[1] + L"video\\big.mkv";
    ASSERT_TRUE(WriteFileAt(big, Pattern(50u << 20, 99)));
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"),
                           EncodeFolderList({{true, U16(folders[0])}, {true, U16(folders[1])}})));

    RunCommand(ids::btnBackup);
    for (const std::wstring& folder : folders)
        EXPECT_TRUE(Differences(Snapshot(folder), Snapshot(BackupOf(folder))).empty())
            << Names(Differences(Snapshot(folder), Snapshot(BackupOf(folder))));
    const std::vector<FolderRow> rows = ReadList(Data(L"Device.txt"));
    EXPECT_EQ(rows, (std::vector<FolderRow>{{false, U16(BackupOf(folders[0]))},
                                            {false, U16(BackupOf(folders[1]))}}));
    EXPECT_FALSE(FileExists(drive_->Root() + L"temp.~txt"));
    const auto before0 = Snapshot(folders[0]);
    const auto before1 = Snapshot(folders[1]);

    // Change some host files, delete others, then restore both device rows.
    ASSERT_TRUE(WriteFileAt(folders[0] + L"a\\b\\c\\f2.doc", Pattern(5000, 1234)));
    ASSERT_TRUE(WriteFileAt(folders[1] + L"a\\f4.mp3", "changed"));
    ASSERT_TRUE(::DeleteFileW((folders[0] + L"a\\b\\c\\f5").c_str()));
    ASSERT_TRUE(::DeleteFileW(big.c_str()));
    ASSERT_TRUE(WriteBytes(
        Data(L"Device.txt"),
        EncodeFolderList({{true, U16(BackupOf(folders[0]))}, {true, U16(BackupOf(folders[1]))}})));
    RunCommand(ids::btnRestore);
    // The two changed host files the restore replaced are not gone: each was moved aside under
    // a name that says so and, Wine's Recycle Bin being unsure (docs/wine.md), kept beside.
    size_t aside = 0;
    auto withoutAside = [&aside](std::vector<std::wstring> names) {
        aside += std::erase_if(names, [](const std::wstring& name) {
            return name.find(L" (before restore ") != std::wstring::npos;
        });
        return names;
    };
    EXPECT_EQ(Names(withoutAside(Differences(Snapshot(folders[0]), before0))), "");
    EXPECT_EQ(Names(withoutAside(Differences(Snapshot(folders[1]), before1))), "");
    EXPECT_EQ(aside, 2u);
}

TEST_F(JobProgramTest, TheEnclosuresButtonBacksUpTheTickedFolder) {
    const std::wstring folder = host_ / L"Photos\\";
    for (int i = 0; i < 40; ++i) {
        const std::wstring path = folder + (i % 2 ? L"2024\\" : L"") + L"p" + std::to_wstring(i) +
                                  (i % 3 ? L".jpg" : L".txt");
        ASSERT_TRUE(WriteFileAt(path, Pattern(i * 1500, 500 + i)));
        const DWORD attributes = i % 5 == 0   ? FILE_ATTRIBUTE_HIDDEN
                                 : i % 5 == 1 ? FILE_ATTRIBUTE_READONLY
                                              : FILE_ATTRIBUTE_ARCHIVE;
        ASSERT_TRUE(SetWriteTimeAndAttributes(path, 133'000'000'000'000'000ull + i * 77'777ull,
                                              attributes));
    }
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), EncodeFolderList({{true, U16(folder)}})));

    PressEnclosureButton();
    EXPECT_EQ(Names(Differences(Snapshot(folder), Snapshot(BackupOf(folder)))), "")
        << "every file with its bytes, time and attributes";
    EXPECT_EQ(ReadList(Data(L"Device.txt")),
              (std::vector<FolderRow>{{false, U16(BackupOf(folder))}}));
}

// Whether the notification area holds the icon that `window` added under `id`: changing
// nothing in it succeeds only then.
bool TrayIconPresent(HWND window, UINT id) {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = id;
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

TEST_F(JobProgramTest, StartedInTheTrayItShowsNoWindowAndTheButtonStillBacksUp) {
    // As the logon task starts it: the tray switch, the install folder as current directory.
    const std::wstring folder = host_ / L"Mail\\";
    for (int i = 0; i < 12; ++i)
        ASSERT_TRUE(WriteFileAt(folder + L"m" + std::to_wstring(i) + L".txt", Pattern(i * 700, i)));
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), EncodeFolderList({{true, U16(folder)}})));

    ChildProcess program(BuildProgram(L"SnapkeepSim.exe"), dir_.Path(), L"/tray");
    HWND main = WaitForTopWindow(L"TMainForm", caption_, program.Id());
    ASSERT_NE(main, nullptr);
    bool mainShown = false;
    auto hiddenAnd = [&](const std::function<bool()>& condition) {
        return [&, condition] {
            mainShown = mainShown || ::IsWindowVisible(main);
            return condition();
        };
    };
    // No activation comes, yet the enclosure is found: the program rescanned by itself.
    HWND drives = FindControl(main, ids::ComboBoxDiskLetter);
    HWND backup = FindControl(main, ids::btnBackup);
    ASSERT_TRUE(WaitUntil(hiddenAnd([&] {
        return ::SendMessageW(drives, CB_GETCURSEL, 0, 0) == 0 && ::IsWindowEnabled(backup);
    }))) << "the enclosure was not found";
    HWND tray = WaitForTopWindow(L"TTrayIconWindow", L"", program.Id());
    ASSERT_NE(tray, nullptr);
    EXPECT_TRUE(TrayIconPresent(tray, 1)) << "no tray icon";
    EXPECT_FALSE(TrayIconPresent(main, 1)) << "the probe finds icons that are not there";

    ASSERT_TRUE(WriteEnclosure(true));
    HWND job = WaitForTopWindow(L"TCopyFileForm", caption_, program.Id());
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(WaitUntil(hiddenAnd([&] { return ::IsWindowVisible(job) != FALSE; })));
    ASSERT_TRUE(WriteEnclosure(false));
    EXPECT_TRUE(WaitUntil(hiddenAnd([&] { return !::IsWindowVisible(job); }), 120000))
        << "the job window did not close by itself";
    EXPECT_FALSE(mainShown) << "the main window showed";
    EXPECT_FALSE(::IsWindowVisible(main));
    EXPECT_EQ(Names(Differences(Snapshot(folder), Snapshot(BackupOf(folder)))), "");

    // The icon is the way to the window.
    ::PostMessageW(tray, ui::WM_TRAY_CALLBACK, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_EQ(ReadList(Data(L"Device.txt")),
              (std::vector<FolderRow>{{false, U16(BackupOf(folder))}}));
}

} // namespace

// The real Snapkeep.exe, started in a fresh data folder and driven from outside: what it
// shows, what it writes, and how it ends.
#include "ProgramFixture.h"

#include "app/ControlIds.h"

#include "ProcessDriver.h"
#include "TempDir.h"
#include "Wait.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <mutex>
#include <thread>
#include <vector>

using namespace snapkeep::test;
using namespace std::string_literals;

namespace {

// Records the order in which files get their final names in a folder.
class RenameWatcher {
public:
    explicit RenameWatcher(const std::wstring& folder) {
        folder_ = ::CreateFileW(folder.c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED,
                                nullptr);
        event_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        stopEvent_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
        thread_ = std::thread([this] { Run(); });
    }
    ~RenameWatcher() {
        ::SetEvent(stopEvent_);
        thread_.join();
        ::CloseHandle(folder_);
        ::CloseHandle(event_);
        ::CloseHandle(stopEvent_);
    }
    std::vector<std::wstring> Names() {
        std::lock_guard<std::mutex> lock(mutex_);
        return names_;
    }

private:
    void Run() {
        alignas(DWORD) char buffer[16384];
        for (;;) {
            OVERLAPPED overlapped{};
            overlapped.hEvent = event_;
            ::ResetEvent(event_);
            if (!::ReadDirectoryChangesW(folder_, buffer, sizeof buffer, FALSE,
                                         FILE_NOTIFY_CHANGE_FILE_NAME, nullptr, &overlapped,
                                         nullptr))
                return;
            HANDLE waits[2] = {event_, stopEvent_};
            DWORD got = 0;
            if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 ||
                !::GetOverlappedResult(folder_, &overlapped, &got, FALSE) || got == 0) {
                ::CancelIoEx(folder_, &overlapped);
                ::GetOverlappedResult(folder_, &overlapped, &got, TRUE);
                return;
            }
            for (char* at = buffer;;) {
                auto* info = reinterpret_cast<FILE_NOTIFY_INFORMATION*>(at);
                std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
                if (info->Action == FILE_ACTION_RENAMED_NEW_NAME ||
                    info->Action == FILE_ACTION_ADDED) {
                    if (name.find(L".snapkeep-new") == std::wstring::npos) {
                        std::lock_guard<std::mutex> lock(mutex_);
                        names_.push_back(name);
                    }
                }
                if (!info->NextEntryOffset)
                    break;
                at += info->NextEntryOffset;
            }
        }
    }
    HANDLE folder_;
    HANDLE event_;
    HANDLE stopEvent_;
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::wstring> names_;
};

TEST_F(ProgramTest, CaptionComesFromTheScrambledConfiguration) {
    ChildProcess program(Product(dir_.Path()), dir_.Path());
    ASSERT_TRUE(program.Started());
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr) << "no main window titled with the configured caption";
    EXPECT_TRUE(::IsWindowVisible(main));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
}

// Started elevated through a shortcut or by another program, the current directory is theirs to
// choose: a SnapData planted there (another caption, a host list of someone else's folders, a
// language file) is never read, and nothing is written there. The program reads and writes only
// the SnapData beside its own file.
TEST_F(ProgramTest, ADataFolderPlantedInTheCurrentDirectoryIsNeitherReadNorWritten) {
    TempDir planted;
    ::CreateDirectoryW((planted / L"SnapData").c_str(), nullptr);
    ::CreateDirectoryW((planted / L"SnapData\\Language").c_str(), nullptr);
    ASSERT_TRUE(WriteProductConfig(planted / L"SnapData\\qconfig.inis",
                                   "Model=ALL\r\nMainFormCaption=Planted caption\r\n"));
    const std::string plantedHosts = ListFile(L"1\nC:\\Windows\\System32\\\n");
    ASSERT_TRUE(WriteBytes(planted / L"SnapData\\Host.txt", plantedHosts));
    ASSERT_TRUE(WriteBytes(planted / L"SnapData\\Setting.txt", "Language=3\r\n"));
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), ListFile(L"0\nD:\\Own\\\n")));

    ChildProcess program(Product(dir_.Path()), planted.Path());
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr) << "the caption is not the one beside the program";
    EXPECT_EQ(WaitForTopWindow(L"TMainForm", L"Planted caption", program.Id(), 0), nullptr);
    HWND hosts = FindControl(main, snapkeep::ids::ListViewHost);
    ASSERT_EQ(ListCount(hosts), 1);
    EXPECT_EQ(ListItemText(hosts, 0), L"D:\\Own\\");
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(program.WaitForExit(), 0);

    EXPECT_EQ(ReadBytes(Data(L"Host.txt")), ListFile(L"0\nD:\\Own\\\n"));
    EXPECT_TRUE(FileExists(Data(L"Device.txt")));
    EXPECT_NE(ReadBytes(Data(L"Setting.txt")).find("Language=0\r\n"), std::string::npos)
        << "the planted language index was read";
    EXPECT_EQ(ReadBytes(planted / L"SnapData\\Host.txt"), plantedHosts);
    EXPECT_EQ(ReadBytes(planted / L"SnapData\\Setting.txt"), "Language=3\r\n");
    EXPECT_FALSE(FileExists(planted / L"SnapData\\Device.txt"));
    EXPECT_FALSE(FileExists(planted / L"SnapData\\Host.txt.snapkeep-new"));
}

TEST_F(ProgramTest, CloseWritesTheThreeFilesInOrderAndExactBytes) {
    // A host list in 8-bit text with CR LF and a flag of 2: it is written back in the program's
    // own form. Settings with All and Picture both ticked load as Picture alone.
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), "2\r\nC:\\Photos\\\r\n0\r\nD:\\Music\\\r\n"));
    ASSERT_TRUE(WriteBytes(Data(L"Setting.txt"),
                           "AllExtChecked=1\r\nPictureExtChecked=1\r\nOthersExtString=mp4 mkv\r\n"
                           "Language=5\r\n"));
    RenameWatcher watcher(dir_ / L"SnapData");
    ChildProcess program(Product(dir_.Path()), dir_.Path());
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(program.WaitForExit(), 0);

    EXPECT_EQ(ReadBytes(Data(L"Host.txt")), ListFile(L"1\nC:\\Photos\\\n0\nD:\\Music\\\n"));
    EXPECT_EQ(ReadBytes(Data(L"Device.txt")), ListFile(L""));
    EXPECT_EQ(ReadBytes(Data(L"Setting.txt")), "[BackupFileType]\r\n"
                                               "AllExtChecked=0\r\n"
                                               "PictureExtChecked=1\r\n"
                                               "AudioExtChecked=0\r\n"
                                               "VideoExtChecked=0\r\n"
                                               "DataExtChecked=0\r\n"
                                               "CompressExtChecked=0\r\n"
                                               "ImageExtChecked=0\r\n"
                                               "OthersExtChecked=0\r\n"
                                               "OthersExtString=mp4 mkv\r\n"
                                               "\r\n"
                                               "[LanguageType]\r\n"
                                               "Language=5\r\n");
    ASSERT_TRUE(WaitUntil([&] { return watcher.Names().size() >= 3; }, 5000));
    EXPECT_EQ(watcher.Names(),
              (std::vector<std::wstring>{L"Host.txt", L"Device.txt", L"Setting.txt"}));
    EXPECT_FALSE(FileExists(Data(L"Host.txt.snapkeep-new")));
}

TEST_F(ProgramTest, SecondCopyBringsTheFirstBackAndEndsWithoutWriting) {
    ChildProcess first(Product(dir_.Path()), dir_.Path());
    HWND main = WaitForMainWindow(first);
    ASSERT_NE(main, nullptr);
    // Minimise the first copy: it leaves the task bar for the tray.
    ::PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); }));

    // The second copy runs in a folder of its own, with the same configuration.
    TempDir secondDir;
    WriteConfig(secondDir.Path());
    ChildProcess second(Product(secondDir.Path()), secondDir.Path());
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_FALSE(FileExists(secondDir / L"SnapData\\Host.txt"));
    EXPECT_FALSE(FileExists(secondDir / L"SnapData\\Device.txt"));
    EXPECT_FALSE(FileExists(secondDir / L"SnapData\\Setting.txt"));

    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) && !::IsIconic(main); }))
        << "the first copy did not come back from the tray";
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == main; }))
        << "the first copy is not in the foreground";
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(), 0);
}

TEST_F(ProgramTest, DifferentCaptionsRunSideBySide) {
    ChildProcess first(Product(dir_.Path()), dir_.Path());
    HWND firstMain = WaitForMainWindow(first);
    ASSERT_NE(firstMain, nullptr);
    TempDir otherDir;
    caption_ += L" other";
    WriteConfig(otherDir.Path());
    ChildProcess second(Product(otherDir.Path()), otherDir.Path());
    HWND secondMain = WaitForMainWindow(second);
    EXPECT_NE(secondMain, nullptr);
    ::PostMessageW(firstMain, WM_CLOSE, 0, 0);
    if (secondMain)
        ::PostMessageW(secondMain, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(), 0);
    EXPECT_EQ(second.WaitForExit(), 0);
}

TEST_F(ProgramTest, ABackslashInTheCaptionStillKeepsOneCopy) {
    // The caption names the single-instance mutex, and a "\\" in an object's name makes the
    // system refuse it.
    caption_ += L" C:\\Backup";
    WriteConfig(dir_.Path());
    ChildProcess first(Product(dir_.Path()), dir_.Path());
    HWND main = WaitForMainWindow(first);
    ASSERT_NE(main, nullptr);
    TempDir secondDir;
    WriteConfig(secondDir.Path());
    ChildProcess second(Product(secondDir.Path()), secondDir.Path());
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_FALSE(FileExists(secondDir / L"SnapData\\Host.txt")) << "the second copy ran";
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(), 0);
}

struct MalformedList {
    const wchar_t* file;
    std::string bytes;
    const wchar_t* message;
};

TEST_F(ProgramTest, MalformedListEndsStartUpWithAnErrorBoxAndWritesNothing) {
    const MalformedList cases[] = {
        {L"Host.txt", "1\nC:\\A\\\n1\n", L"List index out of bounds (3)"},
        {L"Device.txt", "yes\nE:\\Backup\\C\\A\\\n", L"'yes' is not a valid integer value"},
    };
    for (const MalformedList& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.bytes));
        TempDir dir;
        WriteConfig(dir.Path());
        ASSERT_TRUE(WriteBytes(dir / (L"SnapData\\"s + c.file), c.bytes));
        ChildProcess program(Product(dir.Path()), dir.Path());
        // The title is still the program's built-in one when the box appears.
        HWND box = WaitForTopWindow(L"#32770", L"QX Snap Utility", program.Id());
        ASSERT_NE(box, nullptr) << "no error box";
        EXPECT_EQ(MessageBoxText(box), c.message);
        // Nothing of the half-built window is left to show or save while the box is up.
        EXPECT_EQ(WaitForTopWindow(L"TMainForm", caption_, program.Id(), 0), nullptr);
        EXPECT_EQ(WaitForTopWindow(L"TTrayIconWindow", L"", program.Id(), 0), nullptr);
        ::PostMessageW(box, WM_COMMAND, IDOK, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
        EXPECT_EQ(ReadBytes(dir / (L"SnapData\\"s + c.file)), c.bytes);
        for (const wchar_t* other : {L"Host.txt", L"Device.txt", L"Setting.txt"})
            if (std::wstring(other) != c.file) {
                EXPECT_FALSE(FileExists(dir / (L"SnapData\\"s + other))) << other;
            }
    }
}

TEST_F(ProgramTest, SessionEndSavesWhileTheProgramSitsInTheTray) {
    ChildProcess program(Product(dir_.Path()), dir_.Path());
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    ::PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); }));
    EXPECT_EQ(::SendMessageW(main, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF), TRUE);
    EXPECT_FALSE(FileExists(Data(L"Setting.txt"))) << "asking is not ending";
    ::SendMessageW(main, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    EXPECT_EQ(ReadBytes(Data(L"Host.txt")), ListFile(L""));
    EXPECT_EQ(ReadBytes(Data(L"Device.txt")), ListFile(L""));
    EXPECT_TRUE(FileExists(Data(L"Setting.txt")));
}

TEST_F(ProgramTest, MinimisingGoesToTheTrayAndADoubleClickBringsItBack) {
    ChildProcess program(Product(dir_.Path()), dir_.Path());
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    HWND tray = WaitForTopWindow(L"TTrayIconWindow", L"", program.Id());
    ASSERT_NE(tray, nullptr);
    ::PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); }))
        << "a minimised program leaves the task bar";
    ::PostMessageW(tray, WM_APP + 1, 0, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) && !::IsIconic(main); }));
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == main; }));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
}

TEST_F(ProgramTest, CalledOffSessionEndSavesNothing) {
    ChildProcess program(Product(dir_.Path()), dir_.Path());
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    ::SendMessageW(main, WM_ENDSESSION, FALSE, 0);
    EXPECT_FALSE(FileExists(Data(L"Host.txt")));
    EXPECT_FALSE(FileExists(Data(L"Setting.txt")));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
}

TEST_F(ProgramTest, SecondCopyBringsACoveredFirstCopyToTheFront) {
    ChildProcess first(Product(dir_.Path()), dir_.Path());
    HWND main = WaitForMainWindow(first);
    ASSERT_NE(main, nullptr);
    // Another program's window in front of it.
    HWND cover = ::CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"cover", WS_POPUP | WS_VISIBLE, 0, 0,
                                   800, 600, nullptr, nullptr, nullptr, nullptr);
    ::SetForegroundWindow(cover);
    ASSERT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == cover; }));
    ::SetWindowPos(cover, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    TempDir secondDir;
    WriteConfig(secondDir.Path());
    ChildProcess second(Product(secondDir.Path()), secondDir.Path());
    EXPECT_EQ(second.WaitForExit(), 0);
    EXPECT_TRUE(WaitUntil([&] { return ::GetForegroundWindow() == main; }))
        << "the first copy did not come to the front";
    ::DestroyWindow(cover);
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(first.WaitForExit(), 0);
}

TEST_F(ProgramTest, TrayRestoreBringsTheWindowBack) {
    ChildProcess program(Product(dir_.Path()), dir_.Path());
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    ::PostMessageW(main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(main); }));
    ASSERT_TRUE(ChooseTrayCommand(program, 'R')) << "the tray menu did not open";
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) && !::IsIconic(main); }));
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
}

TEST_F(ProgramTest, TrayCloseWritesTheFilesAndEnds) {
    ChildProcess program(Product(dir_.Path()), dir_.Path());
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    // The mnemonic C chooses "&Close".
    ASSERT_TRUE(ChooseTrayCommand(program, 'C')) << "the tray menu did not open";
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_EQ(ReadBytes(Data(L"Host.txt")), ListFile(L""));
    EXPECT_EQ(ReadBytes(Data(L"Device.txt")), ListFile(L""));
    EXPECT_TRUE(FileExists(Data(L"Setting.txt")));
}

TEST_F(ProgramTest, ADataFileLockedAtStartIsKeptBesideTheNewOne) {
    ASSERT_TRUE(WriteEnglishDataFolder(dir_ / L"SnapData", caption_, SNAPKEEP_LANGUAGE_DIR));
    const std::string original = ListFile(L"1\nC:\\Photos\\\n");
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), original));
    // Another program holds the list open without sharing it while the program starts.
    HANDLE lock = ::CreateFileW(Data(L"Host.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ChildProcess program(Product(dir_.Path()), dir_.Path());
    HWND box = WaitForTopWindow(L"#32770", L"Error", program.Id());
    ASSERT_NE(box, nullptr) << "the user was not told";
    const std::wstring text = MessageBoxText(box);
    EXPECT_TRUE(text.starts_with(L"This data file could not be read.")) << text;
    EXPECT_NE(text.find(Data(L"Host.txt")), std::wstring::npos) << text;
    EXPECT_EQ(text.find(L"Device.txt"), std::wstring::npos) << "a missing file is not reported";
    ::CloseHandle(lock);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    // Told once: no second box while the window runs.
    EXPECT_EQ(WaitForTopWindow(L"#32770", L"Error", program.Id(), 500), nullptr);
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(program.WaitForExit(), 0);
    EXPECT_EQ(ReadBytes(Data(L"Host.txt.unreadable")), original);
    EXPECT_EQ(ReadBytes(Data(L"Host.txt")), ListFile(L"")) << "the session's list is written";
    EXPECT_FALSE(FileExists(Data(L"Device.txt.unreadable")));
    EXPECT_FALSE(FileExists(Data(L"Setting.txt.unreadable")));
}

TEST_F(ProgramTest, ADataFileStillLockedAtCloseIsNotWrittenOver) {
    ASSERT_TRUE(WriteEnglishDataFolder(dir_ / L"SnapData", caption_, SNAPKEEP_LANGUAGE_DIR));
    const std::string original = "[BackupFileType]\r\nPictureExtChecked=1\r\n";
    ASSERT_TRUE(WriteBytes(Data(L"Setting.txt"), original));
    // An earlier start already kept a copy under the first name: it is never written over.
    ASSERT_TRUE(WriteBytes(Data(L"Setting.txt.unreadable"), "earlier"));
    HANDLE lock = ::CreateFileW(Data(L"Setting.txt").c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ChildProcess program(Product(dir_.Path()), dir_.Path());
    HWND box = WaitForTopWindow(L"#32770", L"Error", program.Id());
    ASSERT_NE(box, nullptr);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_EQ(program.WaitForExit(), 0);
    ::CloseHandle(lock);
    EXPECT_EQ(ReadBytes(Data(L"Setting.txt")), original);
    EXPECT_EQ(ReadBytes(Data(L"Setting.txt.unreadable")), "earlier");
    EXPECT_FALSE(FileExists(Data(L"Setting.txt.unreadable2")));
    EXPECT_EQ(ReadBytes(Data(L"Host.txt")), ListFile(L"")) << "the other files are saved";
}

} // namespace

// Finding the enclosure, seen from outside the real programs: Snapkeep.exe on Wine's own device
// services (which list no disk), and SnapkeepSim.exe following its Enclosure.ini as a user
// plugs and unplugs the enclosure.
#include "ProgramFixture.h"

#include "Wait.h"
#include "app/ControlIds.h"

#include <commctrl.h>

#include <chrono>
#include <cstdio>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

class EnclosureProgramTest : public ProgramTest {
protected:
    // Ticked rows in both lists, the English texts.
    void SetUp() override {
        ProgramTest::SetUp();
        ASSERT_TRUE(::CreateDirectoryW(Data(L"Language").c_str(), nullptr));
        ASSERT_TRUE(::CopyFileW((SourceFile(SNAPKEEP_LANGUAGE_DIR) + L"\\English.ini").c_str(),
                                Data(L"Language\\English.ini").c_str(), FALSE));
        ASSERT_TRUE(WriteBytes(Data(L"Device.txt"), "1\r\nQ:\\Backup\\C\\Photos\\\r\n"));
    }
    bool WriteEnclosures(const std::string& text) {
        const std::wstring file = Data(L"Enclosure.ini");
        return WriteBytes(file + L".new", text) &&
               ::MoveFileExW((file + L".new").c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    struct Page {
        HWND drives, status, backup, restore, host;
    };
    static Page PageOf(HWND main) {
        return {FindControl(main, ids::ComboBoxDiskLetter), FindControl(main, ids::LabelDiskStatus),
                FindControl(main, ids::btnBackup), FindControl(main, ids::btnRestore),
                FindControl(main, ids::ListViewHost)};
    }
    static std::wstring SelectedDrive(HWND box) {
        const LRESULT selected = ::SendMessageW(box, CB_GETCURSEL, 0, 0);
        wchar_t entry[16] = {};
        if (selected >= 0 && ::SendMessageW(box, CB_GETLBTEXTLEN, selected, 0) < 16)
            ::SendMessageW(box, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(entry));
        return entry;
    }
    // The window's first activation rescans the drives; once it is the active window and has
    // answered a message of its own, that rescan is over.
    static bool WaitForFirstRescan(HWND main) {
        DWORD_PTR ignored = 0;
        return WaitUntil([&] { return ::GetForegroundWindow() == main; }) &&
               ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
    }
    static int DriveCount(HWND box) {
        return static_cast<int>(::SendMessageW(box, CB_GETCOUNT, 0, 0));
    }
};

TEST_F(EnclosureProgramTest, RealProgramUnderWineFindsNoEnclosure) {
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), "1\r\nC:\\Photos\\\r\n"));
    ChildProcess program(Product(dir_.Path()), dir_.Path());
    HWND main = WaitForMainWindow(program);
    ASSERT_TRUE(main);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }));
    ASSERT_TRUE(WaitForFirstRescan(main));
    const Page page = PageOf(main);
    EXPECT_EQ(WindowText(page.status), L"Disk is not found.");
    EXPECT_EQ(DriveCount(page.drives), 0);
    EXPECT_FALSE(::IsWindowEnabled(page.backup)) << "a host folder is ticked, but no enclosure";
    EXPECT_FALSE(::IsWindowEnabled(page.restore)) << "a device folder is ticked, but no enclosure";
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
}

TEST_F(EnclosureProgramTest, SimulatedProgramFollowsTheEnclosurePluggedInAndOut) {
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), "0\r\nC:\\Photos\\\r\n"));
    ChildProcess program(BuildProgram(L"SnapkeepSim.exe"), dir_.Path());
    HWND main = WaitForMainWindow(program);
    ASSERT_TRUE(main);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }));
    ASSERT_TRUE(WaitForFirstRescan(main));
    const Page page = PageOf(main);
    EXPECT_EQ(WindowText(page.status), L"Disk is not found.") << "no Enclosure.ini yet";
    EXPECT_EQ(DriveCount(page.drives), 0);

    // Plugged in: the letter is listed and selected within a second (the file is looked at
    // every 100 ms); the deadline here leaves room for a loaded machine.
    const auto plugged = std::chrono::steady_clock::now();
    ASSERT_TRUE(WriteEnclosures("[Enclosure]\r\nProfile=inquiry-785\r\nLetters=Q\r\n"));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return WindowText(page.status) == L"Disk has been found." &&
                   SelectedDrive(page.drives) == L"Q:\\";
        },
        5000));
    std::printf("enclosure found %lld ms after the file was written\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - plugged)
                                           .count()));
    EXPECT_EQ(DriveCount(page.drives), 1);
    EXPECT_EQ(SelectedDrive(page.drives), L"Q:\\");
    // The saved device row's folder is not on this enclosure: the row is not shown, so there is
    // nothing to restore.
    EXPECT_FALSE(::IsWindowEnabled(page.restore));
    EXPECT_FALSE(::IsWindowEnabled(page.backup)) << "no host folder is ticked yet";

    ASSERT_TRUE(SetListCheck(page.host, 0, true));
    EXPECT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(page.backup) != FALSE; }, 5000));

    // Unplugged: the box empties and both commands are off.
    ASSERT_TRUE(
        WriteEnclosures("[Enclosure]\r\nProfile=inquiry-785\r\nLetters=Q\r\nAttached=0\r\n"));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return WindowText(page.status) == L"Disk is not found." && DriveCount(page.drives) == 0;
        },
        5000));
    EXPECT_FALSE(::IsWindowEnabled(page.backup));
    EXPECT_FALSE(::IsWindowEnabled(page.restore));

    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
    EXPECT_EQ(ReadBytes(Data(L"Host.txt")), ListFile(L"1\nC:\\Photos\\\n"))
        << "the tick made from outside was saved";
}

TEST_F(EnclosureProgramTest, TheAboutPageShowsTheVersionOfTheProgramsOwnResource) {
    // Read from the exe's own image: the program no longer links version.dll for it.
    ChildProcess program(Product(dir_.Path()), dir_.Path());
    HWND main = WaitForMainWindow(program);
    ASSERT_NE(main, nullptr);
    const std::wstring text = WindowText(FindControl(main, ids::LabelVersion));
    const std::wstring version = L" " SNAPKEEP_VERSION;
    EXPECT_TRUE(text.size() > version.size() && text.ends_with(version))
        << std::string(text.begin(), text.end());
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(program.WaitForExit(), 0);
}

} // namespace

// Opening the job history for the user: a program that runs elevated must never start a viewer
// itself, since the viewer would run elevated too and which one runs is chosen by file
// associations and an environment that unelevated code can change. Under Wine every process
// counts as elevated and there is no desktop shell, so the facts are given through the seam to
// show both sides with a real viewer.
#include "TempDir.h"
#include "Wait.h"
#include "win/OpenForUser.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

// Top-level windows whose title holds `name` (the viewer names the file it shows).
std::vector<HWND> WindowsNaming(const std::wstring& name) {
    struct Search {
        std::wstring name;
        std::vector<HWND> found;
    } search{name, {}};
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            wchar_t title[512] = {};
            ::GetWindowTextW(hwnd, title, 512);
            if (std::wstring(title).find(s.name) != std::wstring::npos && ::IsWindowVisible(hwnd))
                s.found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TEST(OpenForUser, OnlyAProgramThatIsNotElevatedStartsTheViewerItself) {
    struct Case {
        bool elevated, shellWindow;
        win::OpenRoad road;
    };
    const Case cases[] = {
        {false, false, win::OpenRoad::Directly},
        {false, true, win::OpenRoad::Directly},
        {true, true, win::OpenRoad::ThroughShell},
        {true, false, win::OpenRoad::NotAtAll},
    };
    for (const Case& c : cases)
        EXPECT_EQ(win::ChooseOpenRoad(c.elevated, c.shellWindow), c.road)
            << c.elevated << c.shellWindow;

    TempDir dir;
    const std::wstring name = L"History-" + std::to_wstring(::GetCurrentProcessId()) + L".txt";
    ASSERT_TRUE(WriteBytes(dir / name, "Result: Finished\r\n"));

    // Elevated with no shell: nothing is started, whatever the associations say.
    EXPECT_EQ(win::OpenForUser(dir / name, true, false), win::OpenedBy::Nothing);
    // This process under Wine is just that, by its own facts.
    EXPECT_TRUE(win::ProcessIsElevated());
    EXPECT_EQ(::GetShellWindow(), nullptr);
    EXPECT_EQ(win::OpenForUser(dir / name), win::OpenedBy::Nothing);

    // Not elevated: the viewer is started from here, with the rights the user has anyway. It is
    // the only viewer of the file: the two calls above started none.
    EXPECT_EQ(win::OpenForUser(dir / name, false, false), win::OpenedBy::Directly);
    ASSERT_TRUE(WaitUntil([&] { return !WindowsNaming(name).empty(); }, 20000))
        << "no viewer showed the file";
    EXPECT_EQ(WindowsNaming(name).size(), 1u);
    for (HWND viewer : WindowsNaming(name))
        ::PostMessageW(viewer, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return WindowsNaming(name).empty(); }, 20000));
}

} // namespace

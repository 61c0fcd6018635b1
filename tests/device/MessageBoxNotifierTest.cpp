#include "device/MessageBoxNotifier.h"

#include "device/IdentifyChip.h"
#include "device/SimulatedBridge.h"
#include "win/Handle.h"
#include "Wait.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <thread>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

std::wstring TextOf(HWND window) {
    wchar_t text[256] = {};
    ::GetWindowTextW(window, text, 256);
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    ::GetClassNameW(window, name, 64);
    return name;
}

// What another thread found while the box was up.
struct Observed {
    bool found = false;
    std::wstring caption;
    std::wstring message; // the text of the box's static control other than the icon
    bool hasOkButton = false;
    bool errorIcon = false;
    bool otherWindowEnabled = false;
};

BOOL CALLBACK CloseDialogs(HWND window, LPARAM) {
    if (ClassOf(window) == L"#32770")
        ::PostMessageW(window, WM_CLOSE, 0, 0);
    return TRUE;
}

// Watches for the family-8 box, reads it, then dismisses it with its OK button. If the box never
// appears by its caption, any dialog of the identifying thread is closed so the test ends.
void WatchAndDismiss(DWORD identifyingThread, HWND otherWindow, Observed& seen) {
    HWND box = nullptr;
    seen.found = WaitUntil([&] {
        box = ::FindWindowW(L"#32770", L"Error");
        return box != nullptr && ::IsWindowVisible(box);
    });
    if (!seen.found) {
        ::EnumThreadWindows(identifyingThread, CloseDialogs, 0);
        return;
    }
    seen.caption = TextOf(box);
    seen.otherWindowEnabled = ::IsWindowEnabled(otherWindow) != FALSE;
    const HICON errorIcon = ::LoadIconW(nullptr, IDI_ERROR);
    for (HWND child = ::GetWindow(box, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (ClassOf(child) != L"Static")
            continue;
        if ((::GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            seen.errorIcon =
                seen.errorIcon ||
                reinterpret_cast<HICON>(::SendMessageW(child, STM_GETICON, 0, 0)) == errorIcon;
        else if (!TextOf(child).empty())
            seen.message = TextOf(child);
    }
    const HWND ok = ::GetDlgItem(box, IDOK);
    seen.hasOkButton = ok != nullptr && ::IsWindowVisible(ok);
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(ok));
}

TEST(MessageBoxNotifier, Family8MessageIsShownAndIdentificationGoesOn) {
    // A window of the identifying thread: a task-modal box would disable it while it shows.
    const HWND other = ::CreateWindowExW(0, L"STATIC", L"Snapkeep test window", WS_OVERLAPPEDWINDOW,
                                         0, 0, 200, 100, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    ::ShowWindow(other, SW_SHOWNOACTIVATE);

    for (const char* name :
         {"family8-chipinfo-refused", "family8-chipinfo-malformed", "family8-chipinfo-revision"}) {
        SCOPED_TRACE(name);
        SimulatedBridge bridge(*FindBridgeProfile(name));
        win::MessageBoxNotifier notifier;
        Observed seen;
        std::thread watcher(WatchAndDismiss, ::GetCurrentThreadId(), other, std::ref(seen));
        const ChipFamily family = IdentifyChip(bridge, notifier, bridge.DevicePath());
        watcher.join();

        ASSERT_TRUE(seen.found);
        EXPECT_EQ(seen.caption, L"Error");
        EXPECT_EQ(seen.message, L"Get chip information fail !");
        EXPECT_TRUE(seen.hasOkButton);
        EXPECT_TRUE(seen.errorIcon);
        EXPECT_TRUE(seen.otherWindowEnabled) << "the box must not be task-modal";
        EXPECT_EQ(family, 8);
        EXPECT_EQ(bridge.SentCommands().size(), 2u);
    }
    ::DestroyWindow(other);
}

} // namespace

// The tray icon against a taskbar that comes and goes: started at logon, the program may come
// before the taskbar, and Explorer may restart under it. Either way the icon must end up in the
// notification area, since with no window shown it is the only way back to the program. The
// shell's service is wrapped so a test can stand for a taskbar that is not there yet; once it is
// there, the real service takes the icon.
#include "Wait.h"
#include "ui/TrayIcon.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <vector>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

class TrayIconTest : public testing::Test {
protected:
    void SetUp() override {
        icon_ = ::LoadIconW(nullptr, IDI_APPLICATION);
        tray_.ShellNotify = [this](DWORD message, NOTIFYICONDATAW& data) {
            calls_.push_back(message);
            if (!taskbarThere_)
                return false;
            return ::Shell_NotifyIconW(message, &data) != FALSE;
        };
    }
    int Adds() const {
        int n = 0;
        for (DWORD m : calls_)
            n += m == NIM_ADD;
        return n;
    }
    // The shell still knows the icon: a change to it is taken.
    bool ShellHasIcon() {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = tray_.Window();
        data.uID = 1;
        data.uFlags = NIF_TIP;
        lstrcpynW(data.szTip, L"still there", ARRAYSIZE(data.szTip));
        return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
    }

    // What an Explorer restart does to the icons: the new taskbar has none.
    void ForgetIcon() {
        NOTIFYICONDATAW data{};
        data.cbSize = sizeof data;
        data.hWnd = tray_.Window();
        data.uID = 1;
        ::Shell_NotifyIconW(NIM_DELETE, &data);
        ASSERT_FALSE(ShellHasIcon());
    }

    HICON icon_ = nullptr;
    ui::TrayIcon tray_;
    std::vector<DWORD> calls_;
    bool taskbarThere_ = false;
};

TEST_F(TrayIconTest, AnIconRefusedAtStartIsAddedOnceTheTaskbarAppears) {
    EXPECT_FALSE(tray_.Create(icon_, L"Velmora Snap")) << "no taskbar yet";
    EXPECT_FALSE(tray_.Present());
    // Asked again and again while the taskbar is missing (the timer's turns come through the
    // message loop, which the wait runs).
    ASSERT_TRUE(WaitUntil([&] { return Adds() >= 3; }, 3 * ui::TrayIcon::kRetryMs + 5000));
    EXPECT_FALSE(tray_.Present());

    taskbarThere_ = true;
    ASSERT_TRUE(WaitUntil([&] { return tray_.Present(); }, ui::TrayIcon::kRetryMs + 5000))
        << "the icon was not added once the taskbar was there";
    EXPECT_TRUE(ShellHasIcon());
    // Added once: no more asking after that.
    const int added = Adds();
    WaitUntil([] { return false; }, 2 * ui::TrayIcon::kRetryMs);
    EXPECT_EQ(Adds(), added);
}

TEST_F(TrayIconTest, ATaskbarCreatedBroadcastAddsTheIconAgain) {
    taskbarThere_ = true;
    ASSERT_TRUE(tray_.Create(icon_, L"Velmora Snap"));
    EXPECT_EQ(Adds(), 1);
    const UINT taskbarCreated = ::RegisterWindowMessageW(L"TaskbarCreated");
    ASSERT_NE(taskbarCreated, 0u);

    // Explorer restarted: its new taskbar has no icons and says so to every top-level window.
    ForgetIcon();
    ::PostMessageW(HWND_BROADCAST, taskbarCreated, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return Adds() == 2; }, 5000)) << "the broadcast was not heeded";
    EXPECT_TRUE(tray_.Present());
    EXPECT_TRUE(ShellHasIcon());

    // The message sent while the taskbar still shows the icon (any program may send it): the
    // icon is there, so nothing more is asked.
    ::PostMessageW(tray_.Window(), taskbarCreated, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return calls_.size() >= 4; }, 5000));
    EXPECT_TRUE(tray_.Present());
    const size_t callsBefore = calls_.size();

    // A new taskbar that is not ready to take icons yet: asked again until it is.
    ForgetIcon();
    taskbarThere_ = false;
    ::PostMessageW(tray_.Window(), taskbarCreated, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return Adds() >= 5; }, 2 * ui::TrayIcon::kRetryMs + 5000));
    EXPECT_GT(calls_.size(), callsBefore);
    EXPECT_FALSE(tray_.Present());
    taskbarThere_ = true;
    EXPECT_TRUE(WaitUntil([&] { return tray_.Present(); }, ui::TrayIcon::kRetryMs + 5000));

    // Taken down for good: a later broadcast adds nothing.
    tray_.Remove();
    const int added = Adds();
    ::PostMessageW(tray_.Window(), taskbarCreated, 0, 0);
    WaitUntil([] { return false; }, 500);
    EXPECT_EQ(Adds(), added);
    EXPECT_FALSE(tray_.Present());
}

} // namespace

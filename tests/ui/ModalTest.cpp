// Modal showing with real windows: the owner is disabled while the nested loop runs and
// enabled again before the modal window hides; a quit met inside is passed on.
#include "Wait.h"
#include "ui/Application.h"
#include "ui/Timer.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

class PlainWindow : public ui::Window {
public:
    explicit PlainWindow(const wchar_t* caption) {
        CreateTopLevel(L"SnapkeepTestWindow", nullptr, caption, WS_OVERLAPPEDWINDOW, 0, 200, 100,
                       nullptr);
    }
    ~PlainWindow() override { Destroy(); }
    // Records whether the owner was enabled when this window was hidden.
    bool ownerEnabledAtHide = false;
    HWND owner = nullptr;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_SHOWWINDOW && !wParam && owner)
            ownerEnabledAtHide = ::IsWindowEnabled(owner) != FALSE;
        return Default(msg, wParam, lParam);
    }
};

TEST(ShowModal, DisablesTheOwnerUntilAResultIsSet) {
    ui::Application::Instance().Initialize();
    PlainWindow owner(L"Owner");
    PlainWindow modal(L"Modal");
    modal.owner = owner.Handle();
    ::ShowWindow(owner.Handle(), SW_SHOW);

    bool ownerDisabledInside = false;
    bool modalVisibleInside = false;
    ui::Timer timer;
    timer.OnTimer = [&] {
        ownerDisabledInside = !::IsWindowEnabled(owner.Handle());
        modalVisibleInside = ::IsWindowVisible(modal.Handle()) != FALSE;
        modal.SetModalResult(7);
    };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    EXPECT_EQ(modal.ShowModal(), 7);
    timer.SetEnabled(false);
    EXPECT_TRUE(ownerDisabledInside);
    EXPECT_TRUE(modalVisibleInside);
    EXPECT_TRUE(modal.ownerEnabledAtHide) << "the owner must be enabled before the modal hides";
    EXPECT_TRUE(::IsWindowEnabled(owner.Handle()));
    EXPECT_FALSE(::IsWindowVisible(modal.Handle()));
    EXPECT_FALSE(modal.InModalLoop());
}

TEST(ShowModal, AnOwnerHiddenWhenTheLoopStartsComesBackDisabled) {
    // The main window in the tray when the enclosure's button opens the job window, then shown
    // again (tray icon, a second copy of the program) while the job runs.
    ui::Application::Instance().Initialize();
    PlainWindow owner(L"Owner");
    PlainWindow modal(L"Modal");
    ASSERT_FALSE(::IsWindowVisible(owner.Handle()));

    bool shownButDisabled = false;
    ui::Timer timer;
    timer.OnTimer = [&] {
        ::ShowWindow(owner.Handle(), SW_SHOW);
        shownButDisabled = ::IsWindowVisible(owner.Handle()) && !::IsWindowEnabled(owner.Handle());
        modal.SetModalResult(1);
    };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    modal.ShowModal();
    timer.SetEnabled(false);
    EXPECT_TRUE(shownButDisabled) << "the owner took input while the modal window was up";
    EXPECT_TRUE(::IsWindowEnabled(owner.Handle())) << "enabled again when the loop ends";
}

TEST(ShowModal, ClosingGivesCancelAndAQuitIsPassedOn) {
    ui::Application::Instance().Initialize();
    PlainWindow modal(L"Modal");
    ui::Timer timer;
    timer.OnTimer = [&] { ::PostMessageW(modal.Handle(), WM_CLOSE, 0, 0); };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    EXPECT_EQ(modal.ShowModal(), IDCANCEL);
    EXPECT_TRUE(::IsWindow(modal.Handle())) << "closing a modal window hides it, keeps it";

    timer.OnTimer = [&] { ::PostQuitMessage(3); };
    EXPECT_EQ(modal.ShowModal(), IDCANCEL);
    timer.SetEnabled(false);
    // The quit waits in this thread's queue for the outer loop.
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
        << "the quit was swallowed by the nested loop";
    EXPECT_EQ(msg.wParam, 3u);
}

TEST(Timer, IntervalZeroOrDisabledGivesNoTicks) {
    ui::Timer timer;
    timer.SetEnabled(true);
    timer.SetInterval(0);
    EXPECT_FALSE(timer.Running());
    timer.SetInterval(50);
    EXPECT_TRUE(timer.Running());
    timer.SetEnabled(false);
    EXPECT_FALSE(timer.Running());
    int ticks = 0;
    timer.OnTimer = [&] { ++ticks; };
    timer.SetEnabled(true);
    EXPECT_TRUE(WaitUntil([&] { return ticks >= 2; }, 5000));
}

} // namespace

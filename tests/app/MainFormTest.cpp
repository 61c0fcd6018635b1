// The main window in-process: its fixed size, its reaction to activation and device changes,
// the button timer, and where it looks for its data.
#include "MainFormFixture.h"

#include "Wait.h"
#include "ui/Control.h"

#include <dbt.h>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

TEST_F(MainFormTest, KeepsItsBuiltInSizeWhateverAsks) {
    TMainForm& form = Form();
    RECT before;
    ::GetWindowRect(form.Handle(), &before);
    EXPECT_EQ(before.right - before.left, ui::Scale(608));
    EXPECT_EQ(before.bottom - before.top, ui::Scale(454));
    const LONG style = ::GetWindowLongW(form.Handle(), GWL_STYLE);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_TRUE(style & WS_MINIMIZEBOX);

    ::SetWindowPos(form.Handle(), nullptr, 10, 10, 900, 700, SWP_NOZORDER);
    ::MoveWindow(form.Handle(), 20, 20, 100, 50, TRUE);
    ::SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    RECT after;
    ::GetWindowRect(form.Handle(), &after);
    EXPECT_EQ(after.right - after.left, before.right - before.left);
    EXPECT_EQ(after.bottom - after.top, before.bottom - before.top);
    EXPECT_EQ(after.left, 20) << "moving is still allowed";
}

TEST_F(MainFormTest, DeviceChangesThatRescan) {
    TMainForm& form = Form();
    struct Case {
        WPARAM event;
        int rescans;
    };
    const Case cases[] = {{DBT_DEVICEARRIVAL, 0},
                          {DBT_DEVNODES_CHANGED, 1},
                          {DBT_DEVICEREMOVECOMPLETE, 1},
                          {DBT_DEVICEQUERYREMOVE, 0},
                          {DBT_CONFIGCHANGED, 0}};
    for (const Case& c : cases) {
        const int before = form.RescanCount();
        // The message is consumed with a result of 0 in every case.
        EXPECT_EQ(::SendMessageW(form.Handle(), WM_DEVICECHANGE, c.event, 0), 0);
        EXPECT_EQ(form.RescanCount() - before, c.rescans) << std::hex << c.event;
    }
}

// Another top-level window of the program, as the job window will be.
class OtherForm : public ui::Window {
public:
    OtherForm() {
        CreateTopLevel(L"TOtherFormForTest", nullptr, L"Other", WS_OVERLAPPEDWINDOW, 0, 100, 100,
                       nullptr);
    }
    ~OtherForm() override { Destroy(); }
};

TEST_F(MainFormTest, FirstActivationAndReturnsFromAnotherFormRescan) {
    TMainForm& form = Form();
    EXPECT_EQ(form.RescanCount(), 0);
    ::ShowWindow(form.Handle(), SW_SHOW);
    ::SetForegroundWindow(form.Handle());
    EXPECT_TRUE(WaitUntil([&] { return form.RescanCount() == 1; }));

    // Back from another program, a message box or a dialog: no new rescan.
    HWND messageBoxLike = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr,
                                            nullptr, nullptr, nullptr);
    ::SendMessageW(form.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    ::SendMessageW(form.Handle(), WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(messageBoxLike));
    EXPECT_EQ(form.RescanCount(), 1);
    ::DestroyWindow(messageBoxLike);

    // Back from another of the program's own windows (the job window closing): a rescan.
    OtherForm other;
    ::SendMessageW(form.Handle(), WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(other.Handle()));
    EXPECT_EQ(form.RescanCount(), 2);
}

TEST_F(MainFormTest, ButtonTimerTakesTheConfiguredInterval) {
    struct Case {
        const char* config;
        bool running;
        int interval;
    };
    const Case cases[] = {{"", true, 300},
                          {"BtnGpioVisitGapMilSec=120\r\n", true, 120},
                          {"BtnGpioVisitGapMilSec=0\r\n", false, 0}};
    for (const Case& c : cases) {
        if (*c.config) {
            ASSERT_TRUE(WriteProductConfig(Data(L"qconfig.inis"), c.config));
        }
        TMainForm& form = Form();
        EXPECT_EQ(form.TimerGpioBtn.Running(), c.running) << c.config;
        EXPECT_EQ(form.TimerGpioBtn.Interval(), c.interval) << c.config;
    }
}

TEST_F(MainFormTest, ReadsEverythingBelowTheCurrentDirectory) {
    ASSERT_TRUE(WriteProductConfig(Data(L"qconfig.inis"), "MainFormCaption=Here And Now\r\n"));
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), "1\r\nC:\\Here\\\r\n"));
    TMainForm& form = Form();
    EXPECT_EQ(form.StartDirectory, dir_.Path());
    EXPECT_EQ(form.Caption(), L"Here And Now");
    ASSERT_EQ(form.ListViewHost.Count(), 1);
    EXPECT_EQ(form.ListViewHost.Text(0), L"C:\\Here\\");
    EXPECT_TRUE(form.ListViewHost.Checked(0));
    // Both command buttons start disabled: there is no enclosure drive yet.
    EXPECT_FALSE(form.btnBackup.Enabled());
    EXPECT_FALSE(form.btnRestore.Enabled());
    EXPECT_FALSE(form.btnHostDel.Enabled());
    EXPECT_FALSE(form.btnHelp.Enabled());
    EXPECT_EQ(form.ComboBoxDiskLetter.ItemIndex(), -1);
}

TEST_F(MainFormTest, VersionTextHasALeadingBlankAndFourParts) {
    TMainForm& form = Form();
    // The test executable has no version resource: the four parts are zero.
    EXPECT_EQ(form.VersionText, " 0.0.0.0");
}

} // namespace

// snapdrive: drives a running Snapkeep window from the command line, for the demo and the
// screenshots (the window is found by its class and caption).
//
//   snapdrive wait CAPTION            wait until the main window is shown; print its rectangle
//   snapdrive tab CAPTION INDEX       click the page tab INDEX (0, 1, 2)
//   snapdrive close CAPTION           close the main window as its close box does
//   snapdrive language CAPTION INDEX  choose entry INDEX of the language box
//   snapdrive drives CAPTION          wait until an enclosure drive is selected; print the entries
//   snapdrive backup CAPTION          click Backup once the enclosure has been found
//   snapdrive job CAPTION STATE       wait until the job window is scanning, copying (gauge
//                                     part-way), has failure lines, or has finished; print
//                                     its rectangle
#include "ProcessDriver.h"
#include "Wait.h"
#include "app/ControlIds.h"
#include "job/JobControlIds.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <string>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "snapdrive: %s\n", what);
    return 1;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return Fail("usage: snapdrive wait|tab|close|language|drives CAPTION [INDEX]");
    const std::wstring command = argv[1];
    HWND main = WaitForTopWindow(L"TMainForm", argv[2], 0, 30000);
    if (!main || !WaitUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 30000))
        return Fail("the main window did not appear");
    const int index = argc > 3 ? _wtoi(argv[3]) : 0;
    // Every command ends with the window fully painted, ready for a screenshot.
    auto repaint = [&] {
        ::RedrawWindow(main, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        DWORD_PTR ignored = 0;
        ::SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    };
    if (command == L"wait") {
        repaint();
        RECT rect;
        ::GetWindowRect(main, &rect);
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top);
        return 0;
    }
    if (command == L"tab") {
        HWND tabs = FindControl(main, ids::PageControl1);
        if (!tabs)
            return Fail("no page control");
        ClickTab(tabs, index);
        if (!WaitUntil([&] { return ::SendMessageW(tabs, TCM_GETCURSEL, 0, 0) == index; }))
            return Fail("the page did not change");
        repaint();
        return 0;
    }
    if (command == L"language") {
        HWND box = FindControl(main, ids::ComboBoxLanguage);
        if (!box)
            return Fail("no language box");
        ::SendMessageW(box, CB_SETCURSEL, index, 0);
        // The notice the box sends when the user picks an entry.
        ::SendMessageW(::GetParent(box), WM_COMMAND,
                       MAKEWPARAM(ids::ComboBoxLanguage, CBN_SELCHANGE),
                       reinterpret_cast<LPARAM>(box));
        repaint();
        return 0;
    }
    if (command == L"backup") {
        HWND drives = FindControl(main, ids::ComboBoxDiskLetter);
        HWND backup = FindControl(main, ids::btnBackup);
        if (!WaitUntil(
                [&] {
                    return ::SendMessageW(drives, CB_GETCURSEL, 0, 0) >= 0 &&
                           ::IsWindowEnabled(backup);
                },
                30000))
            return Fail("no enclosure found");
        // Posted: the click's handler runs the whole job.
        ::PostMessageW(backup, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == L"job" && argc > 3) {
        HWND job = WaitForTopWindow(L"TCopyFileForm", argv[2], 0, 30000);
        if (!job)
            return Fail("no job window");
        const std::wstring state = argv[3];
        auto shown = [&](int id) { return ::IsWindowVisible(FindControl(job, id)) != FALSE; };
        auto reached = [&] {
            if (!::IsWindowVisible(job))
                return false;
            const LRESULT gauge =
                ::SendMessageW(FindControl(job, ids::CGaugeTotal), PBM_GETPOS, 0, 0);
            if (state == L"scanning")
                return shown(ids::btnCancel) && !shown(ids::CGaugeTotal);
            if (state == L"copying")
                return shown(ids::btnPause) && gauge >= 20 && gauge <= 80;
            if (state == L"failures")
                return ::SendMessageW(FindControl(job, ids::ListBoxFiles), LB_GETCOUNT, 0, 0) > 0;
            return shown(ids::btnClose) && shown(ids::CGaugeTotal); // finished
        };
        if (!WaitUntil(reached, 60000))
            return Fail("the job window did not reach that state");
        RECT rect;
        ::GetWindowRect(job, &rect);
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top);
        return 0;
    }
    if (command == L"drives") {
        HWND box = FindControl(main, ids::ComboBoxDiskLetter);
        if (!box || !WaitUntil([&] { return ::SendMessageW(box, CB_GETCURSEL, 0, 0) >= 0; }, 30000))
            return Fail("no enclosure drive was found");
        const int count = static_cast<int>(::SendMessageW(box, CB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t entry[16] = {};
            if (::SendMessageW(box, CB_GETLBTEXTLEN, i, 0) < 16)
                ::SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(entry));
            std::printf("%ls\n", entry);
        }
        repaint();
        return 0;
    }
    if (command == L"close") {
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        return WaitUntil([&] { return !::IsWindow(main); }) ? 0 : Fail("the window stayed");
    }
    return Fail("unknown command");
}

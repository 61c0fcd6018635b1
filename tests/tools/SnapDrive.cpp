// snapdrive: drives a running Snapkeep window from the command line, for the demo and the
// screenshots (the window is found by its class and caption).
//
//   snapdrive wait CAPTION            wait until the main window is shown; print its rectangle
//   snapdrive tab CAPTION INDEX       click the page tab INDEX (0, 1, 2)
//   snapdrive close CAPTION           close the main window as its close box does
//   snapdrive language CAPTION INDEX  choose entry INDEX of the language box
//   snapdrive drives CAPTION          wait until an enclosure drive is selected; print the entries
//   snapdrive backup CAPTION          click Backup once the enclosure has been found
//   snapdrive job CAPTION [STATE [MS]]  wait (at most MS, default a minute) until the job window
//                                     shows, or is scanning, in the copy pass ("copypass"),
//                                     copying with the gauge part-way, has failure lines, or
//                                     has finished; print its rectangle
//   snapdrive jobtext CAPTION         print the job window's labels and failure lines
//   snapdrive jobdone CAPTION         wait until the job window has closed
//   snapdrive rows CAPTION host|device           print the rows of a folder list ("[x] path")
//   snapdrive tick CAPTION host|device INDEX     tick row INDEX of a folder list
//   snapdrive click CAPTION backup|restore       click a command button
//   snapdrive window CLASS CAPTION    wait until another program's window is shown (the
//                                     installer's is a dialog, "#32770"); print its rectangle
//   snapdrive press CLASS CAPTION ID  click the button ID of that wizard once it shows a page
//                                     (the installer's next button is 1)
//   snapdrive answer CAPTION ID [SECONDS]  wait (30 s) for a message box of that caption; print
//                                     its text and answer it with button ID (6 yes, 7 no)
// Captions of other programs' windows are compared without trailing spaces (the uninstaller's
// pages add one).
#include "ProcessDriver.h"
#include "Wait.h"
#include "app/ControlIds.h"
#include "job/JobControlIds.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cwchar>
#include <string>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "snapdrive: %s\n", what);
    return 1;
}

// The visible job window of the program whose main window is `main`, or null.
HWND JobWindow(HWND main, const std::wstring& caption) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(main, &processId);
    HWND job = WaitForTopWindow(L"TCopyFileForm", caption, processId, 0);
    return job && ::IsWindowVisible(job) ? job : nullptr;
}

HWND FolderList(HWND main, const std::wstring& which) {
    return FindControl(main, which == L"device" ? ids::ListViewDevice : ids::ListViewHost);
}

// Waits until `window` is shown and painted, then prints its rectangle for the screenshot.
int PrintWindowRect(HWND window) {
    if (!window || !WaitUntil([&] { return ::IsWindowVisible(window) != FALSE; }, 30000))
        return Fail("the window did not appear");
    ::RedrawWindow(window, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
    DWORD_PTR ignored = 0;
    ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
    RECT rect;
    ::GetWindowRect(window, &rect);
    std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                rect.bottom - rect.top);
    return 0;
}

std::wstring TrimmedText(HWND hwnd) {
    std::wstring text = WindowText(hwnd);
    text.erase(text.find_last_not_of(L' ') + 1);
    return text;
}

// A shown top-level window of `className` and `caption`; with `owned`, only one that has an
// owner (a message box, rather than the dialog it belongs to).
HWND WaitForOtherWindow(const std::wstring& className, const std::wstring& caption, bool owned,
                        unsigned timeoutMs = 30000) {
    struct Search {
        const std::wstring& className;
        const std::wstring& caption;
        bool owned;
        HWND found;
    } search{className, caption, owned, nullptr};
    WaitUntil(
        [&] {
            ::EnumWindows(
                [](HWND hwnd, LPARAM param) -> BOOL {
                    auto* s = reinterpret_cast<Search*>(param);
                    wchar_t name[256] = {};
                    ::GetClassNameW(hwnd, name, ARRAYSIZE(name));
                    if (s->className != name || !::IsWindowVisible(hwnd) ||
                        (s->owned && !::GetWindow(hwnd, GW_OWNER)) ||
                        TrimmedText(hwnd) != s->caption)
                        return TRUE;
                    s->found = hwnd;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

// Clicks button `id` of `window` as the button itself would report the click.
int PressButton(HWND window, int id) {
    if (!window)
        return Fail("the window did not appear");
    ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(window, id)));
    return 0;
}

// Clicks button `id` of a wizard (the installer), which shows its pages as child dialogs, once
// a page and the button are shown. Under Wine the wizard now and then drops a click that comes
// while it is still setting up its first page: a script clicks again if nothing follows.
int PressWizardButton(HWND window, int id) {
    HWND button = window ? ::GetDlgItem(window, id) : nullptr;
    if (!WaitUntil(
            [&] {
                HWND page = ::FindWindowExW(window, nullptr, L"#32770", nullptr);
                return button && ::IsWindowEnabled(button) && page && ::IsWindowVisible(page);
            },
            30000))
        return Fail("the window shows no page with that button");
    return PressButton(window, id);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return Fail("usage: snapdrive COMMAND CAPTION [ARGUMENTS] (see the source's header)");
    const std::wstring command = argv[1];
    if (command == L"window" && argc > 3)
        return PrintWindowRect(WaitForOtherWindow(argv[2], argv[3], false));
    if (command == L"press" && argc > 4)
        return PressWizardButton(WaitForOtherWindow(argv[2], argv[3], false), _wtoi(argv[4]));
    if (command == L"answer" && argc > 3) {
        const unsigned seconds = argc > 4 ? _wtoi(argv[4]) : 30;
        HWND box = WaitForOtherWindow(L"#32770", argv[2], true, seconds * 1000);
        if (box)
            std::printf("%ls\n", MessageBoxText(box).c_str());
        return PressButton(box, _wtoi(argv[3]));
    }
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
    if (command == L"wait")
        return PrintWindowRect(main);
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
    if (command == L"job") {
        HWND job = nullptr;
        if (!WaitUntil([&] { return (job = JobWindow(main, argv[2])) != nullptr; }, 60000))
            return Fail("the job window did not show");
        const std::wstring state = argc > 3 ? argv[3] : L"shown";
        auto shown = [&](int id) { return ::IsWindowVisible(FindControl(job, id)) != FALSE; };
        // Visibility is read without the window's help; anything else asks the window, which
        // does not answer while it waits out its finished text before closing.
        auto reached = [&] {
            if (!::IsWindowVisible(job))
                return false;
            if (state == L"shown")
                return true;
            if (state == L"scanning")
                return shown(ids::btnCancel) && !shown(ids::CGaugeTotal);
            if (state == L"copypass")
                return shown(ids::btnPause);
            if (state == L"copying")
                return shown(ids::btnPause) &&
                       ::SendMessageW(FindControl(job, ids::CGaugeTotal), PBM_GETPOS, 0, 0) >= 20 &&
                       ::SendMessageW(FindControl(job, ids::CGaugeTotal), PBM_GETPOS, 0, 0) <= 80;
            if (state == L"midfile") { // the gauge and the file's bar both part-way
                const auto position = [&](int id) {
                    return ::SendMessageW(FindControl(job, id), PBM_GETPOS, 0, 0);
                };
                const LRESULT gauge = position(ids::CGaugeTotal);
                const LRESULT bar = position(ids::ProgressBarSingle);
                return shown(ids::btnPause) && gauge >= 15 && gauge <= 85 && bar >= 20 && bar <= 80;
            }
            if (state == L"failures")
                return ::SendMessageW(FindControl(job, ids::ListBoxFiles), LB_GETCOUNT, 0, 0) > 0;
            return shown(ids::btnClose) && shown(ids::CGaugeTotal); // finished
        };
        const unsigned timeoutMs = argc > 4 ? static_cast<unsigned>(_wtoi(argv[4])) : 60000;
        if (!WaitUntil(reached, timeoutMs))
            return Fail("the job window did not reach that state");
        RECT rect;
        ::GetWindowRect(job, &rect);
        std::printf("%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top);
        return 0;
    }
    if (command == L"watch") {
        // The copy pass as a user sees it: a line "<ms> <gauge %> <time left s>" each time the
        // gauge or the time left changes, and "end <ms>" when the pass has ended; the times
        // from the start of the watch.
        HWND job = nullptr;
        if (!WaitUntil([&] { return (job = JobWindow(main, argv[2])) != nullptr; }, 60000))
            return Fail("the job window did not show");
        const ULONGLONG start = ::GetTickCount64();
        auto shown = [&](int id) { return ::IsWindowVisible(FindControl(job, id)) != FALSE; };
        int lastGauge = -1;
        std::wstring lastLeft;
        bool copying = false;
        while (::IsWindow(job) && ::IsWindowVisible(job)) {
            const ULONGLONG now = ::GetTickCount64() - start;
            if (shown(ids::btnPause) || shown(ids::btnRestart)) {
                copying = true;
                const int gauge = static_cast<int>(
                    ::SendMessageW(FindControl(job, ids::CGaugeTotal), PBM_GETPOS, 0, 0));
                const std::wstring left = WindowText(FindControl(job, ids::LabelTimeLeft));
                if (gauge != lastGauge || left != lastLeft) {
                    int h = 0, m = 0, sec = 0;
                    const size_t colon = left.rfind(L": ");
                    if (colon != std::wstring::npos)
                        std::swscanf(left.c_str() + colon + 2, L"%d:%d:%d", &h, &m, &sec);
                    std::printf("%llu %d %d\n", now, gauge, h * 3600 + m * 60 + sec);
                    std::fflush(stdout);
                    lastGauge = gauge;
                    lastLeft = left;
                }
            } else if (copying && shown(ids::btnClose)) {
                std::printf("end %llu\n", now);
                return 0;
            }
            ::Sleep(20);
        }
        return copying ? Fail("the window closed during the copy") : Fail("no copy pass");
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
    if (command == L"rows") {
        HWND list = FolderList(main, argc > 3 ? argv[3] : L"");
        for (int i = 0; list && i < ListCount(list); ++i)
            std::printf("[%c] %ls\n", ListChecked(list, i) ? 'x' : ' ',
                        ListItemText(list, i).c_str());
        return list ? 0 : Fail("no such list");
    }
    if (command == L"tick") {
        HWND list = FolderList(main, argc > 3 ? argv[3] : L"");
        const int row = argc > 4 ? _wtoi(argv[4]) : 0;
        return list && SetListCheck(list, row, true) ? 0 : Fail("the row could not be ticked");
    }
    if (command == L"click") {
        const bool backup = argc > 3 && std::wstring(argv[3]) == L"backup";
        HWND button = FindControl(main, backup ? ids::btnBackup : ids::btnRestore);
        if (!button || !WaitUntil([&] { return ::IsWindowEnabled(button) != FALSE; }, 10000))
            return Fail("the command is not enabled");
        // Posted: the command runs the job window's own loop until the job ends.
        ::PostMessageW(button, BM_CLICK, 0, 0);
        return 0;
    }
    if (command == L"jobtext") {
        HWND job = JobWindow(main, argv[2]);
        if (!job)
            return Fail("no job window");
        for (int id : {ids::LabelStatus, ids::LabelTotalFiles, ids::LabelFinishedFiles,
                       ids::LabelTimeSpent, ids::LabelTimeLeft})
            if (HWND label = FindControl(job, id))
                std::printf("%ls\n", WindowText(label).c_str());
        if (HWND failures = FindControl(job, ids::ListBoxFiles)) {
            const int count = static_cast<int>(::SendMessageW(failures, LB_GETCOUNT, 0, 0));
            for (int i = 0; i < count; ++i) {
                std::wstring line(
                    static_cast<size_t>(::SendMessageW(failures, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
                line.resize(static_cast<size_t>(::SendMessageW(
                    failures, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
                std::printf("failure: %ls\n", line.c_str());
            }
        }
        return 0;
    }
    if (command == L"jobdone") {
        if (!WaitUntil([&] { return JobWindow(main, argv[2]) == nullptr; }, 600000))
            return Fail("the job window did not close");
        return 0;
    }
    if (command == L"close") {
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        return WaitUntil([&] { return !::IsWindow(main); }) ? 0 : Fail("the window stayed");
    }
    return Fail("unknown command");
}

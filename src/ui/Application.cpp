#include "ui/Application.h"

#include "ui/Messages.h"
#include "ui/Window.h"
#include "win/Text.h"

#include <commctrl.h>

namespace snapkeep::ui {

Application& Application::Instance() {
    static Application application;
    return application;
}

void Application::Initialize() {
    // A volume that is not ready (an empty card reader, an enclosure being unplugged) fails the
    // call that touched it instead of stopping the program in the system's "insert a disk"
    // box: the drive rescan and the job meet such volumes and handle the failure themselves.
    ::SetErrorMode(::GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES |
                                                       ICC_PROGRESS_CLASS | ICC_TAB_CLASSES |
                                                       ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    if (window_)
        return;
    RegisterWindowClass(L"TApplication", WndProc);
    // A hidden top-level window, never shown: FindWindow finds hidden windows too, and a
    // top-level one (unlike a message-only window) also hears the system's broadcasts.
    window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"TApplication", win::AnsiToWide(title_).c_str(),
                                WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                                nullptr);
}

void Application::SetTitle(const std::string& title) {
    title_ = title;
    if (window_)
        ::SetWindowTextA(window_, title_.c_str());
}

void Application::Terminate() {
    terminated_ = true;
    ::PostQuitMessage(0);
}

void Application::Run(HWND mainForm) {
    if (terminated_)
        return;
    if (ShowMainForm && mainForm)
        ::ShowWindow(mainForm, SW_SHOW);
    MSG msg;
    while (!terminated_) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0)
            break;
        DispatchOne(msg);
    }
    terminated_ = true;
}

void Application::ProcessMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Keep the quit for the loop that owns it.
            terminated_ = true;
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        DispatchOne(msg);
    }
}

void Application::DiscardPendingInput() {
    // PM_QS_INPUT takes only the mouse and keyboard messages; the others stay queued.
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE | PM_QS_INPUT)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
    }
}

void Application::ShowException(const std::string& message) {
    ::MessageBoxW(nullptr, win::AnsiToWide(message).c_str(), win::AnsiToWide(title_).c_str(),
                  MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

int Application::RunStartUp(const std::function<void()>& steps,
                            const std::function<void()>& discard) noexcept {
    std::string message;
    try {
        steps();
        return 0;
    } catch (const std::exception& e) {
        message = e.what();
    } catch (...) {
        // No message of its own: the box shows an empty one.
    }
    try {
        discard();
    } catch (...) {
        // Taking down a half-built window is best effort; the message still has to be shown.
    }
    ShowException(message);
    return 0;
}

LRESULT CALLBACK Application::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ACTIVATE:
        // Another copy brought us forward: show the real window instead of this hidden one.
        if (LOWORD(wParam) != WA_INACTIVE && Instance().OnRestore)
            Guarded(Instance().OnRestore);
        return 0;
    case WM_SHOWWINDOW:
        if (wParam) {
            // ShowWindow(SW_RESTORE) from another copy would show this empty window: hide it
            // again once the message is done, and restore the main form instead.
            ::PostMessageW(hwnd, WM_RESTORE_MAIN_FORM, 0, 0);
        }
        break;
    case WM_RESTORE_MAIN_FORM:
        ::ShowWindow(hwnd, SW_HIDE);
        if (Instance().OnRestore)
            Guarded(Instance().OnRestore);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace snapkeep::ui

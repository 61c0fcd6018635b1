#include "ui/TrayIcon.h"

#include "ui/Application.h"
#include "ui/Messages.h"
#include "ui/Window.h"

#include <shellapi.h>

namespace snapkeep::ui {

namespace {
constexpr UINT kIconId = 1;
// The tray window's own timer, while an icon the shell refused waits to be added.
constexpr UINT_PTR kRetryTimer = 1;
} // namespace

TrayIcon::~TrayIcon() {
    Remove();
    if (window_)
        ::DestroyWindow(window_);
}

bool TrayIcon::Create(HICON icon, const std::wstring& hint) {
    icon_ = icon;
    hint_ = hint;
    RegisterWindowClass(L"TTrayIconWindow", WndProc);
    window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, L"TTrayIconWindow", L"", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (!window_)
        return false;
    ::SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    // Explorer announces a restart with this message; the icon must then be added again. The
    // program runs elevated and Explorer does not, so the window lets this one message through
    // from lower rights (and nothing else: an unelevated program must not click the icon).
    taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
    if (taskbarCreated_)
        ::ChangeWindowMessageFilterEx(window_, taskbarCreated_, MSGFLT_ALLOW, nullptr);
    wanted_ = true;
    AddOrRetry();
    return present_;
}

bool TrayIcon::Notify(DWORD message, NOTIFYICONDATAW& data) {
    if (ShellNotify)
        return ShellNotify(message, data);
    return ::Shell_NotifyIconW(message, &data) != FALSE;
}

void TrayIcon::AddOrRetry() {
    if (Add())
        ::KillTimer(window_, kRetryTimer);
    else
        ::SetTimer(window_, kRetryTimer, kRetryMs, nullptr);
}

bool TrayIcon::Add() {
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kIconId;
    data.uFlags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    data.uCallbackMessage = WM_TRAY_CALLBACK;
    data.hIcon = icon_;
    lstrcpynW(data.szTip, hint_.c_str(), ARRAYSIZE(data.szTip));
    // A "TaskbarCreated" that came while the taskbar still shows the icon (any program may send
    // one) finds it there: then it is taken as added.
    present_ = Notify(NIM_ADD, data) || Notify(NIM_MODIFY, data);
    return present_;
}

void TrayIcon::Remove() {
    wanted_ = false;
    if (window_)
        ::KillTimer(window_, kRetryTimer);
    if (!present_)
        return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kIconId;
    Notify(NIM_DELETE, data);
    present_ = false;
}

bool TrayIcon::ShowNotice(const std::wstring& title, const std::wstring& text, NoticeIcon icon) {
    if (!present_)
        return false;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kIconId;
    data.uFlags = NIF_INFO;
    lstrcpynW(data.szInfoTitle, title.c_str(), ARRAYSIZE(data.szInfoTitle));
    lstrcpynW(data.szInfo, text.c_str(), ARRAYSIZE(data.szInfo));
    data.dwInfoFlags = icon == NoticeIcon::Warning ? NIIF_WARNING : NIIF_INFO;
    return Notify(NIM_MODIFY, data);
}

LRESULT CALLBACK TrayIcon::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<TrayIcon*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self) {
        if (msg == WM_TRAY_CALLBACK) {
            if (lParam == WM_LBUTTONDBLCLK && self->OnDblClick) {
                Application::Guarded(self->OnDblClick);
            } else if (lParam == NIN_BALLOONUSERCLICK && self->OnNoticeClick) {
                Application::Guarded(self->OnNoticeClick);
            } else if (lParam == WM_RBUTTONUP && self->OnRightUp) {
                POINT at;
                ::GetCursorPos(&at);
                Application::Guarded([&] { self->OnRightUp(at); });
            }
            return 0;
        }
        if (msg == WM_QUERYENDSESSION)
            return TRUE;
        if (msg == WM_ENDSESSION) {
            // Removed whether or not the session really ends, as the shell may be gone next.
            self->Remove();
            return 0;
        }
        if (msg == WM_TIMER && wParam == kRetryTimer) {
            if (self->wanted_ && !self->present_)
                self->AddOrRetry();
            else
                ::KillTimer(hwnd, kRetryTimer);
            return 0;
        }
        if (msg == self->taskbarCreated_ && self->taskbarCreated_ != 0) {
            // A new taskbar has no icons, whether or not this one was added before.
            if (self->wanted_) {
                self->present_ = false;
                self->AddOrRetry();
            }
            return 0;
        }
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace snapkeep::ui

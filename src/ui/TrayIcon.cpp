#include "ui/TrayIcon.h"

#include "ui/Application.h"
#include "ui/Messages.h"
#include "ui/Window.h"

#include <shellapi.h>

namespace snapkeep::ui {

namespace {
constexpr UINT kIconId = 1;
}

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
    // Explorer announces a restart with this message; the icon must then be added again.
    taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
    return Add();
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
    present_ = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
    return present_;
}

void TrayIcon::Remove() {
    if (!present_)
        return;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = window_;
    data.uID = kIconId;
    ::Shell_NotifyIconW(NIM_DELETE, &data);
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
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
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
        if (msg == self->taskbarCreated_ && self->taskbarCreated_ != 0 && self->present_) {
            self->Add();
            return 0;
        }
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace snapkeep::ui

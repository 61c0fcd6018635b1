#pragma once
// The notification-area icon. It has a hidden top-level window of its own for the icon's mouse
// messages and for the system's session-end broadcasts (which message-only windows miss).
#include <windows.h>

#include <functional>
#include <string>

namespace snapkeep::ui {

class TrayIcon {
public:
    TrayIcon() = default;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon();

    // Adds the icon; answers false when the shell refused it (the program runs on without it).
    bool Create(HICON icon, const std::wstring& hint);
    void Remove();
    bool Present() const { return present_; }
    HWND Window() const { return window_; }

    // Shows a notice (a balloon, or a toast on Windows 10 and later) from the icon, with the
    // information or the warning icon; answers false when the shell refused it.
    enum class NoticeIcon { Info, Warning };
    bool ShowNotice(const std::wstring& title, const std::wstring& text, NoticeIcon icon);

    std::function<void()> OnDblClick;
    // The user clicked the notice.
    std::function<void()> OnNoticeClick;
    // The right mouse button was released over the icon, at this screen position.
    std::function<void(POINT)> OnRightUp;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool Add();

    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    std::wstring hint_;
    bool present_ = false;
    UINT taskbarCreated_ = 0;
};

} // namespace snapkeep::ui

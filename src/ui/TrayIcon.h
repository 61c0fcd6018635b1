#pragma once
// The notification-area icon. It has a hidden top-level window of its own for the icon's mouse
// messages and for the system's session-end broadcasts (which message-only windows miss).
#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

namespace snapkeep::ui {

class TrayIcon {
public:
    TrayIcon() = default;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;
    ~TrayIcon();

    // Adds the icon; answers false when the shell refused it. It is then added again every
    // kRetryMs until the shell takes it: started at logon, the program may come before the
    // taskbar does, and with no window shown the icon is its only way back. Explorer announces a
    // restart, with the icons gone, by "TaskbarCreated": the icon is added again then too.
    bool Create(HICON icon, const std::wstring& hint);
    // Takes the icon down for good (the program ends, or the session does).
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

    // The shell's icon service (Shell_NotifyIconW); tests put one here that stands for a taskbar
    // that is not there yet.
    std::function<bool(DWORD message, NOTIFYICONDATAW& data)> ShellNotify;

    static constexpr UINT kRetryMs = 1000;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    bool Add();

    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    std::wstring hint_;
    bool Notify(DWORD message, NOTIFYICONDATAW& data);
    void AddOrRetry();

    bool present_ = false;
    bool wanted_ = false; // between Create and Remove: the icon should be there
    UINT taskbarCreated_ = 0;
};

} // namespace snapkeep::ui

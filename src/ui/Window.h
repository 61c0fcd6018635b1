#pragma once
// A top-level window: registers its class once, keeps `this` with the HWND, and dispatches
// messages to a virtual handler. No exception leaves the window procedure: one that escapes a
// handler is shown in the application's error box and the message loop goes on.
#include <windows.h>

#include <string>

namespace snapkeep::ui {

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND Handle() const { return hwnd_; }
    // Whether a window is one of this program's own top-level windows (a form).
    static bool IsFormWindow(HWND hwnd);
    std::wstring Caption() const;
    void SetCaption(const std::wstring& text);

    // Shows the window modally: every other enabled top-level window of this thread is
    // disabled, a nested message loop runs until SetModalResult is called or the window is
    // closed, the other windows are enabled again before this one hides, and a WM_QUIT met on
    // the way is passed on to the outer loop. Answers the modal result (2 when closed).
    int ShowModal();
    void SetModalResult(int result) { modalResult_ = result; }
    bool InModalLoop() const { return inModalLoop_; }

protected:
    bool CreateTopLevel(const wchar_t* className, HICON icon, const std::wstring& caption,
                        DWORD style, DWORD exStyle, int width, int height, HWND owner);
    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);
    // Destroys the window without running this object's handlers any more. Derived classes
    // call it first in their destructor, while their members still exist.
    void Destroy();

    HWND hwnd_ = nullptr;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    int modalResult_ = 0;
    bool inModalLoop_ = false;
};

// Registers a window class of this module once; later calls with the same name do nothing.
void RegisterWindowClass(const wchar_t* name, WNDPROC procedure, HICON icon = nullptr,
                         HBRUSH background = nullptr);

// Handles one message of a loop, giving dialog navigation (Tab, arrows, mnemonics) to the
// top-level window it is meant for.
void DispatchOne(MSG& msg);

} // namespace snapkeep::ui

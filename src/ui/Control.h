#pragma once
// The base of every widget wrapper: it owns nothing but knows its HWND and id, maps a few
// methods one-to-one onto window messages, and receives the notifications its parent reflects
// to it (WM_COMMAND, WM_NOTIFY) through a pointer kept in a window property of the control.
#include <windows.h>

#include <string>

namespace snapkeep::ui {

class Control {
public:
    Control() = default;
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;
    virtual ~Control();

    // The wrapper of a control window created by CreateControl, or null.
    static Control* FromHandle(HWND hwnd);

    HWND Handle() const { return hwnd_; }
    int Id() const { return id_; }

    std::wstring Caption() const;
    void SetCaption(const std::wstring& text);
    bool Enabled() const { return ::IsWindowEnabled(hwnd_) != FALSE; }
    void SetEnabled(bool enabled) { ::EnableWindow(hwnd_, enabled ? TRUE : FALSE); }
    void SetVisible(bool visible) { ::ShowWindow(hwnd_, visible ? SW_SHOW : SW_HIDE); }
    // The widget's own visibility, whether or not its window is shown.
    bool Visible() const { return (::GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }
    virtual void SetFont(HFONT font) { ::SendMessageW(hwnd_, WM_SETFONT, WPARAM(font), TRUE); }
    void Focus() { ::SetFocus(hwnd_); }

    // Notifications reflected by the parent; answer true when handled.
    virtual bool OnCommand(WORD /*code*/) { return false; }
    virtual bool OnNotify(NMHDR* /*header*/, LRESULT& /*result*/) { return false; }

    // Reflects WM_COMMAND / WM_NOTIFY to the wrapper of the control that sent them. Every
    // container window procedure calls this first.
    static bool Reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

protected:
    // Creates the control window and ties it to this wrapper. Coordinates are 96-DPI pixels in
    // the parent's client area; they are scaled to the screen's DPI here.
    void CreateControl(DWORD exStyle, const wchar_t* className, const std::wstring& text,
                       DWORD style, HWND parent, int id, int x, int y, int width, int height);
    // Ties a window created elsewhere to this wrapper.
    void Attach(HWND hwnd, int id);

    HWND hwnd_ = nullptr;
    int id_ = 0;
};

// Pixels at 96 DPI to pixels at the screen's DPI.
int Scale(int pixels);

} // namespace snapkeep::ui

#include "ui/Control.h"

namespace snapkeep::ui {
namespace {

// The wrapper pointer lives in a window property of our own name rather than GWLP_USERDATA,
// which other code (or a control class itself) may use for something else.
constexpr const wchar_t* kWrapperProperty = L"Snapkeep.Control";

} // namespace

Control::~Control() {
    if (hwnd_ && ::IsWindow(hwnd_))
        ::RemovePropW(hwnd_, kWrapperProperty);
}

Control* Control::FromHandle(HWND hwnd) {
    return static_cast<Control*>(::GetPropW(hwnd, kWrapperProperty));
}

int Scale(int pixels) {
    static const int dpi = [] {
        HDC screen = ::GetDC(nullptr);
        const int value = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen)
            ::ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return ::MulDiv(pixels, dpi, 96);
}

std::wstring Control::Caption() const {
    const int length = ::GetWindowTextLengthW(hwnd_);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const int got = ::GetWindowTextW(hwnd_, text.data(), length + 1);
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

void Control::SetCaption(const std::wstring& text) {
    ::SetWindowTextW(hwnd_, text.c_str());
}

void Control::CreateControl(DWORD exStyle, const wchar_t* className, const std::wstring& text,
                            DWORD style, HWND parent, int id, int x, int y, int width, int height) {
    Attach(::CreateWindowExW(exStyle, className, text.c_str(), style | WS_CHILD | WS_VISIBLE,
                             Scale(x), Scale(y), Scale(width), Scale(height), parent,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                             ::GetModuleHandleW(nullptr), nullptr),
           id);
}

void Control::Attach(HWND hwnd, int id) {
    hwnd_ = hwnd;
    id_ = id;
    if (hwnd_)
        ::SetPropW(hwnd_, kWrapperProperty, this);
}

bool Control::Reflect(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    HWND from = nullptr;
    if (msg == WM_COMMAND && lParam != 0)
        from = reinterpret_cast<HWND>(lParam);
    else if (msg == WM_NOTIFY && lParam != 0)
        from = reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
    if (!from)
        return false;
    Control* control = FromHandle(from);
    if (!control)
        return false;
    result = 0;
    if (msg == WM_COMMAND)
        return control->OnCommand(HIWORD(wParam));
    return control->OnNotify(reinterpret_cast<NMHDR*>(lParam), result);
}

} // namespace snapkeep::ui

#include "ui/Panel.h"

#include "ui/Application.h"
#include "ui/Window.h"

namespace snapkeep::ui {

namespace {
constexpr const wchar_t* kPanelClass = L"TSnapkeepPanel";
}

void Panel::Create(HWND parent, int id, int x, int y, int width, int height, bool white,
                   bool lowered) {
    RegisterWindowClass(kPanelClass, WndProc);
    white_ = white;
    // WS_EX_CONTROLPARENT lets Tab move into and out of the panel's children.
    CreateControl(WS_EX_CONTROLPARENT | (lowered ? WS_EX_CLIENTEDGE : 0), kPanelClass, L"",
                  WS_CLIPSIBLINGS, parent, id, x, y, width, height);
}

void Panel::Place(const RECT& rect) {
    ::SetWindowPos(hwnd_, HWND_TOP, rect.left, rect.top, rect.right - rect.left,
                   rect.bottom - rect.top, SWP_NOACTIVATE);
}

void Panel::SetCaption(const std::wstring& text) {
    Control::SetCaption(text);
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void Panel::SetFont(HFONT font) {
    font_ = font;
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void Panel::PaintCaption(HDC dc) const {
    const std::wstring text = Caption();
    if (text.empty())
        return;
    RECT rect;
    ::GetClientRect(hwnd_, &rect);
    HGDIOBJ old = ::SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_)
                                           : ::GetStockObject(DEFAULT_GUI_FONT));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_WINDOWTEXT));
    ::DrawTextW(dc, text.c_str(), -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, old);
}

LRESULT CALLBACK Panel::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    bool reflected = false;
    Application::Guarded([&] { reflected = Control::Reflect(msg, wParam, lParam, result); });
    if (reflected)
        return result;
    auto* self = static_cast<Panel*>(Control::FromHandle(hwnd));
    const bool white = self && self->white_;
    switch (msg) {
    case WM_ERASEBKGND: {
        RECT rect;
        ::GetClientRect(hwnd, &rect);
        ::FillRect(reinterpret_cast<HDC>(wParam), &rect,
                   white ? static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH))
                         : ::GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    case WM_PAINT:
        if (self && ::GetWindowTextLengthW(hwnd) > 0) {
            PAINTSTRUCT paint;
            HDC dc = ::BeginPaint(hwnd, &paint);
            self->PaintCaption(dc);
            ::EndPaint(hwnd, &paint);
            return 0;
        }
        break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        if (white) {
            ::SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
        }
        break;
    default:
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace snapkeep::ui

#include "ui/Gauge.h"

#include "ui/Window.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace snapkeep::ui {

namespace {
constexpr const wchar_t* kGaugeClass = L"TSnapkeepGauge";

// Fills a rectangle with one colour without creating a brush.
void Fill(HDC dc, const RECT& rect, COLORREF colour) {
    ::SetBkColor(dc, colour);
    ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
}
} // namespace

void Gauge::Create(HWND parent, int id, int x, int y, int width, int height, bool showPercent) {
    RegisterWindowClass(kGaugeClass, WndProc);
    showPercent_ = showPercent;
    CreateControl(WS_EX_CLIENTEDGE, kGaugeClass, L"", 0, parent, id, x, y, width, height);
}

void Gauge::SetColors(COLORREF bar, COLORREF background) {
    bar_ = bar;
    background_ = background;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void Gauge::SetRange(int minimum, int maximum) {
    ::SendMessageW(hwnd_, PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
}

void Gauge::SetPosition(int position) {
    ::SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

int Gauge::Position() const {
    return static_cast<int>(::SendMessageW(hwnd_, PBM_GETPOS, 0, 0));
}

void Gauge::SetFont(HFONT font) {
    font_ = font;
    ::InvalidateRect(hwnd_, nullptr, FALSE);
}

void Gauge::Paint(HDC target) const {
    RECT client;
    ::GetClientRect(hwnd_, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    // Drawn off screen and copied in one go, so ten updates a second do not flicker.
    HDC dc = ::CreateCompatibleDC(target);
    HBITMAP bitmap = ::CreateCompatibleBitmap(target, std::max(width, 1), std::max(height, 1));
    HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);

    const int span = maximum_ - minimum_;
    const int filled =
        span > 0 ? static_cast<int>(static_cast<long long>(position_ - minimum_) * width / span)
                 : 0;
    RECT barPart{0, 0, filled, height};
    RECT restPart{filled, 0, width, height};
    Fill(dc, barPart, bar_);
    Fill(dc, restPart, background_);

    if (showPercent_) {
        const int percent =
            span > 0 ? static_cast<int>(static_cast<long long>(position_ - minimum_) * 100 / span)
                     : 0;
        const std::wstring text = std::to_wstring(percent) + L"%";
        HGDIOBJ oldFont = ::SelectObject(dc, font_ ? static_cast<HGDIOBJ>(font_)
                                                   : ::GetStockObject(DEFAULT_GUI_FONT));
        ::SetBkMode(dc, TRANSPARENT);
        // The figure reads in the background's colour over the bar and in the bar's colour
        // over the background, wherever the bar's end falls.
        const UINT format = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
        for (const auto& [part, colour] :
             {std::pair{barPart, background_}, std::pair{restPart, bar_}}) {
            ::SaveDC(dc);
            ::IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
            ::SetTextColor(dc, colour);
            RECT all = {0, 0, width, height};
            ::DrawTextW(dc, text.c_str(), -1, &all, format);
            ::RestoreDC(dc, -1);
        }
        ::SelectObject(dc, oldFont);
    }
    ::BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
    ::SelectObject(dc, oldBitmap);
    ::DeleteObject(bitmap);
    ::DeleteDC(dc);
}

LRESULT CALLBACK Gauge::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<Gauge*>(Control::FromHandle(hwnd));
    if (!self)
        return ::DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
    case PBM_SETRANGE32: {
        const int minimum = static_cast<int>(wParam);
        const int maximum = static_cast<int>(lParam);
        if (minimum != self->minimum_ || maximum != self->maximum_) {
            self->minimum_ = minimum;
            self->maximum_ = std::max(maximum, minimum);
            self->position_ = std::clamp(self->position_, self->minimum_, self->maximum_);
            ::InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    }
    case PBM_GETRANGE:
        if (lParam) {
            auto* range = reinterpret_cast<PBRANGE*>(lParam);
            range->iLow = self->minimum_;
            range->iHigh = self->maximum_;
        }
        return wParam ? self->minimum_ : self->maximum_;
    case PBM_SETPOS: {
        const int previous = self->position_;
        const int position = std::clamp(static_cast<int>(wParam), self->minimum_, self->maximum_);
        if (position != previous) {
            self->position_ = position;
            ::InvalidateRect(hwnd, nullptr, FALSE);
        }
        return previous;
    }
    case PBM_GETPOS:
        return self->position_;
    case WM_SETFONT:
        self->font_ = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            ::InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(self->font_);
    case WM_ERASEBKGND:
        return 1; // the paint covers every pixel
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = ::BeginPaint(hwnd, &paint);
        self->Paint(dc);
        ::EndPaint(hwnd, &paint);
        return 0;
    }
    default:
        break;
    }
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace snapkeep::ui

#include "ui/Static.h"

namespace snapkeep::ui {

void Label::Create(HWND parent, int id, const std::wstring& caption, int x, int y) {
    CreateControl(0, L"STATIC", caption, SS_LEFT | SS_NOPREFIX, parent, id, x, y, 10, 10);
    FitToText();
}

void Label::SetCaption(const std::wstring& text) {
    Control::SetCaption(text);
    FitToText();
}

void Label::SetFont(HFONT font) {
    Control::SetFont(font);
    FitToText();
}

void Label::FitToText() {
    HDC dc = ::GetDC(hwnd_);
    if (!dc)
        return;
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    HGDIOBJ old = ::SelectObject(dc, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    const std::wstring text = Caption();
    RECT rect{0, 0, 0, 0};
    ::DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &rect, DT_CALCRECT | DT_NOPREFIX);
    ::SelectObject(dc, old);
    ::ReleaseDC(hwnd_, dc);
    ::SetWindowPos(hwnd_, nullptr, 0, 0, rect.right + 2, rect.bottom,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::InvalidateRect(::GetParent(hwnd_), nullptr, TRUE);
}

void GroupBox::Create(HWND parent, int id, const std::wstring& caption, int x, int y, int width,
                      int height) {
    CreateControl(0, L"BUTTON", caption, BS_GROUPBOX, parent, id, x, y, width, height);
}

void Image::Create(HWND parent, int id, HBITMAP bitmap, int x, int y, int width, int height) {
    CreateControl(0, L"STATIC", L"", SS_BITMAP | SS_REALSIZECONTROL, parent, id, x, y, width,
                  height);
    bitmap_ = bitmap;
    if (bitmap_)
        ::SendMessageW(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_));
    // SS_REALSIZECONTROL stretches the picture to the control, once the size is set again.
    ::SetWindowPos(hwnd_, nullptr, 0, 0, Scale(width), Scale(height),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Image::~Image() {
    if (bitmap_)
        ::DeleteObject(bitmap_);
}

void Edit::Create(HWND parent, int id, int x, int y, int width, int height) {
    CreateControl(WS_EX_CLIENTEDGE, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, parent, id, x, y,
                  width, height);
}

} // namespace snapkeep::ui

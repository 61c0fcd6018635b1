#include "ui/ListBox.h"

namespace snapkeep::ui {

void ListBox::Create(HWND parent, int id, int x, int y, int width, int height) {
    CreateControl(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                  WS_VSCROLL | WS_HSCROLL | LBS_NOINTEGRALHEIGHT | WS_TABSTOP, parent, id, x, y,
                  width, height);
}

int ListBox::Count() const {
    return static_cast<int>(::SendMessageW(hwnd_, LB_GETCOUNT, 0, 0));
}

void ListBox::Add(const std::wstring& line) {
    ::SendMessageW(hwnd_, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(line.c_str()));
}

void ListBox::Clear() {
    ::SendMessageW(hwnd_, LB_RESETCONTENT, 0, 0);
}

std::wstring ListBox::Item(int index) const {
    const LRESULT length = ::SendMessageW(hwnd_, LB_GETTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == LB_ERR)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT got = ::SendMessageW(hwnd_, LB_GETTEXT, static_cast<WPARAM>(index),
                                       reinterpret_cast<LPARAM>(text.data()));
    text.resize(got == LB_ERR ? 0 : static_cast<size_t>(got));
    return text;
}

int ListBox::TextWidth(const std::wstring& text) const {
    HDC dc = ::GetDC(hwnd_);
    if (!dc)
        return 0;
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    HGDIOBJ old =
        ::SelectObject(dc, font ? static_cast<HGDIOBJ>(font) : ::GetStockObject(SYSTEM_FONT));
    SIZE size{0, 0};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    ::SelectObject(dc, old);
    ::ReleaseDC(hwnd_, dc);
    return size.cx;
}

void ListBox::SetHorizontalExtent(int pixels) {
    ::SendMessageW(hwnd_, LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(pixels), 0);
}

int ListBox::HorizontalExtent() const {
    return static_cast<int>(::SendMessageW(hwnd_, LB_GETHORIZONTALEXTENT, 0, 0));
}

} // namespace snapkeep::ui

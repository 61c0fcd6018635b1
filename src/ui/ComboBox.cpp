#include "ui/ComboBox.h"

namespace snapkeep::ui {

void ComboBox::Create(HWND parent, int id, int x, int y, int width, int dropHeight) {
    CreateControl(0, L"COMBOBOX", L"", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, parent, id, x, y,
                  width, dropHeight);
}

bool ComboBox::OnCommand(WORD code) {
    if (code != CBN_SELCHANGE)
        return false;
    if (OnChange)
        OnChange();
    return true;
}

void ComboBox::Add(const std::wstring& text) {
    ::SendMessageW(hwnd_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ComboBox::Clear() {
    ::SendMessageW(hwnd_, CB_RESETCONTENT, 0, 0);
}

int ComboBox::Count() const {
    return static_cast<int>(::SendMessageW(hwnd_, CB_GETCOUNT, 0, 0));
}

std::wstring ComboBox::Item(int index) const {
    const LRESULT length = ::SendMessageW(hwnd_, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR)
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    ::SendMessageW(hwnd_, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

int ComboBox::ItemIndex() const {
    return static_cast<int>(::SendMessageW(hwnd_, CB_GETCURSEL, 0, 0));
}

void ComboBox::SetItemIndex(int index) {
    ::SendMessageW(hwnd_, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

} // namespace snapkeep::ui

#include "ui/Button.h"

namespace snapkeep::ui {

void Button::Create(HWND parent, int id, const std::wstring& caption, int x, int y, int width,
                    int height) {
    CreateControl(0, L"BUTTON", caption, BS_PUSHBUTTON | WS_TABSTOP, parent, id, x, y, width,
                  height);
}

bool Button::OnCommand(WORD code) {
    if (code != BN_CLICKED)
        return false;
    if (OnClick)
        OnClick();
    return true;
}

void CheckBox::Create(HWND parent, int id, const std::wstring& caption, int x, int y, int width,
                      int height) {
    CreateControl(0, L"BUTTON", caption, BS_AUTOCHECKBOX | WS_TABSTOP, parent, id, x, y, width,
                  height);
}

bool CheckBox::OnCommand(WORD code) {
    if (code != BN_CLICKED)
        return false;
    if (OnClick)
        OnClick();
    return true;
}

bool CheckBox::Checked() const {
    return ::SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void CheckBox::SetChecked(bool checked) {
    ::SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

} // namespace snapkeep::ui

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
    // BM_CLICK reaches a hidden or disabled button too, and the control then reports a click
    // as if the user had made one. Such a button stands for a command that does not apply now
    // (the job window keeps Pause and Restart, Cancel and Close in one place): it does nothing.
    const LONG_PTR style = ::GetWindowLongPtrW(hwnd_, GWL_STYLE);
    if ((style & WS_VISIBLE) == 0 || (style & WS_DISABLED) != 0)
        return true;
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

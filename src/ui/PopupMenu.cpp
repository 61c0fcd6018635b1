#include "ui/PopupMenu.h"

namespace snapkeep::ui {

PopupMenu::PopupMenu() : menu_(::CreatePopupMenu()) {}

PopupMenu::~PopupMenu() {
    if (menu_)
        ::DestroyMenu(menu_);
    for (HBITMAP image : images_)
        ::DeleteObject(image);
}

void PopupMenu::AddItem(const std::wstring& caption, HBITMAP image, std::function<void()> onClick) {
    handlers_.push_back(std::move(onClick));
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE | (image ? MIIM_BITMAP : 0);
    item.fType = MFT_STRING;
    item.wID = static_cast<UINT>(handlers_.size());
    item.dwTypeData = const_cast<wchar_t*>(caption.c_str());
    item.hbmpItem = image;
    if (image)
        images_.push_back(image);
    ::InsertMenuItemW(menu_, ::GetMenuItemCount(menu_), TRUE, &item);
}

void PopupMenu::AddSeparator() {
    handlers_.push_back(nullptr);
    MENUITEMINFOW item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE;
    item.fType = MFT_SEPARATOR;
    item.fState = MFS_DISABLED;
    item.wID = static_cast<UINT>(handlers_.size());
    ::InsertMenuItemW(menu_, ::GetMenuItemCount(menu_), TRUE, &item);
}

void PopupMenu::Popup(int x, int y, HWND owner) {
    if (OnPopup)
        OnPopup();
    const UINT chosen = static_cast<UINT>(::TrackPopupMenuEx(
        menu_, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, x, y, owner, nullptr));
    // Without this the menu may not close the next time the user clicks elsewhere.
    ::PostMessageW(owner, WM_NULL, 0, 0);
    if (chosen >= 1 && chosen <= handlers_.size() && handlers_[chosen - 1])
        handlers_[chosen - 1]();
}

} // namespace snapkeep::ui

#pragma once
// A pop-up menu of plain items, separators and small images.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace snapkeep::ui {

class PopupMenu {
public:
    PopupMenu();
    PopupMenu(const PopupMenu&) = delete;
    PopupMenu& operator=(const PopupMenu&) = delete;
    ~PopupMenu();

    // `image` (16 by 16, may be null) is owned by the menu from here on.
    void AddItem(const std::wstring& caption, HBITMAP image, std::function<void()> onClick);
    void AddSeparator();

    // Runs OnPopup, shows the menu at a screen position with `owner` as the window that
    // receives its messages, and runs the chosen item's handler.
    void Popup(int x, int y, HWND owner);

    std::function<void()> OnPopup;
    HMENU Handle() const { return menu_; }

private:
    HMENU menu_ = nullptr;
    std::vector<std::function<void()>> handlers_; // index = command id - 1
    std::vector<HBITMAP> images_;
};

} // namespace snapkeep::ui

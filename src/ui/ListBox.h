#pragma once
// A list of text lines, one per row, in the order they were added, scrolling both ways.
#include "ui/Control.h"

#include <string>

namespace snapkeep::ui {

class ListBox : public Control {
public:
    void Create(HWND parent, int id, int x, int y, int width, int height);

    int Count() const;
    void Add(const std::wstring& line);
    void Clear();
    std::wstring Item(int index) const;
    // Width in pixels of `text` in the list's font.
    int TextWidth(const std::wstring& text) const;
    // How far the list scrolls sideways, in pixels.
    void SetHorizontalExtent(int pixels);
    int HorizontalExtent() const;
};

} // namespace snapkeep::ui

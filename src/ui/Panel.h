#pragma once
// A plain container for other widgets: pages of the page control and the white panels on them.
// It hands its children's notifications to their wrappers, and paints its own background.
#include "ui/Control.h"

namespace snapkeep::ui {

class Panel : public Control {
public:
    // `white`: white background (children that ask for a background get white as well);
    // `lowered`: a sunken frame.
    void Create(HWND parent, int id, int x, int y, int width, int height, bool white, bool lowered);
    // Moves the panel to a rectangle in device pixels (already scaled).
    void Place(const RECT& rect);
    // A caption, drawn centred on the panel in its font; none by default.
    void SetCaption(const std::wstring& text);
    void SetFont(HFONT font) override;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void PaintCaption(HDC dc) const;
    bool white_ = false;
    HFONT font_ = nullptr;
};

} // namespace snapkeep::ui

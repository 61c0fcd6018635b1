#pragma once
// A horizontal bar showing a position within a range, in colours of our choosing, with the
// percentage printed across it if asked. Drawn by this program rather than by the system's
// progress bar: a themed progress bar ignores its colours and prints nothing. It answers the
// progress bar's own messages (PBM_SETRANGE32, PBM_GETRANGE, PBM_SETPOS, PBM_GETPOS), so that
// tools and tests can read it from outside as they would read a progress bar.
#include "ui/Control.h"

namespace snapkeep::ui {

class Gauge : public Control {
public:
    void Create(HWND parent, int id, int x, int y, int width, int height, bool showPercent);
    void SetColors(COLORREF bar, COLORREF background);
    void SetRange(int minimum, int maximum);
    // Held within the range: a position beyond it shows as the nearest end.
    void SetPosition(int position);
    int Position() const;
    void SetFont(HFONT font) override;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc) const;

    int minimum_ = 0;
    int maximum_ = 100;
    int position_ = 0;
    bool showPercent_ = false;
    COLORREF bar_ = RGB(0, 0, 128);
    COLORREF background_ = RGB(255, 255, 255);
    HFONT font_ = nullptr;
};

} // namespace snapkeep::ui

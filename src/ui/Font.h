#pragma once
// An owned GDI font of a face and a size in points, at the screen's DPI.
#include <windows.h>

#include <string>

namespace snapkeep::ui {

class Font {
public:
    Font() = default;
    Font(const std::wstring& face, int points);
    Font(const Font&) = delete;
    Font& operator=(const Font&) = delete;
    ~Font();

    HFONT Handle() const { return font_; }

private:
    HFONT font_ = nullptr;
};

} // namespace snapkeep::ui

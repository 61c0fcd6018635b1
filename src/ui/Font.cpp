#include "ui/Font.h"

#include "ui/Control.h"

namespace snapkeep::ui {

Font::Font(const std::wstring& face, int points) {
    LOGFONTW lf{};
    // Points to pixels: 72 points to the inch, 96 pixels to the inch before DPI scaling.
    lf.lfHeight = -Scale(::MulDiv(points, 96, 72));
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    font_ = ::CreateFontIndirectW(&lf);
}

Font::~Font() {
    if (font_)
        ::DeleteObject(font_);
}

} // namespace snapkeep::ui

#pragma once
// Widgets that only show something: labels, group frames, pictures, and the edit box.
#include "ui/Control.h"

namespace snapkeep::ui {

class Label : public Control {
public:
    // A label sizes itself to its text, as the caption grows or shrinks with the language.
    void Create(HWND parent, int id, const std::wstring& caption, int x, int y);
    void SetCaption(const std::wstring& text);
    void SetFont(HFONT font);

private:
    void FitToText();
};

class GroupBox : public Control {
public:
    void Create(HWND parent, int id, const std::wstring& caption, int x, int y, int width,
                int height);
};

// A bitmap stretched to the widget's size.
class Image : public Control {
public:
    void Create(HWND parent, int id, HBITMAP bitmap, int x, int y, int width, int height);
    ~Image() override;

private:
    HBITMAP bitmap_ = nullptr;
};

class Edit : public Control {
public:
    void Create(HWND parent, int id, int x, int y, int width, int height);
};

} // namespace snapkeep::ui

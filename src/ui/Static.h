#pragma once
// Widgets that only show something: labels, group frames, pictures, and the edit box.
#include "ui/Control.h"

namespace snapkeep::ui {

class Label : public Control {
public:
    // A label sizes itself to its text, as the caption grows or shrinks with the language.
    void Create(HWND parent, int id, const std::wstring& caption, int x, int y);
    // A label of a fixed width, one line, that does not follow its text: for texts such as a
    // file path that would otherwise grow past the window.
    void CreateFixed(HWND parent, int id, const std::wstring& caption, int x, int y, int width);
    // After any change of the text or the font, the label is as wide as its text (a fixed one
    // keeps its width) and shows the text in full, however its parent paints.
    void SetCaption(const std::wstring& text);
    void SetFont(HFONT font) override;
    // Extra pixels to the right of the text.
    void SetPadding(int pixels) { padding_ = pixels; }

private:
    void FitToText();
    void FitToText(const std::wstring& text);
    void Repaint();
    int padding_ = 2;
    bool fixed_ = false;
};

// A group frame with its caption. The caption is a label of its own laid over the frame's top
// line: the system's group box draws long captions cut off under Wine, and a label measures
// exactly what it draws.
class GroupBox : public Control {
public:
    void Create(HWND parent, int id, const std::wstring& caption, int x, int y, int width,
                int height);
    std::wstring Caption() const { return caption_.Caption(); }
    void SetCaption(const std::wstring& text) { caption_.SetCaption(text); }
    void SetFont(HFONT font) override;

private:
    Label caption_;
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

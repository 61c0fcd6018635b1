#include "ui/Static.h"

namespace snapkeep::ui {

void Label::Create(HWND parent, int id, const std::wstring& caption, int x, int y) {
    CreateControl(0, L"STATIC", caption, SS_LEFT | SS_NOPREFIX, parent, id, x, y, 10, 10);
    FitToText();
}

void Label::CreateFixed(HWND parent, int id, const std::wstring& caption, int x, int y, int width) {
    fixed_ = true;
    CreateControl(0, L"STATIC", caption, SS_LEFTNOWORDWRAP | SS_NOPREFIX, parent, id, x, y, width,
                  10);
    FitToText();
}

void Label::SetCaption(const std::wstring& text) {
    // The size comes first: the control lays out and may paint its text as soon as it has it
    // (Wine's does so at once), and a longer text laid out at the old width breaks at a blank,
    // its tail falling to a second line below the label's one-line height.
    FitToText(text);
    Control::SetCaption(text);
    Repaint();
}

void Label::SetFont(HFONT font) {
    Control::SetFont(font);
    FitToText(Caption());
    Repaint();
}

void Label::FitToText() {
    FitToText(Caption());
}

void Label::FitToText(const std::wstring& text) {
    HDC dc = ::GetDC(hwnd_);
    if (!dc)
        return;
    HFONT font = reinterpret_cast<HFONT>(::SendMessageW(hwnd_, WM_GETFONT, 0, 0));
    HGDIOBJ old = ::SelectObject(dc, font ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    RECT rect{0, 0, 0, 0};
    ::DrawTextW(dc, text.empty() ? L" " : text.c_str(), -1, &rect, DT_CALCRECT | DT_NOPREFIX);
    ::SelectObject(dc, old);
    ::ReleaseDC(hwnd_, dc);
    HWND parent = ::GetParent(hwnd_);
    RECT before;
    ::GetWindowRect(hwnd_, &before);
    ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&before), 2);
    const int width = fixed_ ? before.right - before.left : rect.right + padding_;
    const int height = rect.bottom;
    if (width == before.right - before.left && height == before.bottom - before.top)
        return;
    ::SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // A shorter text uncovers what lay behind the label: only that strip of the parent is
    // redrawn, since the job window changes its labels ten times a second.
    if (width < before.right - before.left) {
        const RECT uncovered{before.left + width, before.top, before.right, before.bottom};
        ::InvalidateRect(parent, &uncovered, TRUE);
    }
    if (height < before.bottom - before.top) {
        const RECT uncovered{before.left, before.top + height, before.right, before.bottom};
        ::InvalidateRect(parent, &uncovered, TRUE);
    }
}

void Label::Repaint() {
    // The whole label, not only the strip a wider label gained: what it showed before was laid
    // out for the old text. The parent's invalidation does not reach it when the parent clips
    // its children (the job window does), so the label asks for itself.
    ::InvalidateRect(hwnd_, nullptr, TRUE);
}

void GroupBox::Create(HWND parent, int id, const std::wstring& caption, int x, int y, int width,
                      int height) {
    CreateControl(0, L"BUTTON", L"", BS_GROUPBOX | WS_CLIPSIBLINGS, parent, id, x, y, width,
                  height);
    caption_.SetPadding(4); // a little air between the caption and the frame line after it
    caption_.Create(parent, 0, caption, x + 6, y);
    // Above the frame, so that its background hides the line behind the text.
    ::SetWindowPos(caption_.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
}

void GroupBox::SetFont(HFONT font) {
    Control::SetFont(font);
    caption_.SetFont(font);
}

void Image::Create(HWND parent, int id, HBITMAP bitmap, int x, int y, int width, int height) {
    CreateControl(0, L"STATIC", L"", SS_BITMAP | SS_REALSIZECONTROL, parent, id, x, y, width,
                  height);
    bitmap_ = bitmap;
    if (bitmap_)
        ::SendMessageW(hwnd_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_));
    // SS_REALSIZECONTROL stretches the picture to the control, once the size is set again.
    ::SetWindowPos(hwnd_, nullptr, 0, 0, Scale(width), Scale(height),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Image::~Image() {
    if (bitmap_)
        ::DeleteObject(bitmap_);
}

void Edit::Create(HWND parent, int id, int x, int y, int width, int height) {
    CreateControl(WS_EX_CLIENTEDGE, L"EDIT", L"", ES_AUTOHSCROLL | WS_TABSTOP, parent, id, x, y,
                  width, height);
}

} // namespace snapkeep::ui

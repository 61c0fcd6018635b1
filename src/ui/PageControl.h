#pragma once
// A page control: a tab control whose tabs are drawn as flat buttons, with one panel per page
// laid over its display area; only the selected page's panel is visible.
#include "ui/Control.h"
#include "ui/Panel.h"

#include <functional>
#include <vector>

namespace snapkeep::ui {

class PageControl : public Control {
public:
    // Fills the parent's client area; tabs are `tabWidth` by `tabHeight` pixels.
    void Create(HWND parent, int id, int tabWidth, int tabHeight);
    bool OnNotify(NMHDR* header, LRESULT& result) override;

    // Adds a page; its panel is created here, as a sibling laid over the display area.
    void AddPage(Panel& page, int id, const std::wstring& caption);
    void SetPageCaption(int index, const std::wstring& caption);
    int ActivePage() const;
    void SetActivePage(int index);
    // Lays the pages over the current display area (after a font change, say).
    void LayoutPages();

    std::function<void(int index)> OnChange;

private:
    RECT DisplayArea() const;
    std::vector<Panel*> pages_;
};

} // namespace snapkeep::ui

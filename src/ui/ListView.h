#pragma once
// A report-style list with one column, a check box per row and whole-row selection, as the
// folder lists use it. Captions are not editable in place.
#include "ui/Control.h"

#include <functional>
#include <string>

namespace snapkeep::ui {

class ListView : public Control {
public:
    void Create(HWND parent, int id, const std::wstring& column, int columnWidth, int x, int y,
                int width, int height);
    ~ListView() override;
    bool OnNotify(NMHDR* header, LRESULT& result) override;

    int Count() const;
    int Add(bool checked, const std::wstring& text); // appends; answers the new row's index
    void Delete(int index);
    void Clear();
    std::wstring Text(int index) const;
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);
    int Selected() const; // the selected row, or -1
    void Select(int index);
    void SetColumnCaption(const std::wstring& text);

    // A row changed: its check box, text or selection (LVN_ITEMCHANGED).
    std::function<void(int index)> OnChange;
    // The selection moved to or away from a row.
    std::function<void(int index, bool selected)> OnSelectItem;
    // A context menu is asked for: by a right click (the row under it, -1 for none) or from the
    // keyboard (the selected row); the point in screen coordinates, where the menu opens.
    std::function<void(int index, POINT screen)> OnContextMenu;
    // A key was released while the list had the focus: virtual key and modifier state
    // (MK_SHIFT / MK_CONTROL / alt as 0x1000) at that moment.
    std::function<void(WORD key, unsigned modifiers)> OnKeyUp;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR data);
};

inline constexpr unsigned kModifierAlt = 0x1000;

} // namespace snapkeep::ui

#pragma once
// A drop-down list. Pick-only boxes accept only their entries; the selected index is -1 when
// nothing is selected.
#include "ui/Control.h"

#include <functional>
#include <string>

namespace snapkeep::ui {

class ComboBox : public Control {
public:
    void Create(HWND parent, int id, int x, int y, int width, int dropHeight);
    bool OnCommand(WORD code) override;

    void Add(const std::wstring& text);
    void Clear();
    int Count() const;
    std::wstring Item(int index) const;
    int ItemIndex() const;
    void SetItemIndex(int index); // -1 clears the selection; does not run OnChange

    // The user changed the selection.
    std::function<void()> OnChange;
};

} // namespace snapkeep::ui

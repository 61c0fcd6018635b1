#pragma once
// Push buttons and check boxes.
#include "ui/Control.h"

#include <functional>

namespace snapkeep::ui {

class Button : public Control {
public:
    void Create(HWND parent, int id, const std::wstring& caption, int x, int y, int width,
                int height);
    bool OnCommand(WORD code) override;

    std::function<void()> OnClick;
};

// A two-state check box. The system toggles it on a click or the space bar; OnClick then runs
// with the new state already in place. SetChecked changes the state without running OnClick.
class CheckBox : public Control {
public:
    void Create(HWND parent, int id, const std::wstring& caption, int x, int y, int width,
                int height);
    bool OnCommand(WORD code) override;

    bool Checked() const;
    void SetChecked(bool checked);

    std::function<void()> OnClick;
};

} // namespace snapkeep::ui

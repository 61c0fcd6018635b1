// A button's click handler runs only for a button the user could click: a BM_CLICK sent to a
// hidden or disabled button (another program, or a command button whose place another one holds
// now) does nothing.
#include "ui/Button.h"
#include "ui/Window.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {

class Parent : public ui::Window {
public:
    Parent() {
        CreateTopLevel(L"SnapkeepButtonTestWindow", nullptr, L"Buttons", WS_POPUP | WS_CAPTION, 0,
                       300, 100, nullptr);
    }
    ~Parent() override { Destroy(); }
};

struct ClickCase {
    const char* name;
    bool visible;
    bool enabled;
    int clicks;
};

TEST(Button, ClickRunsTheHandlerOnlyWhenTheButtonIsShownAndEnabled) {
    const ClickCase cases[] = {
        {"shown and enabled", true, true, 1},
        {"hidden", false, true, 0},
        {"disabled", true, false, 0},
        {"hidden and disabled", false, false, 0},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.name);
        Parent parent;
        ui::Button button;
        button.Create(parent.Handle(), 1001, L"Go", 8, 8, 80, 25);
        int clicks = 0;
        button.OnClick = [&clicks] { ++clicks; };
        button.SetVisible(c.visible);
        button.SetEnabled(c.enabled);
        ::SendMessageW(button.Handle(), BM_CLICK, 0, 0);
        EXPECT_EQ(clicks, c.clicks);
    }
}

} // namespace

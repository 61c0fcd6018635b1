// An error that escapes the program's start-up: what was built is taken down, the error is shown
// in the standard error box, and the program ends with status 0.
#include "ProcessDriver.h"
#include "ui/Application.h"

#include <gtest/gtest.h>

#include <stdexcept>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

struct StartUpCase {
    const char* name;
    std::function<void()> steps;
    std::vector<std::wstring> boxes; // texts of the error boxes shown
};

TEST(StartUp, AnEscapingErrorIsShownAfterTheDiscardAndEndsWithZero) {
    ui::Application& app = ui::Application::Instance();
    app.Initialize();
    app.SetTitle("QX Snap Utility");
    const StartUpCase cases[] = {
        {"no error", [] {}, {}},
        {"an error with a message",
         [] { throw std::runtime_error("The window failed."); },
         {L"The window failed."}},
        {"an error without a message", [] { throw 42; }, {L""}},
    };
    for (const StartUpCase& c : cases) {
        SCOPED_TRACE(c.name);
        bool discarded = false;
        bool discardedBeforeBox = true;
        int status = -1;
        std::vector<std::wstring> shown;
        {
            MessageBoxAnswerer answerer(L"QX Snap Utility", IDOK,
                                        [&](HWND) { discardedBeforeBox = discarded; });
            status = app.RunStartUp(c.steps, [&] { discarded = true; });
            shown = answerer.Texts();
        }
        EXPECT_EQ(status, 0);
        EXPECT_EQ(shown, c.boxes);
        EXPECT_EQ(discarded, !c.boxes.empty()) << "the discard runs only after an error";
        EXPECT_TRUE(discardedBeforeBox) << "the box came up before the discard";
    }
}

TEST(StartUp, AFailingDiscardStillShowsTheError) {
    ui::Application& app = ui::Application::Instance();
    app.Initialize();
    app.SetTitle("QX Snap Utility");
    MessageBoxAnswerer answerer(L"QX Snap Utility");
    EXPECT_EQ(app.RunStartUp([] { throw std::runtime_error("first"); },
                             [] { throw std::runtime_error("second"); }),
              0);
    EXPECT_EQ(answerer.Texts(), (std::vector<std::wstring>{L"first"}));
}

// Wine never shows the system's "insert a disk" box, so what is tested is the mode the program
// starts with: the system then fails the call on a volume that is not ready instead of asking.
TEST(StartUp, TheSystemAsksForNoDisk) {
    const UINT previous = ::SetErrorMode(0);
    ui::Application::Instance().Initialize();
    const UINT mode = ::GetErrorMode();
    ::SetErrorMode(previous);
    EXPECT_EQ(mode & SEM_FAILCRITICALERRORS, static_cast<UINT>(SEM_FAILCRITICALERRORS));
    EXPECT_EQ(mode & SEM_NOOPENFILEERRORBOX, static_cast<UINT>(SEM_NOOPENFILEERRORBOX));
}

} // namespace

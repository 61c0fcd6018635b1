#pragma once
// The process-wide application object: the application title, the hidden application window
// that carries it (so that another copy of the program can find this one by title), the main
// message loop and the standard error box.
//
// How a second copy hands over to the first, in three places:
// 1. The entry point (app/WinMain.cpp) creates this object's hidden "TApplication" window, the
//    main window, and then runs TMainForm::TntFormCreate, which sets the application title to
//    the main window's caption (so the hidden window carries it too).
// 2. TntFormCreate (app/MainFormEvents.cpp) applies the single-instance rule: a named mutex
//    keyed by that title. A copy that finds the mutex taken blanks its own hidden window's
//    title (so it cannot find itself), finds the first copy's "TApplication" window by class and
//    title, restores or raises it and makes it the foreground window, then ends without showing
//    anything or writing a file.
// 3. In the first copy, that hidden window (WndProc below) turns the activation or the showing
//    into OnRestore, which the entry point points at the main window's Restore command: the main
//    window comes back from the tray and to the front, and the hidden window hides again.
#include <windows.h>

#include <exception>
#include <functional>
#include <string>

namespace snapkeep::ui {

class Application {
public:
    static Application& Instance();

    // Sets the process's error mode so that no system box asks for a disk, registers the
    // common controls and creates the hidden application window, of class "TApplication",
    // titled with the application title.
    void Initialize();
    HWND Handle() const { return window_; }

    const std::string& Title() const { return title_; }
    void SetTitle(const std::string& title); // 8-bit text, system code page

    // When false, Run does not show the main form.
    bool ShowMainForm = true;
    void Terminate();
    bool Terminated() const { return terminated_; }

    // Shows the main form (unless told not to) and runs the message loop until the
    // application terminates. A loop that was told to terminate before it starts shows nothing.
    void Run(HWND mainForm);

    // Handles every pending message of this thread and returns.
    void ProcessMessages();
    // Drops the clicks and key strokes queued for this thread and not yet handled.
    void DiscardPendingInput();

    // The standard error box: the message, with the application title as caption.
    void ShowException(const std::string& message);

    // Runs the program's start-up steps: creating its windows and running the message loop.
    // An error that escapes them ends the program normally: `discard` first takes down what
    // was built (so that nothing half-made can be shown or save over the user's files while
    // the message is up), then the error's message (empty when it has none) is shown in the
    // standard error box. Answers the exit status, which is 0 on every road.
    int RunStartUp(const std::function<void()>& steps,
                   const std::function<void()>& discard) noexcept;

    // Runs when another copy of the program brings the application window forward: the main
    // form should come back from the tray and to the foreground.
    std::function<void()> OnRestore;

    // Runs an event handler. An exception that escapes it is shown in the standard error box
    // and the program goes on: no exception crosses a window procedure.
    template <class Handler> static void Guarded(Handler&& handler) noexcept {
        try {
            handler();
        } catch (const std::exception& e) {
            Instance().ShowException(e.what());
        } catch (...) {
            Instance().ShowException("");
        }
    }

private:
    Application() = default;
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    std::string title_;
    bool terminated_ = false;
};

} // namespace snapkeep::ui

// Program entry: the application object, the main window, the message loop. The exit status is
// 0 on every road out.
#include "app/Main.h"

#include "ui/Application.h"

#include <windows.h>
#include <ole2.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace snapkeep;
    // The folder dialog's newer style needs COM on this thread.
    ::OleInitialize(nullptr);
    ui::Application& app = ui::Application::Instance();
    app.Initialize();
    app.SetTitle("QX Snap Utility");
    app.OnRestore = [] {
        if (MainForm)
            MainForm->RestoreClick();
    };

    TMainForm form;
    std::string error;
    if (!form.Create(error)) {
        // A malformed folder-list file: say why and end before anything is shown or written.
        app.ShowException(error);
        return 0;
    }
    form.TntFormCreate();
    app.Run(form.Handle());
    ::OleUninitialize();
    return 0;
}

// Program entry: the application object, the main window, the message loop. The exit status is
// 0 on every road out.
#include "app/DeviceSetup.h"
#include "app/Main.h"
#include "job/CopyFileWindow.h"

#include "ui/Application.h"

#include <windows.h>
#include <ole2.h>

#include <memory>

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

    auto form = std::make_unique<TMainForm>();
    std::string error;
    if (!form->Create(error)) {
        // A malformed folder-list file: take the half-built window and its tray icon down
        // first, so that nothing (a tray command, the session ending) can show it or save over
        // the user's files while the message is up; then say why and end.
        form.reset();
        app.ShowException(error);
        ::OleUninitialize();
        return 0;
    }
    form->UseDevices(MakeDeviceServices(*form));
    form->TntFormCreate();
    // The job window, hidden until a command shows it, and reused for every job.
    auto copyForm = std::make_unique<TCopyFileForm>();
    if (copyForm->Create())
        copyForm->TntFormCreate();
    else
        copyForm.reset(); // the commands then start nothing
    app.Run(form->Handle());
    copyForm.reset();
    form.reset();
    ::OleUninitialize();
    return 0;
}

// Program entry: the application object, the main window, the message loop. The exit status is
// 0 on every road out, an error during start-up included.
#include "app/DeviceSetup.h"
#include "app/Main.h"
#include "app/TraySwitch.h"
#include "job/CopyFileWindow.h"

#include "ui/Application.h"

#include <windows.h>
#include <ole2.h>

#include <memory>
#include <stdexcept>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int) {
    using namespace snapkeep;
    // Started by the logon task: in the tray, the window not shown.
    const bool inTray = arguments && HasTraySwitch(reinterpret_cast<const char16_t*>(arguments));
    // The folder dialog's newer style needs COM on this thread.
    ::OleInitialize(nullptr);
    ui::Application& app = ui::Application::Instance();
    std::unique_ptr<TMainForm> form;
    std::unique_ptr<TCopyFileForm> copyForm;
    const int status = app.RunStartUp(
        [&] {
            app.Initialize();
            app.SetTitle("QX Snap Utility");
            app.OnRestore = [] {
                if (MainForm)
                    MainForm->RestoreClick();
            };
            form = std::make_unique<TMainForm>();
            std::string error;
            // A malformed folder-list file ends start-up like any other error.
            if (!form->Create(DataFolderBase(), error))
                throw std::runtime_error(error);
            form->UseDevices(MakeDeviceServices(*form));
            form->TntFormCreate();
            // The job window, hidden until a command shows it, and reused for every job.
            copyForm = std::make_unique<TCopyFileForm>(*form);
            if (copyForm->Create())
                copyForm->TntFormCreate();
            else
                copyForm.reset(); // the commands then start nothing
            if (inTray && !app.Terminated()) {
                // No window shows, so no first activation runs the rescan: run it now, so the
                // enclosure's button works from the start. Restoring the window later is its
                // first activation and rescans again.
                app.ShowMainForm = false;
                form->RescanDrives();
            }
            app.Run(form->Handle());
        },
        // The half-built windows and the tray icon go before the message is shown: nothing (a
        // tray command, the session ending) may show them or save over the user's files then.
        [&] {
            copyForm.reset();
            form.reset();
        });
    copyForm.reset();
    form.reset();
    ::OleUninitialize();
    return status;
}

// Program entry: the application object, the main window, the message loop. The exit status is
// 0 on every road out, an error during start-up included.
#include "app/DeviceSetup.h"
#include "app/Main.h"

#include "ui/Application.h"

#include <windows.h>
#include <ole2.h>

#include <memory>
#include <stdexcept>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    using namespace snapkeep;
    // The folder dialog's newer style needs COM on this thread.
    ::OleInitialize(nullptr);
    ui::Application& app = ui::Application::Instance();
    std::unique_ptr<TMainForm> form;
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
            if (!form->Create(error))
                throw std::runtime_error(error);
            form->UseDevices(MakeDeviceServices(*form));
            form->TntFormCreate();
            app.Run(form->Handle());
        },
        // The half-built window and its tray icon go before the message is shown: nothing (a
        // tray command, the session ending) may show it or save over the user's files then.
        [&] { form.reset(); });
    form.reset();
    ::OleUninitialize();
    return status;
}

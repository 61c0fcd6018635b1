// The enclosure's backup button, polled on the main window's timer: a press runs the Backup
// command exactly as a click on Backup does.
#include "app/Main.h"

#include "device/BackupButton.h"
#include "device/ButtonPressGate.h"
#include "device/IdentifyChip.h"
#include "win/ScopedFlag.h"

namespace snapkeep {

void TMainForm::TimerGpioBtnTimer() {
    // Identification may show its error box, whose own message loop goes on handling this
    // timer; a tick arriving there would open box after box. It does nothing instead.
    if (inButtonTick_)
        return;
    bool pressed = false;
    {
        win::ScopedFlag tick(inButtonTick_);
        // The chip is identified on every tick: the enclosure behind the path may have changed.
        const ChipFamily family = IdentifyChip(devices_->Port(), *notifier_, EnclosureDevicePath);
        if (!btnBackup.Enabled())
            return;
        pressed = BackupButtonPressed(devices_->Port(), EnclosureDevicePath, family, Config);
    }
    // The tick's guard is down before the command runs: ticks during the job or a refusal's box
    // still identify the chip and read the button, and the gate keeps them from running the
    // command again meanwhile. So a button held through a job starts the next job at the first
    // tick after the window closes, and a refusal's box opens once per press.
    if (!buttonGate_.Tick(pressed))
        return;
    JobStart start = JobStart::Refused;
    {
        // The job's history record says the enclosure's button started it.
        win::ScopedFlag byButton(buttonCommand_);
        start = RunBackupCommand();
    }
    if (start == JobStart::RefusedWithMessage)
        buttonGate_.RefusedWithMessage();
}

} // namespace snapkeep

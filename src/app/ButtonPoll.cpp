// The enclosure's backup button, polled on the main window's timer: a press runs the Backup
// command exactly as a click on Backup does.
#include "app/Main.h"

#include "device/BackupButton.h"
#include "device/IdentifyChip.h"

namespace snapkeep {

void TMainForm::TimerGpioBtnTimer() {
    // Identification may show its error box, whose own message loop goes on handling this
    // timer; a tick arriving there would open box after box. It does nothing instead.
    if (inButtonTick_)
        return;
    inButtonTick_ = true;
    // The chip is identified on every tick: the enclosure behind the path may have changed.
    const ChipFamily family = IdentifyChip(devices_->Port(), *notifier_, EnclosureDevicePath);
    const bool pressed = btnBackup.Enabled() &&
                         BackupButtonPressed(devices_->Port(), EnclosureDevicePath, family, Config);
    inButtonTick_ = false;
    // The guard is down before the command runs: ticks during the job still identify the chip
    // and read the button, and the command refuses them while the job window is shown. So a
    // button held through a job starts the next job at the first tick after the window closes.
    if (pressed) {
        buttonCommand_ = true;
        btnBackupClick();
        buttonCommand_ = false;
    }
}

} // namespace snapkeep

// SnapkeepSim.exe: the enclosures described in the data folder's Enclosure.ini, beside the
// machine's own drives. A change of attached enclosures reaches the main window as the
// notification Windows sends when the set of devices changes, so it rescans as it would for a
// real enclosure.
#include "app/DeviceSetup.h"

#include "app/Main.h"
#include "device/EnclosureFile.h"
#include "device/SimulatedEnclosureDevices.h"
#include "win/ProgramFolder.h"
#include "worker/SlowDriveFileAccess.h"

#include <dbt.h>

#include <map>
#include <vector>

namespace snapkeep {

namespace {

// Each letter of each described enclosure with its disk's speed; an enclosure that is unplugged
// keeps its letters here, so that a file still open on them fails as on a disk that has gone.
std::map<char, DriveSpeed> DriveSpeeds(const std::vector<EnclosureEntry>& entries) {
    std::map<char, DriveSpeed> drives;
    for (const EnclosureEntry& entry : entries) {
        if (!entry.profile)
            continue;
        const DriveSpeed speed{entry.writeMBps, entry.readMBps, entry.fileOpenMs, entry.attached,
                               entry.capacityMB};
        for (char letter : entry.letters)
            drives.emplace(letter, speed); // the first enclosure to name a letter owns it
    }
    return drives;
}

} // namespace

std::wstring DataFolderBase() {
    return win::CurrentFolder();
}

std::unique_ptr<DeviceServices> MakeDeviceServices(TMainForm& form) {
    HWND window = form.Handle();
    // Lives as long as the process: the copies reach it through SystemFileAccess().
    static SlowDriveFileAccess slowDrives(PlainFileAccess());
    UseFileAccess(slowDrives);
    return std::make_unique<win::SimulatedEnclosureDevices>(
        form.DataPath(kEnclosureFilePath),
        [window] { ::PostMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0); },
        [](const std::vector<EnclosureEntry>& entries) {
            slowDrives.SetDrives(DriveSpeeds(entries));
        });
}

} // namespace snapkeep

// SnapkeepSim.exe: the enclosures described in the data folder's Enclosure.ini, beside the
// machine's own drives. A change of attached enclosures reaches the main window as the
// notification Windows sends when the set of devices changes, so it rescans as it would for a
// real enclosure.
#include "app/DeviceSetup.h"

#include "app/Main.h"
#include "device/EnclosureFile.h"
#include "device/SimulatedEnclosureDevices.h"

#include <dbt.h>

namespace snapkeep {

std::unique_ptr<DeviceServices> MakeDeviceServices(TMainForm& form) {
    HWND window = form.Handle();
    return std::make_unique<win::SimulatedEnclosureDevices>(
        form.DataPath(kEnclosureFilePath),
        [window] { ::PostMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0); });
}

} // namespace snapkeep

// Snapkeep.exe: the machine's own disks, drive letters and SCSI pass-through.
#include "app/DeviceSetup.h"

#include "device/WindowsDeviceServices.h"
#include "win/ProgramFolder.h"

namespace snapkeep {

std::unique_ptr<DeviceServices> MakeDeviceServices(TMainForm&) {
    return std::make_unique<win::WindowsDeviceServices>();
}

std::wstring DataFolderBase() {
    return win::ProgramFolder();
}

} // namespace snapkeep

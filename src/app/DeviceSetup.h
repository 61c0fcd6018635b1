#pragma once
// The device services the program runs on. Snapkeep.exe and SnapkeepSim.exe are built from the
// same sources and differ only here: the first links the machine's own services
// (SystemDevices.cpp), the second the simulated enclosures of "SnapData\Enclosure.ini"
// (SimulatedDevices.cpp).
#include "device/DeviceServices.h"

#include <memory>

namespace snapkeep {

class TMainForm;

// Called once the main window exists and has read its data folder.
std::unique_ptr<DeviceServices> MakeDeviceServices(TMainForm& form);

} // namespace snapkeep

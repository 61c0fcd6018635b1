#pragma once
// The device services the program runs on. Snapkeep.exe and SnapkeepSim.exe are built from the
// same sources and differ only here: the first links the machine's own services
// (SystemDevices.cpp), the second the simulated enclosures of "SnapData\Enclosure.ini"
// (SimulatedDevices.cpp).
#include "device/DeviceServices.h"

#include <memory>
#include <string>

namespace snapkeep {

class TMainForm;

// Called once the main window exists and has read its data folder.
std::unique_ptr<DeviceServices> MakeDeviceServices(TMainForm& form);

// The folder that holds this program's "SnapData". Snapkeep.exe runs elevated: its data folder
// is the one beside its own file, never one below whatever current directory a shortcut or
// another program started it with (that would let them hand it someone else's lists and
// product configuration). SnapkeepSim.exe, a tool for tests and the demo, keeps the current
// directory, so one build serves any number of data folders. Empty when it cannot be told.
std::wstring DataFolderBase();

} // namespace snapkeep

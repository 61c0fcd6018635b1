#pragma once
// Bridge device access: the pass-through transport and the bridge's commands, chip
// identification with the model and firmware gates, the drive rescan over the system's device
// services, and the simulated bridge and enclosures. Users include this header; the pieces live
// in the small headers below.
#include "device/BackupButton.h"
#include "device/BridgeCommands.h"
#include "device/BridgePort.h"
#include "device/BridgeProfile.h"
#include "device/ChipCodes.h"
#include "device/ChipFamily.h"
#include "device/DeviceServices.h"
#include "device/DriveRescan.h"
#include "device/EnclosureFile.h"
#include "device/ErrorNotifier.h"
#include "device/FirmwarePattern.h"
#include "device/IdentifyChip.h"
#include "device/ModelGate.h"
#include "device/SendBridgeCommand.h"
#include "device/SimulatedBridge.h"
#include "device/SimulatedEnclosures.h"

#if defined(_WIN32)
#include "device/MessageBoxNotifier.h"
#include "device/PassThroughPort.h"
#include "device/SimulatedEnclosureDevices.h"
#include "device/WindowsDeviceServices.h"
#endif

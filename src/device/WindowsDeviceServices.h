#pragma once
// The device services of a real Windows machine: the setup API's disk interfaces, the drive
// mask and drive types, the Windows folder, the storage device-number request, and SCSI
// pass-through to the bridges.
#include "device/DeviceServices.h"
#include "device/PassThroughPort.h"

namespace snapkeep::win {

class WindowsDeviceServices final : public DeviceServices {
public:
    BridgePort& Port() override { return port_; }
    bool DiskInterfacePaths(std::vector<std::string>& paths) override;
    uint32_t LogicalDrives() override;
    char WindowsFolderDrive() override;
    bool IsNetworkDrive(char letter) override;
    bool QueryDeviceNumber(const std::string& path, StorageDeviceNumber& number) override;
    StorageBus QueryBusType(const std::string& path) override;

private:
    PassThroughPort port_;
};

} // namespace snapkeep::win

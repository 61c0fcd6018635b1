#pragma once
// The port to a real bridge: SCSI pass-through (IOCTL_SCSI_PASS_THROUGH_DIRECT) on the disk's
// device path. The device is opened and closed for every command; no handle stays open.
#include "device/BridgePort.h"

#include <windows.h>

#include <functional>
#include <string>

namespace snapkeep::win {

// The shape of DeviceIoControl without the OVERLAPPED argument (requests here are synchronous).
// Tests put a fake here to see the request exactly as it would reach the driver.
using DeviceControlCall = std::function<BOOL(HANDLE device, DWORD code, void* in, DWORD inSize,
                                             void* out, DWORD outSize, DWORD* returned)>;

class PassThroughPort final : public BridgePort {
public:
    PassThroughPort(); // uses ::DeviceIoControl
    explicit PassThroughPort(DeviceControlCall deviceControl);

    // True only when the request call succeeded, left the last error at 0, and the device
    // reported SCSI status 0.
    bool Execute(const std::string& devicePath, std::span<const uint8_t> commandBlock,
                 std::span<uint8_t> dataIn) override;

private:
    DeviceControlCall deviceControl_;
};

} // namespace snapkeep::win

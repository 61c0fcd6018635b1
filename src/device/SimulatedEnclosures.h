#pragma once
// Enclosures in software: the disks, volumes and bridges that an Enclosure.ini describes, seen
// through the same services the drive rescan asks of Windows. Each [Enclosure] section is a USB
// mass-storage disk with a simulated bridge of the named profile; its listed letters are volumes
// on that disk. Every other volume of the machine lies on the system disk. The drive mask, the
// Windows folder and network drives come from the machine the simulation runs on (`host`), so
// the letters of real drives are still seen, as they would be beside a real enclosure.
#include "device/DeviceServices.h"
#include "device/EnclosureFile.h"
#include "device/SimulatedBridge.h"

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace snapkeep {

class SimulatedEnclosures final : public DeviceServices, public BridgePort {
public:
    // The system disk's interface: not attached through USB, so never a candidate.
    static constexpr const char* kSystemDiskPath =
        "\\\\?\\ide#diskvelmora_system_disk_____________1.0#4&1a2b3c4d&0&0.0.0#"
        "{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";

    explicit SimulatedEnclosures(DeviceServices& host) : host_(host) {}

    // Takes a new description. Answers true when the disks the system would report changed:
    // an enclosure attached or detached, or its letters changed. Button changes apply at once.
    bool Apply(const std::vector<EnclosureEntry>& entries);

    // The device path of the enclosure of section `index`: the bridge's usual path for the
    // first, the same with another serial number for each later one.
    static std::string DevicePathOf(size_t index);

    // The bridge of section `index` (for tests); null when that section simulates nothing.
    std::shared_ptr<SimulatedBridge> BridgeOf(size_t index) const;

    // DeviceServices.
    BridgePort& Port() override { return *this; }
    bool DiskInterfacePaths(std::vector<std::string>& paths) override;
    uint32_t LogicalDrives() override;
    char WindowsFolderDrive() override { return host_.WindowsFolderDrive(); }
    bool IsNetworkDrive(char letter) override { return host_.IsNetworkDrive(letter); }
    bool QueryDeviceNumber(const std::string& path, StorageDeviceNumber& number) override;
    // An attached enclosure's disk is on USB, the system disk on SATA; anything else is unknown.
    StorageBus QueryBusType(const std::string& path) override;

    // BridgePort: commands reach the bridge of the attached enclosure with that path.
    bool Execute(const std::string& devicePath, std::span<const uint8_t> commandBlock,
                 std::span<uint8_t> dataIn) override;

private:
    struct Enclosure {
        EnclosureEntry entry;
        std::shared_ptr<SimulatedBridge> bridge; // null: no known profile
    };
    // What the system reports of the attached enclosures: their paths and letters.
    std::vector<std::pair<std::string, std::string>> VisibleDisks() const;

    DeviceServices& host_;
    mutable std::mutex mutex_; // guards enclosures_; bridges guard themselves
    std::vector<Enclosure> enclosures_;
};

} // namespace snapkeep

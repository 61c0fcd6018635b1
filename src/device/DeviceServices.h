#pragma once
// What the drive rescan asks of the system: the disks it can see, the drive letters, and which
// disk a volume lies on. Snapkeep.exe answers from Windows itself (the setup API, the drive mask,
// the storage device-number request); the simulated program and the tests answer from their own
// model. The rule that picks the enclosure's drives sits above this interface and is the same
// code for all of them.
#include "device/BridgePort.h"

#include <cstdint>
#include <string>
#include <vector>

namespace snapkeep {

// The storage device number of a disk or a volume, as the system reports it.
struct StorageDeviceNumber {
    uint32_t DeviceType = 0;
    uint32_t DeviceNumber = 0;
    uint32_t PartitionNumber = 0;

    bool operator==(const StorageDeviceNumber&) const = default;
};

// FILE_DEVICE_DISK: the device type of a disk and of the volumes on it.
inline constexpr uint32_t kDiskDeviceType = 7;

// The bus a disk is attached through, as the storage property query reports it (the values are
// the system's own STORAGE_BUS_TYPE numbers; only the ones the program tells apart are named).
enum class StorageBus : uint32_t {
    Unknown = 0x00,
    Scsi = 0x01,
    Atapi = 0x02,
    Ata = 0x03,
    Ieee1394 = 0x04, // SBP-2 disks report this bus too
    Usb = 0x07,      // USB mass storage, and USB Attached SCSI (UAS) enclosures
    Raid = 0x08,
    Sas = 0x0A,
    Sata = 0x0B,
    Virtual = 0x0E,
    Nvme = 0x11,
};

// Whether the bridge's vendor commands may be sent to a disk on `bus`: only USB and IEEE 1394
// disks can sit behind the maker's bridge. An internal SATA, SAS or NVMe disk, a RAID set or a
// disk whose bus is not known gets no command at all: its path may still carry "scsi".
bool MayReceiveBridgeCommands(StorageBus bus);

class DeviceServices {
public:
    virtual ~DeviceServices() = default;

    // The port that carries bridge commands to these disks.
    virtual BridgePort& Port() = 0;

    // Device paths (8-bit text) of the present disk interfaces, in the system's order, up to the
    // first one whose path cannot be read. False when the system gives no list at all.
    virtual bool DiskInterfacePaths(std::vector<std::string>& paths) = 0;

    // Bit b set: drive letter 'A' + b exists.
    virtual uint32_t LogicalDrives() = 0;

    // The first character of the Windows folder's path (its drive letter).
    virtual char WindowsFolderDrive() = 0;

    // True when drive `letter` ("%c:\") is a network drive.
    virtual bool IsNetworkDrive(char letter) = 0;

    // The storage device number of `path`: a disk's device path, or a volume "\\.\X:". The path
    // is opened for device queries only. False when it cannot be opened or does not answer.
    virtual bool QueryDeviceNumber(const std::string& path, StorageDeviceNumber& number) = 0;

    // The bus the disk at `path` is attached through (the storage property query, opened for
    // queries only); Unknown when it cannot be opened or does not answer.
    virtual StorageBus QueryBusType(const std::string& path) = 0;
};

} // namespace snapkeep

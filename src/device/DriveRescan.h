#pragma once
// The drive rescan: which drive letters belong to an accepted enclosure. It lists the disks
// attached through USB mass storage, IEEE 1394 (SBP-2) or a SCSI-class port whose bus is USB or
// IEEE 1394 (a UAS enclosure is listed as SCSI, on a USB bus), keeps those that answer as the
// maker's bridge, gates each one's chip family and firmware against the product
// configuration, and lists the drive letters of every volume on an accepted disk.
#include "device/DeviceServices.h"
#include "device/ErrorNotifier.h"
#include "store/ProductConfig.h"

#include <cstddef>
#include <string>
#include <vector>

namespace snapkeep {

// Limits of one rescan. A device path longer than kMaxDevicePathLength is never a candidate:
// cut short it would name another device, or none. Disks beyond the first kMaxBridgeDisks
// candidates are not looked at (no command is sent to them).
inline constexpr size_t kMaxBridgeDisks = 16;
inline constexpr size_t kMaxDevicePathLength = 255;
inline constexpr size_t kMaxDiskLetters = 8;

// What a rescan changes on the main window, in the order the rescan does it.
class RescanTarget {
public:
    virtual ~RescanTarget() = default;
    // Deselects and empties the drive-letter box.
    virtual void ClearDriveBox() = 0;
    // Lets pending window messages run once (a device change handled here rescans nested).
    virtual void ProcessPendingMessages() = 0;
    // Appends the entry "%c:\" for drive `letter`.
    virtual void AddDriveEntry(char letter) = 0;
    virtual void SetEnclosureDevicePath(const std::string& path) = 0;
    // Found: select the first entry and say so; otherwise select none (entries stay). Then the
    // Backup and Restore buttons follow the new selection.
    virtual void ShowRescanResult(bool found) = 0;
};

// One whole rescan. Answers true when an enclosure was accepted, its chip information was read
// for the last disk that passed the model gate, and the last accepted disk has a drive letter.
// The caller holds the rescan lock around it; a rescan nested inside (from the message pump or
// the identification's message box) runs to its end with lists of its own.
bool RescanDrives(DeviceServices& services, ErrorNotifier& notifier, const ProductConfig& config,
                  RescanTarget& target);

// Fills `list` with the device paths of disks on a USB or IEEE 1394 bus that answer as the
// bridge (the inquiry tag, or else the vendor pin-level read) and answers their number, at most
// kMaxBridgeDisks.
size_t FindBridgeDisks(DeviceServices& services, std::vector<std::string>& list, bool includeSbp2);

// True when the standard inquiry succeeds and its bytes 36-37 are "q7" or "q4".
bool IsBridgeInquiry(DeviceServices& services, const std::string& path);

// The drive letters, in alphabetical order and at most kMaxDiskLetters, of the volumes that lie
// on the disk at `path`; never the Windows folder's drive or a network drive.
void DriveLettersOfDisk(DeviceServices& services, const std::string& path,
                        std::vector<char>& letters);

bool GetDeviceNumber(DeviceServices& services, const std::string& path,
                     StorageDeviceNumber& number);

} // namespace snapkeep

#include "device/DriveRescan.h"

#include "device/BridgeCommands.h"
#include "device/FirmwarePattern.h"
#include "device/IdentifyChip.h"
#include "device/ModelGate.h"

#include <array>
#include <string>

namespace snapkeep {

namespace {

// The attachment kinds the rescan looks at, by the text their device paths carry. The setup API
// gives lower-case paths; the test is case-sensitive.
bool IsCandidateKind(const std::string& path, bool includeSbp2) {
    return path.find("usbsto") != std::string::npos ||
           (includeSbp2 && path.find("sbp2") != std::string::npos) ||
           path.find("scsi") != std::string::npos;
}

char UpperLetter(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The five firmware parts the FwVer patterns are matched against: "%02d" of chip-information
// bytes 12 to 15, and "0".
FirmwareParts FirmwarePartsOf(const std::array<uint8_t, kChipInfoLength>& info) {
    const auto part = [&info](size_t k) {
        const unsigned value = info[12 + k];
        char text[3];
        size_t length = 0;
        if (value >= 100)
            text[length++] = static_cast<char>('0' + value / 100);
        text[length++] = static_cast<char>('0' + value / 10 % 10);
        text[length++] = static_cast<char>('0' + value % 10);
        return std::string(text, length);
    };
    return {part(0), part(1), part(2), part(3), std::string("0")};
}

} // namespace

bool MayReceiveBridgeCommands(StorageBus bus) {
    return bus == StorageBus::Usb || bus == StorageBus::Ieee1394;
}

bool GetDeviceNumber(DeviceServices& services, const std::string& path,
                     StorageDeviceNumber& number) {
    return services.QueryDeviceNumber(path, number);
}

bool IsBridgeInquiry(DeviceServices& services, const std::string& path) {
    std::array<uint8_t, kInquiryLength> inquiry{};
    if (!ReadInquiry(services.Port(), path, inquiry))
        return false;
    return inquiry[36] == 'q' && (inquiry[37] == '7' || inquiry[37] == '4');
}

size_t FindBridgeDisks(DeviceServices& services, std::vector<std::string>& list, bool includeSbp2) {
    list.clear();
    std::vector<std::string> paths;
    if (!services.DiskInterfacePaths(paths))
        return 0;
    for (const std::string& path : paths) {
        if (list.size() == kMaxBridgeDisks)
            break;
        if (path.size() > kMaxDevicePathLength || !IsCandidateKind(path, includeSbp2))
            continue;
        // The path's text alone lets internal disks through ("scsi" names SATA and NVMe disks on
        // many PCs): a disk is asked for its bus before it gets any command.
        if (!MayReceiveBridgeCommands(services.QueryBusType(path)))
            continue;
        std::array<uint8_t, kGpioWordLength> word{};
        if (IsBridgeInquiry(services, path) || ReadGpioWord(services.Port(), path, word))
            list.push_back(path);
    }
    return list.size();
}

void DriveLettersOfDisk(DeviceServices& services, const std::string& path,
                        std::vector<char>& letters) {
    letters.clear();
    StorageDeviceNumber disk;
    if (!GetDeviceNumber(services, path, disk))
        return;
    uint32_t mask = services.LogicalDrives();
    // Compared without regard to case: the Windows folder may be given as c:\windows, and its
    // volume must never be listed, whichever disk it is on.
    const char windowsDrive = UpperLetter(services.WindowsFolderDrive());
    for (int bit = 0; mask != 0 && bit < 26; ++bit, mask >>= 1) {
        const char letter = static_cast<char>('A' + bit);
        if (!(mask & 1) || letter == windowsDrive || services.IsNetworkDrive(letter))
            continue;
        StorageDeviceNumber volume;
        const std::string volumePath = std::string("\\\\.\\") + letter + ":";
        if (!GetDeviceNumber(services, volumePath, volume))
            continue;
        // The partition does not matter: every volume of the disk belongs to the enclosure.
        if (volume.DeviceType == disk.DeviceType && volume.DeviceNumber == disk.DeviceNumber)
            letters.push_back(letter);
        if (letters.size() == kMaxDiskLetters)
            break;
    }
}

bool RescanDrives(DeviceServices& services, ErrorNotifier& notifier, const ProductConfig& config,
                  RescanTarget& target) {
    target.ClearDriveBox();
    target.ProcessPendingMessages();

    // This run's own lists: a rescan nested in the message pump above or in identification's
    // message box below has its own and leaves these alone.
    std::vector<std::string> candidates;
    std::vector<char> letters;
    bool result = true;
    if (FindBridgeDisks(services, candidates, true) == 0) {
        result = false;
    } else {
        bool accepted = false;
        size_t lastLetterCount = 0;
        for (const std::string& path : candidates) {
            if (!ModelAccepts(config.Model, IdentifyChip(services.Port(), notifier, path)))
                continue;
            std::array<uint8_t, kChipInfoLength> info{};
            result = ReadChipInfo(services.Port(), path, info);
            if (!result)
                continue;
            if (!FirmwareMatches(config, FirmwarePartsOf(info)))
                continue;

            accepted = true;
            DriveLettersOfDisk(services, path, letters);
            for (char letter : letters)
                target.AddDriveEntry(letter);
            lastLetterCount = letters.size();
            target.SetEnclosureDevicePath(path);
            // The vendor page is read once after each acceptance; the rescan has no use for
            // its answer (the button poll reads the page on its own).
            std::array<uint8_t, kVendorPageLength> page{};
            ReadVendorPage(services.Port(), path, page);
        }
        if (!accepted || lastLetterCount == 0)
            result = false;
    }
    target.ShowRescanResult(result);
    return result;
}

} // namespace snapkeep

#include "device/SimulatedEnclosures.h"

namespace snapkeep {

namespace {

// Firmware bytes go into chip-information bytes 12 to 15 of the profile's reply.
BridgeProfile ProfileFor(const EnclosureEntry& entry) {
    BridgeProfile profile = *FindBridgeProfile(*entry.profile);
    if (profile.chipInfo && profile.chipInfo->size() >= 16)
        for (size_t i = 0; i < entry.firmware.size(); ++i)
            (*profile.chipInfo)[12 + i] = entry.firmware[i];
    return profile;
}

// The button as the bridge shows it: the pin reads the active level while pressed and the other
// one when released; the vendor page flags the press in byte 11 (active low) or byte 20 (active
// high).
void SetButton(SimulatedBridge& bridge, const EnclosureEntry& entry) {
    uint16_t levels = bridge.Profile().pinLevels;
    if (entry.buttonPin < 16) {
        const uint16_t bit = static_cast<uint16_t>(1u << entry.buttonPin);
        const bool high = entry.buttonPressed == entry.buttonActiveHigh;
        levels = high ? (levels | bit) : (levels & ~bit);
    }
    bridge.SetPinLevels(levels);

    VendorPageFields page = bridge.Profile().vendorPage;
    page.byte11 = entry.buttonPressed && !entry.buttonActiveHigh ? 1 : 0;
    page.byte20 = entry.buttonPressed && entry.buttonActiveHigh ? 1 : 0;
    if (entry.buttonPressed)
        page.tag = {'Q', 'X'};
    bridge.SetVendorPage(page);
}

// The letter of a volume path "\\.\X:", or 0.
char VolumeLetter(const std::string& path) {
    if (path.size() != 6 || path.compare(0, 4, "\\\\.\\") != 0 || path[5] != ':')
        return 0;
    const char c = path[4];
    if (c >= 'a' && c <= 'z')
        return static_cast<char>(c - 'a' + 'A');
    return c >= 'A' && c <= 'Z' ? c : 0;
}

} // namespace

std::string SimulatedEnclosures::DevicePathOf(size_t index) {
    std::string path = SimulatedBridge::kDefaultDevicePath;
    const size_t serial = path.find("#sim0#");
    return path.replace(serial, 6, "#sim" + std::to_string(index) + "#");
}

bool SimulatedEnclosures::Apply(const std::vector<EnclosureEntry>& entries) {
    std::lock_guard lock(mutex_);
    const auto before = VisibleDisks();
    std::vector<Enclosure> next(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        Enclosure& e = next[i];
        e.entry = entries[i];
        if (!e.entry.profile)
            continue;
        // The same bridge goes on while its profile and firmware stay, so a button press does
        // not reset what the bridge has seen.
        if (i < enclosures_.size() && enclosures_[i].bridge &&
            enclosures_[i].entry.profile == e.entry.profile &&
            enclosures_[i].entry.firmware == e.entry.firmware)
            e.bridge = enclosures_[i].bridge;
        else
            e.bridge = std::make_shared<SimulatedBridge>(ProfileFor(e.entry), DevicePathOf(i));
        SetButton(*e.bridge, e.entry);
    }
    enclosures_ = std::move(next);
    return VisibleDisks() != before;
}

std::vector<std::pair<std::string, std::string>> SimulatedEnclosures::VisibleDisks() const {
    std::vector<std::pair<std::string, std::string>> disks;
    for (size_t i = 0; i < enclosures_.size(); ++i)
        if (enclosures_[i].bridge && enclosures_[i].entry.attached)
            disks.emplace_back(DevicePathOf(i), enclosures_[i].entry.letters);
    return disks;
}

std::shared_ptr<SimulatedBridge> SimulatedEnclosures::BridgeOf(size_t index) const {
    std::lock_guard lock(mutex_);
    return index < enclosures_.size() ? enclosures_[index].bridge : nullptr;
}

bool SimulatedEnclosures::DiskInterfacePaths(std::vector<std::string>& paths) {
    std::lock_guard lock(mutex_);
    paths.assign(1, kSystemDiskPath);
    for (const auto& disk : VisibleDisks())
        paths.push_back(disk.first);
    return true;
}

uint32_t SimulatedEnclosures::LogicalDrives() {
    // A letter of an attached enclosure is there even when no folder backs it, as the volume of
    // an unformatted disk would be.
    uint32_t mask = host_.LogicalDrives();
    std::lock_guard lock(mutex_);
    for (const auto& disk : VisibleDisks())
        for (char letter : disk.second)
            mask |= 1u << (letter - 'A');
    return mask;
}

bool SimulatedEnclosures::QueryDeviceNumber(const std::string& path, StorageDeviceNumber& number) {
    if (path == kSystemDiskPath) {
        number = {kDiskDeviceType, 0, 0};
        return true;
    }
    const char letter = VolumeLetter(path);
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < enclosures_.size(); ++i) {
            const Enclosure& e = enclosures_[i];
            if (!e.bridge || !e.entry.attached)
                continue;
            const uint32_t disk = static_cast<uint32_t>(i + 1);
            if (path == DevicePathOf(i)) {
                number = {kDiskDeviceType, disk, 0};
                return true;
            }
            const size_t partition = letter ? e.entry.letters.find(letter) : std::string::npos;
            if (partition != std::string::npos) {
                number = {kDiskDeviceType, disk, static_cast<uint32_t>(partition + 1)};
                return true;
            }
        }
    }
    // Any other volume of the machine lies on the system disk.
    if (letter && (host_.LogicalDrives() & (1u << (letter - 'A')))) {
        number = {kDiskDeviceType, 0, 1};
        return true;
    }
    return false;
}

StorageBus SimulatedEnclosures::QueryBusType(const std::string& path) {
    if (path == kSystemDiskPath)
        return StorageBus::Sata;
    std::lock_guard lock(mutex_);
    for (const auto& disk : VisibleDisks())
        if (disk.first == path)
            return StorageBus::Usb;
    return StorageBus::Unknown; // a disk that is not there does not answer
}

bool SimulatedEnclosures::Execute(const std::string& devicePath,
                                  std::span<const uint8_t> commandBlock,
                                  std::span<uint8_t> dataIn) {
    std::shared_ptr<SimulatedBridge> bridge;
    {
        std::lock_guard lock(mutex_);
        for (size_t i = 0; i < enclosures_.size() && !bridge; ++i)
            if (enclosures_[i].bridge && enclosures_[i].entry.attached &&
                DevicePathOf(i) == devicePath)
                bridge = enclosures_[i].bridge;
    }
    // A disk that is not there cannot be opened: nothing reaches a device.
    return bridge && bridge->Execute(devicePath, commandBlock, dataIn);
}

} // namespace snapkeep

#include "device/SimulatedEnclosureDevices.h"

#include "win/Files.h"

#include <utility>

namespace snapkeep::win {

SimulatedEnclosureDevices::SimulatedEnclosureDevices(std::wstring file,
                                                     std::function<void()> onDisksChanged,
                                                     EntriesHook onRead)
    : file_(std::move(file)), onDisksChanged_(std::move(onDisksChanged)),
      onRead_(std::move(onRead)), stop_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    Reload(); // the first reading is no change: the program rescans when it first shows
    watcher_ = std::thread([this] {
        while (::WaitForSingleObject(stop_.Get(), kWatchPeriodMs) == WAIT_TIMEOUT)
            Refresh();
    });
}

SimulatedEnclosureDevices::~SimulatedEnclosureDevices() {
    ::SetEvent(stop_.Get());
    watcher_.join();
}

bool SimulatedEnclosureDevices::Reload() {
    std::lock_guard lock(fileMutex_);
    // A file being rewritten may be missing for a moment; that reads as no enclosure, and the
    // next reading brings them back, as a real unplug and replug would.
    std::optional<std::string> bytes = ReadWholeFile(file_);
    if (!bytes)
        bytes = std::string();
    if (bytes == lastBytes_)
        return false;
    lastBytes_ = std::move(bytes);
    const std::vector<EnclosureEntry> entries = ParseEnclosureFile(*lastBytes_);
    if (onRead_)
        onRead_(entries);
    return enclosures_.Apply(entries);
}

void SimulatedEnclosureDevices::Refresh() {
    if (Reload() && onDisksChanged_)
        onDisksChanged_();
}

bool SimulatedEnclosureDevices::DiskInterfacePaths(std::vector<std::string>& paths) {
    Refresh();
    return enclosures_.DiskInterfacePaths(paths);
}

uint32_t SimulatedEnclosureDevices::LogicalDrives() {
    Refresh();
    return enclosures_.LogicalDrives();
}

char SimulatedEnclosureDevices::WindowsFolderDrive() {
    return enclosures_.WindowsFolderDrive();
}

bool SimulatedEnclosureDevices::IsNetworkDrive(char letter) {
    return enclosures_.IsNetworkDrive(letter);
}

bool SimulatedEnclosureDevices::QueryDeviceNumber(const std::string& path,
                                                  StorageDeviceNumber& number) {
    Refresh();
    return enclosures_.QueryDeviceNumber(path, number);
}

StorageBus SimulatedEnclosureDevices::QueryBusType(const std::string& path) {
    Refresh();
    return enclosures_.QueryBusType(path);
}

bool SimulatedEnclosureDevices::Execute(const std::string& devicePath,
                                        std::span<const uint8_t> commandBlock,
                                        std::span<uint8_t> dataIn) {
    Refresh();
    return enclosures_.Execute(devicePath, commandBlock, dataIn);
}

} // namespace snapkeep::win

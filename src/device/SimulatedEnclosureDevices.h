#pragma once
// The simulated program's device services: the enclosures that a data file describes, on top of
// the machine's own drives. The file is read again before every question and command, so a
// button pressed or released in the file takes effect at the next command, and it is watched
// from a thread of its own, so that attaching or detaching an enclosure (or changing its
// letters) is announced as Windows announces a changed set of devices.
#include "device/SimulatedEnclosures.h"
#include "device/WindowsDeviceServices.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "win/Handle.h"

namespace snapkeep::win {

class SimulatedEnclosureDevices final : public DeviceServices, public BridgePort {
public:
    // How often the watcher looks at the file.
    static constexpr unsigned kWatchPeriodMs = 100;

    // `file` is read now; `onDisksChanged` runs, on the watcher's thread or on the caller's,
    // each time a later reading changes the disks the system would report. `onRead`, when
    // given, is handed the enclosures of this first reading and of every later one that
    // changed anything. A missing file describes no enclosure.
    using EntriesHook = std::function<void(const std::vector<EnclosureEntry>&)>;
    SimulatedEnclosureDevices(std::wstring file, std::function<void()> onDisksChanged,
                              EntriesHook onRead = {});
    ~SimulatedEnclosureDevices() override;
    SimulatedEnclosureDevices(const SimulatedEnclosureDevices&) = delete;
    SimulatedEnclosureDevices& operator=(const SimulatedEnclosureDevices&) = delete;

    // The bridge of the enclosure of section `index` (for tests); null when it simulates nothing.
    std::shared_ptr<SimulatedBridge> BridgeOf(size_t index) const {
        return enclosures_.BridgeOf(index);
    }

    BridgePort& Port() override { return *this; }
    bool DiskInterfacePaths(std::vector<std::string>& paths) override;
    uint32_t LogicalDrives() override;
    char WindowsFolderDrive() override;
    bool IsNetworkDrive(char letter) override;
    bool QueryDeviceNumber(const std::string& path, StorageDeviceNumber& number) override;
    StorageBus QueryBusType(const std::string& path) override;
    bool Execute(const std::string& devicePath, std::span<const uint8_t> commandBlock,
                 std::span<uint8_t> dataIn) override;

private:
    // Reads the file and takes what changed; answers whether the disks changed.
    bool Reload();
    void Refresh();

    WindowsDeviceServices machine_;
    SimulatedEnclosures enclosures_{machine_};
    const std::wstring file_;
    const std::function<void()> onDisksChanged_;
    const EntriesHook onRead_;
    std::mutex fileMutex_; // guards lastBytes_
    std::optional<std::string> lastBytes_;
    Handle stop_;
    std::thread watcher_;
};

} // namespace snapkeep::win

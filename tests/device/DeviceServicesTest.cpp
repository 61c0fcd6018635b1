// The two sets of device services as the programs use them under Wine: the machine's own, and
// the simulated enclosures read from their data file while it changes.
#include "TempDir.h"
#include "Wait.h"
#include "device/BridgeCommands.h"
#include "device/SimulatedEnclosureDevices.h"
#include "device/WindowsDeviceServices.h"

#include <gtest/gtest.h>

#include <atomic>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

TEST(WindowsDeviceServicesTest, AnswersFromTheMachine) {
    win::WindowsDeviceServices services;
    // Wine's setup API lists no disk; a real Windows lists at least the system disk.
    std::vector<std::string> paths{"stale"};
    EXPECT_TRUE(services.DiskInterfacePaths(paths));
    EXPECT_TRUE(paths.empty() || paths.front().starts_with("\\\\?\\"));

    const uint32_t mask = services.LogicalDrives();
    EXPECT_EQ(mask, ::GetLogicalDrives());
    const char windows = services.WindowsFolderDrive();
    ASSERT_TRUE(windows >= 'A' && windows <= 'Z');
    EXPECT_TRUE(mask & (1u << (windows - 'A')));
    EXPECT_FALSE(services.IsNetworkDrive(windows));

    StorageDeviceNumber number;
    EXPECT_TRUE(services.QueryDeviceNumber(std::string("\\\\.\\") + windows + ":", number));
    EXPECT_EQ(number.DeviceType, kDiskDeviceType);
    char missing = 'Y';
    while (missing > 'D' && (mask & (1u << (missing - 'A'))))
        --missing;
    EXPECT_FALSE(services.QueryDeviceNumber(std::string("\\\\.\\") + missing + ":", number));
    EXPECT_FALSE(services.QueryDeviceNumber("\\\\?\\usbstor#no-such-disk#0#{0}", number));
    // A disk that is not there has no bus to tell.
    EXPECT_EQ(services.QueryBusType("\\\\?\\usbstor#no-such-disk#0#{0}"), StorageBus::Unknown);
}

class SimulatedEnclosureDevicesTest : public testing::Test {
protected:
    bool Write(const std::string& text) {
        // Written whole and renamed into place, as the tests and the demo do, so the program
        // never reads half a file.
        return WriteBytes(file_ + L".new", text) &&
               ::MoveFileExW((file_ + L".new").c_str(), file_.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    bool Attached(win::SimulatedEnclosureDevices& devices) {
        std::vector<std::string> paths;
        devices.DiskInterfacePaths(paths);
        return paths.size() == 2;
    }

    TempDir dir_;
    std::wstring file_ = dir_ / L"Enclosure.ini";
    std::atomic<int> changes_{0};
};

TEST_F(SimulatedEnclosureDevicesTest, AttachingAndDetachingInTheFileIsAnnounced) {
    win::SimulatedEnclosureDevices devices(file_, [this] { ++changes_; });
    EXPECT_FALSE(Attached(devices)) << "a missing file describes no enclosure";

    ASSERT_TRUE(Write("[Enclosure]\nProfile=inquiry-785\nLetters=Q\n"));
    EXPECT_TRUE(WaitUntil([&] { return changes_ >= 1; }, 3000)) << "the watcher saw the file";
    EXPECT_TRUE(Attached(devices));
    EXPECT_TRUE(devices.LogicalDrives() & (1u << ('Q' - 'A')))
        << "the letter is reported although no folder backs it";

    // Pressing the button is no device change, but the next command sees it at once.
    const int before = changes_;
    ASSERT_TRUE(Write("[Enclosure]\nProfile=inquiry-785\nLetters=Q\nButtonPressed=1\n"));
    std::array<uint8_t, kVendorPageLength> page{};
    ASSERT_TRUE(ReadVendorPage(devices, SimulatedBridge::kDefaultDevicePath, page));
    EXPECT_NE(page[11], 0);
    EXPECT_EQ(changes_, before);

    ASSERT_TRUE(Write("[Enclosure]\nProfile=inquiry-785\nLetters=Q\nAttached=0\n"));
    EXPECT_TRUE(WaitUntil([&] { return changes_ > before; }, 3000));
    EXPECT_FALSE(Attached(devices));
    EXPECT_FALSE(ReadVendorPage(devices, SimulatedBridge::kDefaultDevicePath, page));
}

} // namespace

// The simulated enclosures: reading their description, and what the system and the bridge
// show of them.
#include "device/BridgeCommands.h"
#include "device/DriveRescan.h"
#include "device/SimulatedEnclosures.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {

TEST(EnclosureFileTest, ReadsSectionsInOrderAndIgnoresWhatItCannotRead) {
    const std::string file = "\xEF\xBB\xBF; two enclosures\r\n"
                             "Profile=inquiry-786\r\n" // before any section: ignored
                             "[Enclosure]\r\n"
                             "  Profile = inquiry-785   ; the first\r\n"
                             "Firmware=1 2 3 4\r\n"
                             "Letters=e F\r\n"
                             "ButtonPressed=1\n"
                             "WriteMBps=30\n"
                             "readmbps = 35\n"
                             "FileOpenMs=5\n"
                             "CapacityMB=500\n"
                             "[Other]\n"
                             "Attached=0\n"
                             "[enclosure]\r"
                             "Profile=no-such-profile\r"
                             "Profile=chipinfo-753\r"
                             "Firmware=1 2 3\r"     // too few
                             "Firmware=1 2 3 256\r" // out of range
                             "Letters=EF\r"         // not single letters
                             "Attached=2\r"         // not a flag
                             "ButtonPin=32\r"       // no such pin
                             "ButtonPin=15\r"
                             "ButtonActiveHigh=1\r"
                             "Attached=0\r"
                             "WriteMBps=-1\r"     // no negative speed
                             "ReadMBps=2.5\r"     // whole megabytes only
                             "FileOpenMs=60001\r" // beyond a minute
                             "WriteMBps=0\r"      // unlimited
                             "CapacityMB=64\r"
                             "CapacityMB=-5\r"        // no negative size
                             "CapacityMB=1e3\r"       // whole megabytes only
                             "CapacityMB=100000001\r" // beyond 100 TB
                             "garbage line\r"
                             "[Enclosure]\n"
                             "Profile=bogus\n"
                             "CapacityMB=12\n"
                             "CapacityMB=0\n"; // the folder's own free space again
    const std::vector<EnclosureEntry> entries = ParseEnclosureFile(file);
    ASSERT_EQ(entries.size(), 3u);
    EnclosureEntry first;
    first.profile = "inquiry-785";
    first.firmware = {1, 2, 3, 4};
    first.letters = "EF";
    first.buttonPressed = true;
    first.writeMBps = 30;
    first.readMBps = 35;
    first.fileOpenMs = 5;
    first.capacityMB = 500;
    EXPECT_EQ(entries[0], first);
    EnclosureEntry second;
    second.profile = "chipinfo-753";
    second.buttonPin = 15;
    second.buttonActiveHigh = true;
    second.attached = false;
    second.capacityMB = 64;
    EXPECT_EQ(entries[1], second);
    EXPECT_FALSE(entries[2].profile);
    EXPECT_EQ(entries[2].capacityMB, 0);
    EXPECT_TRUE(ParseEnclosureFile("").empty());
}

// The machine around the simulation: drives C and Z, Windows on C, Y a network drive.
class Host final : public DeviceServices, public BridgePort {
public:
    uint32_t mask = (1u << 2) | (1u << 25) | (1u << 24);
    BridgePort& Port() override { return *this; }
    bool DiskInterfacePaths(std::vector<std::string>&) override { return false; }
    uint32_t LogicalDrives() override { return mask; }
    char WindowsFolderDrive() override { return 'C'; }
    bool IsNetworkDrive(char letter) override { return letter == 'Y'; }
    bool QueryDeviceNumber(const std::string&, StorageDeviceNumber&) override { return false; }
    StorageBus QueryBusType(const std::string&) override { return StorageBus::Unknown; }
    bool Execute(const std::string&, std::span<const uint8_t>, std::span<uint8_t>) override {
        return false;
    }
};

EnclosureEntry Entry(const char* profile, const char* letters, bool attached = true) {
    EnclosureEntry entry;
    entry.profile = profile;
    entry.letters = letters;
    entry.attached = attached;
    return entry;
}

TEST(SimulatedEnclosuresTest, AttachedEnclosuresAreUsbDisksWithTheirVolumes) {
    Host host;
    SimulatedEnclosures system(host);
    EXPECT_TRUE(system.Apply(
        {Entry("inquiry-785", "EF"), Entry("inquiry-786", "G", false), Entry("inquiry-786", "H")}));

    std::vector<std::string> paths;
    ASSERT_TRUE(system.DiskInterfacePaths(paths));
    EXPECT_EQ(paths, (std::vector<std::string>{SimulatedEnclosures::kSystemDiskPath,
                                               SimulatedBridge::kDefaultDevicePath,
                                               SimulatedEnclosures::DevicePathOf(2)}));
    EXPECT_NE(SimulatedEnclosures::DevicePathOf(2), SimulatedBridge::kDefaultDevicePath);
    EXPECT_NE(SimulatedEnclosures::DevicePathOf(2).find("usbstor"), std::string::npos);
    // Letters of attached enclosures are there whether or not a folder backs them.
    EXPECT_EQ(system.LogicalDrives(), host.mask | (1u << 4) | (1u << 5) | (1u << 7));

    struct Query {
        std::string path;
        bool answers;
        StorageDeviceNumber number;
    };
    const Query queries[] = {
        {SimulatedEnclosures::DevicePathOf(0), true, {kDiskDeviceType, 1, 0}},
        {"\\\\.\\E:", true, {kDiskDeviceType, 1, 1}},
        {"\\\\.\\f:", true, {kDiskDeviceType, 1, 2}},
        {"\\\\.\\H:", true, {kDiskDeviceType, 3, 1}},
        {"\\\\.\\C:", true, {kDiskDeviceType, 0, 1}}, // the system disk's volume
        {"\\\\.\\G:", false, {}},                     // its enclosure is unplugged
        {SimulatedEnclosures::DevicePathOf(1), false, {}},
        {"\\\\.\\Q:", false, {}},
    };
    for (const Query& q : queries) {
        StorageDeviceNumber number;
        EXPECT_EQ(system.QueryDeviceNumber(q.path, number), q.answers) << q.path;
        if (q.answers) {
            EXPECT_EQ(number, q.number) << q.path;
        }
    }

    // The enclosures are on USB, so the rescan may send them the bridge's commands; the system
    // disk is on SATA, and an unplugged enclosure does not answer.
    EXPECT_EQ(system.QueryBusType(SimulatedEnclosures::DevicePathOf(0)), StorageBus::Usb);
    EXPECT_EQ(system.QueryBusType(SimulatedEnclosures::DevicePathOf(2)), StorageBus::Usb);
    EXPECT_EQ(system.QueryBusType(SimulatedEnclosures::kSystemDiskPath), StorageBus::Sata);
    EXPECT_EQ(system.QueryBusType(SimulatedEnclosures::DevicePathOf(1)), StorageBus::Unknown);

    // The rescan over these services finds both attached enclosures.
    class Target final : public RescanTarget {
    public:
        std::string letters;
        void ClearDriveBox() override { letters.clear(); }
        void ProcessPendingMessages() override {}
        void AddDriveEntry(char letter) override { letters += letter; }
        void SetEnclosureDevicePath(const std::string&) override {}
        void ShowRescanResult(bool) override {}
    } target;
    class : public ErrorNotifier {
        void ShowError(std::string_view, std::string_view) override {}
    } notifier;
    ProductConfig config;
    config.Model = "ALL";
    EXPECT_TRUE(RescanDrives(system, notifier, config, target));
    EXPECT_EQ(target.letters, "EFH");
}

TEST(SimulatedEnclosuresTest, ReportsWhenTheSystemsDisksChange) {
    Host host;
    SimulatedEnclosures system(host);
    EnclosureEntry entry = Entry("inquiry-785", "E");
    EXPECT_FALSE(system.Apply({})) << "nothing to nothing";
    EXPECT_TRUE(system.Apply({entry}));
    EXPECT_FALSE(system.Apply({entry}));
    const auto bridge = system.BridgeOf(0);
    entry.buttonPressed = true;
    EXPECT_FALSE(system.Apply({entry})) << "a button press is no device change";
    EXPECT_EQ(system.BridgeOf(0), bridge) << "and keeps the same bridge";
    entry.letters = "EF";
    EXPECT_TRUE(system.Apply({entry}));
    entry.attached = false;
    EXPECT_TRUE(system.Apply({entry}));
    std::array<uint8_t, kInquiryLength> inquiry{};
    EXPECT_FALSE(ReadInquiry(system, SimulatedBridge::kDefaultDevicePath, inquiry))
        << "an unplugged enclosure answers nothing";
    entry.attached = true;
    EXPECT_TRUE(system.Apply({entry}));
    EXPECT_TRUE(ReadInquiry(system, SimulatedBridge::kDefaultDevicePath, inquiry));
    EXPECT_EQ(std::string(inquiry.begin() + 36, inquiry.begin() + 40), "q785");
}

TEST(SimulatedEnclosuresTest, FirmwareAndButtonShowInTheBridgesReplies) {
    Host host;
    SimulatedEnclosures system(host);
    const std::string path = SimulatedBridge::kDefaultDevicePath;
    struct Case {
        int pin;
        bool activeHigh;
        bool pressed;
        uint16_t word;
        uint8_t byte11;
        uint8_t byte20;
    };
    // The profile's own word has pin 9 high (released, active low).
    const Case cases[] = {
        {9, false, false, 0x0200, 0, 0}, {9, false, true, 0x0000, 1, 0},
        {9, true, false, 0x0000, 0, 0},  {9, true, true, 0x0200, 0, 1},
        {3, false, true, 0x0200, 1, 0},  {3, true, true, 0x0208, 0, 1},
        {20, true, true, 0x0200, 0, 1}, // beyond the 16-bit word: only the page shows it
    };
    for (const Case& c : cases) {
        EnclosureEntry entry = Entry("inquiry-785", "E");
        entry.firmware = {1, 20, 3, 255};
        entry.buttonPin = c.pin;
        entry.buttonActiveHigh = c.activeHigh;
        entry.buttonPressed = c.pressed;
        system.Apply({entry});
        std::array<uint8_t, kGpioWordLength> word{};
        ASSERT_TRUE(ReadGpioWord(system, path, word));
        EXPECT_EQ(word[0] | word[1] << 8, c.word) << c.pin << c.activeHigh << c.pressed;
        std::array<uint8_t, kVendorPageLength> page{};
        ASSERT_TRUE(ReadVendorPage(system, path, page));
        EXPECT_EQ(std::string(page.begin() + 4, page.begin() + 6), "QX");
        EXPECT_EQ(page[11], c.byte11);
        EXPECT_EQ(page[20], c.byte20);
        std::array<uint8_t, kChipInfoLength> info{};
        ASSERT_TRUE(ReadChipInfo(system, path, info));
        EXPECT_EQ(std::vector<uint8_t>(info.begin() + 12, info.end()),
                  (std::vector<uint8_t>{1, 20, 3, 255}));
    }
}

} // namespace

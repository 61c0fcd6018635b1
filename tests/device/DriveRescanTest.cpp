// The drive rescan's selection rule over a stand-in system: which disks are looked at, which are
// accepted, which letters are listed, and what the window is told, in order.
#include "device/DriveRescan.h"
#include "device/SimulatedBridge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace snapkeep;

namespace {

std::string UsbPath(int serial) {
    return "\\\\?\\usbstor#disk&ven_velmora&prod_snapkeep&rev_0100#" + std::to_string(serial) +
           "#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
}

BridgeProfile Profile(const std::string& name, std::array<uint8_t, 4> firmware = {1, 0, 2, 3}) {
    BridgeProfile profile = *FindBridgeProfile(name);
    if (profile.chipInfo)
        for (size_t i = 0; i < 4; ++i)
            (*profile.chipInfo)[12 + i] = firmware[i];
    return profile;
}

// A machine with disks, each with a bridge (or none) and volumes on given letters.
class FakeSystem final : public DeviceServices, public BridgePort {
public:
    struct Disk {
        std::string path;
        std::shared_ptr<SimulatedBridge> bridge; // null: a disk that answers no command
        uint32_t number = 0;
        bool numberQueryable = true;
        std::string letters;
        StorageBus bus = StorageBus::Usb;
    };

    Disk& AddDisk(const std::string& path, std::optional<BridgeProfile> profile,
                  std::string letters = "") {
        Disk disk{path, nullptr, static_cast<uint32_t>(disks.size() + 1),
                  true, letters, StorageBus::Usb};
        if (profile)
            disk.bridge = std::make_shared<SimulatedBridge>(*profile, path);
        for (char letter : letters)
            mask |= 1u << (letter - 'A');
        disks.push_back(disk);
        return disks.back();
    }

    // Paths that received a command, in order (repeats folded).
    std::vector<std::string> commandedPaths;
    std::vector<Disk> disks;
    bool listFails = false;
    uint32_t mask = (1u << ('C' - 'A')) | (1u << ('Z' - 'A'));
    char windowsDrive = 'C';
    std::set<char> networkDrives;
    std::set<char> unqueryableVolumes;
    std::vector<std::string> queried;

    BridgePort& Port() override { return *this; }
    bool DiskInterfacePaths(std::vector<std::string>& paths) override {
        if (listFails)
            return false;
        paths.clear();
        for (const Disk& d : disks)
            paths.push_back(d.path);
        return true;
    }
    uint32_t LogicalDrives() override { return mask; }
    char WindowsFolderDrive() override { return windowsDrive; }
    bool IsNetworkDrive(char letter) override { return networkDrives.count(letter) != 0; }
    bool QueryDeviceNumber(const std::string& path, StorageDeviceNumber& number) override {
        queried.push_back(path);
        for (const Disk& d : disks) {
            if (d.path == path) {
                number = {kDiskDeviceType, d.number, 0};
                return d.numberQueryable;
            }
        }
        if (path.size() == 6 && path.starts_with("\\\\.\\")) {
            const char letter = path[4];
            if (!(mask & (1u << (letter - 'A'))) || unqueryableVolumes.count(letter))
                return false;
            for (const Disk& d : disks)
                if (d.letters.find(letter) != std::string::npos) {
                    number = {kDiskDeviceType, d.number, 1};
                    return true;
                }
            number = {kDiskDeviceType, 0, 1};
            return true;
        }
        return false;
    }
    StorageBus QueryBusType(const std::string& path) override {
        busQueried.push_back(path);
        for (const Disk& d : disks)
            if (d.path == path)
                return d.bus;
        return StorageBus::Unknown;
    }
    std::vector<std::string> busQueried;
    bool Execute(const std::string& path, std::span<const uint8_t> block,
                 std::span<uint8_t> dataIn) override {
        if (std::find(busQueried.begin(), busQueried.end(), path) == busQueried.end())
            ADD_FAILURE() << "a command reached " << path << " before its bus was asked";
        if (commandedPaths.empty() || commandedPaths.back() != path)
            commandedPaths.push_back(path);
        for (Disk& d : disks)
            if (d.path == path && d.bridge)
                return d.bridge->Execute(path, block, dataIn);
        return false;
    }
};

// Records what the window is told; the message pump may run a nested rescan.
class RecordingTarget final : public RescanTarget {
public:
    std::vector<std::string> events;
    std::vector<std::string> box;
    int selected = -1;
    std::string enclosurePath;
    std::function<void()> onPump;

    void ClearDriveBox() override {
        events.push_back("clear");
        box.clear();
        selected = -1;
    }
    void ProcessPendingMessages() override {
        events.push_back("pump");
        if (auto pump = std::exchange(onPump, nullptr))
            pump();
    }
    void AddDriveEntry(char letter) override {
        // As the window does: an entry already in the box (left by a nested run) is not doubled.
        events.push_back(std::string("add ") + letter);
        const std::string entry = std::string(1, letter) + ":\\";
        if (std::find(box.begin(), box.end(), entry) == box.end())
            box.push_back(entry);
    }
    void SetEnclosureDevicePath(const std::string& path) override {
        events.push_back("path");
        enclosurePath = path;
    }
    void ShowRescanResult(bool found) override {
        events.push_back(found ? "found" : "not found");
        selected = found && !box.empty() ? 0 : -1;
    }
};

class SilentNotifier final : public ErrorNotifier {
public:
    int shown = 0;
    std::function<void()> onShow;
    void ShowError(std::string_view, std::string_view) override {
        ++shown;
        if (auto show = std::exchange(onShow, nullptr))
            show();
    }
};

ProductConfig AcceptAll() {
    ProductConfig config;
    config.Model = "ALL";
    return config;
}

class DriveRescanTest : public testing::Test {
protected:
    bool Rescan() { return RescanDrives(system_, notifier_, config_, target_); }

    FakeSystem system_;
    SilentNotifier notifier_;
    ProductConfig config_ = AcceptAll();
    RecordingTarget target_;
};

TEST_F(DriveRescanTest, NoEnclosureLeavesTheBoxEmptyAndSaysSo) {
    // No disk list at all, a list with only the system disk, a plain USB disk.
    EXPECT_FALSE(Rescan());
    EXPECT_EQ(target_.events, (std::vector<std::string>{"clear", "pump", "not found"}));

    system_.AddDisk("\\\\?\\ide#diskvelmora_system#4&1&0#{53f56307}", std::nullopt, "C");
    EXPECT_FALSE(Rescan());
    system_.AddDisk(UsbPath(1), Profile("inquiry-only"), "E");
    target_.events.clear();
    EXPECT_FALSE(Rescan());
    EXPECT_EQ(target_.events, (std::vector<std::string>{"clear", "pump", "not found"}));
    EXPECT_TRUE(target_.box.empty());
    EXPECT_EQ(target_.selected, -1);
    EXPECT_TRUE(target_.enclosurePath.empty());

    system_.listFails = true;
    EXPECT_FALSE(Rescan());
    EXPECT_TRUE(system_.commandedPaths.size() <= 1) << "only the plain disk was ever asked";
}

TEST_F(DriveRescanTest, TwoVolumesAreListedInOrderAndTheFirstIsSelected) {
    system_.AddDisk(UsbPath(1), Profile("inquiry-785"), "FE");
    EXPECT_TRUE(Rescan());
    EXPECT_EQ(target_.box, (std::vector<std::string>{"E:\\", "F:\\"}));
    EXPECT_EQ(target_.selected, 0);
    EXPECT_EQ(target_.enclosurePath, UsbPath(1));
    EXPECT_EQ(target_.events,
              (std::vector<std::string>{"clear", "pump", "add E", "add F", "path", "found"}));
    // The last command of an acceptance is the vendor page DF for 21 bytes.
    const std::vector<SentCommand> sent = system_.disks[0].bridge->SentCommands();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back().commandBlock,
              (std::vector<uint8_t>{0x12, 0x01, 0xDF, 0, 21, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(sent.back().transferLength, 21u);
}

TEST_F(DriveRescanTest, TheModelGateDecidesWhichEnclosuresCount) {
    struct Case {
        const char* model;
        const char* profile;
        bool accepted;
    };
    const Case cases[] = {
        {"ALL", "inquiry-785", true},
        {"785", "inquiry-785", false},  // family 3: only q785R6 makes it the 785 product
        {"785", "chipid-q785R6", true}, // family 4
        {"NO", "inquiry-785", false},
        {"NO", "chipid-q785R6", false},
        {"753", "chipinfo-753", true},
        {"407", "chipinfo-753", false},
        {"ALL", "chipinfo-unknown", false}, // family 0 is never accepted
    };
    for (const Case& c : cases) {
        FakeSystem system;
        system.AddDisk(UsbPath(1), Profile(c.profile), "E");
        ProductConfig config;
        config.Model = c.model;
        RecordingTarget target;
        EXPECT_EQ(RescanDrives(system, notifier_, config, target), c.accepted)
            << c.model << " " << c.profile;
        EXPECT_EQ(target.box.size(), c.accepted ? 1u : 0u) << c.model << " " << c.profile;
    }
}

TEST_F(DriveRescanTest, FirmwarePatternsGateTheFourChipInfoBytes) {
    struct Case {
        const char* fw0;
        const char* fw3;
        const char* fw4;
        std::array<uint8_t, 4> firmware;
        bool accepted;
    };
    const Case cases[] = {
        {"01", "#", "#", {1, 0, 0, 0}, true},    {"01", "#", "#", {10, 0, 0, 0}, false},
        {"01", "#", "#", {100, 0, 0, 0}, false}, {"1##", "#", "#", {150, 0, 0, 0}, true},
        {"1##", "#", "#", {99, 0, 0, 0}, false}, {"#", "0#", "#", {7, 0, 0, 9}, true},
        {"#", "0#", "#", {7, 0, 0, 12}, false},  {"#", "#", "0", {0, 0, 0, 0}, true},
        {"#", "#", "1", {0, 0, 0, 0}, false},    {"#", "255", "", {0, 0, 0, 255}, true},
    };
    for (const Case& c : cases) {
        FakeSystem system;
        system.AddDisk(UsbPath(1), Profile("inquiry-786", c.firmware), "E");
        ProductConfig config = AcceptAll();
        config.FwVer0 = c.fw0;
        config.FwVer3 = c.fw3;
        config.FwVer4 = c.fw4;
        RecordingTarget target;
        EXPECT_EQ(RescanDrives(system, notifier_, config, target), c.accepted)
            << c.fw0 << " " << c.fw3 << " " << c.fw4 << " " << int(c.firmware[0]);
    }
}

TEST_F(DriveRescanTest, WindowsDriveAndNetworkDrivesAreNeverListed) {
    system_.AddDisk(UsbPath(1), Profile("inquiry-786"), "CEFG");
    system_.networkDrives = {'F'};
    system_.windowsDrive = 'c'; // the Windows folder's path may be in lower case
    EXPECT_TRUE(Rescan());
    EXPECT_EQ(target_.box, (std::vector<std::string>{"E:\\", "G:\\"}));
    for (const std::string& path : system_.queried)
        EXPECT_TRUE(path != "\\\\.\\C:" && path != "\\\\.\\F:") << path << " was opened";
}

TEST_F(DriveRescanTest, TwoAcceptedEnclosuresListBothAndRememberTheLater) {
    system_.AddDisk(UsbPath(1), Profile("inquiry-786"), "E");
    system_.AddDisk(UsbPath(2), Profile("inquiry-785"), "GH");
    EXPECT_TRUE(Rescan());
    EXPECT_EQ(target_.box, (std::vector<std::string>{"E:\\", "G:\\", "H:\\"}));
    EXPECT_EQ(target_.enclosurePath, UsbPath(2));
}

TEST_F(DriveRescanTest, AnAcceptedDiskWithoutLettersIsNotFound) {
    // The disk's number cannot be read, or none of its volumes answers.
    FakeSystem::Disk& disk = system_.AddDisk(UsbPath(1), Profile("inquiry-786"), "E");
    disk.numberQueryable = false;
    EXPECT_FALSE(Rescan());
    EXPECT_TRUE(target_.box.empty());
    EXPECT_EQ(target_.enclosurePath, UsbPath(1)) << "the accepted disk is still remembered";

    system_.disks[0].numberQueryable = true;
    system_.unqueryableVolumes = {'E'};
    EXPECT_FALSE(Rescan());
    EXPECT_TRUE(target_.box.empty());

    // Only the last accepted disk's letters count for the answer; an earlier one's stay listed.
    system_.unqueryableVolumes.clear();
    FakeSystem::Disk& second = system_.AddDisk(UsbPath(2), Profile("inquiry-785"), "");
    (void)second;
    EXPECT_FALSE(Rescan());
    EXPECT_EQ(target_.box, (std::vector<std::string>{"E:\\"}));
    EXPECT_EQ(target_.selected, -1);
}

TEST_F(DriveRescanTest, ChipInfoFailingOnALaterBridgeDecidesTheAnswer) {
    // The answer follows the chip-information read of the last disk that passed the model
    // gate, even when an earlier disk was accepted with letters.
    system_.AddDisk(UsbPath(1), Profile("inquiry-786"), "E");
    system_.AddDisk(UsbPath(2), Profile("family8-chipinfo-refused"), "F");
    EXPECT_FALSE(Rescan());
    EXPECT_EQ(target_.box, (std::vector<std::string>{"E:\\"}));
    EXPECT_EQ(target_.selected, -1);
    EXPECT_EQ(notifier_.shown, 1) << "identification of the family-8 bridge complained";
}

TEST_F(DriveRescanTest, AttachmentKindAndBridgeAnswerPickTheCandidates) {
    struct Case {
        std::string path;
        const char* profile;
        bool candidate;
    };
    const std::string tail = "#disk&ven_x#1#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    const Case cases[] = {
        {"\\\\?\\usbstor" + tail, "inquiry-786", true},
        {"\\\\?\\sbp2" + tail, "inquiry-786", true},
        {"\\\\?\\scsi" + tail, "inquiry-786", true},
        {"\\\\?\\USBSTOR" + tail, "inquiry-786", false}, // the test is case-sensitive
        {"\\\\?\\ide" + tail, "inquiry-786", false},
        {"\\\\?\\usbstor" + tail, "chipinfo-753", true}, // no tag: the pin-level read answers
        {"\\\\?\\usbstor" + tail, "inquiry-only", false},
        {"\\\\?\\usbstor" + tail, "inquiry-417", true}, // "q4"
        {"\\\\?\\usbstor" + tail, "absent", false},
    };
    for (const Case& c : cases) {
        FakeSystem system;
        system.AddDisk(c.path, Profile(c.profile), "E");
        std::vector<std::string> list;
        EXPECT_EQ(FindBridgeDisks(system, list, true), c.candidate ? 1u : 0u)
            << c.path << " " << c.profile;
        EXPECT_EQ(system.commandedPaths.empty(), c.path.find("usbstor") == std::string::npos &&
                                                     c.path.find("sbp2") == std::string::npos &&
                                                     c.path.find("scsi") == std::string::npos)
            << "only disks of the three kinds are asked anything";
    }
    FakeSystem system;
    system.AddDisk("\\\\?\\sbp2" + tail, Profile("inquiry-786"), "E");
    std::vector<std::string> list;
    EXPECT_EQ(FindBridgeDisks(system, list, false), 0u);
}

// The path's text lets internal disks through: on many PCs the SATA and NVMe disks are listed
// under the SCSI enumerator, as a UAS enclosure is. Only a disk whose bus is USB or IEEE 1394
// gets any command; every other one, a bus that cannot be read included, is never asked.
TEST_F(DriveRescanTest, OnlyDisksOnAUsbOr1394BusAreAskedAnything) {
    struct Case {
        const char* kind;
        StorageBus bus;
        bool asked;
    };
    const Case cases[] = {
        {"usbstor", StorageBus::Usb, true},      {"scsi", StorageBus::Usb, true}, // a UAS enclosure
        {"sbp2", StorageBus::Ieee1394, true},    {"scsi", StorageBus::Sata, false},
        {"scsi", StorageBus::Nvme, false},       {"scsi", StorageBus::Sas, false},
        {"scsi", StorageBus::Raid, false},       {"scsi", StorageBus::Scsi, false},
        {"scsi", StorageBus::Unknown, false}, // no answer to the property query
        {"usbstor", StorageBus::Unknown, false},
    };
    const std::string tail = "#disk&ven_x#1#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}";
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " bus " << static_cast<int>(c.bus));
        FakeSystem system;
        system.AddDisk(std::string("\\\\?\\") + c.kind + tail, Profile("inquiry-786"), "E").bus =
            c.bus;
        std::vector<std::string> list;
        EXPECT_EQ(FindBridgeDisks(system, list, true), c.asked ? 1u : 0u);
        EXPECT_EQ(system.commandedPaths.empty(), !c.asked);
        EXPECT_EQ(system.busQueried.size(), 1u) << "every disk of the three kinds is asked its bus";
    }

    // One machine with all of them: the rescan lists the letters of the two external disks and
    // sends nothing to the others.
    const StorageBus buses[] = {StorageBus::Sata, StorageBus::Usb, StorageBus::Nvme,
                                StorageBus::Ieee1394, StorageBus::Unknown};
    const std::string letters = "DEFGH";
    auto path = [](int i) { return "\\\\?\\scsi#disk&ven_x#" + std::to_string(i) + "#{0}"; };
    for (int i = 0; i < 5; ++i)
        system_.AddDisk(path(i), Profile("inquiry-786"), letters.substr(i, 1)).bus = buses[i];
    EXPECT_TRUE(Rescan());
    EXPECT_EQ(target_.box, (std::vector<std::string>{"E:\\", "G:\\"}));
    EXPECT_EQ(std::set<std::string>(system_.commandedPaths.begin(), system_.commandedPaths.end()),
              (std::set<std::string>{path(1), path(3)}));
}

TEST_F(DriveRescanTest, LimitsOnPathsCandidatesAndLetters) {
    // A path one character too long is passed over without a command; one of 255 is kept.
    std::string longPath = UsbPath(1);
    longPath.insert(longPath.find('#', 5), std::string(256 - longPath.size(), 'x'));
    ASSERT_EQ(longPath.size(), 256u);
    std::string fitting = longPath.substr(0, 12) + longPath.substr(13);
    system_.AddDisk(longPath, Profile("inquiry-786"), "E");
    system_.AddDisk(fitting, Profile("inquiry-786"), "F");
    for (int serial = 0; serial < 17; ++serial)
        system_.AddDisk(UsbPath(100 + serial), Profile("inquiry-786"));
    std::vector<std::string> list;
    EXPECT_EQ(FindBridgeDisks(system_, list, true), kMaxBridgeDisks);
    EXPECT_EQ(list.front(), fitting);
    EXPECT_EQ(list.back(), UsbPath(114));
    EXPECT_EQ(std::count(system_.commandedPaths.begin(), system_.commandedPaths.end(), longPath),
              0);
    EXPECT_EQ(
        std::count(system_.commandedPaths.begin(), system_.commandedPaths.end(), UsbPath(115)), 0)
        << "nothing is asked of disks past the sixteenth candidate";

    // At most eight letters for one disk, the first eight in alphabetical order.
    FakeSystem many;
    many.AddDisk(UsbPath(1), Profile("inquiry-786"), "ZYXWVUTSRQ");
    std::vector<char> letters;
    DriveLettersOfDisk(many, UsbPath(1), letters);
    EXPECT_EQ(std::string(letters.begin(), letters.end()), "QRSTUVWX");
}

TEST_F(DriveRescanTest, ANestedRescanRunsToItsEndInsideTheOuterOne) {
    // A device change handled while the outer run lets messages through runs a whole rescan
    // there; the outer run then goes on with its own lists and has the last word.
    system_.AddDisk(UsbPath(1), Profile("inquiry-786"), "E");
    int nested = 0;
    target_.onPump = [&] {
        ++nested;
        RecordingTarget& t = target_;
        RescanDrives(system_, notifier_, config_, t);
        system_.AddDisk(UsbPath(2), Profile("inquiry-785"), "F"); // arrives meanwhile
    };
    EXPECT_TRUE(Rescan());
    EXPECT_EQ(nested, 1);
    EXPECT_EQ(target_.events,
              (std::vector<std::string>{"clear", "pump", "clear", "pump", "add E", "path", "found",
                                        "add E", "path", "add F", "path", "found"}));
    EXPECT_EQ(target_.box, (std::vector<std::string>{"E:\\", "F:\\"}));
    EXPECT_EQ(target_.enclosurePath, UsbPath(2));

    // Nested inside identification's message box: the outer run still looks at every one of
    // its own candidates.
    FakeSystem system;
    system.AddDisk(UsbPath(1), Profile("family8-chipinfo-refused"), "E");
    system.AddDisk(UsbPath(2), Profile("inquiry-786"), "F");
    RecordingTarget target;
    notifier_.onShow = [&] {
        system.disks.pop_back(); // the second enclosure is pulled out while the box is open
        RescanDrives(system, notifier_, config_, target);
        system.AddDisk(UsbPath(2), Profile("inquiry-786"), "F");
    };
    EXPECT_TRUE(RescanDrives(system, notifier_, config_, target));
    EXPECT_EQ(notifier_.shown, 2);
    EXPECT_EQ(target.box, (std::vector<std::string>{"F:\\"}));
    EXPECT_EQ(target.enclosurePath, UsbPath(2));
}

} // namespace

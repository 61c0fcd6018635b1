#include "device/BridgeCommands.h"
#include "device/SendBridgeCommand.h"
#include "device/SimulatedBridge.h"

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <thread>

using namespace snapkeep;

namespace {

uint16_t ReadWord(SimulatedBridge& bridge) {
    std::array<uint8_t, 2> word{};
    EXPECT_TRUE(ReadGpioWord(bridge, bridge.DevicePath(), word));
    return static_cast<uint16_t>(word[0] | word[1] << 8);
}

TEST(SimulatedBridge, PinWordAndVendorPageFollowTheirSetters) {
    SimulatedBridge bridge(*FindBridgeProfile("inquiry-753"));
    EXPECT_EQ(ReadWord(bridge), 0x0200); // button pin 9 high: released
    bridge.SetPinLevels(0x1234);
    EXPECT_EQ(ReadWord(bridge), 0x1234); // little-endian on the wire

    std::array<uint8_t, 21> page{};
    ASSERT_TRUE(ReadVendorPage(bridge, bridge.DevicePath(), page));
    EXPECT_EQ(page[4], 'Q');
    EXPECT_EQ(page[5], 'X');
    EXPECT_EQ(page[11], 0);
    EXPECT_EQ(page[20], 0);

    bridge.SetVendorPage({{'Q', 'Y'}, 1, 7});
    ASSERT_TRUE(ReadVendorPage(bridge, bridge.DevicePath(), page));
    EXPECT_EQ(page[4], 'Q');
    EXPECT_EQ(page[5], 'Y');
    EXPECT_EQ(page[11], 1);
    EXPECT_EQ(page[20], 7);
    EXPECT_EQ(bridge.VendorPage(), (VendorPageFields{{'Q', 'Y'}, 1, 7}));
}

// The button is pressed from another thread while the poll reads: every read sees one whole
// value that was set, never a mix of two.
TEST(SimulatedBridge, StateChangesWhileCommandsRun) {
    SimulatedBridge bridge(*FindBridgeProfile("inquiry-483"));
    std::atomic<bool> stop{false};
    std::thread presser([&] {
        for (int i = 0; !stop; ++i) {
            const bool down = i % 2;
            bridge.SetPinLevels(down ? 0x00FF : 0xFF00);
            bridge.SetVendorPage({{'Q', 'X'}, uint8_t(down ? 0xAA : 0), uint8_t(down ? 0xAA : 0)});
        }
    });
    for (int i = 0; i < 2000; ++i) {
        const uint16_t word = ReadWord(bridge);
        EXPECT_TRUE(word == 0x00FF || word == 0xFF00 || word == 0x0200) << word;
        std::array<uint8_t, 21> page{};
        ASSERT_TRUE(ReadVendorPage(bridge, bridge.DevicePath(), page));
        EXPECT_EQ(page[11], page[20]);
    }
    stop = true;
    presser.join();
}

TEST(SimulatedBridge, AnswersOnlyItsOwnPathAndKeepsABoundedLog) {
    SimulatedBridge bridge(*FindBridgeProfile("inquiry-786"), "\\\\?\\sim#one");
    std::array<uint8_t, 40> inquiry{};
    EXPECT_FALSE(ReadInquiry(bridge, "\\\\?\\sim#two", inquiry));
    ASSERT_TRUE(ReadInquiry(bridge, "\\\\?\\sim#one", inquiry));
    EXPECT_EQ(std::string(inquiry.begin() + 36, inquiry.end()), "q786");
    EXPECT_EQ(bridge.SentCommands().size(), 2u);
    EXPECT_EQ(bridge.SentCommands()[0].devicePath, "\\\\?\\sim#two");

    for (size_t i = 0; i < SimulatedBridge::kSentCommandLimit + 10; ++i)
        ReadInquiry(bridge, bridge.DevicePath(), inquiry);
    EXPECT_EQ(bridge.SentCommands().size(), SimulatedBridge::kSentCommandLimit);
    bridge.ClearSentCommands();
    EXPECT_TRUE(bridge.SentCommands().empty());
}

TEST(SimulatedBridge, StatusOfRefusedAndFailedCommands) {
    SimulatedBridge plain(*FindBridgeProfile("inquiry-only"));
    std::array<uint8_t, 2> word{};
    EXPECT_FALSE(ReadGpioWord(plain, plain.DevicePath(), word));
    EXPECT_EQ(plain.LastScsiStatus(), kCheckCondition);

    // Data written, status not GOOD: the command fails although the bytes arrived.
    SimulatedBridge checked(*FindBridgeProfile("scsi-status"));
    std::array<uint8_t, 40> inquiry{};
    EXPECT_FALSE(ReadInquiry(checked, checked.DevicePath(), inquiry));
    EXPECT_EQ(inquiry[36], 'q');
    EXPECT_EQ(checked.LastScsiStatus(), 0x02);

    SimulatedBridge absent(*FindBridgeProfile("absent"));
    EXPECT_FALSE(ReadInquiry(absent, absent.DevicePath(), inquiry));
    EXPECT_FALSE(absent.LastScsiStatus().has_value());
}

TEST(SimulatedBridge, RefusesBlocksItDoesNotKnow) {
    SimulatedBridge bridge(*FindBridgeProfile("family12-b5"));
    std::array<uint8_t, 16> reply{};
    const std::array<uint8_t, 12> unknown = {0xDF, 0x11};
    EXPECT_FALSE(SendBridgeCommand(bridge, bridge.DevicePath(), unknown, reply));
    const std::array<uint8_t, 12> otherB5 = {0xB5, 0, 0, 0, 0, 0x65, 0, 0, 0x01};
    EXPECT_FALSE(SendBridgeCommand(bridge, bridge.DevicePath(), otherB5, reply));
    const std::array<uint8_t, 6> shortBlock = {0x12, 0, 0, 0, 16, 0};
    EXPECT_FALSE(SendBridgeCommand(bridge, bridge.DevicePath(), shortBlock, reply));
}

TEST(SimulatedBridge, ProfileNamesAreUnique) {
    std::set<std::string> names;
    for (const BridgeProfile& profile : BridgeProfiles())
        EXPECT_TRUE(names.insert(profile.name).second) << profile.name;
    EXPECT_FALSE(FindBridgeProfile("no-such-profile").has_value());
}

} // namespace

// Reading the backup button: the pin-level word for families 6, 4 and 13, the vendor page for
// every other family, as the configuration's pin and level say.
#include "device/BackupButton.h"
#include "device/SimulatedBridge.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {

ProductConfig Button(int32_t pin, int32_t highActive) {
    ProductConfig config;
    config.BtnGpioNumber = pin;
    config.BtnGpioHighActive = highActive;
    return config;
}

TEST(BackupButtonTest, PinWordFamiliesReadTheConfiguredPin) {
    struct Case {
        int32_t pin;
        int32_t highActive;
        uint16_t word;
        bool pressed;
    };
    const Case cases[] = {
        {9, 0, 0x0000, true},  // bit 1 of the second byte low: pressed
        {9, 0, 0x0200, false}, // released
        {9, 0, 0xFDFF, true},  // only that bit counts
        {9, 1, 0x0200, true},   {9, 1, 0x0000, false},  {9, 2, 0x0200, false},
        {9, 2, 0x0000, false},                         // a level other than 0 or 1 never presses
        {9, -1, 0x0000, false}, {41, 0, 0x0000, true}, // the pin is taken modulo 32
        {41, 0, 0x0200, false}, {-23, 1, 0x0200, true}, {20, 0, 0xFFFF, true}, // pins 16-31 read 0
        {20, 1, 0xFFFF, false}, {0, 1, 0x0001, true},
    };
    SimulatedBridge bridge(*FindBridgeProfile("inquiry-786"));
    for (const ChipFamily family : {ChipFamily{6}, ChipFamily{4}, ChipFamily{13}}) {
        for (const Case& c : cases) {
            bridge.SetPinLevels(c.word);
            // The vendor page says the opposite, to show it is not asked.
            bridge.SetVendorPage(
                {{'Q', 'X'}, uint8_t(c.pressed ? 0 : 1), uint8_t(c.pressed ? 0 : 1)});
            bridge.ClearSentCommands();
            EXPECT_EQ(BackupButtonPressed(bridge, bridge.DevicePath(), family,
                                          Button(c.pin, c.highActive)),
                      c.pressed)
                << "family " << int(family) << " pin " << c.pin << " level " << c.highActive
                << " word " << std::hex << c.word;
            ASSERT_EQ(bridge.SentCommands().size(), 1u);
            EXPECT_EQ(bridge.SentCommands()[0].commandBlock[0], 0xDF);
        }
    }
}

TEST(BackupButtonTest, OtherFamiliesReadTheVendorPage) {
    struct Case {
        VendorPageFields page;
        int32_t highActive;
        bool pressed;
    };
    const Case cases[] = {
        {{{'Q', 'X'}, 1, 0}, 0, true},    {{{'Q', 'X'}, 0, 1}, 0, false},
        {{{'Q', 'X'}, 0, 1}, 1, true},    {{{'Q', 'X'}, 1, 0}, 1, false},
        {{{'Q', 'X'}, 0, 0xFF}, 2, true}, // every level other than 0 acts as 1
        {{{'Q', 'X'}, 0, 7}, -1, true},   {{{'Q', 'X'}, 9, 0}, 2, false},
        {{{'Q', 'Y'}, 1, 1}, 0, false}, // no "QX" tag: never pressed
        {{{'q', 'x'}, 1, 1}, 1, false},
    };
    SimulatedBridge bridge(*FindBridgeProfile("inquiry-786"));
    bridge.SetPinLevels(0x0000); // the word says pressed, to show it is not asked
    for (const ChipFamily family : {ChipFamily{0}, ChipFamily{1}, ChipFamily{3}, ChipFamily{38}}) {
        for (const Case& c : cases) {
            bridge.SetVendorPage(c.page);
            EXPECT_EQ(
                BackupButtonPressed(bridge, bridge.DevicePath(), family, Button(9, c.highActive)),
                c.pressed)
                << "family " << int(family) << " level " << c.highActive;
        }
    }
}

TEST(BackupButtonTest, AFailedReadIsNoPress) {
    BridgeProfile profile = *FindBridgeProfile("inquiry-786");
    profile.answersGpio = false;
    profile.answersVendorPage = false;
    SimulatedBridge bridge(profile);
    EXPECT_FALSE(BackupButtonPressed(bridge, bridge.DevicePath(), 6, Button(9, 0)));
    EXPECT_FALSE(BackupButtonPressed(bridge, bridge.DevicePath(), 1, Button(9, 0)));
    SimulatedBridge other(*FindBridgeProfile("inquiry-786"));
    other.SetPinLevels(0);
    other.SetVendorPage({{'Q', 'X'}, 1, 1});
    EXPECT_FALSE(BackupButtonPressed(other, "", 6, Button(9, 0))) << "no enclosure path";
    EXPECT_FALSE(BackupButtonPressed(other, "", 1, Button(9, 0)));
}

} // namespace

#include "device/BackupButton.h"

#include "device/BridgeCommands.h"

#include <array>
#include <cstdint>

namespace snapkeep {

namespace {

// The families whose button pin is read from the pin-level word.
bool ReadsPinWord(ChipFamily family) {
    return family == 6 || family == 4 || family == 13;
}

} // namespace

bool BackupButtonPressed(BridgePort& port, const std::string& devicePath, ChipFamily family,
                         const ProductConfig& config) {
    if (ReadsPinWord(family)) {
        std::array<uint8_t, kGpioWordLength> word{};
        if (!ReadGpioWord(port, devicePath, word))
            return false;
        // The word has 16 pins; a pin number is taken modulo 32 and pins 16 to 31 read as 0.
        const uint32_t levels = word[0] | uint32_t{word[1]} << 8;
        const uint32_t pin = static_cast<uint32_t>(config.BtnGpioNumber) % 32;
        const int32_t level = static_cast<int32_t>((levels >> pin) & 1);
        // Only 0 or 1 can equal a pin's level: any other configured level never presses.
        return level == config.BtnGpioHighActive;
    }
    std::array<uint8_t, kVendorPageLength> page{};
    if (!ReadVendorPage(port, devicePath, page))
        return false;
    if (page[4] != 'Q' || page[5] != 'X')
        return false;
    // Active low reports the press in byte 11, anything else in byte 20.
    return config.BtnGpioHighActive == 0 ? page[11] != 0 : page[20] != 0;
}

} // namespace snapkeep

#pragma once
// Reading the enclosure's backup button. The bridge gives no interrupt, so the main window's
// timer asks on every tick. Three chip families show the button's pin in the pin-level word;
// every other family reports the button in the vendor page.
#include "device/BridgePort.h"
#include "device/ChipFamily.h"
#include "store/ProductConfig.h"

#include <string>

namespace snapkeep {

// True when the bridge of `family` at `devicePath` reports the button pressed, as the
// configuration's BtnGpioNumber and BtnGpioHighActive describe it. Level-triggered: a button
// held down reads pressed on every call. A failed command reads as not pressed.
bool BackupButtonPressed(BridgePort& port, const std::string& devicePath, ChipFamily family,
                         const ProductConfig& config);

} // namespace snapkeep

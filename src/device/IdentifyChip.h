#pragma once
// Asks a bridge which chip it is, through the vendor commands, and answers its family number.
#include "device/BridgePort.h"
#include "device/ChipFamily.h"
#include "device/ErrorNotifier.h"

#include <string>

namespace snapkeep {

// The fixed texts of the one message identification may show (a family-8 chip whose chip
// information cannot be read). They are not translated.
inline constexpr std::string_view kChipInfoFailText = "Get chip information fail !";
inline constexpr std::string_view kChipInfoFailCaption = "Error";

// Stage 1 reads the model from the inquiry tag, or else from the chip information (with the
// pin-level word as the last resort); stage 2 refines families that share a code. Every failed
// command narrows the answer; a bridge that answers nothing is family 0. For family 8 with
// unreadable chip information, `notifier` shows the error and identification goes on.
ChipFamily IdentifyChip(BridgePort& port, ErrorNotifier& notifier, const std::string& devicePath);

} // namespace snapkeep

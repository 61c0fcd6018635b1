#pragma once
// The single transport for bridge commands, shared by every port.
#include "device/BridgePort.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace snapkeep {

// Largest command block a pass-through request carries.
inline constexpr size_t kMaxCommandBlockLength = 16;

// The data-in length put on the wire for `wanted` reply bytes. Some pass-through stacks refuse a
// one-byte transfer, so one byte is fetched as two and only the first is handed back.
inline constexpr uint32_t TransferLengthFor(size_t wanted) {
    return wanted == 1 ? 2u : static_cast<uint32_t>(wanted);
}

// Sends one command block with a data-in phase and copies reply.size() bytes back into `reply`,
// whatever the outcome: bytes the device did not write read as zero. Answers the port's
// verdict; a command block longer than 16 bytes or a reply larger than 4 GiB is refused
// without sending anything (and `reply` is zeroed).
bool SendBridgeCommand(BridgePort& port, const std::string& devicePath,
                       std::span<const uint8_t> commandBlock, std::span<uint8_t> reply);

} // namespace snapkeep

#pragma once
// The bridge's commands: each fills one 12-byte command block and sends it with a data-in phase
// through SendBridgeCommand. The reply length is the size of the buffer passed in.
#include "device/BridgePort.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace snapkeep {

using CommandBlock = std::array<uint8_t, 12>;

// Reply lengths the program asks for.
inline constexpr size_t kInquiryLength = 40;
inline constexpr size_t kVendorPageLength = 21;
inline constexpr size_t kGpioWordLength = 2;
inline constexpr size_t kChipInfoLength = 16;
inline constexpr size_t kChipInfoShortLength = 12;
inline constexpr size_t kChipIdLength = 40;
inline constexpr size_t kChipIdMinimumLength = 8;
inline constexpr size_t kB5BlockLength = 512;
inline constexpr uint16_t kBridgeMemoryProbeAddress = 0xFDB0;
inline constexpr size_t kBridgeMemoryProbeLength = 4;

// Standard INQUIRY; bytes 36 to 39 of the reply carry the bridge's own tag ("q" + model code).
// The allocation length is one byte, so a reply above 255 bytes is refused unsent.
bool ReadInquiry(BridgePort& port, const std::string& devicePath, std::span<uint8_t> reply);

// INQUIRY of the vital-product-data page DF: the tag "QX" at bytes 4-5 and the button flags at
// bytes 11 and 20. Same one-byte length limit as ReadInquiry.
bool ReadVendorPage(BridgePort& port, const std::string& devicePath, std::span<uint8_t> reply);

// Vendor read DF 10 of the 16-bit little-endian pin-level word.
bool ReadGpioWord(BridgePort& port, const std::string& devicePath,
                  std::span<uint8_t, kGpioWordLength> reply);

// Vendor read DF 10 of bridge memory at `address`; the length field is 16 bits, so a reply
// above 65535 bytes is refused unsent.
bool ReadBridgeMemory(BridgePort& port, const std::string& devicePath, uint16_t address,
                      std::span<uint8_t> reply);

// Chip information E0 F4 E7: echo F4 E7, vendor and product identifiers, model code, firmware.
bool ReadChipInfo(BridgePort& port, const std::string& devicePath, std::span<uint8_t> reply);

// Identification string FF 04 30 08 in the first 8 reply bytes. A reply shorter than 8 bytes is
// a programming error: it is asserted, and refused unsent where assertions are compiled out.
bool ReadChipId(BridgePort& port, const std::string& devicePath, std::span<uint8_t> reply);

// Vendor command B5; only its success is used.
bool ReadB5Block(BridgePort& port, const std::string& devicePath,
                 std::span<uint8_t, kB5BlockLength> reply);

} // namespace snapkeep

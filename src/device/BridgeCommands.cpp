#include "device/BridgeCommands.h"

#include "device/SendBridgeCommand.h"

#include <cassert>

namespace snapkeep {

namespace {

bool Send(BridgePort& port, const std::string& devicePath, const CommandBlock& block,
          std::span<uint8_t> reply) {
    return SendBridgeCommand(port, devicePath, block, reply);
}

uint8_t Low(size_t value) {
    return static_cast<uint8_t>(value & 0xFF);
}
uint8_t High(size_t value) {
    return static_cast<uint8_t>((value >> 8) & 0xFF);
}

} // namespace

bool ReadInquiry(BridgePort& port, const std::string& devicePath, std::span<uint8_t> reply) {
    if (reply.size() > 0xFF)
        return false;
    const CommandBlock block{0x12, 0x00, 0x00, 0x00, Low(reply.size()), 0, 0, 0, 0, 0, 0, 0};
    return Send(port, devicePath, block, reply);
}

bool ReadVendorPage(BridgePort& port, const std::string& devicePath, std::span<uint8_t> reply) {
    if (reply.size() > 0xFF)
        return false;
    const CommandBlock block{0x12, 0x01, 0xDF, 0x00, Low(reply.size()), 0, 0, 0, 0, 0, 0, 0};
    return Send(port, devicePath, block, reply);
}

bool ReadGpioWord(BridgePort& port, const std::string& devicePath,
                  std::span<uint8_t, kGpioWordLength> reply) {
    // Last byte FF selects the pin-level word (address 0) of the DF 10 vendor read.
    const CommandBlock block{0xDF, 0x10, 0x00, 0x00, 0x02, 0x00, 0x00, 0, 0, 0, 0, 0xFF};
    return Send(port, devicePath, block, reply);
}

bool ReadBridgeMemory(BridgePort& port, const std::string& devicePath, uint16_t address,
                      std::span<uint8_t> reply) {
    if (reply.size() > 0xFFFF)
        return false;
    // Last byte FD selects bridge memory; length and address are big-endian.
    const CommandBlock block{
        0xDF, 0x10, 0x00, High(reply.size()), Low(reply.size()), High(address), Low(address), 0, 0,
        0,    0,    0xFD};
    return Send(port, devicePath, block, reply);
}

bool ReadChipInfo(BridgePort& port, const std::string& devicePath, std::span<uint8_t> reply) {
    const CommandBlock block{0xE0, 0xF4, 0xE7, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    return Send(port, devicePath, block, reply);
}

bool ReadChipId(BridgePort& port, const std::string& devicePath, std::span<uint8_t> reply) {
    assert(reply.size() >= 0x08 && "length >= 0x08");
    if (reply.size() < kChipIdMinimumLength)
        return false;
    const CommandBlock block{0xFF, 0x04, 0x30, 0x08, 0, 0, 0, 0, 0, 0, 0, 0};
    return Send(port, devicePath, block, reply);
}

bool ReadB5Block(BridgePort& port, const std::string& devicePath,
                 std::span<uint8_t, kB5BlockLength> reply) {
    const CommandBlock block{0xB5, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x01, 0, 0, 0};
    return Send(port, devicePath, block, reply);
}

} // namespace snapkeep

#include "device/IdentifyChip.h"

#include "device/BridgeCommands.h"
#include "device/ChipCodes.h"

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

namespace snapkeep {

namespace {

// Bytes [first, first + count) as text, ending early at a zero byte.
std::string_view TextAt(std::span<const uint8_t> bytes, size_t first, size_t count) {
    const char* start = reinterpret_cast<const char*>(bytes.data()) + first;
    size_t length = 0;
    while (length < count && start[length] != '\0')
        ++length;
    return std::string_view(start, length);
}

bool EchoesChipInfo(std::span<const uint8_t> reply) {
    return reply[0] == 0xF4 && reply[1] == 0xE7;
}

// Two bytes printed as "%X%X": upper-case hexadecimal, no leading zeros.
std::string HexPair(uint8_t first, uint8_t second) {
    char text[8];
    std::snprintf(text, sizeof text, "%X%X", first, second);
    return text;
}

ChipFamily FamilyFromChipInfo(std::span<const uint8_t> reply) {
    const std::string vendor = HexPair(reply[2], reply[3]);
    const std::string product = HexPair(reply[4], reply[5]);
    if (vendor.find("7A4E") != std::string::npos && product.find("91C8") != std::string::npos)
        return 38;
    const std::string_view model = TextAt(reply, 8, 4);
    if (const ChipFamily family = FamilyOfCode(model); family != kUnknownFamily)
        return family;
    if (model.starts_with("716"))
        return 9;
    return kUnknownFamily;
}

ChipFamily Stage1(BridgePort& port, const std::string& devicePath) {
    std::array<uint8_t, kInquiryLength> inquiry{};
    if (!ReadInquiry(port, devicePath, inquiry))
        return kUnknownFamily;

    if (inquiry[36] == 'q')
        if (const ChipFamily family = FamilyOfCode(TextAt(inquiry, 37, 3)); family != 0)
            return family;
    if (TextAt(inquiry, 36, 4) == "q716")
        return 9;

    std::array<uint8_t, kGpioWordLength> gpio{};
    if (!ReadGpioWord(port, devicePath, gpio))
        return kUnknownFamily;
    std::array<uint8_t, kChipInfoLength> info{};
    if (!ReadChipInfo(port, devicePath, info))
        return kUnknownFamily;
    if (EchoesChipInfo(info))
        return FamilyFromChipInfo(info);
    // Chips that do not echo F4 E7 tell their series by two strapping pins (bits 5 and 6).
    return static_cast<ChipFamily>(34 + ((gpio[0] >> 5) & 0x03));
}

ChipFamily Stage2(BridgePort& port, ErrorNotifier& notifier, const std::string& devicePath,
                  ChipFamily family) {
    switch (family) {
    case 0:
    case 1:
    case 3:
    case 5:
    case 7:
    case 11:
    case 31: {
        std::array<uint8_t, kChipIdLength> id{};
        if (!ReadChipId(port, devicePath, id))
            return family;
        const ChipFamily refined = FamilyOfChipId(TextAt(id, 0, kChipIdMinimumLength));
        return refined != kUnknownFamily ? refined : family;
    }
    case 8: {
        std::array<uint8_t, kChipInfoShortLength> info{};
        const bool ok = ReadChipInfo(port, devicePath, info);
        if (!ok || !EchoesChipInfo(info) || (info[11] != '1' && info[11] != '2'))
            notifier.ShowError(kChipInfoFailText, kChipInfoFailCaption);
        return family;
    }
    case 12: {
        std::array<uint8_t, kB5BlockLength> block{};
        if (ReadB5Block(port, devicePath, block))
            return 29;
        // A chip that refuses B5 gets a bridge-memory read instead; its answer is not used.
        std::array<uint8_t, kBridgeMemoryProbeLength> memory{};
        ReadBridgeMemory(port, devicePath, kBridgeMemoryProbeAddress, memory);
        return family;
    }
    default:
        return family;
    }
}

} // namespace

ChipFamily IdentifyChip(BridgePort& port, ErrorNotifier& notifier, const std::string& devicePath) {
    return Stage2(port, notifier, devicePath, Stage1(port, devicePath));
}

} // namespace snapkeep

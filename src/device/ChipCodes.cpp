#include "device/ChipCodes.h"

#include <array>

namespace snapkeep {

namespace {

// Index = family number; several families share a code.
constexpr std::array<std::string_view, kHighestFamily + 1> kCodes = {
    "",    "786", "782", "785", "785", "783", "753", "719", "710", "712", "712", "715", "417",
    "483", "403", "407", "409", "400", "406", "402", "405", "401", "715", "719", "712", "712",
    "719", "712", "712", "404", "485", "493", "433", "783", "785", "781", "783", "786", "782"};

constexpr std::array<ChipIdString, 7> kChipIds = {{{"q786K", 1},
                                                   {"q785R6", 4},
                                                   {"q783K", 5},
                                                   {"q783M", 33},
                                                   {"q493R", 31},
                                                   {"q719", 7},
                                                   {"q6715", 11}}};

} // namespace

std::string_view ChipCode(ChipFamily family) {
    return family >= 1 && family <= kHighestFamily ? kCodes[family] : std::string_view{};
}

ChipFamily FamilyOfCode(std::string_view code) {
    if (code.size() < 3)
        return kUnknownFamily;
    code = code.substr(0, 3);
    for (ChipFamily family = 1; family <= kHighestFamily; ++family)
        if (kCodes[family] == code)
            return family;
    return kUnknownFamily;
}

std::span<const ChipIdString> ChipIdStrings() {
    return kChipIds;
}

ChipFamily FamilyOfChipId(std::string_view id) {
    for (const ChipIdString& candidate : kChipIds)
        if (id.starts_with(candidate.text))
            return candidate.family;
    return kUnknownFamily;
}

} // namespace snapkeep

#pragma once
// What a bridge may call itself: the three-character model code of each chip family, and the
// identification strings that tell apart chips sharing a code.
#include "device/ChipFamily.h"

#include <cstddef>
#include <span>
#include <string_view>

namespace snapkeep {

// The model code of `family` (1 to 38); empty for any other number.
std::string_view ChipCode(ChipFamily family);

// The lowest family whose code equals the first three characters of `code`; 0 when `code` is
// shorter than three characters or no family has that code.
ChipFamily FamilyOfCode(std::string_view code);

struct ChipIdString {
    std::string_view text; // compared over its own length
    ChipFamily family;
};

// In the order they are tested; the first match wins.
std::span<const ChipIdString> ChipIdStrings();

// The family of the first identification string that `id` (the reply's first 8 bytes) begins
// with; 0 when none does.
ChipFamily FamilyOfChipId(std::string_view id);

} // namespace snapkeep

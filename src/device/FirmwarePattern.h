#pragma once
// Firmware gate: the configuration's FwVer0..FwVer4 patterns against five parts of the bridge's
// firmware version. '#' in a pattern stands for any one character.
#include "store/ProductConfig.h"

#include <array>
#include <string>
#include <string_view>

namespace snapkeep {

using FirmwareParts = std::array<std::string, 5>;

// A pattern made only of '#' (the empty one included) matches anything; otherwise the lengths
// must agree and every non-'#' position must hold the same character.
bool PatternMatch(std::string_view pattern, std::string_view value);

// True when FwVer0..FwVer4 of `config` match parts 0..4 in turn.
bool FirmwareMatches(const ProductConfig& config, const FirmwareParts& parts);

} // namespace snapkeep

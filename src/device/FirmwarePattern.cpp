#include "device/FirmwarePattern.h"

#include <algorithm>

namespace snapkeep {

bool PatternMatch(std::string_view pattern, std::string_view value) {
    if (std::all_of(pattern.begin(), pattern.end(), [](char c) { return c == '#'; }))
        return true;
    if (pattern.size() != value.size())
        return false;
    for (size_t i = 0; i < pattern.size(); ++i)
        if (pattern[i] != '#' && pattern[i] != value[i])
            return false;
    return true;
}

bool FirmwareMatches(const ProductConfig& config, const FirmwareParts& parts) {
    const std::array<const std::string*, 5> patterns = {
        &config.FwVer0, &config.FwVer1, &config.FwVer2, &config.FwVer3, &config.FwVer4};
    for (size_t k = 0; k < patterns.size(); ++k)
        if (!PatternMatch(*patterns[k], parts[k]))
            return false;
    return true;
}

} // namespace snapkeep

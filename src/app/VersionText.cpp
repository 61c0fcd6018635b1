#include "app/VersionText.h"

namespace snapkeep {

std::string FormatVersionText(uint32_t mostSignificant, uint32_t leastSignificant) {
    return " " + std::to_string(mostSignificant >> 16) + "." +
           std::to_string(mostSignificant & 0xFFFF) + "." + std::to_string(leastSignificant >> 16) +
           "." + std::to_string(leastSignificant & 0xFFFF);
}

} // namespace snapkeep

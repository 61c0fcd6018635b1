#pragma once
// The version shown on the About page: the four parts of the file version, each printed
// unsigned in decimal, after one leading blank (" 1.0.0.53").
#include <cstdint>
#include <string>

namespace snapkeep {

// `mostSignificant` and `leastSignificant` are the two 32-bit words of a file version as the
// version resource stores them.
std::string FormatVersionText(uint32_t mostSignificant, uint32_t leastSignificant);

} // namespace snapkeep

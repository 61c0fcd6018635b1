#pragma once
// The number of a bridge chip series. It is only ever compared, never shown.
#include <cstdint>

namespace snapkeep {

// 0 = not identified; 1 to 38 = chip series.
using ChipFamily = uint8_t;

inline constexpr ChipFamily kUnknownFamily = 0;
inline constexpr ChipFamily kHighestFamily = 38;

} // namespace snapkeep

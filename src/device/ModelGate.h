#pragma once
// The product configuration's Model value decides which chip families the program acts on.
#include "device/ChipFamily.h"

#include <string_view>

namespace snapkeep {

// True when `model` (the configuration's upper-cased Model value, compared exactly) accepts
// `family`. Family 0 is never accepted; "NO" accepts nothing, "ALL" every family 1 to 38.
bool ModelAccepts(std::string_view model, ChipFamily family);

} // namespace snapkeep

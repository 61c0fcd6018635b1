#pragma once
// The product configuration: which bridge models and firmware the program accepts, the backup
// button's pin, level and polling period, and the main window's caption. Stored scrambled in
// "SnapData\qconfig.inis" so that end users do not edit it by accident.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace snapkeep {

struct ProductConfig {
    std::string Model = "NO";
    std::string FwVer0 = "#";
    std::string FwVer1 = "#";
    std::string FwVer2 = "#";
    std::string FwVer3 = "#";
    std::string FwVer4 = "#";
    int32_t BtnGpioNumber = 9;
    int32_t BtnGpioHighActive = 0;
    int32_t BtnGpioVisitGapMilSec = 300;
    std::string MainFormCaption = "Velmora Snapkeep";
};

inline constexpr const char* kProductConfigPath = "SnapData\\qconfig.inis";

// XORs the first n / 4 little-endian words of `source` with a key stream that depends only on
// the word's position, writing them to `destination`. Scrambling and descrambling are the same
// operation. Bytes past the last whole word are not touched.
void DescrambleConfig(const uint8_t* source, uint8_t* destination, size_t n);

// Reads the ten values from the stored (scrambled) file content; `stored` is empty when the
// file could not be opened. Never fails: every problem ends in the defaults.
// `upperCase` turns the Model value to upper case in place; the program passes the system's
// upper-casing for its code page, the default folds the ASCII letters only.
ProductConfig ParseProductConfig(const std::optional<std::string>& stored,
                                 const std::function<void(std::string&)>& upperCase = {});

} // namespace snapkeep

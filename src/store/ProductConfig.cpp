#include "store/ProductConfig.h"

#include "store/KeyLookup.h"

#include <array>
#include <vector>

namespace snapkeep {
namespace {

constexpr uint32_t kSeed = 0x4D37584B;
constexpr uint32_t kGenerator = 0x04C11DB7; // CRC-32 (IEEE 802.3), non-reflected

// Bit k of a key word is bit kKeyBitSource[k] of the state.
constexpr std::array<uint8_t, 32> kKeyBitSource = {11, 31, 13, 21, 7,  16, 0,  19, 4,  26, 6,
                                                   15, 24, 2,  14, 28, 12, 5,  20, 10, 22, 1,
                                                   17, 9,  29, 3,  25, 8,  18, 23, 30, 27};

uint32_t KeyWord(uint32_t state) {
    uint32_t key = 0;
    for (unsigned k = 0; k < 32; ++k)
        key |= ((state >> kKeyBitSource[k]) & 1u) << k;
    return key;
}

// 32 steps of the generator's shift register, bit 31 leaving: state * x^32 mod P.
uint32_t Advance(uint32_t state) {
    for (int step = 0; step < 32; ++step) {
        const bool carry = (state & 0x80000000u) != 0;
        state <<= 1;
        if (carry)
            state ^= kGenerator;
    }
    return state;
}

} // namespace

void DescrambleConfig(const uint8_t* source, uint8_t* destination, size_t n) {
    uint32_t state = kSeed;
    for (size_t i = 0; i < n / 4; ++i) {
        const uint8_t* in = source + 4 * i;
        const uint32_t data =
            uint32_t(in[0]) | uint32_t(in[1]) << 8 | uint32_t(in[2]) << 16 | uint32_t(in[3]) << 24;
        const uint32_t clear = data ^ KeyWord(state);
        uint8_t* out = destination + 4 * i;
        for (int b = 0; b < 4; ++b)
            out[b] = static_cast<uint8_t>(clear >> (8 * b));
        state = Advance(state);
    }
}

ProductConfig ParseProductConfig(const std::optional<std::string>& stored,
                                 const std::function<void(std::string&)>& upperCase) {
    // A missing file reads as one block of zeros; any length rounds up to whole 32-byte blocks.
    size_t n = stored ? stored->size() : 32;
    n = (n + 31) / 32 * 32;
    std::vector<uint8_t> raw(n + 1, 0);
    std::vector<uint8_t> clear(n + 1, 0);
    if (stored)
        std::copy(stored->begin(), stored->end(), raw.begin());
    DescrambleConfig(raw.data(), clear.data(), n);
    const std::string_view text(reinterpret_cast<const char*>(clear.data()), n + 1);

    const ProductConfig defaults;
    ProductConfig config;
    config.Model = FindKeyValue(text, "Model", defaults.Model, 8);
    if (upperCase) {
        upperCase(config.Model);
    } else {
        for (char& c : config.Model)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
    }
    config.FwVer0 = FindKeyValue(text, "FwVer0", defaults.FwVer0, 8);
    config.FwVer1 = FindKeyValue(text, "FwVer1", defaults.FwVer1, 8);
    config.FwVer2 = FindKeyValue(text, "FwVer2", defaults.FwVer2, 8);
    config.FwVer3 = FindKeyValue(text, "FwVer3", defaults.FwVer3, 8);
    config.FwVer4 = FindKeyValue(text, "FwVer4", defaults.FwVer4, 8);
    config.BtnGpioNumber = ParseNumber(FindKeyValue(text, "BtnGpioNumber", "9", 8));
    config.BtnGpioHighActive = ParseNumber(FindKeyValue(text, "BtnGpioHighActive", "0", 8));
    config.BtnGpioVisitGapMilSec =
        ParseNumber(FindKeyValue(text, "BtnGpioVisitGapMilSec", "300", 8));
    config.MainFormCaption =
        FindKeyValueEx(text, "MainFormCaption", defaults.MainFormCaption, kCaptionSeparators, 64);
    return config;
}

} // namespace snapkeep

#include "job/Estimates.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace snapkeep {

namespace {
constexpr std::uint64_t kMebibyte = 1048576;
constexpr std::int64_t kInt32Max = std::numeric_limits<std::int32_t>::max();
} // namespace

std::int32_t EstimateCopyMs(std::uint64_t bytes, std::int32_t smallFileMs,
                            std::int32_t megabyteMs) {
    if (bytes <= 10)
        return smallFileMs;
    // 128 bits hold the product of any size and any 32-bit time.
    const unsigned __int128 product =
        static_cast<unsigned __int128>(bytes) *
        static_cast<unsigned __int128>(std::max<std::int32_t>(megabyteMs, 0));
    const unsigned __int128 estimate = product / kMebibyte;
    const std::int32_t ms = estimate > static_cast<unsigned __int128>(kInt32Max)
                                ? static_cast<std::int32_t>(kInt32Max)
                                : static_cast<std::int32_t>(estimate);
    return std::max(ms, smallFileMs);
}

Clock SplitSeconds(std::int64_t s) {
    if (s < 0)
        s = 0;
    if (s >= 86400)
        return {23, 59, 59};
    return {static_cast<int>(s / 3600), static_cast<int>(s % 3600 / 60), static_cast<int>(s % 60)};
}

Clock TimeLeft(std::int32_t remainingMs, std::int32_t remainingNowMs) {
    if (remainingMs < 1000 || remainingNowMs < 1000)
        return {0, 0, 1};
    return SplitSeconds(std::min(remainingMs, remainingNowMs) / 1000);
}

std::u16string FormatClock(const Clock& clock) {
    char text[32];
    std::snprintf(text, sizeof text, ": %02d:%02d:%02d", clock.hours, clock.minutes, clock.seconds);
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::u16string GroupThousands(std::uint64_t value, std::u16string_view separator) {
    const std::string digits = std::to_string(value);
    std::u16string text;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i != 0 && (digits.size() - i) % 3 == 0)
            text.append(separator);
        text.push_back(static_cast<char16_t>(digits[i]));
    }
    return text;
}

} // namespace snapkeep

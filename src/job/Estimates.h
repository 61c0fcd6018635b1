#pragma once
// Time estimates of a job and how durations and counts are printed.
#include <cstdint>
#include <string>
#include <string_view>

namespace snapkeep {

// Milliseconds to copy a file of `bytes`: at least the small-write time, otherwise the size in
// MiB times the 1 MiB time. Saturates at the largest 32-bit value instead of wrapping.
std::int32_t EstimateCopyMs(std::uint64_t bytes, std::int32_t smallFileMs, std::int32_t megabyteMs);

struct Clock {
    int hours = 0;
    int minutes = 0;
    int seconds = 0;
    bool operator==(const Clock&) const = default;
};

// Seconds as hours, minutes and seconds; a day or more shows as 23:59:59.
Clock SplitSeconds(std::int64_t seconds);

// The time left from the two estimates: one second while either is under a second (the copy
// is about to end, or nothing is left to estimate), else the smaller, in whole seconds.
Clock TimeLeft(std::int32_t remainingMs, std::int32_t remainingNowMs);

// ": 01:02:03", the part of a label after its text.
std::u16string FormatClock(const Clock& clock);

// A count with `separator` between groups of three digits and no decimals: 12000 with "."
// gives "12.000".
std::u16string GroupThousands(std::uint64_t value, std::u16string_view separator);

} // namespace snapkeep

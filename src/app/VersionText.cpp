#include "app/VersionText.h"

#include <charconv>

namespace snapkeep {

std::string FormatVersionText(uint32_t mostSignificant, uint32_t leastSignificant) {
    // Each part is appended in place: GCC 12 warns (-Wrestrict) about the copies inside a chain
    // of string concatenations that starts with a literal, though nothing there overlaps.
    const uint32_t parts[] = {mostSignificant >> 16, mostSignificant & 0xFFFF,
                              leastSignificant >> 16, leastSignificant & 0xFFFF};
    std::string text;
    text.reserve(24);
    for (const uint32_t part : parts) {
        char digits[8];
        const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, part);
        text += text.empty() ? ' ' : '.';
        text.append(digits, end.ptr);
    }
    return text;
}

} // namespace snapkeep

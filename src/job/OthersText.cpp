#include "job/OthersText.h"

namespace snapkeep {

namespace {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

} // namespace

std::string FitOthersText(std::u16string_view text, std::size_t limit,
                          const std::function<std::string(std::u16string_view)>& toCodePage) {
    std::string whole = toCodePage(text);
    if (whole.size() <= limit)
        return whole;
    // The 8-bit form grows with every character added, so the first character that does not fit
    // ends the text. At most 127 characters are tried, each converted with what precedes it, so
    // that a code page with shift states would still be measured as it writes.
    std::string fitting;
    std::size_t end = 0;
    while (end < text.size()) {
        std::size_t next = end + 1;
        if (IsHighSurrogate(text[end]) && next < text.size())
            ++next;
        std::string longer = toCodePage(text.substr(0, next));
        if (longer.size() > limit)
            break;
        fitting = std::move(longer);
        end = next;
    }
    return fitting;
}

} // namespace snapkeep

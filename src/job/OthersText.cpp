#include "job/OthersText.h"

namespace snapkeep {

namespace {

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsSeparator(char16_t unit) {
    return unit < 0x80 &&
           kOthersPieceSeparators.find(static_cast<char>(unit)) != std::string_view::npos;
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
    // The cut ends a piece only where a separator follows it; otherwise the piece's beginning
    // goes too, back to the separator before it (or to nothing, when the first piece is cut).
    if (end == text.size() || IsSeparator(text[end]))
        return fitting;
    while (end > 0 && !IsSeparator(text[end - 1]))
        --end;
    while (end > 0 && IsSeparator(text[end - 1]))
        --end;
    return toCodePage(text.substr(0, end));
}

} // namespace snapkeep

#include "worker/TempFileName.h"

namespace snapkeep {

namespace {

constexpr std::u16string_view kPrefix = u"~snapkeep-";
constexpr std::u16string_view kSuffix = u".tmp";
constexpr size_t kLongestName = 255;

std::u16string Decimal(std::uint32_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
}

bool StartsWithIgnoringCase(std::u16string_view text, std::u16string_view start) {
    if (text.size() < start.size())
        return false;
    for (size_t i = 0; i < start.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z')
            c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != start[i])
            return false;
    }
    return true;
}

// Removes a run of at least one decimal digit from the front of `text`.
bool TakeDigits(std::u16string_view& text) {
    size_t n = 0;
    while (n < text.size() && text[n] >= u'0' && text[n] <= u'9')
        ++n;
    text.remove_prefix(n);
    return n > 0;
}

} // namespace

std::u16string WorkerTempFileName(std::uint32_t processId, std::uint32_t number,
                                  std::u16string_view destinationName) {
    std::u16string name = std::u16string(kPrefix) + Decimal(processId) + u"-" + Decimal(number);
    // Windows takes at most 255 units for a name.
    if (!destinationName.empty() &&
        name.size() + 1 + destinationName.size() + kSuffix.size() <= kLongestName)
        name.append(u"-").append(destinationName);
    return name + std::u16string(kSuffix);
}

std::optional<std::u16string> ParseWorkerTempFileName(std::u16string_view name) {
    if (!StartsWithIgnoringCase(name, kPrefix))
        return std::nullopt;
    name.remove_prefix(kPrefix.size());
    if (!TakeDigits(name) || name.empty() || name.front() != u'-')
        return std::nullopt;
    name.remove_prefix(1);
    if (!TakeDigits(name) || name.size() < kSuffix.size() ||
        !StartsWithIgnoringCase(name.substr(name.size() - kSuffix.size()), kSuffix))
        return std::nullopt;
    name.remove_suffix(kSuffix.size());
    if (name.empty())
        return std::u16string();
    if (name.size() < 2 || name.front() != u'-')
        return std::nullopt;
    return std::u16string(name.substr(1));
}

} // namespace snapkeep

#include "store/KeyLookup.h"

#include <limits>

namespace snapkeep {
namespace {

template <class Char> Char AsciiUpper(Char c) {
    return (c >= Char('a') && c <= Char('z')) ? Char(c - Char('a') + Char('A')) : c;
}

template <class Char>
bool EqualsIgnoringAsciiCase(std::basic_string_view<Char> a, std::basic_string_view<Char> b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiUpper(a[i]) != AsciiUpper(b[i]))
            return false;
    return true;
}

template <class Char> std::basic_string_view<Char> UpToNul(std::basic_string_view<Char> text) {
    const size_t nul = text.find(Char(0));
    return nul == std::basic_string_view<Char>::npos ? text : text.substr(0, nul);
}

// Calls visit(token) for each token in order until it answers false.
template <class Char, class Visit>
void ForEachToken(std::basic_string_view<Char> text, std::basic_string_view<Char> separators,
                  Visit visit) {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = text.find_first_not_of(separators, pos);
        if (start == std::basic_string_view<Char>::npos)
            return;
        size_t end = text.find_first_of(separators, start);
        if (end == std::basic_string_view<Char>::npos)
            end = text.size();
        if (!visit(text.substr(start, end - start)))
            return;
        pos = end;
    }
}

template <class Char>
std::basic_string<Char> Lookup(std::basic_string_view<Char> text, std::basic_string_view<Char> key,
                               std::basic_string_view<Char> fallback,
                               std::basic_string_view<Char> separators, size_t capacity,
                               bool bracketRule) {
    text = UpToNul(text);
    bool keyFound = false;
    bool haveValue = false;
    std::basic_string_view<Char> value;
    ForEachToken(text, separators, [&](std::basic_string_view<Char> token) {
        if (keyFound) {
            value = token;
            haveValue = true;
            return false;
        }
        keyFound = EqualsIgnoringAsciiCase(token, key);
        return true;
    });
    if (!haveValue || value.size() + 1 > capacity)
        return std::basic_string<Char>(fallback);
    if (bracketRule && (value[0] == Char('[') || value[0] == Char('{') || value[0] == Char('(')))
        return std::basic_string<Char>(fallback);
    return std::basic_string<Char>(value);
}

} // namespace

std::string FindKeyValue(std::string_view text, std::string_view key, std::string_view fallback,
                         size_t capacity) {
    return Lookup(text, key, fallback, kFixedSeparators, capacity, false);
}

std::string FindKeyValueEx(std::string_view text, std::string_view key, std::string_view fallback,
                           std::string_view separators, size_t capacity) {
    return Lookup(text, key, fallback, separators, capacity, true);
}

std::u16string FindKeyValueW(std::u16string_view text, std::u16string_view key,
                             std::u16string_view fallback, std::u16string_view separators,
                             size_t capacity) {
    return Lookup(text, key, fallback, separators, capacity, true);
}

std::vector<std::string> SplitTokens(std::string& text, std::string_view separators, size_t limit) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    std::vector<std::string> tokens;
    if (limit == 0)
        return tokens;
    ForEachToken(UpToNul(std::string_view(text)), separators, [&](std::string_view token) {
        tokens.emplace_back(token);
        return tokens.size() < limit;
    });
    return tokens;
}

int32_t ParseNumber(std::string_view text) {
    size_t i = 0;
    auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kLimit)
            value = kLimit;
    }
    if (negative)
        value = -value;
    if (value > std::numeric_limits<int32_t>::max())
        value = std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(value);
}

} // namespace snapkeep

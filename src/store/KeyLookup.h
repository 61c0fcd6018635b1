#pragma once
// Finding a value by its key anywhere in a data file's text.
//
// Keys and values are both tokens: runs of characters between separators. The first token equal
// to the key (ASCII letters compared without case) is taken, and the token right after it is the
// value. Every data file of the program (settings, product configuration, language files) is
// read this way, so the rules here decide what those files may contain.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace snapkeep {

// Separator sets of the program's readers.
inline constexpr std::string_view kFixedSeparators{" =,\t\n\r", 6};
inline constexpr std::string_view kOthersSeparators{"=\n\r", 3};
inline constexpr std::string_view kCaptionSeparators{"=,\t\n\r", 5};
inline constexpr std::u16string_view kLanguageSeparators{u"=\t\n\r", 4};

// Lookup with the fixed separator set (blank, "=", ",", TAB, LF, CR) and no bracket rule. The
// value is accepted when it has at most capacity - 1 characters; otherwise, or when the key is
// missing, the default is returned. The text ends at its first NUL.
std::string FindKeyValue(std::string_view text, std::string_view key, std::string_view fallback,
                         size_t capacity);

// Lookup with the caller's separators and the bracket rule: a value starting with "[", "{" or
// "(" is rejected, so an empty value followed by a section line reads back as the default.
std::string FindKeyValueEx(std::string_view text, std::string_view key, std::string_view fallback,
                           std::string_view separators, size_t capacity);

// The UTF-16 form of FindKeyValueEx; the capacity counts code units. Only the ASCII letters a-z
// are folded: every other code unit compares exactly.
std::u16string FindKeyValueW(std::u16string_view text, std::u16string_view key,
                             std::u16string_view fallback, std::u16string_view separators,
                             size_t capacity);

// Lower-cases the ASCII letters of `text` in place, then splits it at `separators` and returns
// at most `limit` tokens in order; the rest of the text is ignored.
std::vector<std::string> SplitTokens(std::string& text, std::string_view separators, size_t limit);

// The number rule of every numeric value: leading white space skipped, an optional sign, then
// decimal digits up to the first other character; no leading digits gives 0. Values beyond the
// 32-bit range saturate rather than wrap.
int32_t ParseNumber(std::string_view text);

} // namespace snapkeep

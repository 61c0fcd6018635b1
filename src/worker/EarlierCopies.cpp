#include "worker/EarlierCopies.h"

#include <algorithm>

namespace snapkeep {

namespace {

void AppendNumber(std::u16string& text, int value, int digits) {
    std::u16string part(static_cast<size_t>(digits), u'0');
    for (int i = digits - 1; i >= 0 && value > 0; --i, value /= 10)
        part[static_cast<size_t>(i)] = static_cast<char16_t>(u'0' + value % 10);
    text += part;
}

// Digits at `text[at, at + count)` as a number; -1 when any is not a digit.
int ReadNumber(std::u16string_view text, size_t at, size_t count) {
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return -1;
        value = value * 10 + (text[i] - u'0');
    }
    return value;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days since 1970-01-01 of a proleptic Gregorian date.
std::int64_t DaysFromCivil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

std::int64_t SecondsOf(const LocalStamp& t) {
    return DaysFromCivil(t.year, t.month, t.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

char16_t AsciiUpper(char16_t c) {
    return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool StartsWithAsciiCaseless(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (AsciiUpper(text[i]) != AsciiUpper(prefix[i]))
            return false;
    return true;
}

} // namespace

std::u16string VersionFolderName(const LocalStamp& start) {
    std::u16string name;
    AppendNumber(name, start.year, 4);
    name += u'-';
    AppendNumber(name, start.month, 2);
    name += u'-';
    AppendNumber(name, start.day, 2);
    name += u' ';
    AppendNumber(name, start.hour, 2);
    AppendNumber(name, start.minute, 2);
    AppendNumber(name, start.second, 2);
    return name;
}

std::optional<LocalStamp> ParseVersionFolderName(std::u16string_view name) {
    // "YYYY-MM-DD hhmmss"
    if (name.size() != 17 || name[4] != u'-' || name[7] != u'-' || name[10] != u' ')
        return std::nullopt;
    LocalStamp t{ReadNumber(name, 0, 4),  ReadNumber(name, 5, 2),  ReadNumber(name, 8, 2),
                 ReadNumber(name, 11, 2), ReadNumber(name, 13, 2), ReadNumber(name, 15, 2)};
    if (t.year < 1601 || t.month < 1 || t.month > 12 || t.day < 1 ||
        t.day > DaysInMonth(t.year, t.month) || t.hour < 0 || t.hour > 23 || t.minute < 0 ||
        t.minute > 59 || t.second < 0 || t.second > 59)
        return std::nullopt;
    return t;
}

std::int64_t SecondsBetween(const LocalStamp& a, const LocalStamp& b) {
    return SecondsOf(b) - SecondsOf(a);
}

std::vector<std::u16string> RemovableVersionFolders(const std::vector<std::u16string>& names,
                                                    const LocalStamp& now,
                                                    std::u16string_view running) {
    std::vector<std::pair<std::int64_t, std::u16string>> aged;
    for (const std::u16string& name : names) {
        if (name == running)
            continue;
        const std::optional<LocalStamp> made = ParseVersionFolderName(name);
        if (!made || SecondsBetween(*made, now) < kVersionsKeptAtLeastSeconds)
            continue;
        aged.emplace_back(SecondsOf(*made), name);
    }
    std::sort(aged.begin(), aged.end());
    std::vector<std::u16string> oldestFirst;
    oldestFirst.reserve(aged.size());
    for (auto& [when, name] : aged)
        oldestFirst.push_back(std::move(name));
    return oldestFirst;
}

std::optional<std::u16string> VersionPathFor(std::u16string_view destination,
                                             std::u16string_view root, std::u16string_view folder) {
    std::u16string tree(root);
    tree += u"Backup\\";
    if (root.empty() || root.back() != u'\\' || folder.empty() ||
        destination.size() <= tree.size() || !StartsWithAsciiCaseless(destination, tree))
        return std::nullopt;
    std::u16string path(root);
    path.append(kVersionsFolderName).append(u"\\").append(folder).append(u"\\");
    path.append(destination.substr(tree.size()));
    return path;
}

std::u16string RestoreStampText(const LocalStamp& start) {
    std::u16string text = VersionFolderName(start);
    text.resize(15); // "YYYY-MM-DD hhmm"
    return text;
}

std::u16string BeforeRestoreName(std::u16string_view name, std::u16string_view stamp,
                                 unsigned number) {
    // The extension is what follows the last dot, unless that dot begins the name (".profile").
    const size_t dot = name.find_last_of(u'.');
    const size_t stem = dot == std::u16string_view::npos || dot == 0 ? name.size() : dot;
    std::u16string result(name.substr(0, stem));
    result.append(u" (before restore ").append(stamp);
    if (number > 1) {
        result += u' ';
        std::u16string digits;
        for (unsigned n = number; n > 0; n /= 10)
            digits.insert(digits.begin(), static_cast<char16_t>(u'0' + n % 10));
        result += digits;
    }
    result += u')';
    result.append(name.substr(stem));
    return result;
}

} // namespace snapkeep

namespace snapkeep {

bool RecycleBinKeeps(bool known, const RecycleBinFacts& facts, std::uint64_t size) {
    return known && facts.hasBin && !facts.deletesOutright && size < facts.maxBytes;
}

} // namespace snapkeep

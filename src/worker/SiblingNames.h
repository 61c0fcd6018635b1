#pragma once
// The names already met in one folder's listing, as a Windows volume tells names apart: letters
// in any case are the same, a trailing dot or blank is no part of a name, and a file answers to
// its short (8.3) name as well. A Linux folder under Wine, or a folder marked case-sensitive, can
// hold "Report.txt" beside "report.txt", or "a." beside "a"; on the enclosure (or back on a
// Windows host) both would land on one file and overwrite each other on every run.
#include <string>
#include <string_view>
#include <unordered_set>

namespace snapkeep {

class SiblingNames {
public:
    // Records the entry `name` (with its short name, empty when it has none). False when it
    // takes a name an earlier entry of the folder already took: then nothing is recorded.
    bool Take(std::wstring_view name, std::wstring_view shortName);

private:
    std::unordered_set<std::wstring> taken_;
};

// The form under which a Windows volume finds `name`: upper case, without trailing dots and
// blanks. Empty for a name made of nothing else.
std::wstring VolumeNameKey(std::wstring_view name);

// True when `wanted` and `found` name one entry on a Windows volume (letters in any case).
bool SameEntryName(std::wstring_view wanted, std::wstring_view found);

} // namespace snapkeep

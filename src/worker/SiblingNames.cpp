#include "worker/SiblingNames.h"

#include <windows.h>

namespace snapkeep {

std::wstring VolumeNameKey(std::wstring_view name) {
    while (!name.empty() && (name.back() == L'.' || name.back() == L' '))
        name.remove_suffix(1);
    std::wstring key(name);
    if (!key.empty())
        // The invariant upper-case mapping, close to the table a volume compares names by.
        ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, key.data(),
                        static_cast<int>(key.size()), key.data(), static_cast<int>(key.size()),
                        nullptr, nullptr, 0);
    return key;
}

bool SameEntryName(std::wstring_view wanted, std::wstring_view found) {
    return VolumeNameKey(wanted) == VolumeNameKey(found);
}

bool SiblingNames::Take(std::wstring_view name, std::wstring_view shortName) {
    std::wstring key = VolumeNameKey(name);
    std::wstring shortKey = shortName.empty() ? std::wstring() : VolumeNameKey(shortName);
    if (taken_.contains(key) || (!shortKey.empty() && taken_.contains(shortKey)))
        return false;
    taken_.insert(std::move(key));
    if (!shortKey.empty())
        taken_.insert(std::move(shortKey));
    return true;
}

} // namespace snapkeep

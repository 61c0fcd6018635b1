#include "worker/VolumeRules.h"

#include <windows.h>

#include <cwctype>

#include "win/Handle.h"
#include "win/Text.h"
#include "worker/LongPath.h"

namespace snapkeep {

namespace {

std::wstring LongForm(const std::wstring& path) {
    return win::ToWide(ExtendedLengthPath(win::ToU16(path)));
}

std::uint64_t FromFileTime(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

VolumeTraits TraitsOfName(const std::wstring& root) {
    wchar_t name[MAX_PATH + 1] = {};
    if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, nullptr, name,
                                 MAX_PATH + 1))
        return VolumeTraits{};
    return TraitsOfFileSystem(win::ToU16(name));
}

bool ReadBack(const std::wstring& path, WIN32_FILE_ATTRIBUTE_DATA& data) {
    return ::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) != FALSE;
}

// Removes the probe file whatever attributes stuck to it.
void RemoveProbe(const std::wstring& path) {
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
}

} // namespace

std::wstring VolumeRootOf(const std::wstring& path) {
    // Long enough for any root of a path the walk can meet; the call never writes more.
    std::wstring root(path.size() + MAX_PATH, L'\0');
    if (!::GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size())))
        return std::wstring();
    root.resize(wcslen(root.c_str()));
    if (!root.empty() && root.back() != L'\\')
        root += L'\\';
    return root;
}

std::optional<VolumeTraits> MeasureVolumeTraits(const std::wstring& root) {
    const std::wstring path = LongForm(root + kVolumeProbeName);
    win::FileHandle probe(::CreateFileW(path.c_str(), GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0,
                                        nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!probe)
        return std::nullopt;
    // A time on an even second, then 1.2345678 s more: it lies on no step a file system
    // keeps, so what reads back shows the step. Times only: attributes left as they are.
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t time = FromFileTime(now) / kTime2S * kTime2S + kProbeTimeOffset;
    FILE_BASIC_INFO basic{};
    basic.CreationTime.QuadPart = static_cast<LONGLONG>(time);
    basic.LastAccessTime.QuadPart = static_cast<LONGLONG>(time);
    basic.LastWriteTime.QuadPart = static_cast<LONGLONG>(time);
    const bool timed =
        ::SetFileInformationByHandle(probe.Get(), FileBasicInfo, &basic, sizeof basic);
    probe.Reset();
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!timed || !ReadBack(path, data)) {
        RemoveProbe(path);
        return std::nullopt;
    }
    VolumeTraits traits;
    traits.creationPrecision = PrecisionOfRoundTrip(time, FromFileTime(data.ftCreationTime));
    traits.lastWritePrecision = PrecisionOfRoundTrip(time, FromFileTime(data.ftLastWriteTime));
    // Only FAT keeps such coarse times, in local time and with 32-bit sizes.
    if (traits.lastWritePrecision == kTime2S) {
        traits.localTime = true;
        traits.largestFile = kFatLargestFile;
    }

    // Every settable attribute on, then all off: a bit the volume keeps follows both ways;
    // one it drops, or always reports (Wine's archive bit), does not. Read-only goes on last:
    // Wine, run by an ordinary user, drops hidden and system when they come with it.
    WIN32_FILE_ATTRIBUTE_DATA set{}, cleared{};
    ::SetFileAttributesW(path.c_str(), kSettableAttributes & ~FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesW(path.c_str(), kSettableAttributes);
    const bool readSet = ReadBack(path, set);
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    const bool readCleared = ReadBack(path, cleared);
    RemoveProbe(path);
    traits.storedAttributes =
        readSet && readCleared
            ? set.dwFileAttributes & ~cleared.dwFileAttributes & kSettableAttributes
            : 0;
    return traits;
}

VolumeTraits VolumeRules::TraitsOf(const std::wstring& path, bool measure) {
    const std::wstring root = VolumeRootOf(path);
    if (root.empty())
        return VolumeTraits{};
    std::wstring key = root;
    for (wchar_t& c : key)
        c = static_cast<wchar_t>(std::towupper(c));
    key += measure ? L"|measured" : L"|named";

    std::lock_guard<std::mutex> hold(lock_);
    if (const auto known = known_.find(key); known != known_.end())
        return known->second;
    VolumeTraits traits = TraitsOfName(root);
    if (measure) {
        if (const std::optional<VolumeTraits> measured = MeasureVolumeTraits(root))
            traits = Coarser(traits, *measured);
    }
    known_.emplace(key, traits);
    return traits;
}

} // namespace snapkeep

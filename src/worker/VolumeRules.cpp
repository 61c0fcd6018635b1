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
    DWORD flags = 0;
    if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, name,
                                 MAX_PATH + 1))
        return VolumeTraits{};
    VolumeTraits traits = TraitsOfFileSystem(win::ToU16(name));
    traits.namedStreams = traits.namedStreams && (flags & FILE_NAMED_STREAMS) != 0;
    return traits;
}

// Whether the probe file at `path` can have a named stream: one is made and must then be listed
// among the file's streams. Made to be deleted when closed, so that nothing of it stays, even
// where the volume made a file of that name instead of a stream.
bool KeepsNamedStreams(const std::wstring& path, FileAccess& files) {
    win::FileHandle stream(files.Open(path + L":snapkeep", GENERIC_WRITE | DELETE, 0, CREATE_NEW,
                                      FILE_FLAG_DELETE_ON_CLOSE));
    if (!stream)
        return false;
    for (const std::wstring& name : files.NamedStreams(path)) {
        if (name == L":snapkeep")
            return true;
    }
    return false;
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

std::wstring VolumeProbeName(int n) {
    return n == 0 ? std::wstring(L"~snapkeep-times.tmp")
                  : L"~snapkeep-times~" + std::to_wstring(n) + L".tmp";
}

namespace {

// A new probe file under the first free name; its full path in `path`. Created, never opened:
// a user's file of the name stays untouched even if it appeared after a look for it.
win::FileHandle CreateProbe(const std::wstring& root, std::wstring& name, std::wstring& path,
                            FileAccess& files) {
    for (int n = 0; n <= kVolumeProbeOtherNames; ++n) {
        name = root + VolumeProbeName(n);
        path = LongForm(name);
        win::FileHandle probe(files.Open(path, GENERIC_WRITE | FILE_WRITE_ATTRIBUTES, 0, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL));
        if (probe)
            return probe;
        // Taken by a file or a folder (which answers "access denied"): the next name. Any other
        // refusal (a read-only medium, a root that is gone) would meet every name.
        const DWORD error = ::GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS &&
            !(error == ERROR_ACCESS_DENIED &&
              ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES))
            break;
    }
    return win::FileHandle();
}

} // namespace

std::optional<VolumeTraits> MeasureVolumeTraits(const std::wstring& root, FileAccess& files) {
    std::wstring name, path;
    win::FileHandle probe = CreateProbe(root, name, path, files);
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
    // Read back the way the comparison reads a copy's times.
    FileInfo read;
    DWORD error = 0;
    if (!timed || !files.ReadInfo(name, read, error)) {
        RemoveProbe(path);
        return std::nullopt;
    }
    VolumeTraits traits;
    traits.creationPrecision = PrecisionOfRoundTrip(time, read.creationTime);
    traits.lastWritePrecision = PrecisionOfRoundTrip(time, read.lastWriteTime);
    traits.namedStreams = KeepsNamedStreams(path, files);
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

bool VolumeRules::FirstNotice(const std::wstring& what) {
    std::wstring key = what;
    for (wchar_t& c : key)
        c = static_cast<wchar_t>(std::towupper(c));
    std::lock_guard<std::mutex> hold(lock_);
    return noticed_.insert(key).second;
}

void VolumeRules::NoteDroppedStreams(const std::wstring& root) {
    std::lock_guard<std::mutex> hold(lock_);
    ++droppedStreams_[root];
}

std::vector<std::pair<std::wstring, std::uint64_t>> VolumeRules::DroppedStreams() {
    std::lock_guard<std::mutex> hold(lock_);
    return {droppedStreams_.begin(), droppedStreams_.end()};
}

VolumeTraits VolumeRules::TraitsOf(const std::wstring& path, bool measure, FileAccess& files) {
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
        if (const std::optional<VolumeTraits> measured = MeasureVolumeTraits(root, files)) {
            traits = Coarser(traits, *measured);
            // A stream made and found again is the answer itself; the volume's flags are not
            // always set where streams work (Wine sets none).
            traits.namedStreams = measured->namedStreams;
        }
    }
    known_.emplace(key, traits);
    return traits;
}

} // namespace snapkeep

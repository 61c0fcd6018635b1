#pragma once
// Learns what each volume of a job keeps of file times and attributes, once per volume per job,
// so that the comparison asks no more of a copy than the two volumes can hold.
//
// A volume's file system name gives the rule for the usual ones (NTFS, FAT32, exFAT). The
// enclosure is also measured: a file of the program's own at its root gets a time with odd
// 100-ns units and every attribute a copy can set, and what reads back is what the volume keeps.
// This matters where the name tells nothing true: Wine reports "NTFS" for every drive, FAT and
// exFAT ones included. Host volumes are never written to; their name alone decides.
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "worker/VolumeTraits.h"

namespace snapkeep {

class VolumeRules {
public:
    // The traits of the volume that holds `path`. `measure`: the volume is the enclosure, and a
    // probe file may be written at its root.
    VolumeTraits TraitsOf(const std::wstring& path, bool measure);

private:
    std::mutex lock_;
    std::map<std::wstring, VolumeTraits> known_; // by volume root and whether it was measured
};

// The root of the volume that holds `path` ("E:\", a mounted folder, "\\server\share\"); empty
// when the system cannot tell.
std::wstring VolumeRootOf(const std::wstring& path);

// Writes, reads back and deletes the probe file at `root` (which ends with a backslash). None
// when the file cannot be made or given a time (a read-only medium).
std::optional<VolumeTraits> MeasureVolumeTraits(const std::wstring& root);

// The probe's file name at the enclosure's root.
inline constexpr wchar_t kVolumeProbeName[] = L"~snapkeep-times.tmp";

} // namespace snapkeep

#pragma once
// The write-speed probe: how long the enclosure's disk takes to write a 10-byte file and a
// 1 MiB file, measured with write-through on a probe file at the drive's root. Every time
// estimate of a job rests on these two figures.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace snapkeep {

struct DiskSpeed {
    std::int32_t smallFileMs; // twice the 10-byte write, at least 1
    std::int32_t megabyteMs;  // the 1 MiB write, at least 1
};

// The probe file's name at the enclosure's root.
inline constexpr wchar_t kProbeFileName[] = L"temp.~txt";

// One probe write: creates `path` (replacing it), writes the first `bytes` of `buffer`, waits
// until the file is seen to exist, times all that, and deletes the file again. False when the
// file cannot be created or written, or is never seen or never gone; a failed write or check
// may leave the file behind.
bool TimeProbeFile(const std::wstring& path, const void* buffer, DWORD bytes,
                   std::int32_t& milliseconds);

// The four probes on `driveRoot` + "temp.~txt"; nothing when any of them fails. Takes at least
// 0.8 s: each probe waits 200 ms before it sees its file gone.
std::optional<DiskSpeed> MeasureDiskSpeed(const std::wstring& driveRoot);

} // namespace snapkeep

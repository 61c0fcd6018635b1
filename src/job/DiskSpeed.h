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

// What a restore assumes when the probe cannot write on the enclosure (a write-protected or
// full volume, which a restore only reads): a typical USB 2.0 hard disk, which writes about
// 30 MB/s once it streams (1 MiB in 35 ms) and needs about 10 ms for a small file written
// through (a seek and a rotation), counted twice as a measured small write is.
inline constexpr DiskSpeed kTypicalUsb2Disk{20, 35};

// The probe file at a volume's root: "temp.~txt", or, when a file or folder of that name is
// already there (the user's, never to be replaced), the first of "temp~1.~txt" to
// "temp~99.~txt" that is not; empty when all are taken or the root cannot be looked at (gone,
// not ready). Every measurement of a volume writes its probe under this name.
std::wstring ProbeFilePath(const std::wstring& driveRoot);

// One probe write: creates `path` (replacing it), writes the first `bytes` of `buffer`, waits
// until the file is seen to exist, times all that, and deletes the file again. False when the
// file cannot be created or written, or is never seen or never gone; after a failed write or
// check the file is deleted once more, without waiting to see it gone.
bool TimeProbeFile(const std::wstring& path, const void* buffer, DWORD bytes,
                   std::int32_t& milliseconds);

// The four probes on the probe file of `driveRoot`; nothing when any of them fails. Takes at
// least 0.8 s: each probe waits 200 ms before it sees its file gone.
std::optional<DiskSpeed> MeasureDiskSpeed(const std::wstring& driveRoot);

} // namespace snapkeep

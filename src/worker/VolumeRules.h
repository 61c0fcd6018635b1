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
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "worker/FileAccess.h"
#include "worker/VolumeTraits.h"

namespace snapkeep {

class VolumeRules {
public:
    // The traits of the volume that holds `path`. `measure`: the volume is the enclosure, and a
    // probe file may be written at its root.
    // The probe goes through `files`, as the copies do.
    VolumeTraits TraitsOf(const std::wstring& path, bool measure,
                          FileAccess& files = SystemFileAccess());
    // True the first time it is asked about `what` (a notice's name and a volume's root) in this
    // job: a notice about a volume goes into the job's failure list once, not once per folder.
    bool FirstNotice(const std::wstring& what);
    // Counts a copied file whose named streams the volume at `root` could not keep; the job
    // says so once, with the count, when its copy pass ends.
    void NoteDroppedStreams(const std::wstring& root);
    std::vector<std::pair<std::wstring, std::uint64_t>> DroppedStreams();

private:
    std::mutex lock_;
    std::map<std::wstring, VolumeTraits> known_; // by volume root and whether it was measured
    std::set<std::wstring> noticed_;
    std::map<std::wstring, std::uint64_t> droppedStreams_; // by volume root
};

// The root of the volume that holds `path` ("E:\", a mounted folder, "\\server\share\"); empty
// when the system cannot tell.
std::wstring VolumeRootOf(const std::wstring& path);

// Writes, reads back and deletes the probe file at `root` (which ends with a backslash). None
// when the file cannot be made or given a time (a read-only medium). The probe is a new file
// under a free name (VolumeProbeName): a file or folder already there, a user's, is never
// opened, and nothing of the probe stays.
std::optional<VolumeTraits> MeasureVolumeTraits(const std::wstring& root,
                                                FileAccess& files = SystemFileAccess());

// The probe's file names at the enclosure's root, the first one tried first:
// "~snapkeep-times.tmp", then "~snapkeep-times~1.tmp" to "~snapkeep-times~99.tmp" when a file or
// folder of the earlier names is there.
inline constexpr int kVolumeProbeOtherNames = 99;
std::wstring VolumeProbeName(int n);

} // namespace snapkeep

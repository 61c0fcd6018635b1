#pragma once
// Where the files a copy replaces are kept, and which kept versions may go to make room.
//
// A backup never destroys the copy it replaces: the earlier copy is moved into a versions tree
// at the enclosure's root, "Backup Versions\<job start>\", below which the layout of "Backup\"
// repeats with every name unchanged, so that an older version is found in Explorer where the
// file itself lies in the backup. The tree lies outside "Backup\", so no restore ever reads from
// it. A restore moves the user's file it replaces aside under a name that says so.
//
// Portable: no system calls, only names and dates.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace snapkeep {

// The versions tree's folder at the enclosure's root.
inline constexpr std::u16string_view kVersionsFolderName = u"Backup Versions";
// Versions younger than this are never removed to make room: a bad day on the PC (ransomware,
// a file saved over) is backed up at once, and only age tells the good versions from the bad.
inline constexpr std::int64_t kVersionsKeptAtLeastSeconds = 14 * 24 * 60 * 60;

// A local date and time to the second.
struct LocalStamp {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// "2026-12-11 014810": one job's versions folder, named by the job's local start time.
std::u16string VersionFolderName(const LocalStamp& start);
// The time a versions folder's name gives, or none when the name is not exactly of that form
// (a valid date and time, nothing before or after it).
std::optional<LocalStamp> ParseVersionFolderName(std::u16string_view name);
// b - a in seconds (both local, so a change of daylight-saving time is an hour off; the floor of
// 14 days does not care).
std::int64_t SecondsBetween(const LocalStamp& a, const LocalStamp& b);

// The names among `names` (the entries of the versions tree that are plain folders) that may be
// removed to make room, oldest first: of the exact form, not `running` (the running job's),
// and at least 14 days older than `now`.
std::vector<std::u16string> RemovableVersionFolders(const std::vector<std::u16string>& names,
                                                    const LocalStamp& now,
                                                    std::u16string_view running);

// Where the earlier copy of `destination` goes: `root` + "Backup Versions\" + `folder` + the
// path below `root` + "Backup\". None when `destination` does not lie in that Backup tree.
// `root` ends with a backslash ("E:\"); letters of the drive and of "Backup" in any case.
std::optional<std::u16string> VersionPathFor(std::u16string_view destination,
                                             std::u16string_view root, std::u16string_view folder);

// "2026-12-11 0148": the stamp a restore puts in the names of the files it moves aside.
std::u16string RestoreStampText(const LocalStamp& start);
// The name a user's file `name` takes when a restore moves it aside: "report (before restore
// 2026-12-11 0148).docx", the extension kept last so the file still opens with its program.
// `number` above 1 tells one name from another already taken: "... 0148 2).docx".
std::u16string BeforeRestoreName(std::u16string_view name, std::u16string_view stamp,
                                 unsigned number = 1);

} // namespace snapkeep

namespace snapkeep {

// What the Recycle Bin of a volume is set to, as far as it can be told.
struct RecycleBinFacts {
    bool hasBin = false;          // the volume has a Recycle Bin (not a removable or network drive)
    bool deletesOutright = false; // the bin is switched off for the volume
    std::uint64_t maxBytes = 0;   // the largest the bin may grow; a larger file is deleted outright
};

// True when sending a file of `size` bytes to the bin keeps it there: the shell deletes without
// a trace (and a worker cannot show its warning) a file too large for the bin, or any file when
// the bin is switched off. Where the facts could not be read, `known` is false and the answer no.
bool RecycleBinKeeps(bool known, const RecycleBinFacts& facts, std::uint64_t size);

} // namespace snapkeep

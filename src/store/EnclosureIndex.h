#pragma once
// The enclosure's own list of what it holds: "Backup\Snapkeep Index.txt", one entry per folder
// of the Backup tree that a backup took up. It lets any PC (a new one, or this one with an empty
// data folder) find the enclosure's folders, whatever drive letter the enclosure has today.
//
// The file is UTF-16 little-endian with a byte-order mark and CR LF line ends, like the list
// files of the data folder, so Notepad shows it. The first line is "Snapkeep Index 1"; then one
// line per entry, five fields separated by a TAB (no file name, computer name or time can hold
// one):
//
//     Backup\C\Users\Ann\Documents\ <TAB> C:\Users\Ann\Documents\ <TAB> ANN-PC <TAB>
//     2026-12-11T03:20:00Z <TAB> 2026-12-11T03:21:07Z
//
// The folder below the enclosure's root, the host folder it came from, the computer's name,
// when the folder's copy pass last began and, only when that pass ended without a cancel, when
// it ended (empty otherwise). Times are UTC, so that PCs in other time zones agree. Entries an
// earlier backup left without an index ("seeded" from the Backup tree) have an empty computer
// name and times.
//
// The file lies on a disk anyone may have written: the reader takes it whole or not at all. A
// damaged index (a line that does not parse, a folder outside the Backup tree, "..", a drive or
// stream in a name) is treated as absent.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace snapkeep {

// Below the enclosure's root.
inline constexpr std::u16string_view kEnclosureIndexPath = u"Backup\\Snapkeep Index.txt";
inline constexpr std::u16string_view kEnclosureIndexHeader = u"Snapkeep Index 1";
// A larger file is not read: no backup writes one (it would take tens of thousands of folders).
inline constexpr std::size_t kEnclosureIndexLimitBytes = 4 * 1024 * 1024;

struct IndexEntry {
    std::u16string folder;   // "Backup\C\Users\Ann\Documents\", below the enclosure's root
    std::u16string host;     // "C:\Users\Ann\Documents\", shown only: a restore maps the folder
    std::u16string computer; // the name of the PC that backed it up
    std::u16string began;    // "2026-12-11T03:20:00Z"
    std::u16string ended;    // as began; empty when the last pass was cancelled or is under way
    bool operator==(const IndexEntry&) const = default;
};

// Whether `folder` names a folder of the Backup tree the way the index and the device list
// keep it: "Backup\" in any letter case, a drive-letter folder ("C") or "UNC", then plain
// folder names, every one ended by a backslash. No "." or "..", no empty name, no character
// Windows refuses in a name (":" would name a drive or a stream), nothing below U+0020.
bool IsBackupFolderPath(std::u16string_view folder);

// "2026-12-11T03:20:00Z": digits where digits go, nothing else.
bool IsIndexTime(std::u16string_view time);

// The file's bytes for these entries.
std::string EncodeEnclosureIndex(const std::vector<IndexEntry>& entries);

// The entries, or nothing when the bytes are not a whole, well-formed index.
std::optional<std::vector<IndexEntry>> DecodeEnclosureIndex(std::string_view bytes);

// Letter case ignored as Windows ignores it for names; the caller gives the rule (the program's
// is the system's, tests use ASCII).
using FolderNameRule = bool (*)(std::u16string_view a, std::u16string_view b);
bool SameFolderAscii(std::u16string_view a, std::u16string_view b);

// Puts `entry` into the list: it replaces the entry of the same folder (the last writer wins),
// or is appended.
void PutIndexEntry(std::vector<IndexEntry>& entries, IndexEntry entry, FolderNameRule same);

// The part of a device row below its drive root: "E:\Backup\C\x\" gives "Backup\C\x\" (a
// backslash is added when the row lacks its last one). Nothing for a row that has no drive
// root or does not name a folder of the Backup tree.
std::optional<std::u16string> RowBelowRoot(std::u16string_view row);

// The folders of the Backup tree an enclosure holds, below its root, given its index (nothing
// when it has none, or a damaged one) and the names of the Backup folder's subfolders: the
// index's folders, or else one per drive-letter folder ("C" gives "Backup\C\"), as a backup
// made before the index existed left them.
std::vector<std::u16string> FoldersOnEnclosure(const std::optional<std::vector<IndexEntry>>& index,
                                               const std::vector<std::u16string>& backupFolders);

// The first entries of an index begun where earlier backups left folders without one (or a
// damaged one): one per drive-letter folder, its host that drive's root, with no computer or
// times. A new index must not hide folders the drive-letter rule used to find.
std::vector<IndexEntry> SeedIndexEntries(const std::vector<std::u16string>& backupFolders);

} // namespace snapkeep

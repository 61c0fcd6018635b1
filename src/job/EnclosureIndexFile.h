#pragma once
// The enclosure's index on its disk: read when the enclosure is found (which folders it holds),
// written by a backup when a folder's copy pass begins and when it ends. The format is
// store/EnclosureIndex's.
#include "store/EnclosureIndex.h"

#include <optional>
#include <string>
#include <vector>

namespace snapkeep {

// The index below `root` ("F:\"): nothing when it is missing, larger than any index, cannot be
// read or is damaged.
std::optional<std::vector<IndexEntry>> ReadEnclosureIndex(const std::wstring& root);

// The names of the folders in `root` + "Backup\".
std::vector<std::u16string> ListBackupFolders(const std::wstring& root);

// The folders of the Backup tree below `root` that the enclosure holds: its index's, or one per
// drive-letter folder when it has none.
std::vector<std::u16string> FindEnclosureFolders(const std::wstring& root);

// Letter case ignored as the file system ignores it.
bool SameFolderName(std::u16string_view a, std::u16string_view b);

// Whether `root` + `below` is a folder.
bool FolderExistsBelow(const std::wstring& root, std::u16string_view below);

// This computer's name, and the time now as the index keeps it.
std::u16string ComputerName();
std::u16string IndexTimeNow();

// Puts `entry` into the index below `root` (the Backup folder is made when missing) and
// replaces the file whole through a temporary file. An index that is missing or damaged starts
// with the drive-letter folders earlier backups left. False when it could not be written; a
// backup goes on without it.
bool PutEnclosureIndexEntry(const std::wstring& root, const IndexEntry& entry);

} // namespace snapkeep

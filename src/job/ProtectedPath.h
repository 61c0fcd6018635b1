#pragma once
// Places a restore never writes to. Rows of the device list can come from a disk this PC did not
// write (an enclosure found with its index, a Backup tree anyone could have made), and the
// program runs elevated: a "Backup\C\Windows\System32\" folder on such a disk must not put its
// files into the system, nor a "...\Start Menu\Programs\Startup\" folder make a program start at
// the next logon.
#include "store/EnclosureIndex.h"

#include <string>
#include <string_view>
#include <vector>

namespace snapkeep {

// Whether `path` is one of `folders` or lies below one (whole names compared, letter case
// ignored by `same`), or lies in a Startup folder of any user ("...\Microsoft\Windows\Start
// Menu\Programs\Startup\..."). Paths in the extended form ("\\?\C:\...", "\\?\UNC\...") are
// compared in their plain form; the folders are plain paths, with or without a last backslash.
bool LiesInProtectedFolder(std::u16string_view path, const std::vector<std::u16string>& folders,
                           FolderNameRule same);

} // namespace snapkeep

#pragma once
// The two ends of one folder row of a job: where its walk starts and the folder that corresponds
// to it on the other side. A backup's destination becomes the device-list row that a later
// restore walks, so it must be exactly where the worker put the files.
#include <string>
#include <string_view>

namespace snapkeep {

struct JobRoots {
    std::u16string source;      // the row's caption, where the walk starts
    std::u16string destination; // empty when the row maps nowhere
};

// Backup: host row "C:\Users\Ann\" with drive root "E:\" gives "E:\Backup\C\Users\Ann\"; a
// network row "\\server\share\" gives "E:\Backup\UNC\server\share\". Restore: device row
// "E:\Backup\C\Users\Ann\" gives "C:\Users\Ann\" (the drive root is not used). Both go through
// the worker's own file mapping, so the folder and the files below it always agree.
JobRoots MakeJobRoots(bool backup, std::u16string_view row, std::u16string_view driveRoot);

} // namespace snapkeep

#include "job/JobRoots.h"

#include "worker/PathMapping.h"

namespace snapkeep {

JobRoots MakeJobRoots(bool backup, std::u16string_view row, std::u16string_view driveRoot) {
    JobRoots roots;
    roots.source = std::u16string(row);
    const std::optional<std::u16string> mapped =
        backup ? MapBackupPath(row, driveRoot) : MapRestorePath(row);
    if (mapped)
        roots.destination = *mapped;
    return roots;
}

} // namespace snapkeep

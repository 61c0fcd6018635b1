#include "worker/FileInfo.h"

#include "worker/CopyResult.h"

namespace snapkeep {

int CompareFileInfo(const FileInfo& source, const FileInfo& destination) {
    if (source.attributes != destination.attributes)
        return CompareAttributesDiffer;
    if (source.size != destination.size)
        return CompareSizesDiffer;
    if (source.creationTime != destination.creationTime)
        return CompareCreationTimesDiffer;
    if (source.lastWriteTime != destination.lastWriteTime)
        return CompareLastWriteTimesDiffer;
    return CompareIdentical;
}

} // namespace snapkeep

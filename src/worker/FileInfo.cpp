#include "worker/FileInfo.h"

#include "worker/CopyResult.h"

namespace snapkeep {

int CompareFileInfo(const FileInfo& source, const FileInfo& destination, const VolumeTraits& rule) {
    // A bit the copy cannot set, or one of the volumes does not keep, would make the pair
    // differ on every run however often the file were copied.
    const std::uint32_t compared = rule.storedAttributes & kSettableAttributes;
    if ((source.attributes ^ destination.attributes) & compared)
        return CompareAttributesDiffer;
    if (source.size != destination.size)
        return CompareSizesDiffer;
    if (!SameTime(source.creationTime, destination.creationTime, rule.creationPrecision,
                  rule.localTime))
        return CompareCreationTimesDiffer;
    if (!SameTime(source.lastWriteTime, destination.lastWriteTime, rule.lastWritePrecision,
                  rule.localTime))
        return CompareLastWriteTimesDiffer;
    return CompareIdentical;
}

bool ContentLooksChanged(const FileInfo& source, const FileInfo& copy, const VolumeTraits& rule) {
    return source.size != copy.size || !SameTime(source.lastWriteTime, copy.lastWriteTime,
                                                 rule.lastWritePrecision, rule.localTime);
}

} // namespace snapkeep

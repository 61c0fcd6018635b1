#include "worker/FileInfo.h"

#include "worker/CopyResult.h"

namespace snapkeep {

namespace {

// A change to or from daylight-saving time moves every time a local-time volume keeps by the
// same hour, the same way. Only then is the hour forgiven: one time an hour off while another is
// not is a real change (a file rewritten an hour after its copy was made, with the same size).
bool ShiftedByOneClockChange(const FileInfo& source, const FileInfo& destination,
                             const VolumeTraits& rule) {
    if (!rule.localTime || rule.lastWritePrecision == kTimeNotKept)
        return false;
    for (const std::int64_t shift :
         {static_cast<std::int64_t>(kOneHour), -static_cast<std::int64_t>(kOneHour)}) {
        const bool creation =
            rule.creationPrecision == kTimeNotKept ||
            ShiftedBy(source.creationTime, destination.creationTime, shift, rule.creationPrecision);
        if (creation && ShiftedBy(source.lastWriteTime, destination.lastWriteTime, shift,
                                  rule.lastWritePrecision))
            return true;
    }
    return false;
}

} // namespace

int CompareFileInfo(const FileInfo& source, const FileInfo& destination, const VolumeTraits& rule) {
    // A bit the copy cannot set, or one of the volumes does not keep, would make the pair
    // differ on every run however often the file were copied.
    const std::uint32_t compared = rule.storedAttributes & kSettableAttributes;
    if ((source.attributes ^ destination.attributes) & compared)
        return CompareAttributesDiffer;
    if (source.size != destination.size)
        return CompareSizesDiffer;
    // A creation time one of the volumes does not keep is no difference the copy could mend.
    const bool sameCreation =
        rule.creationPrecision == kTimeNotKept ||
        SameTime(source.creationTime, destination.creationTime, rule.creationPrecision);
    // A last-write time that does not come back as set tells nothing: the file counts as changed.
    const bool sameLastWrite =
        rule.lastWritePrecision != kTimeNotKept &&
        SameTime(source.lastWriteTime, destination.lastWriteTime, rule.lastWritePrecision);
    if ((sameCreation && sameLastWrite) || ShiftedByOneClockChange(source, destination, rule))
        return CompareIdentical;
    return sameCreation ? CompareLastWriteTimesDiffer : CompareCreationTimesDiffer;
}

bool ContentLooksChanged(const FileInfo& source, const FileInfo& copy, const VolumeTraits& rule) {
    if (source.size != copy.size)
        return true;
    // A volume that does not keep last-write times tells nothing about the content.
    if (rule.lastWritePrecision == kTimeNotKept)
        return false;
    return !SameTime(source.lastWriteTime, copy.lastWriteTime, rule.lastWritePrecision) &&
           !ShiftedByOneClockChange(source, copy, rule);
}

} // namespace snapkeep

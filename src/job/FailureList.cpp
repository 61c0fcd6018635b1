#include "job/FailureList.h"

#include "worker/CopyResult.h"

namespace snapkeep {

std::u16string MakeFailureLine(std::int32_t code, std::u16string_view source,
                               std::u16string_view destination, const FailureTexts& texts) {
    std::u16string_view path = source;
    const std::u16string* reason = &texts.cannotDuplicate;
    switch (code) {
    case CopyDestinationTooLong:
        path = destination;
        reason = &texts.pathTooLong;
        break;
    case CopyTooLargeForVolume:
        path = destination;
        reason = &texts.tooLargeForFat;
        break;
    case CopyNameClash: // the item that was not copied
        reason = &texts.nameClash;
        break;
    case CopyRootInsideBackup:
        reason = &texts.rootInsideBackup;
        break;
    case CopySourceInUse:
        reason = &texts.sourceInUse;
        break;
    case CopySourceChanged:
        reason = &texts.sourceChanged;
        break;
    case CopyTimesUntrusted: // the volume's root
        reason = &texts.timesUntrusted;
        break;
    case CopyLinkNotFollowed: // the destination path names the link
        path = destination;
        reason = &texts.linkNotFollowed;
        break;
    case CopyRootMissing:
        reason = &texts.rootMissing;
        break;
    case CopyDestinationRefused: // the place it would have gone to
        path = destination;
        reason = &texts.destinationRefused;
        break;
    case CopyKeptUnderTemporaryName: // the destination path names the kept file
        path = destination;
        reason = &texts.newCopyKept;
        break;
    case CopyLeftoverKept: // the leftover file itself is the destination path
        path = destination;
        reason = &texts.leftoverKept;
        break;
    case CopyNoRoomToKeepEarlierCopy:
        path = destination;
        reason = &texts.noRoomToKeepEarlier;
        break;
    case CompareDestinationMissing:
    case CopyResetAttributesFailed:
    case CopyDeletePartialFailed:
    case CopyFolderCreateFailed:
    case CopyDestinationWriteFailed:
    case CopyApplyInfoFailed:
        path = destination;
        reason = &texts.cannotCreate;
        break;
    default:
        break;
    }
    if (path.empty())
        path = source;
    std::u16string line;
    line.reserve(path.size() + texts.fail.size() + reason->size() + 5);
    line.append(path).append(u"; ").append(texts.fail).append(u": ").append(*reason).append(u".");
    return line;
}

std::u16string MakeDroppedStreamsLine(std::u16string_view root, std::u16string_view count,
                                      const FailureTexts& texts) {
    std::u16string reason = texts.streamsNotKept;
    if (const size_t at = reason.find(u"%1"); at != std::u16string::npos)
        reason.replace(at, 2, count);
    std::u16string line(root);
    line.append(u"; ").append(texts.fail).append(u": ").append(reason).append(u".");
    return line;
}

void FailureList::Append(std::u16string line) {
    std::lock_guard<std::mutex> guard(lock_);
    lines_.push_back(std::move(line));
}

size_t FailureList::Size() const {
    std::lock_guard<std::mutex> guard(lock_);
    return lines_.size();
}

std::vector<std::u16string> FailureList::LinesFrom(size_t first) const {
    std::lock_guard<std::mutex> guard(lock_);
    if (first >= lines_.size())
        return {};
    return {lines_.begin() + static_cast<std::ptrdiff_t>(first), lines_.end()};
}

} // namespace snapkeep

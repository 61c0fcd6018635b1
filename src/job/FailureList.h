#pragma once
// The lines of the files whose copy failed: appended by the worker's after-file hook, read by
// the job window's copy timer while the worker may append more.
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace snapkeep {

// The reasons a failure line gives, in the interface language.
struct FailureTexts {
    std::u16string fail;                // "Fail"
    std::u16string pathTooLong;         // destination path too long (code 7)
    std::u16string cannotCreate;        // destination cannot be created or written
    std::u16string cannotDuplicate;     // any other failure: the source's fault
    std::u16string tooLargeForFat;      // 4 GiB or more bound for a FAT volume (code 11)
    std::u16string nameClash;           // another item of the folder takes the name (code 13)
    std::u16string newCopyKept;         // the new data kept under its temporary name (code 14)
    std::u16string rootInsideBackup;    // a root inside the backup tree (code 15)
    std::u16string sourceInUse;         // another program holds the source open for writing (16)
    std::u16string sourceChanged;       // the source changed while it was copied (17)
    std::u16string timesUntrusted;      // a volume that gives back other times than set (18)
    std::u16string streamsNotKept;      // named streams of %1 files a volume could not keep
    std::u16string linkNotFollowed;     // a link the copy did not pass through (code 19)
    std::u16string noRoomToKeepEarlier; // no room beside the earlier copy (code 20)
    std::u16string leftoverKept;        // an interrupted copy's file kept (code 12)
    std::u16string rootMissing;         // a folder of the job that is not there (code 21)
    std::u16string destinationRefused;  // a restore into a system folder (code 22)
};

// "path; Fail: reason." The destination path is shown for the destination's faults, the
// source path for the others; a destination that is empty (the source maps nowhere) shows the
// source instead, so that no line lacks its file.
std::u16string MakeFailureLine(std::int32_t code, std::u16string_view source,
                               std::u16string_view destination, const FailureTexts& texts);

// The line that says once, at the end of a job's copy pass, that the volume at `root` could not
// keep the named streams of `files` copied files: "E:\; Fail: Named streams of 3 files are not
// kept on this volume." `count` is the number as the user's formats write it.
std::u16string MakeDroppedStreamsLine(std::u16string_view root, std::u16string_view count,
                                      const FailureTexts& texts);

class FailureList {
public:
    void Append(std::u16string line);
    size_t Size() const;
    // Copies of the lines from `first` on.
    std::vector<std::u16string> LinesFrom(size_t first) const;

private:
    mutable std::mutex lock_;
    std::vector<std::u16string> lines_;
};

} // namespace snapkeep

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
    std::u16string fail;               // "Fail"
    std::u16string pathTooLong;        // destination path too long (code 7)
    std::u16string cannotCreate;       // destination cannot be created or written
    std::u16string cannotDuplicate;    // any other failure: the source's fault
    std::u16string tooLargeForFat;     // 4 GiB or more bound for a FAT volume (code 11)
    std::u16string nameClash;          // another item of the folder takes the name (code 13)
    std::u16string newCopyKept;        // the new data kept under its temporary name (code 14)
    std::u16string rootInsideBackup;   // a root inside the backup tree (code 15)
    std::u16string rootMissing;        // a folder of the job that is not there (code 16)
    std::u16string destinationRefused; // a restore into a system folder (code 17)
};

// "path; Fail: reason." The destination path is shown for the destination's faults, the
// source path for the others; a destination that is empty (the source maps nowhere) shows the
// source instead, so that no line lacks its file.
std::u16string MakeFailureLine(std::int32_t code, std::u16string_view source,
                               std::u16string_view destination, const FailureTexts& texts);

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

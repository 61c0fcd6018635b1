#pragma once
// The job history: one record per job, appended to "SnapData\History.txt" when the job ends,
// however it ends, so that what a job did (and what it could not copy) can be read after its
// window has closed. This part builds a record's text and the file's new content; writing the
// file is the job window's (it replaces the file whole, so a kill mid-write leaves the old or
// the new content).
//
// The file is UTF-8 with a byte-order mark and CR LF line ends: Notepad opens it correctly on
// every Windows version (the mark tells it the encoding, and older Notepads need CR LF), any
// path the failure lines name fits, and it is half the size of UTF-16 for the mostly-ASCII text.
// A record starts with a line of 50 "=" and ends where the next one starts.
#include "store/LanguageFile.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace snapkeep {

// How a job ended: ran to its end (failure lines or not), cancelled by the user, or stopped by
// something else.
enum class JobEnd : std::uint8_t {
    Finished,
    Cancelled,
    ProbeFailed,      // the trial write to the enclosure's disk failed
    ProgramClosed,    // the program was closed during the job
    WindowsShutDown,  // Windows shut down or the user logged off during the job
    NothingToDo,      // no folder in the list or no drive selected when a pass began
    ManyFilesChanged, // most backed-up files had changed, and the user chose not to back up
};

// One folder of a job's copy pass.
struct HistoryFolder {
    std::u16string source;
    std::u16string destination;
    std::uint32_t files = 0;              // copied
    std::uint64_t bytes = 0;              // copied
    std::vector<std::u16string> failures; // exactly as the job window listed them
    std::uint64_t linksSkipped = 0;       // links below the folder left out, not followed
};

struct JobRecord {
    bool backup = true;
    bool byButton = false;  // started by the enclosure's button rather than a click
    std::u16string started; // local times, as text
    std::u16string ended;
    std::u16string enclosure; // the enclosure's root, "E:\"
    std::vector<HistoryFolder> folders;
    JobEnd end = JobEnd::Finished;
    // What became of the files the job replaced. A backup: its versions folder
    // ("E:\Backup Versions\2026-12-11 014810\") and how many earlier copies went there, and the
    // older versions folders removed to make room. A restore: the user's replaced files sent to
    // the Recycle Bin, and those kept beside the restored ones.
    std::u16string versionsFolder;
    std::uint32_t versionsKept = 0;
    std::vector<std::u16string> versionsRemoved;
    std::uint32_t recycled = 0;
    std::uint32_t keptBeside = 0;

    std::uint32_t CopiedFiles() const;
    std::uint64_t CopiedBytes() const;
    std::uint32_t FailureCount() const;
};

// The pieces a record is written with: the interface texts, and numbers and sizes in the
// user's formats.
struct HistoryFormat {
    std::function<std::u16string(Text)> text;
    std::function<std::u16string(std::uint64_t)> count;
    std::function<std::u16string(std::uint64_t)> size;
};

// The largest history: the oldest whole records go first to keep the file below it.
inline constexpr std::size_t kHistoryLimitBytes = 1024 * 1024;

// The line that starts every record.
inline constexpr std::string_view kHistoryRecordMark =
    "==================================================";

// "Stopped: the program was closed", "Finished", "Cancelled by the user", ...
std::u16string DescribeJobEnd(JobEnd end, const HistoryFormat& format);

// The record as UTF-8 text with CR LF line ends, at most `limit` bytes: when its failure lines
// would not fit, the last ones are left out and a line "... +N" says how many.
std::string FormatJobRecord(const JobRecord& record, const HistoryFormat& format,
                            std::size_t limit = kHistoryLimitBytes - 3);

// The history file's new content: its old content (whatever it holds) followed by the record,
// with the oldest whole records dropped until the result fits `limit` bytes. Text before the
// first record mark (a file edited by hand) counts as one record. Always starts with the UTF-8
// byte-order mark.
std::string AppendJobRecord(std::string_view oldFile, std::string_view record,
                            std::size_t limit = kHistoryLimitBytes);

// The records of a history file's content (without the byte-order mark), for tests and tools.
std::vector<std::string_view> SplitJobRecords(std::string_view file);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string EncodeUtf8(std::u16string_view text);

} // namespace snapkeep

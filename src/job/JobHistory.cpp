#include "job/JobHistory.h"

#include <numeric>

namespace snapkeep {

namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kFailureIndent = "    ";

} // namespace

std::uint32_t JobRecord::CopiedFiles() const {
    return std::accumulate(folders.begin(), folders.end(), std::uint32_t{0},
                           [](std::uint32_t sum, const HistoryFolder& f) { return sum + f.files; });
}

std::uint64_t JobRecord::CopiedBytes() const {
    return std::accumulate(folders.begin(), folders.end(), std::uint64_t{0},
                           [](std::uint64_t sum, const HistoryFolder& f) { return sum + f.bytes; });
}

std::uint32_t JobRecord::FailureCount() const {
    std::uint32_t count = 0;
    for (const HistoryFolder& f : folders)
        count += static_cast<std::uint32_t>(f.failures.size());
    return count;
}

std::string EncodeUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::u16string DescribeJobEnd(JobEnd end, const HistoryFormat& format) {
    auto stopped = [&](Text reason) {
        return format.text(Text::HistoryStopped) + u": " + format.text(reason);
    };
    switch (end) {
    case JobEnd::Finished:
        return format.text(Text::HistoryFinished);
    case JobEnd::Cancelled:
        return format.text(Text::HistoryCancelled);
    case JobEnd::ProbeFailed:
        return stopped(Text::HistoryProbeFailed);
    case JobEnd::ProgramClosed:
        return stopped(Text::HistoryProgramClosed);
    case JobEnd::WindowsShutDown:
        return stopped(Text::HistoryWindowsShutDown);
    case JobEnd::NothingToDo:
        return stopped(Text::HistoryNothingToDo);
    case JobEnd::ManyFilesChanged:
        return stopped(Text::HistoryManyFilesChanged);
    }
    return {};
}

std::string FormatJobRecord(const JobRecord& record, const HistoryFormat& format,
                            std::size_t limit) {
    auto line = [](std::u16string_view text) { return EncodeUtf8(text) + std::string(kLineEnd); };
    auto labelled = [&](Text label, std::u16string_view value) {
        return line(format.text(label) + u": " + std::u16string(value));
    };

    std::string head(kHistoryRecordMark);
    head += kLineEnd;
    head += line(format.text(record.backup ? Text::HistoryBackup : Text::HistoryRestore) + u", " +
                 format.text(record.byButton ? Text::HistoryByButton : Text::HistoryByClick));
    head += labelled(Text::HistoryStarted, record.started);
    head += labelled(Text::HistoryEnded, record.ended);
    head += labelled(Text::HistoryEnclosure, record.enclosure);

    // Each folder's lines; its failure lines apart, so that a record too big for the file can
    // leave some out and still be whole.
    struct FolderLines {
        std::string head;
        std::vector<std::string> failures;
    };
    std::vector<FolderLines> folders;
    size_t size = head.size();
    size_t failureCount = 0;
    for (const HistoryFolder& folder : record.folders) {
        FolderLines lines;
        lines.head = labelled(Text::HistoryFolder, folder.source + u" -> " + folder.destination);
        lines.head += std::string(kFailureIndent) +
                      labelled(Text::HistoryCopied,
                               format.count(folder.files) + u", " + format.size(folder.bytes));
        if (folder.linksSkipped > 0)
            lines.head += std::string(kFailureIndent) +
                          labelled(Text::HistoryLinksSkipped, format.count(folder.linksSkipped));
        size += lines.head.size();
        for (const std::u16string& failure : folder.failures) {
            lines.failures.push_back(std::string(kFailureIndent) + line(failure));
            size += lines.failures.back().size();
        }
        failureCount += folder.failures.size();
        folders.push_back(std::move(lines));
    }
    std::string tail;
    // Where the replaced files are: only for a job that replaced or removed any.
    if (record.versionsKept > 0)
        tail += labelled(Text::HistoryVersionsKept,
                         format.count(record.versionsKept) + u", " + record.versionsFolder);
    for (const std::u16string& removed : record.versionsRemoved)
        tail += labelled(Text::HistoryVersionsRemoved, removed);
    if (record.recycled > 0)
        tail += labelled(Text::HistoryRecycled, format.count(record.recycled));
    if (record.keptBeside > 0)
        tail += labelled(Text::HistoryKeptBeside, format.count(record.keptBeside));
    tail += labelled(Text::HistoryResult, DescribeJobEnd(record.end, format));
    size += tail.size();

    // Too big: keep the failure lines from the start that fit beside a line telling how many
    // more there were (generous room for it: its number has at most 20 digits).
    size_t keep = failureCount;
    if (size > limit) {
        const size_t room = 40;
        size_t budget = limit > room ? limit - room : 0;
        size_t fixed = head.size() + tail.size();
        for (const FolderLines& f : folders)
            fixed += f.head.size();
        budget = budget > fixed ? budget - fixed : 0;
        keep = 0;
        bool full = false;
        for (const FolderLines& f : folders)
            for (const std::string& failure : f.failures) {
                full = full || failure.size() > budget;
                if (full)
                    break;
                budget -= failure.size();
                ++keep;
            }
    }

    std::string out = head;
    size_t written = 0;
    bool noted = false;
    for (const FolderLines& f : folders) {
        out += f.head;
        for (const std::string& failure : f.failures) {
            if (written == keep)
                break;
            out += failure;
            ++written;
        }
        // Where the kept lines end, one line counts the rest; later folders keep their own lines.
        if (written == keep && keep < failureCount && !noted) {
            out += std::string(kFailureIndent) + "... +" + std::to_string(failureCount - keep) +
                   std::string(kLineEnd);
            noted = true;
        }
    }
    out += tail;
    return out;
}

std::vector<std::string_view> SplitJobRecords(std::string_view file) {
    if (file.starts_with(kBom))
        file.remove_prefix(kBom.size());
    // A record starts where a line holds only the mark.
    std::vector<size_t> starts;
    const std::string markLine = std::string(kHistoryRecordMark) + std::string(kLineEnd);
    if (file.starts_with(markLine))
        starts.push_back(0);
    const std::string inner = std::string(kLineEnd) + markLine;
    for (size_t at = file.find(inner); at != std::string_view::npos; at = file.find(inner, at + 1))
        starts.push_back(at + kLineEnd.size());
    if (starts.empty() || starts.front() != 0)
        starts.insert(starts.begin(), 0); // text before the first mark: one record of its own
    std::vector<std::string_view> records;
    for (size_t i = 0; i < starts.size(); ++i) {
        const size_t end = i + 1 < starts.size() ? starts[i + 1] : file.size();
        if (end > starts[i])
            records.push_back(file.substr(starts[i], end - starts[i]));
    }
    return records;
}

std::string AppendJobRecord(std::string_view oldFile, std::string_view record, std::size_t limit) {
    const std::vector<std::string_view> records = SplitJobRecords(oldFile);
    size_t total = kBom.size() + record.size();
    for (std::string_view r : records)
        total += r.size();
    // An old file cut off without a line end (edited by hand) still leaves the new record on
    // a line of its own.
    const bool joinLine = !records.empty() && !records.back().ends_with('\n');
    if (joinLine)
        total += kLineEnd.size();
    size_t first = 0;
    while (total > limit && first < records.size())
        total -= records[first++].size();
    std::string out(kBom);
    out.reserve(total);
    for (size_t i = first; i < records.size(); ++i)
        out += records[i];
    if (joinLine && first < records.size())
        out += kLineEnd;
    out += record;
    return out;
}

} // namespace snapkeep

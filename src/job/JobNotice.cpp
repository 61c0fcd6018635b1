#include "job/JobNotice.h"

namespace snapkeep {

std::u16string FillIn(std::u16string_view text, std::u16string_view first,
                      std::u16string_view second) {
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'%' && i + 1 < text.size() &&
            (text[i + 1] == u'1' || text[i + 1] == u'2')) {
            out += text[i + 1] == u'1' ? first : second;
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<JobNotice> MakeJobNotice(const JobRecord& record, const HistoryFormat& format) {
    const bool backup = record.backup;
    auto text = [&](Text forBackup, Text forRestore) {
        return format.text(backup ? forBackup : forRestore);
    };
    switch (record.end) {
    case JobEnd::Finished:
        if (const std::uint32_t failed = record.FailureCount())
            return JobNotice{FillIn(text(Text::NoticeBackupFailures, Text::NoticeRestoreFailures),
                                    format.count(failed)),
                             true};
        return JobNotice{FillIn(text(Text::NoticeBackupFinished, Text::NoticeRestoreFinished),
                                format.count(record.CopiedFiles()),
                                format.size(record.CopiedBytes())),
                         false};
    case JobEnd::Cancelled:
        return JobNotice{FillIn(text(Text::NoticeBackupCancelled, Text::NoticeRestoreCancelled),
                                format.count(record.CopiedFiles())),
                         false};
    case JobEnd::ProbeFailed:
        return JobNotice{FillIn(text(Text::NoticeBackupStopped, Text::NoticeRestoreStopped),
                                format.text(Text::HistoryProbeFailed)),
                         true};
    case JobEnd::NothingToDo:
        return JobNotice{FillIn(text(Text::NoticeBackupStopped, Text::NoticeRestoreStopped),
                                format.text(Text::HistoryNothingToDo)),
                         true};
    case JobEnd::ManyFilesChanged:
        return JobNotice{FillIn(text(Text::NoticeBackupStopped, Text::NoticeRestoreStopped),
                                format.text(Text::HistoryManyFilesChanged)),
                         true};
    case JobEnd::ProgramClosed:
    case JobEnd::WindowsShutDown:
        break;
    }
    return std::nullopt;
}

} // namespace snapkeep

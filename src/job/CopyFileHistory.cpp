// The job window's side of the job history: what the job did, gathered as it runs, and the
// record appended to the history file when it ends. Writing the history never stops or fails a
// job: a file that cannot be written is left as it was.
#include "job/CopyFileWindow.h"

#include "win/Files.h"
#include "win/Text.h"

#include <shlwapi.h>

#include <cstdio>

namespace snapkeep {

namespace {

// Local time as "2026-12-10 16:03:25": the same in every language, and records sort by it.
std::u16string LocalText(const LocalStamp& t) {
    wchar_t text[32];
    std::swprintf(text, 32, L"%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute, t.second);
    return win::ToU16(text);
}

std::u16string LocalNow() {
    return LocalText(LocalNowStamp());
}

} // namespace

HistoryFormat TCopyFileForm::HistoryTextFormat() const {
    return {[this](Text key) { return win::ToU16(TextOf(key)); },
            [](std::uint64_t n) { return win::ToU16(FormatCount(n)); },
            [](std::uint64_t n) {
                // The size as Explorer shows it: "46.0 MB", in the user's number format.
                wchar_t text[64] = {};
                if (!::StrFormatByteSizeW(static_cast<LONGLONG>(n), text, 64))
                    return win::ToU16(std::to_wstring(n));
                return win::ToU16(text);
            }};
}

void TCopyFileForm::BeginJobRecord() {
    record_ = JobRecord{};
    record_.backup = BackupDirection;
    record_.byButton = StartedByButton;
    // One reading of the clock: the versions folder is named by the same start time.
    jobStart_ = LocalNowStamp();
    record_.started = LocalText(jobStart_);
    record_.enclosure = win::ToU16(DriveRoot);
    recordOpen_ = true;
    folderOpen_ = false;
    stopReason_ = JobEnd::NothingToDo;
}

void TCopyFileForm::NoteFolderStart() {
    record_.folders.push_back({win::ToU16(SourceRoot), win::ToU16(DestinationRoot), 0, 0, {}, 0});
    folderLinksSkipped_ = 0;
    folderFilesBefore_ = Progress.FinishedFiles();
    folderBytesBefore_ = Progress.FinishedBytes();
    folderFailuresBefore_ = FailedFiles ? FailedFiles->Size() : 0;
    folderOpen_ = true;
}

void TCopyFileForm::NoteFolderEnd() {
    if (!folderOpen_ || record_.folders.empty())
        return;
    folderOpen_ = false;
    HistoryFolder& folder = record_.folders.back();
    folder.files = Progress.FinishedFiles() - folderFilesBefore_;
    folder.bytes = Progress.FinishedBytes() - folderBytesBefore_;
    folder.linksSkipped = folderLinksSkipped_;
    if (FailedFiles)
        folder.failures = FailedFiles->LinesFrom(folderFailuresBefore_);
}

void TCopyFileForm::EndJobRecord(JobEnd end) {
    if (!recordOpen_)
        return;
    recordOpen_ = false;
    NoteFolderEnd(); // a job stopped in the middle of a folder
    record_.ended = LocalNow();
    if (earlierVersions_) {
        record_.versionsKept = earlierVersions_->KeptCount();
        record_.versionsFolder = win::ToU16(earlierVersions_->FolderPath());
        const std::wstring tree =
            earlierVersions_->FolderPath().substr(0, earlierVersions_->FolderPath().size() - 1);
        const std::wstring parent = tree.substr(0, tree.find_last_of(L'\\') + 1);
        for (const std::wstring& removed : earlierVersions_->Removed())
            record_.versionsRemoved.push_back(win::ToU16(parent + removed + L"\\"));
    }
    record_.end = end;
    LastJob = record_;
    if (HistoryPath.empty())
        return;
    std::optional<std::string> old = win::ReadWholeFile(HistoryPath);
    // A history that is there but cannot be read now (another program holds it) keeps its old
    // content rather than being replaced by this one record.
    if (!old && ::GetFileAttributesW(HistoryPath.c_str()) != INVALID_FILE_ATTRIBUTES)
        return;
    // The whole file is replaced through a temporary file beside it: a kill or a power cut in
    // the middle leaves the old history or the new one, never half a record.
    win::ReplaceFileContent(
        HistoryPath,
        AppendJobRecord(old.value_or(""), FormatJobRecord(record_, HistoryTextFormat())));
}

} // namespace snapkeep

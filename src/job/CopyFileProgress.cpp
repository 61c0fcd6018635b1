// What the job window shows while a job runs: the hooks that count on the worker's thread, and
// the three timers that put the counts on screen.
#include "job/CopyFileWindow.h"

#include "win/Text.h"

namespace snapkeep {

namespace {
constexpr int kSpentPeriodMs = 1000;
constexpr int kScanPeriodMs = 200;
constexpr int kCopyPeriodMs = 100;
} // namespace

void TCopyFileForm::SetPeriod(ui::Timer& timer, int milliseconds) {
    // Setting the period restarts the system timer: only when it changes.
    if (timer.Interval() != milliseconds)
        timer.SetInterval(milliseconds);
}

void TCopyFileForm::ShowText(ui::Label& label, const std::wstring& text) {
    // Ten refreshes a second would otherwise redraw the window for labels that did not change.
    if (label.Caption() != text)
        label.SetCaption(text);
}

std::wstring TCopyFileForm::FormatCount(std::uint64_t value) {
    // The user's separator as it is now: a change in the control panel shows at the next tick.
    wchar_t separator[8] = {};
    if (!::GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STHOUSAND, separator, ARRAYSIZE(separator)))
        separator[0] = L'\0';
    return win::ToWide(GroupThousands(value, win::ToU16(separator)));
}

void TCopyFileForm::CountScannedFile(TScanCopyFiles& worker) {
    Progress.CountScannedFile(worker.FileSize());
}

void TCopyFileForm::RecordCopiedFile(TScanCopyFiles& worker) {
    const std::int32_t result = worker.LastResult();
    if (result != 0)
        FailedFiles->Append(MakeFailureLine(result, win::ToU16(worker.SourcePath()),
                                            win::ToU16(worker.DestinationPath()), failureTexts_));
    Progress.RecordCopiedFile(result == 0, worker.FileSize());
}

// Once the last folder is done: a volume that could not keep the named streams of some copied
// files says so once, with their number, in the list and in the job's history (beside the last
// folder's lines).
void TCopyFileForm::ReportDroppedStreams() {
    const size_t before = FailedFiles->Size();
    for (const auto& [root, files] : volumeRules_->DroppedStreams())
        FailedFiles->Append(MakeDroppedStreamsLine(win::ToU16(root), win::ToU16(FormatCount(files)),
                                                   failureTexts_));
    if (FailedFiles->Size() == before)
        return;
    ShowNewFailureLines();
    if (!record_.folders.empty()) {
        for (std::u16string& line : FailedFiles->LinesFrom(before))
            record_.folders.back().failures.push_back(std::move(line));
    }
}

void TCopyFileForm::TimerSpentTimer() {
    SetPeriod(TimerSpent, kSpentPeriodMs);
    ShowText(LabelTimeSpent,
             TextOf(Text::LabelTimeSpent) + win::ToWide(FormatClock(SplitSeconds(ElapsedSeconds))));
    ++ElapsedSeconds;
    ShowText(LabelTimeLeft,
             TextOf(Text::LabelTimeLeft) + win::ToWide(FormatClock(Progress.TimeLeftNow())));
}

void TCopyFileForm::TimerScanFileTimer() {
    if (!ScanWorker)
        return;
    SetPeriod(TimerScanFile, kScanPeriodMs);
    ShowText(LabelStatus, FormatCount(ScanWorker->FilesFound()) + L" " +
                              TextOf(Text::LabelScanFinStatus) + L".");
    ShowText(LabelTotalFiles,
             TextOf(Text::LabelTotalFiles) + L": " + FormatCount(Progress.TotalFiles()));
}

void TCopyFileForm::TimerCopyFileTimer() {
    if (!CopyWorker || !FailedFiles)
        return;
    SetPeriod(TimerCopyFile, kCopyPeriodMs);
    ShowText(LabelStatus, TextOf(BackupDirection ? Text::CopyFileFormLabelStatusBackup
                                                 : Text::CopyFileFormLabelStatusRestore) +
                              L" " + CopyWorker->SourcePath());
    ShowText(LabelTotalFiles,
             TextOf(Text::LabelTotalFiles) + L": " + FormatCount(Progress.TotalFiles()));
    ShowText(LabelFinishedFiles,
             TextOf(Text::CopyFileFormFinFiles) + L": " + FormatCount(Progress.FinishedFiles()));

    ShowNewFailureLines();

    CGaugeTotal.SetRange(0, 100);
    ProgressBarSingle.SetRange(0, 100);
    // Only a file whose copy is under way is part-way done. The percentage outlives its copy:
    // taken with the size of an entry the walk passes by (an unchanged file, one of another
    // type) or of the last one it met, it would add a file never copied to the bytes done.
    // The size is read first: should the next copy start between the two reads, its fresh
    // percentage then goes with the earlier size for one tick, which shows too little, never a
    // new file as done.
    const std::uint64_t copying = CopyWorker->CopyingSize();
    const ProgressBars bars = Progress.RefreshCopy(CopyWorker->CurrentPercent(), copying);
    CGaugeTotal.SetPosition(bars.gauge);
    ProgressBarSingle.SetPosition(bars.bar);
}

void TCopyFileForm::ShowNewFailureLines() {
    if (!FailedFiles)
        return;
    // Only the lines not yet in the list are added and measured.
    const int shown = ListBoxFiles.Count();
    if (FailedFiles->Size() > static_cast<size_t>(shown)) {
        for (const std::u16string& line : FailedFiles->LinesFrom(static_cast<size_t>(shown))) {
            const std::wstring text = win::ToWide(line);
            ListBoxFiles.Add(text);
            const int width = ListBoxFiles.TextWidth(text + L"  ");
            if (width > WidestLine)
                WidestLine = width;
            ListBoxFiles.SetHorizontalExtent(WidestLine);
        }
    }
}

} // namespace snapkeep

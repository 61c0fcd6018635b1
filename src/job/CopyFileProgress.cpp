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

    CGaugeTotal.SetRange(0, 100);
    ProgressBarSingle.SetRange(0, 100);
    // Once the worker has finished, no file is part-way: its last percentage belongs to an earlier
    // copy and its size to the last entry the walk met, whose product would show a pass in which
    // every file failed at 99 %.
    const std::uint64_t current = CopyWorker->IsFinished() ? 0 : CopyWorker->FileSize();
    const ProgressBars bars = Progress.RefreshCopy(CopyWorker->CurrentPercent(), current);
    CGaugeTotal.SetPosition(bars.gauge);
    ProgressBarSingle.SetPosition(bars.bar);
}

} // namespace snapkeep

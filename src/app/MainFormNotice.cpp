// What the user sees of a job once its window has gone: a notice from the tray icon saying how
// it ended, and the job history, which a click on the notice opens.
#include "app/Main.h"

#include "job/CopyFileWindow.h"
#include "job/JobNotice.h"
#include "ui/Dialogs.h"
#include "win/OpenForUser.h"
#include "win/Text.h"

namespace snapkeep {

void TMainForm::ShowJobNotice() {
    if (!CopyFileForm || !CopyFileForm->LastJob)
        return;
    const std::optional<JobNotice> notice =
        MakeJobNotice(*CopyFileForm->LastJob, CopyFileForm->HistoryTextFormat());
    // Shown once: a later command that shows no job must not repeat it.
    CopyFileForm->LastJob.reset();
    if (!notice)
        return;
    TrayIcon1.ShowNotice(Caption(), win::ToWide(notice->text),
                         notice->warning ? ui::TrayIcon::NoticeIcon::Warning
                                         : ui::TrayIcon::NoticeIcon::Info);
}

void TMainForm::OpenHistory() {
    // The program runs elevated (the enclosure's commands need it); the viewer must not. With
    // no desktop shell of the user's to start one, the history's path is shown instead, so the
    // user can open it with their own rights.
    const std::wstring path = HistoryPath();
    if (win::OpenForUser(path) == win::OpenedBy::Nothing)
        ui::InfoBox(TextOf(Text::HistoryFileIs) + L"\n" + path, Caption());
}

} // namespace snapkeep

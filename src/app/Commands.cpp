// The Backup and Restore commands of page 1: check that a job can start, prepare the job window
// and show it modally. The enclosure's button reaches the Backup command too.
#include "app/Main.h"

#include "app/CommandScope.h"
#include "job/CopyFileWindow.h"
#include "ui/Dialogs.h"

namespace snapkeep {

namespace {
// The Others text must fit the 128-byte extension buffer with its terminating zero.
constexpr size_t kOthersTextLimit = 128;

} // namespace

void TMainForm::WireCommands() {
    btnBackup.OnClick = [this] { btnBackupClick(); };
    btnRestore.OnClick = [this] { btnRestoreClick(); };
}

bool TMainForm::CanStartJob() {
    return CheckJobStart() == JobStart::Accepted;
}

TMainForm::JobStart TMainForm::CheckJobStart() {
    // A job already on screen: this is what keeps the enclosure's button from starting a
    // second one.
    if (CopyFileForm && CopyFileForm->Showing())
        return JobStart::Refused;
    if (ComboBoxDiskLetter.Count() == 0)
        return JobStart::Refused;
    const std::wstring root = ComboBoxDiskLetter.Caption();
    if (root.empty())
        return JobStart::Refused;
    DWORD longestName = 0;
    DWORD flags = 0;
    if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, &longestName, &flags, nullptr,
                                 0)) {
        ui::ErrorBox(TextOf(Text::DiskAccessDenied), TextOf(Text::ErrTitle));
        return JobStart::RefusedWithMessage;
    }
    if (!CheckBoxOthersExt.Checked())
        return JobStart::Accepted;
    const std::wstring others = edtOthersExt.Caption();
    if (others.empty()) {
        ui::ErrorBox(TextOf(Text::FileTypeEmpty), TextOf(Text::ErrTitle));
        return JobStart::RefusedWithMessage;
    }
    if (others.size() >= kOthersTextLimit) {
        ui::ErrorBox(TextOf(Text::FileTypeTooMuch), TextOf(Text::ErrTitle));
        return JobStart::RefusedWithMessage;
    }
    return JobStart::Accepted;
}

void TMainForm::btnBackupClick() {
    RunBackupCommand();
}

TMainForm::JobStart TMainForm::RunBackupCommand() {
    // While this runs (a refusal's box, or the whole job) the button's ticks start nothing.
    CommandScope running(buttonGate_);
    const JobStart start = CheckJobStart();
    if (start != JobStart::Accepted || !CopyFileForm)
        return start;
    CopyFileForm->btnPause.SetCaption(TextOf(Text::CfwPausebtn));
    CopyFileForm->btnCancel.SetCaption(TextOf(Text::CfwCancelbtn));
    CopyFileForm->btnRestart.SetCaption(TextOf(Text::CfwRestartbtn));
    CopyFileForm->btnClose.SetCaption(TextOf(Text::CfwClosebtn));
    CopyFileForm->SetCaption(Caption());
    CopyFileForm->BackupDirection = true;
    CopyFileForm->StartedByButton = buttonCommand_;
    CopyFileForm->HistoryPath = HistoryPath();
    CopyFileForm->ShowJob();
    ShowJobNotice();
    if (deviceListPending_)
        ShowDeviceFolders();
    return JobStart::Accepted;
}

void TMainForm::btnRestoreClick() {
    CommandScope running(buttonGate_);
    if (!CanStartJob() || !CopyFileForm)
        return;
    // The buttons keep the captions the last backup gave them, or their built-in ones.
    CopyFileForm->SetCaption(Caption());
    CopyFileForm->BackupDirection = false;
    CopyFileForm->StartedByButton = false;
    CopyFileForm->HistoryPath = HistoryPath();
    CopyFileForm->ShowJob();
    ShowJobNotice();
    if (deviceListPending_)
        ShowDeviceFolders();
}

} // namespace snapkeep

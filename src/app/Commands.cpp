// The Backup and Restore commands of page 1: check that a job can start, prepare the job window
// and show it modally. The enclosure's button reaches the Backup command too.
#include "app/Main.h"

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
    // A job already on screen: this is what keeps the enclosure's button from starting a
    // second one.
    if (CopyFileForm && CopyFileForm->Showing())
        return false;
    if (ComboBoxDiskLetter.Count() == 0)
        return false;
    const std::wstring root = ComboBoxDiskLetter.Caption();
    if (root.empty())
        return false;
    DWORD longestName = 0;
    DWORD flags = 0;
    if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, &longestName, &flags, nullptr,
                                 0)) {
        ui::ErrorBox(TextOf(Text::DiskAccessDenied), TextOf(Text::ErrTitle));
        return false;
    }
    if (!CheckBoxOthersExt.Checked())
        return true;
    const std::wstring others = edtOthersExt.Caption();
    if (others.empty()) {
        ui::ErrorBox(TextOf(Text::FileTypeEmpty), TextOf(Text::ErrTitle));
        return false;
    }
    if (others.size() >= kOthersTextLimit) {
        ui::ErrorBox(TextOf(Text::FileTypeTooMuch), TextOf(Text::ErrTitle));
        return false;
    }
    return true;
}

void TMainForm::btnBackupClick() {
    if (!CanStartJob() || !CopyFileForm)
        return;
    // Emptied before the window opens, whatever the job then does: the backup fills it again.
    ListViewDevice.Clear();
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
}

void TMainForm::btnRestoreClick() {
    if (!CanStartJob() || !CopyFileForm)
        return;
    // The buttons keep the captions the last backup gave them, or their built-in ones.
    CopyFileForm->SetCaption(Caption());
    CopyFileForm->BackupDirection = false;
    CopyFileForm->StartedByButton = false;
    CopyFileForm->HistoryPath = HistoryPath();
    CopyFileForm->ShowJob();
    ShowJobNotice();
}

} // namespace snapkeep

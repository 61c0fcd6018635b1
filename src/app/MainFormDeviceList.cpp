// The device list: what the enclosure on the selected volume holds, the user's ticks on it, and
// its one command of its own, a restore into another folder.
#include "app/Main.h"

#include "app/CommandScope.h"
#include "job/CopyFileWindow.h"
#include "ui/Dialogs.h"
#include "win/Text.h"

namespace snapkeep {

void TMainForm::HarvestDeviceTicks() {
    // The list shows the known rows of Shown(), in that order; its ticks are the user's.
    // Rows beyond those (put there directly, as the in-process tests do) are taken in.
    for (int i = 0; i < ListViewDevice.Count(); ++i) {
        const std::vector<size_t>& shown = deviceFolders_.Shown();
        if (static_cast<size_t>(i) < shown.size())
            deviceFolders_.SetChecked(shown[static_cast<size_t>(i)], ListViewDevice.Checked(i));
        else
            deviceFolders_.Adopt({ListViewDevice.Checked(i), win::ToU16(ListViewDevice.Text(i))});
    }
}

void TMainForm::FillDeviceList() {
    ListViewDevice.Clear();
    for (const size_t known : deviceFolders_.Shown()) {
        const FolderRow& row = deviceFolders_.Row(known);
        ListViewDevice.Add(row.Checked, win::ToWide(row.Path));
    }
    UpdateRestoreButton();
}

void TMainForm::ShowDeviceFolders() {
    // A job reads its rows by their place in the list: the list waits until it has ended.
    if (CopyFileForm && CopyFileForm->Showing()) {
        deviceListPending_ = true;
        return;
    }
    deviceListPending_ = false;
    HarvestDeviceTicks();
    const std::wstring root = DriveRoot();
    const std::vector<std::u16string> found =
        root.empty() ? std::vector<std::u16string>{} : FindEnclosureFolders(root);
    deviceFolders_.Show(win::ToU16(root), found, [&root](std::u16string_view below) {
        return FolderExistsBelow(root, below);
    });
    FillDeviceList();
}

void TMainForm::ComboBoxDiskLetterChange() {
    if (ComboBoxDiskLetter.ItemIndex() >= 0)
        chosenDrive_ = ComboBoxDiskLetter.Caption();
    ShowDeviceFolders();
    UpdateBackupButton();
    UpdateRestoreButton();
}

void TMainForm::ListViewDeviceRightClick(int row, POINT screen) {
    if (row < 0 || row >= ListViewDevice.Count())
        return;
    ListViewDevice.Select(row);
    // Built afresh each time: the item's text follows the interface language.
    ui::PopupMenu menu;
    menu.AddItem(TextOf(Text::DeviceRestoreTo), nullptr,
                 [this, row] { RestoreToAnotherFolder(row); });
    // Like Restore, it needs the enclosure's drive.
    ::EnableMenuItem(menu.Handle(), 0,
                     MF_BYPOSITION | (ComboBoxDiskLetter.Count() > 0 ? MF_ENABLED : MF_GRAYED));
    menu.Popup(screen.x, screen.y, hwnd_);
}

void TMainForm::RestoreToAnotherFolder(int row) {
    if (row < 0 || row >= ListViewDevice.Count())
        return;
    std::wstring target =
        ChooseFolder ? ChooseFolder(TextOf(Text::RestoreToWindowDescription)) : L"";
    if (target.empty())
        return;
    if (target.back() != L'\\')
        target += L'\\';
    // The enclosure is where the copy comes from: restoring onto it would fill the disk with a
    // second copy, or walk into its own output.
    const std::wstring root = EnclosureDriveOf(target);
    if (!root.empty()) {
        ui::ErrorBox(TextOf(Text::CannotSelSameDisk) + root + L".", TextOf(Text::ErrTitle));
        return;
    }
    CommandScope running(buttonGate_);
    if (!CanStartJob() || !CopyFileForm)
        return;
    CopyFileForm->SetCaption(Caption());
    CopyFileForm->BackupDirection = false;
    CopyFileForm->StartedByButton = false;
    CopyFileForm->HistoryPath = HistoryPath();
    CopyFileForm->OnlyRow = row;
    CopyFileForm->RestoreTarget = target;
    CopyFileForm->ShowJob();
    CopyFileForm->OnlyRow = -1;
    CopyFileForm->RestoreTarget.clear();
    ShowJobNotice();
    if (deviceListPending_)
        ShowDeviceFolders();
}

} // namespace snapkeep

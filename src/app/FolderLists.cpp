// The host and device folder lists on page 1, and the enabling of Backup and Restore.
#include "app/Main.h"

namespace snapkeep {

int CountCheckedItems(const ui::ListView& list) {
    int count = 0;
    for (int i = 0; i < list.Count(); ++i)
        if (list.Checked(i))
            ++count;
    return count;
}

void TMainForm::UpdateBackupButton() {
    // Backup needs a selected enclosure drive and at least one ticked host folder.
    btnBackup.SetEnabled(ComboBoxDiskLetter.ItemIndex() >= 0 &&
                         CountCheckedItems(ListViewHost) > 0);
}

void TMainForm::UpdateRestoreButton() {
    // Restore only needs the enclosure to have a drive at all, and a ticked device folder.
    btnRestore.SetEnabled(ComboBoxDiskLetter.Count() > 0 && CountCheckedItems(ListViewDevice) > 0);
}

} // namespace snapkeep

// What a job reads from the main window, and the device rows a backup adds to it.
#include "app/Main.h"

#include "win/Text.h"

namespace snapkeep {

namespace {

const ui::ListView& ListOf(const TMainForm& form, JobHost::FolderList list) {
    return list == JobHost::FolderList::Host ? form.ListViewHost : form.ListViewDevice;
}

} // namespace

int TMainForm::FolderCount(FolderList list) const {
    return ListOf(*this, list).Count();
}

bool TMainForm::FolderTicked(FolderList list, int row) const {
    return ListOf(*this, list).Checked(row);
}

std::wstring TMainForm::FolderPath(FolderList list, int row) const {
    return ListOf(*this, list).Text(row);
}

void TMainForm::AddDeviceFolder(const std::wstring& path) {
    // Appended, never rebuilt: the rows already shown keep their places during the job.
    HarvestDeviceTicks();
    if (const std::optional<size_t> known = deviceFolders_.Add(win::ToU16(path))) {
        const FolderRow& row = deviceFolders_.Row(*known);
        ListViewDevice.Add(row.Checked, win::ToWide(row.Path));
    }
}

std::wstring TMainForm::DriveRoot() const {
    return ComboBoxDiskLetter.ItemIndex() >= 0 ? ComboBoxDiskLetter.Caption() : std::wstring();
}

FileTypeChoice TMainForm::ChosenFileTypes() const {
    FileTypeChoice choice;
    for (int i = 0; i < kFileTypeCount; ++i)
        choice.checked[static_cast<size_t>(i)] = FileTypeBox(static_cast<FileType>(i)).Checked();
    choice.others = edtOthersExt.Caption();
    return choice;
}

} // namespace snapkeep

#include "app/FileTypeRules.h"

namespace snapkeep {

bool FileTypeRules::NoFileTypeChecked() const {
    for (bool checked : checked_)
        if (checked)
            return false;
    return true;
}

void FileTypeRules::SetChecked(FileType box, bool checked) {
    if (checked_[Index(box)] == checked)
        return;
    checked_[Index(box)] = checked;
    if (OnChanged)
        OnChanged(box, checked);
    if (box == FileType::All)
        CheckBoxAllExtClick();
    else
        CheckBoxPictureExtClick(box);
}

void FileTypeRules::CheckBoxAllExtClick() {
    if (Checked(FileType::All)) {
        for (int i = Index(FileType::Picture); i <= Index(FileType::Others); ++i)
            SetChecked(static_cast<FileType>(i), false);
    }
    if (NoFileTypeChecked())
        SetChecked(FileType::All, true);
}

void FileTypeRules::CheckBoxPictureExtClick(FileType sender) {
    if (Checked(sender))
        SetChecked(FileType::All, false);
    if (NoFileTypeChecked())
        SetChecked(sender, true);
}

} // namespace snapkeep

// The main window's side of the data folder: folder lists and settings between the files and
// the widgets.
#include "app/Main.h"

#include "store/SettingsFile.h"
#include "win/Files.h"
#include "win/Text.h"

namespace snapkeep {

bool TMainForm::LoadFolderList(const std::wstring& path, ui::ListView& list, std::string& error) {
    const std::optional<std::string> bytes = win::ReadWholeFile(path);
    if (!bytes) {
        list.Clear();
        return true;
    }
    const FolderListResult result = DecodeFolderList(
        *bytes, [](std::string_view text) { return win::ToU16(win::AnsiToWide(text)); });
    if (!result.Ok) {
        error = result.Error;
        return false;
    }
    for (const FolderRow& row : result.Rows)
        list.Add(row.Checked, win::ToWide(row.Path));
    return true;
}

void TMainForm::SaveFolderList(const std::wstring& path, const ui::ListView& list) {
    std::vector<FolderRow> rows;
    for (int i = 0; i < list.Count(); ++i)
        rows.push_back(FolderRow{list.Checked(i), win::ToU16(list.Text(i))});
    // A file that cannot be written keeps its old content; nothing is reported.
    win::ReplaceFileContent(path, EncodeFolderList(rows));
}

void TMainForm::LoadSettings(const std::wstring& path) {
    const std::optional<std::string> bytes = win::ReadWholeFile(path);
    if (!bytes) {
        ResetSettings();
        return;
    }
    const StoredSettings settings = DecodeSettings(*bytes);
    // All first, then each category: every change runs the page's rules before the next.
    for (int i = 0; i < kFileTypeCount; ++i)
        FileTypes.SetChecked(static_cast<FileType>(i), settings.Checked[i]);
    edtOthersExt.SetCaption(win::AnsiToWide(settings.OthersExtString));
    const bool known = settings.Language >= 0 && settings.Language < ComboBoxLanguage.Count();
    ComboBoxLanguage.SetItemIndex(known ? settings.Language : -1);
}

void TMainForm::SaveSettings(const std::wstring& path) {
    StoredSettings settings;
    for (int i = 0; i < kFileTypeCount; ++i)
        settings.Checked[i] = FileTypeBox(static_cast<FileType>(i)).Checked();
    settings.OthersExtString = win::WideToAnsi(edtOthersExt.Caption());
    settings.Language = ComboBoxLanguage.ItemIndex();
    win::ReplaceFileContent(path, EncodeSettings(settings));
}

void TMainForm::ResetSettings() {
    FileTypes.SetChecked(FileType::All, true);
    for (int i = static_cast<int>(FileType::Picture); i < kFileTypeCount; ++i)
        FileTypes.SetChecked(static_cast<FileType>(i), false);
    edtOthersExt.SetCaption(L"");
    ComboBoxLanguage.SetItemIndex(0);
}

} // namespace snapkeep

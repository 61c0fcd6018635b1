// The main window's side of the data folder: folder lists and settings between the files and
// the widgets.
#include "app/Main.h"

#include <algorithm>

#include "store/SettingsFile.h"
#include "ui/Dialogs.h"
#include "win/Files.h"
#include "win/Text.h"

namespace snapkeep {

bool TMainForm::LoadFolderList(const std::wstring& path, ui::ListView& list, std::string& error) {
    const std::optional<std::string> bytes = win::ReadWholeFile(path);
    if (!bytes) {
        NoteUnreadable(path);
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
    SaveFolderRows(path, rows);
}

void TMainForm::SaveFolderRows(const std::wstring& path, const std::vector<FolderRow>& rows) {
    if (!KeepUnreadableCopy(path))
        return;
    // A file that cannot be written keeps its old content; nothing is reported.
    win::ReplaceFileContent(path, EncodeFolderList(rows));
}

void TMainForm::LoadSettings(const std::wstring& path) {
    const std::optional<std::string> bytes = win::ReadWholeFile(path);
    if (!bytes) {
        NoteUnreadable(path);
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
    if (!KeepUnreadableCopy(path))
        return;
    StoredSettings settings;
    for (int i = 0; i < kFileTypeCount; ++i)
        settings.Checked[i] = FileTypeBox(static_cast<FileType>(i)).Checked();
    settings.OthersExtString = win::WideToAnsi(edtOthersExt.Caption());
    settings.Language = ComboBoxLanguage.ItemIndex();
    win::ReplaceFileContent(path, EncodeSettings(settings));
}

namespace {

bool IsFile(const std::wstring& path) {
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

} // namespace

void TMainForm::NoteUnreadable(const std::wstring& path) {
    // A missing file is the usual first start: it starts empty, as ever, and is not reported.
    if (IsFile(path))
        unreadableFiles_.push_back(path);
}

void TMainForm::ReportUnreadableFiles() {
    if (unreadableFiles_.empty())
        return;
    std::wstring text = TextOf(Text::DataFileUnreadable);
    for (const std::wstring& path : unreadableFiles_)
        text += L"\n" + path;
    ui::ErrorBox(text, TextOf(Text::ErrTitle));
}

// Before the first save over a file that could not be read at start, its bytes as they are now
// go beside it: "Host.txt.unreadable", or, when an earlier start kept one under that name,
// "Host.txt.unreadable2" and so on; an earlier kept copy is never written over. False when the
// save must not happen: the file still cannot be read, or its copy cannot be written; the
// user's file then stays as it is, which matters more than the session's changes.
bool TMainForm::KeepUnreadableCopy(const std::wstring& path) {
    const auto found = std::find(unreadableFiles_.begin(), unreadableFiles_.end(), path);
    if (found == unreadableFiles_.end())
        return true;
    if (!IsFile(path)) { // gone meanwhile: nothing left to keep
        unreadableFiles_.erase(found);
        return true;
    }
    const std::optional<std::string> bytes = win::ReadWholeFile(path);
    if (!bytes)
        return false;
    for (int n = 1; n < 100; ++n) {
        const std::wstring kept = path + L".unreadable" + (n > 1 ? std::to_wstring(n) : L"");
        if (::GetFileAttributesW(kept.c_str()) != INVALID_FILE_ATTRIBUTES)
            continue;
        if (!win::ReplaceFileContent(kept, *bytes))
            return false;
        unreadableFiles_.erase(found);
        return true;
    }
    return false;
}

void TMainForm::ResetSettings() {
    FileTypes.SetChecked(FileType::All, true);
    for (int i = static_cast<int>(FileType::Picture); i < kFileTypeCount; ++i)
        FileTypes.SetChecked(static_cast<FileType>(i), false);
    edtOthersExt.SetCaption(L"");
    ComboBoxLanguage.SetItemIndex(0);
}

} // namespace snapkeep

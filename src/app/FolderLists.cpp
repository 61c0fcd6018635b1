// The host and device folder lists on page 1: adding and deleting host folders, and the
// enabling of Backup and Restore from the ticked rows and the enclosure's drives.
#include "app/Main.h"

#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "ui/FolderDialog.h"

namespace snapkeep {

namespace {

// The drive part of a path as the system names it, followed by a backslash: "E:\" for
// "E:\Photos\", "\\server\share\" for "\\server\share\dir\".
std::wstring RootOfPath(const std::wstring& path) {
    if (path.size() >= 2 && path[1] == L':')
        return path.substr(0, 2) + L"\\";
    if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') {
        // Up to the end of the share name: the second backslash after the server's start.
        size_t end = path.find(L'\\', 2);
        if (end != std::wstring::npos)
            end = path.find(L'\\', end + 1);
        return (end == std::wstring::npos ? path : path.substr(0, end)) + L"\\";
    }
    return L"\\";
}

// Drive letters and server names ignore case: a folder typed as e:\photos lies on E:\ all the
// same, and must not be backed up onto the enclosure itself.
bool SameDriveRoot(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        wchar_t x = a[i], y = b[i];
        if (x >= L'a' && x <= L'z')
            x = static_cast<wchar_t>(x - L'a' + L'A');
        if (y >= L'a' && y <= L'z')
            y = static_cast<wchar_t>(y - L'a' + L'A');
        if (x != y)
            return false;
    }
    return true;
}

// The folder-list files end a line at CR, LF and U+2028. A folder name may hold U+2028 (the
// dialog's edit box takes it), and a list holding such a path would be written but refused at
// every later start; such a folder is not taken into the list.
bool ListFilesCanHold(const std::wstring& path) {
    return path.find_first_of(L"\r\n\u2028") == std::wstring::npos;
}

} // namespace

int CountCheckedItems(const ui::ListView& list) {
    int count = 0;
    for (int i = 0; i < list.Count(); ++i)
        if (list.Checked(i))
            ++count;
    return count;
}

void TMainForm::WireFolderLists() {
    // Owned by the main window, so that the window is disabled while the dialog is open: the
    // lists must not change (or the window close) while the dialog's answer is awaited.
    ChooseFolder = [this](const std::wstring& description) {
        return ui::BrowseForFolder(hwnd_, description);
    };
    btnHostAdd.OnClick = [this] { btnHostAddClick(); };
    btnHostDel.OnClick = [this] { btnHostDelClick(); };
    ListViewHost.OnSelectItem = [this](int index, bool selected) {
        ListViewHostSelectItem(index, selected);
    };
    ListViewHost.OnKeyUp = [this](WORD key, unsigned modifiers) {
        ListViewHostKeyUp(key, modifiers);
    };
    ListViewHost.OnChange = [this](int) { ListViewHostChange(); };
    ListViewDevice.OnChange = [this](int) { ListViewDeviceChange(); };
    ListViewDevice.OnContextMenu = [this](int row, POINT at) { ListViewDeviceRightClick(row, at); };
    ComboBoxDiskLetter.OnChange = [this] { ComboBoxDiskLetterChange(); };
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

std::wstring TMainForm::EnclosureDriveOf(const std::wstring& path) const {
    // Every drive of the enclosure, not only the selected one.
    const std::wstring root = RootOfPath(path);
    for (int i = 0; i < ComboBoxDiskLetter.Count(); ++i)
        if (SameDriveRoot(ComboBoxDiskLetter.Item(i), root))
            return root;
    return {};
}

void TMainForm::btnHostAddClick() {
    std::wstring path = ChooseFolder ? ChooseFolder(TextOf(Text::HostAddWindowDescription)) : L"";
    if (path.empty())
        return;
    if (path.back() != L'\\')
        path += L'\\';

    std::wstring message;
    if (!ListFilesCanHold(path))
        message = TextOf(Text::DirNameUnsupported) + path;
    for (int i = 0; i < ListViewHost.Count() && message.empty(); ++i)
        if (ListViewHost.Text(i) == path)
            message = path + TextOf(Text::DirAlreadyAdded);
    if (message.empty()) {
        const std::wstring root = EnclosureDriveOf(path);
        if (!root.empty())
            message = TextOf(Text::CannotSelSameDisk) + root + L".";
    }
    if (!message.empty()) {
        ui::ErrorBox(message, TextOf(Text::ErrTitle));
        return;
    }
    ListViewHost.Add(true, path);
    UpdateBackupButton();
}

void TMainForm::btnHostDelClick() {
    const int selected = ListViewHost.Selected();
    if (selected >= 0)
        ListViewHost.Delete(selected);
    // Whatever the list reports about the deleted row's selection, Delete follows what is left.
    btnHostDel.SetEnabled(ListViewHost.Selected() >= 0);
    UpdateBackupButton();
}

void TMainForm::ListViewHostSelectItem(int, bool selected) {
    btnHostDel.SetEnabled(selected);
}

void TMainForm::ListViewHostKeyUp(WORD key, unsigned modifiers) {
    if (key == VK_DELETE && modifiers == 0 && btnHostDel.Enabled())
        btnHostDelClick();
}

void TMainForm::ListViewHostChange() {
    UpdateBackupButton();
}

void TMainForm::ListViewDeviceChange() {
    UpdateRestoreButton();
}

} // namespace snapkeep

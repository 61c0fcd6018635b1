#include "ui/FolderDialog.h"

#include <shlobj.h>

namespace snapkeep::ui {

std::wstring BrowseForFolder(HWND owner, const std::wstring& description) {
    BROWSEINFOW info{};
    info.hwndOwner = owner;
    info.lpszTitle = description.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE | BIF_EDITBOX;
    PIDLIST_ABSOLUTE chosen = ::SHBrowseForFolderW(&info);
    if (!chosen)
        return {};
    // Paths may be longer than MAX_PATH; ask for a generous buffer.
    std::wstring path(32768, L'\0');
    const bool ok = ::SHGetPathFromIDListEx(chosen, path.data(), static_cast<DWORD>(path.size()),
                                            GPFIDL_DEFAULT) != FALSE;
    ::CoTaskMemFree(chosen);
    if (!ok)
        return {};
    path.resize(wcslen(path.c_str()));
    return path;
}

} // namespace snapkeep::ui

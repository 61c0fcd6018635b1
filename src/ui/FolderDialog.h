#pragma once
// The system's folder browse dialog: file-system folders only, the newer style with an edit
// box, no root restriction and no preselected folder.
#include <windows.h>

#include <string>

namespace snapkeep::ui {

// The chosen folder, or empty when the user cancelled (or the choice has no file-system path).
std::wstring BrowseForFolder(HWND owner, const std::wstring& description);

} // namespace snapkeep::ui

#pragma once
// Creating a folder together with every missing folder above it.
#include <string>

namespace snapkeep {

// True when `folder` (a full path, with or without a trailing backslash) exists as a folder
// afterwards. Folders made before a failure stay.
bool ForceDirectories(const std::wstring& folder);

} // namespace snapkeep

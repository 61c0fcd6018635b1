#pragma once
// The extended-length form of a full path ("\\?\C:\..." or "\\?\UNC\server\share\..."), which
// every file the walk and the copy touch is named by. The system takes such a path as it stands:
// beyond MAX_PATH, and without the changes it makes to a plain path, which strips a trailing dot
// or blank from the last name, so that "a." would read and write the file "a" beside it.
#include <string>
#include <string_view>

namespace snapkeep {

// `path` unchanged when it is already extended, or not a full drive or network path.
std::u16string ExtendedLengthPath(std::u16string_view path);

} // namespace snapkeep

#pragma once
// The extended-length form of a full path ("\\?\C:\..." or "\\?\UNC\server\share\..."), which the
// file functions accept beyond MAX_PATH. The copy needs it for its temporary file, whose name
// can make a path that is within the destination limit a few characters too long.
#include <string>
#include <string_view>

namespace snapkeep {

// `path` unchanged when it is short enough for the plain form, already extended, or not a full
// drive or network path.
std::u16string ExtendedLengthPath(std::u16string_view path);

} // namespace snapkeep

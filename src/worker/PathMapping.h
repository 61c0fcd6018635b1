#pragma once
// Where a file goes: a backup puts host file X:\path at DeviceRoot + "Backup\X\path" on the
// enclosure, and a restore maps such a file back to X:\path.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace snapkeep {

// Destinations longer than this (UTF-16 code units) are not copied.
inline constexpr std::size_t kDestinationPathLimit = 260;

// Backup: "C:\dir\f" -> deviceRoot + "Backup\C\dir\f". A network path "\\server\share\dir\f"
// has no drive letter; it goes to deviceRoot + "Backup\UNC\server\share\dir\f", a folder name
// no drive letter can take. Nothing for a path of neither form, nor without a device root.
std::optional<std::u16string> MapBackupPath(std::u16string_view source,
                                            std::u16string_view deviceRoot);

// Restore: the text after the first ":\Backup\" (case as written) is "X\path", which goes to
// "X:\path"; "UNC\server\share\path" goes back to "\\server\share\path". Nothing when the path
// is not inside a backup tree.
std::optional<std::u16string> MapRestorePath(std::u16string_view source);

} // namespace snapkeep

#pragma once
// Which directory entries are links: entries the program, running elevated, must not pass
// through where it writes, nor on the host below a folder the user chose, since anyone who can
// make one (another user of the PC, a crafted disk) could send the copy somewhere else.
//
// A link is a junction or a volume mounted into a folder (mount-point reparse points) or a
// symbolic link. Wine shows a Linux symbolic link to a folder as a folder that is a reparse
// point with the tag 0. Every other reparse point (a cloud placeholder, a deduplicated file)
// holds its own data and is an ordinary file or folder.
#include <cstdint>

namespace snapkeep {

// Reparse tags and attribute bits as the system numbers them (the portable code has no
// windows.h).
inline constexpr std::uint32_t kReparseTagMountPoint = 0xA0000003;
inline constexpr std::uint32_t kReparseTagSymlink = 0xA000000C;
inline constexpr std::uint32_t kAttributeDirectory = 0x10;
inline constexpr std::uint32_t kAttributeReparsePoint = 0x400;

// `attributes` and `reparseTag` as a directory listing gives them (the tag is the listing's
// dwReserved0, or the attribute-tag information of an open file).
bool IsLink(std::uint32_t attributes, std::uint32_t reparseTag);

} // namespace snapkeep

#pragma once
// The enclosure's Backup folder, made so that only administrators can change what is in it.
//
// The program runs elevated and writes below this folder, and a restore writes what it finds
// there into the user's folders. On a volume that keeps permissions (NTFS), a Backup folder
// that every user may change would let any of them plant a link or a file for the elevated
// program to follow or restore. So it is made with permissions of its own, not inherited from
// the drive's root: Administrators and SYSTEM may do anything, Users may read. FAT and exFAT
// keep no permissions (and no links).
#include <string>

namespace snapkeep {

// The permissions, in the system's text form, for tests and tools to compare with.
inline constexpr wchar_t kBackupFolderSecurity[] =
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

// Makes `folder` (a full path, with or without its trailing backslash; its parent must exist)
// with those permissions where its volume keeps them. True when the folder exists afterwards;
// a folder that was already there is left as it is.
bool CreateBackupFolder(const std::wstring& folder);

} // namespace snapkeep

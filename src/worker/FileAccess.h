#pragma once
// The file operations whose outcome decides the copy's result codes, behind one small interface.
// The copy uses the Windows implementation; a test derives from it and replaces one operation
// where Wine cannot show the real behaviour: Wine stores no creation time, and it offers no way
// to make a read or a write fail in the middle of a file.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "worker/FileInfo.h"

namespace snapkeep {

class FileAccess {
public:
    virtual ~FileAccess() = default;

    // Attributes, times and size by path (GetFileAttributesExW); false with the Windows error.
    virtual bool ReadInfo(const std::wstring& path, FileInfo& info, DWORD& error);
    // The same for an open file.
    virtual bool ReadInfo(HANDLE file, FileInfo& info);
    // Gives the open file, now named `path`, the creation, last-access and last-write times and
    // the attributes of `info`.
    virtual bool ApplyInfo(HANDLE file, const std::wstring& path, const FileInfo& info);
    // Opens a directory listing of `pattern` and gives its first entry (FindFirstFileExW);
    // INVALID_HANDLE_VALUE with the Windows error when it cannot be opened. A test puts the
    // refusals here that Wine, run as root, never gives (access denied, the plain path's
    // length limit).
    virtual HANDLE FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry, DWORD& error);
    // The listing's next entry (FindNextFileW); false at the end, with ERROR_NO_MORE_FILES, or
    // when the listing breaks off (a network drop, the enclosure pulled) with another error.
    virtual bool FindNext(HANDLE listing, WIN32_FIND_DATAW& entry, DWORD& error);
    // The bytes free to the caller on the volume of `folder` (GetDiskFreeSpaceExW); false when
    // the volume cannot tell.
    virtual bool FreeSpace(const std::wstring& folder, std::uint64_t& bytes);
    // Opens or creates a file (CreateFileW without security attributes or template); an invalid
    // handle with the Windows error as the last error when it cannot. Every file whose data
    // goes through Read or Write below is opened here, so that a stand-in knows which file a
    // handle names.
    virtual HANDLE Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                        DWORD flags);
    // One ReadFile / WriteFile call.
    virtual bool Read(HANDLE file, void* buffer, DWORD size, DWORD& got);
    virtual bool Write(HANDLE file, const void* data, DWORD size, DWORD& put);
    // Sends the file's written data to the disk (FlushFileBuffers), so that a cut cable cannot
    // leave a file that has its times but not its data.
    virtual bool Flush(HANDLE file);
    // Puts `replacement` in the place of the existing file `destination` (ReplaceFileW, no
    // backup name); false with the Windows error. On 1176 and 1177 the destination is already
    // gone and the data is still under `replacement`.
    virtual bool Replace(const std::wstring& destination, const std::wstring& replacement,
                         DWORD& error);
    // Renames `from` to `to`, replacing a file there (MoveFileExW, written through); false with
    // the Windows error.
    virtual bool Move(const std::wstring& from, const std::wstring& to, DWORD& error);
    // As Replace, with the earlier file moved to `backup` (ReplaceFileW's backup name, a rename
    // on the same volume) instead of being removed. On 1177 the earlier file is already there.
    virtual bool ReplaceKeeping(const std::wstring& destination, const std::wstring& replacement,
                                const std::wstring& backup, DWORD& error);
    // Gives the open file (opened with DELETE access) the new name `to`, which must not exist
    // (SetFileInformationByHandle, FileRenameInfo); the handle then names `to`. False with the
    // Windows error.
    virtual bool Rename(HANDLE file, const std::wstring& to, DWORD& error);
    // The space the file at `path` takes on its volume (its allocation size), which for a
    // compressed or sparse file is less than its size; false when it cannot be read.
    virtual bool AllocatedSize(const std::wstring& path, std::uint64_t& bytes);
    // The names of the file's named data streams, each as it follows the file's path to open it
    // (":Zone.Identifier"), from FindFirstStreamW and FindNextStreamW; empty when it has none or
    // they cannot be listed. Wine keeps no named streams on Linux folders: a test stands in.
    virtual std::vector<std::wstring> NamedStreams(const std::wstring& path);
};

// The file access every copy and the speed probe use: the Windows implementation, unless the
// program put another in front of it with UseFileAccess.
FileAccess& SystemFileAccess();
// The Windows implementation itself.
FileAccess& PlainFileAccess();
// Puts `files` in front of every later copy and probe, for the rest of the process. Called once
// at start-up, before any job; `files` must live as long as the process.
void UseFileAccess(FileAccess& files);

// What a directory entry says about its file: the same values the attribute query gives, so a
// walk need not ask again for every file it meets.
FileInfo FileInfoFromFindData(const WIN32_FIND_DATAW& entry);

} // namespace snapkeep

#pragma once
// The file a copy writes its data into before that data becomes the destination: always a
// temporary file beside it, which takes the destination's name only once it is whole and
// flushed, so that no file under a real name is ever half written (a crash or a pulled cable
// mid-copy would leave one, which a later run would take for good data).
#include <windows.h>

#include <string>

#include "win/Handle.h"
#include "worker/FileAccess.h"

namespace snapkeep {

class TempFile {
public:
    // Creates a new, empty file in `folder` (a full path without the trailing backslash) under a
    // name of the form "~snapkeep-<process>-<n>-<destinationName>.tmp" (TempFileName.h), which
    // no user file carries and which a leftover of it names its destination by. Opened for
    // writing, with the right to rename and delete it, and shared with nobody, so nothing else
    // can open it while the copy runs. On failure Valid() is false and Error() tells why.
    // The file is opened through `files`, the file access its data will be written through.
    TempFile(const std::wstring& folder, FileAccess& files,
             const std::wstring& destinationName = {});
    ~TempFile(); // deletes the file unless Commit succeeded or kept it
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    bool Valid() const { return file_.Valid(); }
    DWORD Error() const { return error_; }
    HANDLE Get() const { return file_.Get(); }

    // Puts the file in the place of `destination`. A missing destination: the open file is
    // renamed, and never over a file that appeared meanwhile. An existing destination is
    // replaced the way ReplaceFileW does it, which keeps what the old file had beyond its data:
    // its security descriptor. With `keepEarlierAt`, the earlier file is moved there (the folder
    // must exist, on the same volume) instead of being removed; EarlierKept() then says so.
    // Afterwards Get() names the destination, opened for setting its times and attributes
    // (invalid when it cannot be opened again). False (with Error()) when the replacement is
    // refused; the destination is then as it was, and the file is still ours to discard. The
    // one exception is Kept(): the earlier destination is gone (the replacement failed half-way,
    // or another program deleted it) and the data could not be moved to its name either, so the
    // file stays under its temporary name, Path(), as the only copy of the data.
    bool Commit(const std::wstring& destination, const std::wstring& keepEarlierAt = {});
    bool EarlierKept() const { return earlierKept_; }
    // The last Commit found a file under the destination's name to replace.
    bool Replaced() const { return replaced_; }
    bool Kept() const { return kept_; }
    const std::wstring& Path() const { return path_; }
    // Deletes the file now. False when it cannot be deleted.
    bool Discard();

private:
    bool MoveToMissingDestination(const std::wstring& target, const std::wstring& replacement);

    FileAccess& files_;
    win::FileHandle file_;
    std::wstring path_;
    DWORD error_ = 0;
    bool created_ = false; // the file exists and is ours until committed
    bool committed_ = false;
    bool kept_ = false;        // left under the temporary name: never deleted
    bool earlierKept_ = false; // the replaced file lies at the name Commit was given for it
    bool replaced_ = false;
};

} // namespace snapkeep

#pragma once
// The folders from a trusted root down to one folder, each opened without following a link and
// held open while the program works in it.
//
// The program runs elevated. A folder it walks or writes into that someone else can change (a
// crafted disk, another user's junction in a shared folder) must not lead it elsewhere: each
// folder on the way is opened itself, not what a link there points to, and is refused when it
// is a link. The open folders are shared for reading and writing but not for renaming or
// deleting, so none of them can be swapped for a link while the program uses the path.
//
// Use: one chain per tree, on one thread. `Reach` before reading a folder's entries or its
// files' information, `Make` before writing into it. A depth-first walk moves the chain along
// cheaply: the folders a new folder shares with the last one stay open and are not asked again.
//
//     FolderChain tree(L"E:\\Backup\\", false);
//     const FolderStep step = tree.Make(L"E:\\Backup\\C\\Users\\");
//     if (step.reach == FolderReach::Link) ... // step.at names the link; write nothing below it
#include <windows.h>

#include <string>
#include <vector>

#include "win/Handle.h"

namespace snapkeep {

enum class FolderReach {
    Reached, // every folder from the root down is there, none is a link, all are held open
    Missing, // a folder on the way does not exist; those above it are held open
    Link,    // a folder on the way is a link, or resolves outside the root: `at` names it
    Outside, // the folder's path does not lie below the root's
    Failed,  // a folder on the way could not be opened (or, by Make, created)
};

struct FolderStep {
    FolderReach reach = FolderReach::Failed;
    std::wstring at; // the folder where the way stopped, with its backslash
};

class FolderChain {
public:
    // `root`: a full folder path ending with a backslash. With `followRoot`, the root itself is
    // taken as its path leads (a folder the user chose, which may be a link); otherwise a root
    // that is a link is refused as a folder below it would be.
    FolderChain(std::wstring root, bool followRoot);

    const std::wstring& Root() const { return root_; }

    // Opens `folder` (the root or a folder below it, ending with a backslash) and each folder
    // between, creating nothing.
    FolderStep Reach(const std::wstring& folder);
    // As Reach, but creates the folders that are missing, and checks that the folder's final
    // path, as the system resolves it, lies below the root's: the last word before a write.
    FolderStep Make(const std::wstring& folder);

private:
    struct Level {
        std::wstring path;
        win::FileHandle handle;
        bool finalChecked = false;
    };
    FolderStep Walk(const std::wstring& folder, bool make);
    FolderStep OpenRoot(bool make);

    std::wstring root_;
    bool followRoot_;
    std::wstring rootFinal_; // the root's final path with a backslash; empty when unknown
    std::vector<Level> levels_;
};

// Opens the folder `path` itself for listing, not what a link there leads to, shared with
// readers and writers but not with a rename or a delete. `link` is true (and the handle invalid)
// when it is a link; `error` is the Windows error when it cannot be opened or is no folder.
win::FileHandle OpenFolderWithoutLinks(const std::wstring& path, bool& link, DWORD& error);

// True when the entry `path` (a file or a folder, without a trailing backslash) is itself a link,
// as its folder's listing tells.
bool EntryIsLink(const std::wstring& path);

// True when `text` starts with `prefix`, letters compared as the file system does.
bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix);

} // namespace snapkeep

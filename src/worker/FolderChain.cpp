#include "worker/FolderChain.h"

#include <utility>

#include "win/Text.h"
#include "worker/Folders.h"
#include "worker/LinkRule.h"
#include "worker/LongPath.h"

namespace snapkeep {

namespace {

std::wstring LongForm(const std::wstring& path) {
    return win::ToWide(ExtendedLengthPath(win::ToU16(path)));
}

std::wstring WithoutSlash(std::wstring path) {
    while (path.size() > 3 && path.back() == L'\\')
        path.pop_back();
    return path;
}

bool IsNotFound(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// Listing rights, so that the handle takes part in the sharing rules (an open for attributes
// alone does not, and would not keep the folder from being renamed).
constexpr DWORD kFolderAccess = FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

// The path the system resolves an open folder to, with a backslash; empty when it cannot tell.
std::wstring FinalFolderPath(HANDLE folder) {
    std::wstring found(1024, L'\0');
    const DWORD length =
        ::GetFinalPathNameByHandleW(folder, found.data(), static_cast<DWORD>(found.size()), 0);
    if (length == 0 || length >= found.size())
        return {};
    found.resize(length);
    if (found.back() != L'\\')
        found += L'\\';
    return found;
}

} // namespace

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           ::CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

bool EntryIsLink(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    win::FindHandle found(::FindFirstFileExW(LongForm(WithoutSlash(path)).c_str(), FindExInfoBasic,
                                             &entry, FindExSearchNameMatch, nullptr, 0));
    return found && IsLink(entry.dwFileAttributes, entry.dwReserved0);
}

win::FileHandle OpenFolderWithoutLinks(const std::wstring& path, bool& link, DWORD& error) {
    link = false;
    error = 0;
    win::FileHandle folder(
        ::CreateFileW(LongForm(path).c_str(), kFolderAccess, kFolderShare, nullptr, OPEN_EXISTING,
                      FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!folder) {
        error = ::GetLastError();
        return {};
    }
    // Windows opens the link itself and says so in the handle's attributes and tag.
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!::GetFileInformationByHandleEx(folder.Get(), FileAttributeTagInfo, &tag, sizeof tag)) {
        error = ::GetLastError();
        return {};
    }
    // Wine opens what a Linux link leads to whatever the flag says, and shows the link only in
    // its folder's listing: that is asked as well.
    if (IsLink(tag.FileAttributes, tag.ReparseTag) || EntryIsLink(path)) {
        link = true;
        return {};
    }
    if (!(tag.FileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        error = ERROR_DIRECTORY;
        return {};
    }
    return folder;
}

FolderChain::FolderChain(std::wstring root, bool followRoot)
    : root_(std::move(root)), followRoot_(followRoot) {
    if (root_.empty() || root_.back() != L'\\')
        root_ += L'\\';
}

FolderStep FolderChain::Reach(const std::wstring& folder) {
    return Walk(folder, false);
}

FolderStep FolderChain::Make(const std::wstring& folder) {
    return Walk(folder, true);
}

FolderStep FolderChain::OpenRoot(bool make) {
    win::FileHandle handle;
    DWORD error = 0;
    for (bool made = false;;) {
        if (followRoot_) {
            handle.Reset(::CreateFileW(LongForm(root_).c_str(), kFolderAccess, kFolderShare,
                                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS,
                                       nullptr));
            error = handle ? 0 : ::GetLastError();
        } else {
            bool link = false;
            handle = OpenFolderWithoutLinks(root_, link, error);
            if (link)
                return {FolderReach::Link, root_};
        }
        if (handle || !make || made || !IsNotFound(error))
            break;
        // A root the user chose may lie below folders that are not there yet; one that is
        // trusted only as itself is made alone, below a folder that must exist.
        made = followRoot_ ? ForceDirectories(root_)
                           : ::CreateDirectoryW(LongForm(root_).c_str(), nullptr) != FALSE;
        if (!made)
            return {FolderReach::Failed, root_};
    }
    if (!handle)
        return {IsNotFound(error) ? FolderReach::Missing : FolderReach::Failed, root_};
    rootFinal_ = FinalFolderPath(handle.Get());
    levels_.push_back({root_, std::move(handle), true});
    return {FolderReach::Reached, root_};
}

FolderStep FolderChain::Walk(const std::wstring& folder, bool make) {
    std::wstring target = folder;
    if (target.empty() || target.back() != L'\\')
        target += L'\\';
    if (!StartsWithIgnoringCase(target, root_))
        return {FolderReach::Outside, target};
    if (levels_.empty()) {
        const FolderStep root = OpenRoot(make);
        if (root.reach != FolderReach::Reached)
            return root;
    }
    // Leave the folders the last one had below the one it shares with this one.
    while (levels_.size() > 1 && !StartsWithIgnoringCase(target, levels_.back().path))
        levels_.pop_back();
    for (size_t at = levels_.back().path.size(); at < target.size();) {
        const size_t slash = target.find(L'\\', at);
        std::wstring next = target.substr(0, slash + 1);
        bool link = false;
        DWORD error = 0;
        win::FileHandle handle = OpenFolderWithoutLinks(next, link, error);
        if (!handle && !link && make && IsNotFound(error)) {
            // Made inside a folder held open, so the new folder lies where its path says; it
            // is opened and looked at like any other before anything goes into it.
            if (!::CreateDirectoryW(LongForm(next).c_str(), nullptr) &&
                ::GetLastError() != ERROR_ALREADY_EXISTS)
                return {FolderReach::Failed, next};
            handle = OpenFolderWithoutLinks(next, link, error);
        }
        if (link)
            return {FolderReach::Link, next};
        if (!handle)
            return {IsNotFound(error) ? FolderReach::Missing : FolderReach::Failed, next};
        levels_.push_back({std::move(next), std::move(handle), false});
        at = slash + 1;
    }
    Level& last = levels_.back();
    if (make && !last.finalChecked) {
        // The system's own answer, as the last check: a link the checks above could not see
        // still shows here on Windows. Where the system cannot tell, the checks above stand.
        const std::wstring final = FinalFolderPath(last.handle.Get());
        if (!rootFinal_.empty() && !final.empty() && !StartsWithIgnoringCase(final, rootFinal_))
            return {FolderReach::Link, target};
        last.finalChecked = true;
    }
    return {FolderReach::Reached, target};
}

} // namespace snapkeep

#include "worker/EarlierVersions.h"

#include <windows.h>

#include "win/Handle.h"
#include "win/Text.h"
#include "worker/LongPath.h"

namespace snapkeep {

namespace {

std::wstring LongForm(const std::wstring& path) {
    return win::ToWide(ExtendedLengthPath(win::ToU16(path)));
}

bool IsLink(DWORD attributes) {
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

// Removes a link found in the tree: the link alone, whatever it points to.
bool RemoveLink(const std::wstring& path, DWORD attributes) {
    const std::wstring target = LongForm(path);
    if (attributes & FILE_ATTRIBUTE_READONLY)
        ::SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        // A folder link or junction is removed as a folder: the entry goes, its target stays.
        if (::RemoveDirectoryW(target.c_str()))
            return true;
    }
    return ::DeleteFileW(target.c_str()) != FALSE;
}

} // namespace

LocalStamp LocalNowStamp() {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    return {int{now.wYear}, int{now.wMonth},  int{now.wDay},
            int{now.wHour}, int{now.wMinute}, int{now.wSecond}};
}

bool RemoveTreeWithoutFollowingLinks(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    win::FindHandle listing(::FindFirstFileExW(LongForm(folder + L"\\*").c_str(), FindExInfoBasic,
                                               &entry, FindExSearchNameMatch, nullptr, 0));
    if (listing) {
        do {
            const std::wstring_view name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + entry.cFileName;
            const DWORD attributes = entry.dwFileAttributes;
            if (IsLink(attributes)) {
                RemoveLink(path, attributes);
            } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTreeWithoutFollowingLinks(path);
            } else {
                const std::wstring target = LongForm(path);
                if (attributes & FILE_ATTRIBUTE_READONLY)
                    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileW(target.c_str());
            }
        } while (::FindNextFileW(listing.Get(), &entry));
    }
    listing.Reset();
    const std::wstring target = LongForm(folder);
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return ::RemoveDirectoryW(target.c_str()) != FALSE ||
           ::GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES;
}

EarlierVersions::EarlierVersions(std::wstring root, const LocalStamp& jobStart)
    : root_(std::move(root)), name_(win::ToWide(VersionFolderName(jobStart))) {
    if (!root_.empty() && root_.back() != L'\\')
        root_ += L'\\';
}

std::wstring EarlierVersions::TreePath() const {
    return root_ + win::ToWide(kVersionsFolderName) + L"\\";
}

std::wstring EarlierVersions::FolderPath() const {
    return root_ + win::ToWide(kVersionsFolderName) + L"\\" + name_ + L"\\";
}

std::wstring EarlierVersions::PathFor(const std::wstring& destination) const {
    const std::optional<std::u16string> path =
        VersionPathFor(win::ToU16(destination), win::ToU16(root_), win::ToU16(name_));
    return path ? win::ToWide(*path) : std::wstring();
}

bool EarlierVersions::RemoveOldest() {
    const std::wstring tree = root_ + win::ToWide(kVersionsFolderName);
    // A versions tree that is itself a link leads somewhere else: nothing there is removed.
    const DWORD treeAttributes = ::GetFileAttributesW(LongForm(tree).c_str());
    if (treeAttributes == INVALID_FILE_ATTRIBUTES || !(treeAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
        IsLink(treeAttributes))
        return false;
    std::vector<std::u16string> names;
    WIN32_FIND_DATAW entry;
    win::FindHandle listing(::FindFirstFileExW(LongForm(tree + L"\\*").c_str(), FindExInfoBasic,
                                               &entry, FindExSearchNameMatch, nullptr, 0));
    if (!listing)
        return false;
    do {
        // Only a plain folder: a link with a version's name is left alone.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !IsLink(entry.dwFileAttributes))
            names.push_back(win::ToU16(entry.cFileName));
    } while (::FindNextFileW(listing.Get(), &entry));
    listing.Reset();

    const std::vector<std::u16string> removable =
        RemovableVersionFolders(names, LocalNowStamp(), win::ToU16(name_));
    std::lock_guard<std::mutex> guard(lock_);
    for (const std::u16string& candidate : removable) {
        const std::wstring name = win::ToWide(candidate);
        if (!tried_.insert(name).second)
            continue;
        // Whatever of it could go has given its room back, even if something inside stayed.
        RemoveTreeWithoutFollowingLinks(tree + L"\\" + name);
        removed_.push_back(name);
        return true;
    }
    return false;
}

std::vector<std::wstring> EarlierVersions::Removed() const {
    std::lock_guard<std::mutex> guard(lock_);
    return removed_;
}

void EarlierVersions::NoteKept() {
    std::lock_guard<std::mutex> guard(lock_);
    ++kept_;
}

std::uint32_t EarlierVersions::KeptCount() const {
    std::lock_guard<std::mutex> guard(lock_);
    return kept_;
}

} // namespace snapkeep

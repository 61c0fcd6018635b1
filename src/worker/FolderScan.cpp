// The walk of TScanCopyFiles: a depth-first pass over the root folder in the order the file
// system lists the entries, with the type match, the mapping to the destination, the comparison
// and the copy of each file.
#include "worker/ScanCopyFilesThread.h"

#include <algorithm>

#include "win/Handle.h"
#include "win/Text.h"
#include "worker/EarlierCopies.h"
#include "worker/FolderIdentity.h"
#include "worker/LinkRule.h"
#include "worker/LongPath.h"
#include "worker/PathMapping.h"
#include "worker/SiblingNames.h"
#include "worker/TempFileName.h"
#include "worker/TypeMatch.h"

namespace snapkeep {

namespace {

// The path the system resolves `path` to, links followed and the long name of the entry it
// found ("\\?\E:\Backup\..."); empty when it cannot tell.
std::wstring FinalPathOf(const std::wstring& path) {
    win::FileHandle handle(
        ::CreateFileW(win::ToWide(ExtendedLengthPath(win::ToU16(path))).c_str(),
                      FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!handle)
        return {};
    std::wstring found(1024, L'\0');
    const DWORD length = ::GetFinalPathNameByHandleW(handle.Get(), found.data(),
                                                     static_cast<DWORD>(found.size()), 0);
    if (length == 0 || length >= found.size())
        return {};
    found.resize(length);
    return found;
}

// As FinalPathOf, for a folder: ending with a backslash.
std::wstring FinalFolderOf(const std::wstring& folder) {
    std::wstring path = FinalPathOf(folder);
    if (!path.empty() && path.back() != L'\\')
        path += L'\\';
    return path;
}

} // namespace

void TScanCopyFiles::WaitWhilePaused() const {
    // Pause raises the flag before it resets the event, and Resume sets the event before it
    // lowers the flag, so a walk that sees no flag was not meant to hold at this entry.
    if (pauseWanted_.load())
        ::WaitForSingleObject(pauseEvent_.Get(), INFINITE);
}

void TScanCopyFiles::SetSourcePath(const std::wstring& path) {
    win::CriticalSectionLock lock(textLock_);
    sourcePath_ = path;
}

bool TScanCopyFiles::MatchFileType(const std::wstring& path) const {
    // "<all>" and an empty list decide without the extension: spare the conversion.
    if (typeCount_ <= 0 || (typeList_ && typeList_[0] && typeList_[0] == kAllTypes))
        return typeCount_ > 0;
    return snapkeep::MatchFileType(win::WideToAnsi(path), typeList_, typeCount_);
}

std::wstring TScanCopyFiles::MapDestination(const std::wstring& source) const {
    // Every path of the walk starts with its root.
    if (!backupDirection_ && !restoreTarget_.empty())
        return source.starts_with(rootFolder_) ? restoreTarget_ + source.substr(rootFolder_.size())
                                               : std::wstring();
    const std::u16string from = win::ToU16(source);
    const std::optional<std::u16string> mapped =
        backupDirection_ ? MapBackupPath(from, deviceRoot16_) : MapRestorePath(from);
    // A path that maps nowhere gets no destination; the walk reports it as one that cannot be
    // created instead of writing somewhere unintended.
    return mapped ? win::ToWide(*mapped) : std::wstring();
}

std::wstring TScanCopyFiles::MakeDestinationPath(const std::wstring& source) {
    std::wstring destination = MapDestination(source);
    win::CriticalSectionLock lock(textLock_);
    destinationPath_ = destination;
    return destination;
}

void TScanCopyFiles::ScanFolder(const std::wstring& folder) {
    // No link below the root is followed, in either direction (ListFolder), so the walk is a
    // plain tree: it cannot come round to a folder it is in. Only the Backup folder itself could
    // lie inside it (a root that leads to the enclosure's root), and it is not entered.
    if (IsDestinationTreePath(folder))
        return;
    // The folder is opened without following a link and held open while it is walked, so that
    // nobody can swap it for a link between its listing in the parent and its own. A folder
    // that is missing or cannot be opened is left to the listing, which tells which it is.
    if (sourceFolders_) {
        const FolderStep source = sourceFolders_->Reach(folder);
        if (source.reach == FolderReach::Link) {
            LeaveOutLink(source.at);
            return;
        }
    }
    // Its files' destination folder, opened the same way down from the folder the walk trusts:
    // the walk neither compares with nor writes to anything a link there leads to. A folder
    // still missing is made by the copy, checked again then.
    const std::wstring destination = MapDestination(folder);
    FolderReach target = FolderReach::Failed;
    if (!destination.empty() && targetFolders_) {
        const FolderStep step = targetFolders_->Reach(destination);
        if (step.reach == FolderReach::Link) {
            ReportLink(folder, step.at);
            return;
        }
        target = step.reach;
    }
    if (target == FolderReach::Reached)
        TidyDestinationLeftovers(folder);
    ListFolder(folder);
}

// The backup's own destination tree by its path, letters in any case.
bool TScanCopyFiles::IsDestinationTreePath(const std::wstring& folder) const {
    return !destinationTreePath_.empty() && folder.size() == destinationTreePath_.size() &&
           StartsWithIgnoringCase(folder, destinationTreePath_);
}

// The backup's own destination tree by its identity, reached by another path.
bool TScanCopyFiles::IsDestinationTree(const std::wstring& folder) const {
    return destinationTree_ && IdentifyFolder(folder) == destinationTree_;
}

// A link below the root: a backup leaves a host link out and counts it (a user profile holds a
// dozen compatibility junctions, which must not make every backup a warning); a restore reports
// a link in the enclosure's tree, which a crafted disk or another user put there.
void TScanCopyFiles::LeaveOutLink(const std::wstring& path) {
    if (backupDirection_)
        linksSkipped_.fetch_add(1);
    else
        ReportLink(path, path);
}

// One failure line for a link the walk did not pass through, in the copy pass; the line shows
// the link.
void TScanCopyFiles::ReportLink(const std::wstring& source, const std::wstring& link) {
    ReportLine(source, link, CopyLinkNotFollowed);
}

// One failure line that names its destination path itself, in the copy pass.
void TScanCopyFiles::ReportLine(const std::wstring& source, const std::wstring& destination,
                                int code) {
    if (scanOnly_ || cancelRequested_.load())
        return;
    fileSize_.store(0);
    SetSourcePath(source);
    {
        win::CriticalSectionLock lock(textLock_);
        destinationPath_ = destination;
    }
    lastResult_.store(code);
    if (onAfterFile_)
        onAfterFile_(*this);
}

void TScanCopyFiles::ListFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW entry;
    DWORD error = 0;
    // The same long form the copy uses: a deep folder is listed, and its files then meet the
    // destination's length limit (code 7) instead of vanishing unreported.
    win::FindHandle listing(files_->FindFirst(
        win::ToWide(ExtendedLengthPath(win::ToU16(folder + L"*.*"))), entry, error));
    if (!listing) {
        // A folder gone since its parent was listed held nothing to copy any more. One that is
        // there but cannot be listed leaves the job incomplete, and the job must say so.
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND)
            ReportUnlistableFolder(folder);
        return;
    }
    // A listing ends with "no more files"; any other end broke it off part-way (a network drop,
    // the enclosure pulled), and the entries it never gave leave the job incomplete. Only a
    // failing FindNext sets `end`: a walk that stops early keeps "no more files".
    DWORD end = ERROR_NO_MORE_FILES;
    SiblingNames names;
    do {
        WaitWhilePaused();
        if (cancelRequested_.load())
            break;
        const std::wstring_view name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        // The first of two entries that one name on the enclosure would stand for is copied;
        // the other is reported instead of being copied over it.
        if (!names.Take(name, entry.cAlternateFileName)) {
            ReportNameClash(folder, entry);
            continue;
        }
        const bool isFolder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (IsLink(entry.dwFileAttributes, entry.dwReserved0)) {
            LeaveOutLink(folder + entry.cFileName + (isFolder ? L"\\" : L""));
            continue;
        }
        if (isFolder) {
            // Only a folder of that name can be the enclosure's Backup folder, met below a root
            // that leads to the enclosure's root: the others are not asked for their identity.
            const std::wstring child = folder + entry.cFileName + L"\\";
            if (::CompareStringOrdinal(entry.cFileName, -1, L"Backup", -1, TRUE) != CSTR_EQUAL ||
                !IsDestinationTree(child))
                ScanFolder(child);
            continue;
        }
        // Left by a copy that never finished: not the user's file, in either direction.
        if (name.front() == L'~' && IsWorkerTempFileName(win::ToU16(name))) {
            // Written by a copy the other way, whose source lies in this walk's destination.
            TidyLeftover(folder, entry.cFileName, MapDestination(folder));
            continue;
        }
        if (!HandleFile(folder, entry))
            break;
    } while (files_->FindNext(listing.Get(), entry, end));
    if (end != ERROR_NO_MORE_FILES)
        ReportUnlistableFolder(folder);
}

// A copy killed part-way leaves its temporary file beside the destination it was written for.
// The copy pass of the folder removes it when the file it was copied from is still there (it
// will be compared and copied again as ever). When that source is gone, the leftover may hold
// the only copy of its data: it stays, and the job says so. `sourceFolder` is the folder of the
// source of the interrupted copy (empty when it cannot be told).
void TScanCopyFiles::TidyLeftover(const std::wstring& folder, const std::wstring& name,
                                  const std::wstring& sourceFolder) {
    if (scanOnly_ || cancelRequested_.load())
        return;
    const std::optional<std::u16string> destination = ParseWorkerTempFileName(win::ToU16(name));
    if (!destination)
        return;
    const std::wstring leftover = win::ToWide(ExtendedLengthPath(win::ToU16(folder + name)));
    if (!destination->empty() && !sourceFolder.empty()) {
        const std::wstring source =
            win::ToWide(ExtendedLengthPath(win::ToU16(sourceFolder) + *destination));
        const DWORD attributes = ::GetFileAttributesW(source.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ::SetFileAttributesW(leftover.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (::DeleteFileW(leftover.c_str()))
                return;
        }
    }
    fileSize_.store(0);
    SetSourcePath(folder + name);
    {
        win::CriticalSectionLock lock(textLock_);
        destinationPath_ = folder + name;
    }
    lastResult_.store(CopyLeftoverKept);
    if (onAfterFile_)
        onAfterFile_(*this);
}

// The leftovers beside the destinations of a folder's files: one listing of just those names.
void TScanCopyFiles::TidyDestinationLeftovers(const std::wstring& folder) {
    if (scanOnly_)
        return;
    const std::wstring destination = MapDestination(folder);
    if (destination.empty() || Refused(destination))
        return;
    WIN32_FIND_DATAW entry;
    win::FindHandle listing(::FindFirstFileExW(
        win::ToWide(ExtendedLengthPath(win::ToU16(destination + L"~snapkeep-*.tmp"))).c_str(),
        FindExInfoBasic, &entry, FindExSearchNameMatch, nullptr, 0));
    if (!listing)
        return;
    std::vector<std::wstring> names;
    do {
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
            IsWorkerTempFileName(win::ToU16(entry.cFileName)))
            names.push_back(entry.cFileName);
    } while (::FindNextFileW(listing.Get(), &entry));
    listing.Reset();
    for (const std::wstring& name : names)
        TidyLeftover(destination, name, folder);
}

// In the copy pass, a folder that cannot be listed is reported once, as a file whose source
// cannot be read, so that it appears among the job's failures. The scan pass does not count it.
void TScanCopyFiles::ReportUnlistableFolder(const std::wstring& folder) {
    ReportFolder(folder, CopySourceInfoFailed);
}

// An entry whose name an earlier entry of the folder took: a folder gets one line for all it
// holds; a file is counted as found, and reported if it is of a type the job copies.
void TScanCopyFiles::ReportNameClash(const std::wstring& folder, const WIN32_FIND_DATAW& entry) {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        ReportFolder(folder + entry.cFileName + L"\\", CopyNameClash);
        return;
    }
    const std::wstring sourcePath = folder + entry.cFileName;
    filesFound_.fetch_add(1);
    fileSize_.store(FileInfoFromFindData(entry).size);
    SetSourcePath(sourcePath);
    if (scanOnly_ || cancelRequested_.load() || !MatchFileType(sourcePath))
        return;
    MakeDestinationPath(sourcePath);
    lastResult_.store(CopyNameClash);
    if (onAfterFile_)
        onAfterFile_(*this);
}

// True when the file found under `destination` is another file that answers to that name as its
// short (8.3) name: "ABCDEF~1.TXT" can name "abcdefghij.txt". Only a name with a "~" can be one.
bool TScanCopyFiles::IsShortNameAlias(const std::wstring& destination) const {
    const std::wstring_view wanted =
        std::wstring_view(destination).substr(destination.find_last_of(L'\\') + 1);
    if (wanted.find(L'~') == std::wstring_view::npos)
        return false;
    const std::wstring found = FinalPathOf(destination);
    return !found.empty() &&
           !SameEntryName(wanted, std::wstring_view(found).substr(found.find_last_of(L'\\') + 1));
}

// One failure line for a whole folder, in the copy pass.
void TScanCopyFiles::ReportFolder(const std::wstring& folder, int code) {
    if (scanOnly_ || cancelRequested_.load())
        return;
    fileSize_.store(0);
    SetSourcePath(folder);
    MakeDestinationPath(folder);
    lastResult_.store(code);
    if (onAfterFile_)
        onAfterFile_(*this);
}

// A backup whose root lies inside the backup tree it writes into would copy the backup into
// itself, one level deeper on every run (a host folder on a drive that has since become the
// enclosure's). Found by the path as given, by the path the system resolves it to, and by the
// identity of the root and each folder above it (a folder link straight to the Backup folder).
bool TScanCopyFiles::RootLiesInsideDestinationTree() const {
    if (destinationTreePath_.empty())
        return false;
    if (StartsWithIgnoringCase(rootFolder_, destinationTreePath_))
        return true;
    const std::wstring finalTree = FinalFolderOf(destinationTreePath_);
    if (!finalTree.empty()) {
        const std::wstring finalRoot = FinalFolderOf(rootFolder_);
        if (!finalRoot.empty() && StartsWithIgnoringCase(finalRoot, finalTree))
            return true;
    }
    if (!destinationTree_)
        return false;
    for (std::wstring folder = rootFolder_; folder.size() > 3;) {
        if (IdentifyFolder(folder) == destinationTree_)
            return true;
        const size_t slash = folder.find_last_of(L'\\', folder.size() - 2);
        if (slash == std::wstring::npos)
            break;
        folder.resize(slash + 1);
    }
    return false;
}

// The listing's size and times of a file another program holds open and keeps writing (a mail
// store, a browser's database, a running virtual disk) can be stale: NTFS brings a directory
// entry up to date when the writing handle closes, and the system's own notes on listings say
// that on NTFS their information "may not be current" and point to asking the open file. A
// file the listing takes for unchanged therefore gets one look at the file itself before it is
// skipped: opened for reading without sharing its writing, which fails while any program holds
// it open for writing (the copy then says "in use"), and asked for its current size and times.
// True when the file is unchanged indeed.
bool TScanCopyFiles::StillUnchanged(const std::wstring& source, const FileInfo& copy) {
    win::FileHandle file(files_->Open(win::ToWide(ExtendedLengthPath(win::ToU16(source))),
                                      FILE_READ_DATA | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_DELETE, OPEN_EXISTING, 0));
    FileInfo now;
    if (!file || !files_->ReadInfo(file.Get(), now))
        return false; // in use, or gone since it was listed: the copy says which
    return CompareFileInfo(now, copy, compareRule_) == CompareIdentical;
}

// True when the entry at `destination` is a link, as its folder's listing tells through the file
// access (where a test can stand in for the links Wine cannot make).
bool TScanCopyFiles::DestinationEntryIsLink(const std::wstring& destination) const {
    WIN32_FIND_DATAW entry;
    DWORD error = 0;
    win::FindHandle found(
        files_->FindFirst(win::ToWide(ExtendedLengthPath(win::ToU16(destination))), entry, error));
    return found && IsLink(entry.dwFileAttributes, entry.dwReserved0);
}

// Before the first write into a destination folder: it and every folder between it and the
// folder the walk trusts are made where missing, opened without following links and checked to
// lie where their paths say. CopyDone, CopyLinkNotFollowed (the worker's DestinationPath then
// names the link) or CopyFolderCreateFailed.
int TScanCopyFiles::PrepareDestinationFolder(const std::wstring& destination) {
    if (!targetFolders_)
        return CopyDone;
    const FolderStep step =
        targetFolders_->Make(destination.substr(0, destination.find_last_of(L'\\') + 1));
    if (step.reach == FolderReach::Reached)
        return CopyDone;
    if (step.reach != FolderReach::Link)
        return CopyFolderCreateFailed;
    win::CriticalSectionLock lock(textLock_);
    destinationPath_ = step.at;
    return CopyLinkNotFollowed;
}

// Before a backup replaces an earlier copy: the folder of the versions tree it goes to is made
// as the Backup tree's folders are, without passing a link. CopyLinkNotFollowed (the worker's
// DestinationPath then names the link) keeps the earlier copy where it is and the file is not
// copied; any other trouble is left to the copy, which then keeps the earlier copy too.
int TScanCopyFiles::PrepareVersionFolder(const std::wstring& destination, bool hasCopy) {
    if (!hasCopy || !backupDirection_ || !earlierVersions_ || !versionFolders_)
        return CopyDone;
    const std::wstring keepAt = earlierVersions_->PathFor(destination);
    if (keepAt.empty())
        return CopyDone;
    const FolderStep step = versionFolders_->Make(keepAt.substr(0, keepAt.find_last_of(L'\\') + 1));
    if (step.reach != FolderReach::Link && step.reach != FolderReach::Outside)
        return CopyDone;
    win::CriticalSectionLock lock(textLock_);
    destinationPath_ = step.reach == FolderReach::Link ? step.at : keepAt;
    return CopyLinkNotFollowed;
}

// A restore's name for the host file it replaces, in the file's own folder, that no entry there
// has yet: "report (before restore 2026-12-11 0148).docx", then " 2", " 3", ...
std::wstring TScanCopyFiles::FreeAsideName(const std::wstring& destination) const {
    const size_t slash = destination.find_last_of(L'\\');
    const std::wstring folder = destination.substr(0, slash + 1);
    const std::u16string name = win::ToU16(destination.substr(slash + 1));
    for (unsigned number = 1; number < 1000; ++number) {
        const std::wstring candidate =
            folder + win::ToWide(BeforeRestoreName(name, win::ToU16(restoreStamp_), number));
        FileInfo info;
        DWORD error = 0;
        if (!files_->ReadInfo(candidate, info, error) &&
            (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND))
            return candidate;
    }
    return {}; // nowhere to put it: the copy replaces the file without keeping it
}

// After a copy that moved the earlier file to `plan.keepEarlierAt`: a backup counts it among
// the job's versions; a restore offers the user's replaced file to the Recycle Bin, where it
// goes only if the bin keeps it, and otherwise stays beside the restored file.
void TScanCopyFiles::PutAside(const CopyPlan& plan) {
    if (backupDirection_) {
        if (earlierVersions_)
            earlierVersions_->NoteKept();
        return;
    }
    if (!recycleBin_)
        return;
    FileInfo info;
    DWORD error = 0;
    const std::uint64_t size =
        files_->ReadInfo(plan.keepEarlierAt, info, error) ? info.size : UINT64_MAX;
    if (PutReplacedFileAway(*recycleBin_, plan.keepEarlierAt, size) == ReplacedFileFate::Recycled)
        recycled_.fetch_add(1);
    else
        keptBeside_.fetch_add(1);
}

// A restore's destination its guard refuses.
bool TScanCopyFiles::Refused(const std::wstring& destination) const {
    return !backupDirection_ && destinationGuard_ && destinationGuard_(destination);
}

// One file entry. False when the walk must stop (cancelled during the file).
bool TScanCopyFiles::HandleFile(const std::wstring& folder, const WIN32_FIND_DATAW& entry) {
    const FileInfo source = FileInfoFromFindData(entry);
    const std::wstring sourcePath = folder + entry.cFileName;
    filesFound_.fetch_add(1);
    fileSize_.store(source.size);
    SetSourcePath(sourcePath);

    if (!MatchFileType(sourcePath))
        return true;
    const std::wstring destination = MakeDestinationPath(sourcePath);

    // A file that only answers to the destination's name by its short name is never compared
    // with, nor replaced: it is another file.
    const bool alias = !destination.empty() && IsShortNameAlias(destination);
    // The listing already holds the source's attributes, size and times.
    FileInfo copy;
    DWORD copyError = 0;
    const bool hasCopy =
        !destination.empty() && !alias && files_->ReadInfo(destination, copy, copyError);
    const int comparison =
        hasCopy ? CompareFileInfo(source, copy, compareRule_) : CompareDestinationMissing;
    // The scan pass counts how much of what was backed up before has changed since: most of it
    // changing at once is what ransomware that encrypts the user's files looks like.
    if (scanOnly_ && hasCopy) {
        filesWithCopy_.fetch_add(1);
        if (ContentLooksChanged(source, copy, compareRule_))
            filesChanged_.fetch_add(1);
    }
    if (comparison == CompareIdentical && StillUnchanged(sourcePath, copy))
        return true;
    // A link under the destination's name (a file symbolic link, or a folder link) is not
    // written through: the destination's information is the link's own, so only a reparse
    // point needs a closer look.
    const bool destinationIsLink = comparison != CompareDestinationMissing &&
                                   (copy.attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
                                   DestinationEntryIsLink(destination);

    if (onBeforeFile_)
        onBeforeFile_(*this);
    if (!scanOnly_) {
        if (destination.empty()) {
            lastResult_.store(CopyFolderCreateFailed);
        } else if (Refused(destination)) {
            lastResult_.store(CopyDestinationRefused);
        } else if (alias) {
            lastResult_.store(CopyNameClash);
        } else if (destinationIsLink) {
            lastResult_.store(CopyLinkNotFollowed);
        } else if (destination.size() > kDestinationPathLimit) {
            lastResult_.store(CopyDestinationTooLong);
        } else if (source.size > destinationLargestFile_) {
            // Refused before a byte is written: the volume would take 4 GiB of it first.
            lastResult_.store(CopyTooLargeForVolume);
        } else if (const int folderCode = PrepareDestinationFolder(destination);
                   folderCode != CopyDone) {
            lastResult_.store(folderCode);
        } else if (const int versionCode = PrepareVersionFolder(destination, hasCopy);
                   versionCode != CopyDone) {
            lastResult_.store(versionCode);
        } else {
            // The percentage goes to 0 before the size is published: a reader never sees this
            // file's size with the share of the file before it.
            CopyPercent.store(0);
            copyingSize_.store(source.size);
            std::wstring kept;
            CopyPlan plan;
            if (backupDirection_ && earlierVersions_) {
                plan.keepEarlierAt = earlierVersions_->PathFor(destination);
                plan.makeRoom = [versions = earlierVersions_] { return versions->RemoveOldest(); };
            } else if (!backupDirection_ && recycleBin_ && hasCopy) {
                plan.keepEarlierAt = FreeAsideName(destination);
            }
            StreamCopy streams{destinationKeepsStreams_};
            lastResult_.store(
                RunFileCopy(sourcePath, destination, *files_, &kept, &plan, &streams));
            if (streams.dropped && lastResult_.load() == CopyDone && volumeRules_)
                volumeRules_->NoteDroppedStreams(destinationVolume_);
            if (!kept.empty()) { // the failure line names where the new data is
                win::CriticalSectionLock lock(textLock_);
                destinationPath_ = kept;
            }
            if (plan.earlierKept)
                PutAside(plan);
        }
    }
    // A file cancelled part-way is not reported: nothing of it was kept, and its earlier copy is
    // as it was. One that failed for another reason before the cancel came is.
    if (cancelRequested_.load()) {
        const int result = lastResult_.load();
        if (!scanOnly_ && result != CopyDone && result != CopyCancelledMidFile && onAfterFile_)
            onAfterFile_(*this);
        copyingSize_.store(0);
        return false;
    }
    if (onAfterFile_)
        onAfterFile_(*this);
    // Only once the hook has counted the file among the finished ones: until then its copied
    // part still shows as part-way done.
    copyingSize_.store(0);
    return true;
}

} // namespace snapkeep

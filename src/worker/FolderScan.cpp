// The walk of TScanCopyFiles: a depth-first pass over the root folder in the order the file
// system lists the entries, with the type match, the mapping to the destination, the comparison
// and the copy of each file.
#include "worker/ScanCopyFilesThread.h"

#include <algorithm>

#include "win/Handle.h"
#include "win/Text.h"
#include "worker/FolderIdentity.h"
#include "worker/LongPath.h"
#include "worker/PathMapping.h"
#include "worker/SiblingNames.h"
#include "worker/TempFileName.h"
#include "worker/TypeMatch.h"

namespace snapkeep {

namespace {

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() &&
           ::CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                  static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

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

void TScanCopyFiles::ScanFolder(const std::wstring& folder, bool link) {
    // Folder links make a tree a graph: a link to an ancestor would be walked again and again,
    // and one into the enclosure would copy the backup into itself. A folder already on the way
    // down from the root, or the destination's Backup folder, is not entered.
    //
    // Only a link can lead anywhere but down, and the listing says which entries are links, so
    // the walk asks for a folder's identity (a request to the file system) only for the root, a
    // link, and whatever lies below a link; an ancestor's identity is asked for when a link
    // first needs it. A plain tree costs no request per folder. Without a link, the Backup
    // folder can be reached only by its own path.
    if (IsDestinationTreePath(folder))
        return;
    const bool belowLink = link || (!walkPath_.empty() && walkPath_.back().belowLink);
    WalkLevel level{folder, std::nullopt, false, belowLink};
    if (walkPath_.empty() || belowLink) {
        level.identity = IdentifyFolder(folder);
        level.identified = true;
        if (level.identity) {
            if (level.identity == destinationTree_)
                return;
            for (WalkLevel& above : walkPath_) {
                if (!above.identified) {
                    above.identity = IdentifyFolder(above.folder);
                    above.identified = true;
                }
                if (above.identity == level.identity)
                    return;
            }
        }
    }
    walkPath_.push_back(std::move(level));
    ListFolder(folder);
    walkPath_.pop_back();
}

// The backup's own destination tree by its path, letters in any case.
bool TScanCopyFiles::IsDestinationTreePath(const std::wstring& folder) const {
    return !destinationTreePath_.empty() && folder.size() == destinationTreePath_.size() &&
           StartsWithIgnoringCase(folder, destinationTreePath_);
}

void TScanCopyFiles::ListFolder(const std::wstring& folder) {
    TidyDestinationLeftovers(folder);
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
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ScanFolder(folder + entry.cFileName + L"\\",
                       (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0);
            continue;
        }
        // Left by a copy that never finished: not the user's file, in either direction.
        if (name.front() == L'~' && IsWorkerTempFileName(win::ToU16(name))) {
            TidyLeftover(folder, entry.cFileName);
            continue;
        }
        if (!HandleFile(folder, entry))
            break;
    } while (files_->FindNext(listing.Get(), entry, end));
    if (end != ERROR_NO_MORE_FILES)
        ReportUnlistableFolder(folder);
}

// A copy killed part-way leaves its temporary file beside the destination it was written for.
// The copy pass of the folder removes it when that destination is there (the earlier file is
// whole, and the source will be compared with it as ever). When the destination is missing, the
// leftover may hold the only copy of its data: it stays, and the job says so.
void TScanCopyFiles::TidyLeftover(const std::wstring& folder, const std::wstring& name) {
    if (scanOnly_ || cancelRequested_.load())
        return;
    const std::optional<std::u16string> destination = ParseWorkerTempFileName(win::ToU16(name));
    if (!destination)
        return;
    const std::wstring leftover = win::ToWide(ExtendedLengthPath(win::ToU16(folder + name)));
    if (!destination->empty()) {
        const std::wstring owner =
            win::ToWide(ExtendedLengthPath(win::ToU16(folder) + *destination));
        const DWORD attributes = ::GetFileAttributesW(owner.c_str());
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
        TidyLeftover(destination, name);
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
    const int comparison = destination.empty() || alias
                               ? CompareDestinationMissing
                               : CompareWithDestination(source, destination, *files_, compareRule_);
    if (comparison == CompareIdentical)
        return true;

    if (onBeforeFile_)
        onBeforeFile_(*this);
    if (!scanOnly_) {
        if (destination.empty()) {
            lastResult_.store(CopyFolderCreateFailed);
        } else if (Refused(destination)) {
            lastResult_.store(CopyDestinationRefused);
        } else if (alias) {
            lastResult_.store(CopyNameClash);
        } else if (destination.size() > kDestinationPathLimit) {
            lastResult_.store(CopyDestinationTooLong);
        } else if (source.size > destinationLargestFile_) {
            // Refused before a byte is written: the volume would take 4 GiB of it first.
            lastResult_.store(CopyTooLargeForVolume);
        } else {
            // The percentage goes to 0 before the size is published: a reader never sees this
            // file's size with the share of the file before it.
            CopyPercent.store(0);
            copyingSize_.store(source.size);
            std::wstring kept;
            lastResult_.store(RunFileCopy(sourcePath, destination, *files_, &kept));
            if (!kept.empty()) { // the failure line names where the new data is
                win::CriticalSectionLock lock(textLock_);
                destinationPath_ = kept;
            }
        }
    }
    // A file cancelled part-way is not reported: nothing of it was kept. One that could not stop
    // (an in-place rewrite runs to its end) and failed is: its earlier copy is gone.
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

// The walk of TScanCopyFiles: a depth-first pass over the root folder in the order the file
// system lists the entries, with the type match, the mapping to the destination, the comparison
// and the copy of each file.
#include "worker/ScanCopyFilesThread.h"

#include <algorithm>

#include "win/Text.h"
#include "worker/LongPath.h"
#include "worker/PathMapping.h"
#include "worker/TempFileName.h"
#include "worker/TypeMatch.h"

namespace snapkeep {

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

std::wstring TScanCopyFiles::MakeDestinationPath(const std::wstring& source) {
    const std::u16string from = win::ToU16(source);
    const std::optional<std::u16string> mapped =
        backupDirection_ ? MapBackupPath(from, deviceRoot16_) : MapRestorePath(from);
    // A path that maps nowhere gets no destination; the walk reports it as one that cannot be
    // created instead of writing somewhere unintended.
    std::wstring destination = mapped ? win::ToWide(*mapped) : std::wstring();
    win::CriticalSectionLock lock(textLock_);
    destinationPath_ = destination;
    return destination;
}

void TScanCopyFiles::ScanFolder(const std::wstring& folder) {
    // Folder links make a tree a graph: a link to an ancestor would be walked again and again,
    // and one into the enclosure would copy the backup into itself. A folder already on the way
    // down from the root, or the destination's Backup folder, is not entered.
    const std::optional<FolderIdentity> identity = IdentifyFolder(folder);
    if (identity) {
        if (identity == destinationTree_ ||
            std::find(walkPath_.begin(), walkPath_.end(), *identity) != walkPath_.end())
            return;
        walkPath_.push_back(*identity);
    }
    ListFolder(folder);
    if (identity)
        walkPath_.pop_back();
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
    do {
        WaitWhilePaused();
        if (cancelRequested_.load())
            break;
        const std::wstring_view name = entry.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            ScanFolder(folder + entry.cFileName + L"\\");
            continue;
        }
        // Left by a copy that never finished: not the user's file, in either direction.
        if (name.front() == L'~' &&
            IsWorkerTempFileName(
                std::u16string_view(reinterpret_cast<const char16_t*>(name.data()), name.size())))
            continue;
        if (!HandleFile(folder, entry))
            break;
    } while (::FindNextFileW(listing.Get(), &entry));
}

// In the copy pass, a folder that cannot be listed is reported once, as a file whose source
// cannot be read, so that it appears among the job's failures. The scan pass does not count it.
void TScanCopyFiles::ReportUnlistableFolder(const std::wstring& folder) {
    if (scanOnly_ || cancelRequested_.load())
        return;
    fileSize_.store(0);
    SetSourcePath(folder);
    MakeDestinationPath(folder);
    lastResult_.store(CopySourceInfoFailed);
    if (onAfterFile_)
        onAfterFile_(*this);
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

    // The listing already holds the source's attributes, size and times.
    const int comparison = destination.empty()
                               ? CompareDestinationMissing
                               : CompareWithDestination(source, destination, *files_);
    if (comparison == CompareIdentical)
        return true;

    if (onBeforeFile_)
        onBeforeFile_(*this);
    if (!scanOnly_) {
        if (destination.empty()) {
            lastResult_.store(CopyFolderCreateFailed);
        } else if (destination.size() > kDestinationPathLimit) {
            lastResult_.store(CopyDestinationTooLong);
        } else {
            // The percentage goes to 0 before the size is published: a reader never sees this
            // file's size with the share of the file before it.
            CopyPercent.store(0);
            copyingSize_.store(source.size);
            lastResult_.store(RunFileCopy(sourcePath, destination, *files_));
        }
    }
    // A file cancelled part-way is not reported: nothing of it was kept.
    if (cancelRequested_.load()) {
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

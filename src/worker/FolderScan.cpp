// The walk of TScanCopyFiles: a depth-first pass over the root folder in the order the file
// system lists the entries, with the type match, the mapping to the destination, the comparison
// and the copy of each file.
#include "worker/ScanCopyFilesThread.h"

#include "win/Text.h"
#include "worker/PathMapping.h"
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
    WIN32_FIND_DATAW entry;
    // The basic information level leaves out the short names nobody here reads.
    win::FindHandle listing(::FindFirstFileExW((folder + L"*.*").c_str(), FindExInfoBasic, &entry,
                                               FindExSearchNameMatch, nullptr,
                                               FIND_FIRST_EX_LARGE_FETCH));
    if (!listing)
        return; // missing, refused or too long: skipped with everything below it
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
        if (!HandleFile(folder, entry))
            break;
    } while (::FindNextFileW(listing.Get(), &entry));
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
            CopyPercent.store(0);
            lastResult_.store(RunFileCopy(sourcePath, destination, *files_));
        }
    }
    // A file cancelled part-way is not reported: nothing of it was kept.
    if (cancelRequested_.load())
        return false;
    if (onAfterFile_)
        onAfterFile_(*this);
    return true;
}

} // namespace snapkeep

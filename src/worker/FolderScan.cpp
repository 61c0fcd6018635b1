// The walk of TScanCopyFiles: a depth-first pass over the root folder in the order the file
// system lists the entries, with the type match, the mapping to the destination, the comparison
// and the copy of each file.
#include "worker/ScanCopyFilesThread.h"

#include "win/Text.h"
#include "worker/PathMapping.h"
#include "worker/TypeMatch.h"

namespace snapkeep {

void TScanCopyFiles::WaitWhilePaused() const {
    ::WaitForSingleObject(pauseEvent_.Get(), INFINITE);
}

void TScanCopyFiles::SetSourcePath(const std::wstring& path) {
    win::CriticalSectionLock lock(textLock_);
    sourcePath_ = path;
}

bool TScanCopyFiles::MatchFileType(std::string_view path) const {
    return snapkeep::MatchFileType(path, typeList_, typeCount_);
}

void TScanCopyFiles::MakeDestinationPath() {
    const std::u16string source = win::ToU16(SourcePath());
    const std::optional<std::u16string> mapped =
        backupDirection_ ? MapBackupPath(source, win::ToU16(deviceRoot_)) : MapRestorePath(source);
    win::CriticalSectionLock lock(textLock_);
    // A path that maps nowhere gets no destination; the walk reports it as one that cannot be
    // created instead of writing somewhere unintended.
    destinationPath_ = mapped ? win::ToWide(*mapped) : std::wstring();
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

    if (!MatchFileType(win::WideToAnsi(sourcePath)))
        return true;
    MakeDestinationPath();
    const std::wstring destination = DestinationPath();

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

#include "worker/ScanCopyFilesThread.h"

#include <utility>

#include "win/Text.h"
#include "worker/BackupFolder.h"

namespace snapkeep {

TScanCopyFiles::TScanCopyFiles(bool createSuspended) {
    ::InitializeCriticalSection(&textLock_);
    ::InitializeCriticalSection(&pauseLock_);
    thread_.Reset(
        ::CreateThread(nullptr, 0, &TScanCopyFiles::ThreadMain, this, CREATE_SUSPENDED, nullptr));
    if (!createSuspended)
        Start();
}

TScanCopyFiles::~TScanCopyFiles() {
    if (thread_) {
        if (!started_) {
            // Never started: let the thread run just far enough to see it has nothing to do.
            abandoned_.store(true);
            ::ResumeThread(thread_.Get());
        } else if (!finished_.load()) {
            Cancel();
        }
        ::WaitForSingleObject(thread_.Get(), INFINITE);
    }
    ::DeleteCriticalSection(&pauseLock_);
    ::DeleteCriticalSection(&textLock_);
}

void TScanCopyFiles::SetRootFolder(std::wstring folder) {
    rootFolder_ = std::move(folder);
}
void TScanCopyFiles::SetScanOnly(bool scanOnly) {
    scanOnly_ = scanOnly;
}
void TScanCopyFiles::SetOnBeforeFile(FileHook hook) {
    onBeforeFile_ = std::move(hook);
}
void TScanCopyFiles::SetOnAfterFile(FileHook hook) {
    onAfterFile_ = std::move(hook);
}
void TScanCopyFiles::SetBackupDirection(bool backup) {
    backupDirection_ = backup;
}
void TScanCopyFiles::SetDeviceRoot(std::string_view root) {
    deviceRoot16_ = win::ToU16(win::AnsiToWide(root));
}
void TScanCopyFiles::SetErrorCaption(std::wstring caption) {
    errorCaption_ = std::move(caption);
}
void TScanCopyFiles::SetErrorText(std::wstring text) {
    errorText_ = std::move(text);
}
void TScanCopyFiles::SetFileAccess(FileAccess& files) {
    files_ = &files;
}

void TScanCopyFiles::SetVolumeRules(std::shared_ptr<VolumeRules> rules) {
    volumeRules_ = std::move(rules);
}

void TScanCopyFiles::SetEarlierVersions(std::shared_ptr<EarlierVersions> versions) {
    earlierVersions_ = std::move(versions);
}

void TScanCopyFiles::SetRestoreAside(std::wstring stamp, RecycleBin& bin) {
    restoreStamp_ = std::move(stamp);
    recycleBin_ = &bin;
}

void TScanCopyFiles::SetRestoreTarget(std::wstring folder) {
    restoreTarget_ = std::move(folder);
}

void TScanCopyFiles::SetDestinationGuard(DestinationGuard guard) {
    destinationGuard_ = std::move(guard);
}

void TScanCopyFiles::SetTypeList(const char* const* typeList, int typeCount) {
    typeList_ = typeList;
    typeCount_ = typeCount;
}

void TScanCopyFiles::Start() {
    if (started_)
        return;
    started_ = true;
    if (!thread_)
        FatalError(); // no thread to run the job on: the same end as a missing pause event
    ::ResumeThread(thread_.Get());
}

void TScanCopyFiles::Pause() {
    win::CriticalSectionLock lock(pauseLock_);
    pauseWanted_.store(true);
    CopyPaused.store(true);
    if (pauseEvent_)
        ::ResetEvent(pauseEvent_.Get());
}

void TScanCopyFiles::Resume() {
    win::CriticalSectionLock lock(pauseLock_);
    pauseWanted_.store(false);
    if (pauseEvent_)
        ::SetEvent(pauseEvent_.Get());
    CopyPaused.store(false);
}

void TScanCopyFiles::Cancel() {
    // The request is raised before the pause is released, so a walk woken by the release sees
    // it at once and handles no further file.
    cancelRequested_.store(true);
    CopyCancelled.store(true);
    Resume();
    CopyPaused.store(false);
}

void TScanCopyFiles::Terminate() {
    terminated_.store(true);
}

std::wstring TScanCopyFiles::SourcePath() const {
    win::CriticalSectionLock lock(textLock_);
    return sourcePath_;
}

std::wstring TScanCopyFiles::DestinationPath() const {
    win::CriticalSectionLock lock(textLock_);
    return destinationPath_;
}

DWORD WINAPI TScanCopyFiles::ThreadMain(void* self) {
    auto* worker = static_cast<TScanCopyFiles*>(self);
    if (!worker->abandoned_.load())
        worker->Execute();
    return 0;
}

void TScanCopyFiles::Execute() {
    if (rootFolder_.empty()) {
        // Nothing to walk. Finished all the same, so an owner waiting for it is not left waiting.
        finished_.store(true);
        return;
    }
    finished_.store(false);
    filesFound_.store(0);
    bool created;
    {
        win::CriticalSectionLock lock(pauseLock_);
        pauseEvent_.Reset(
            ::CreateEventW(nullptr, TRUE, pauseWanted_.load() ? FALSE : TRUE, nullptr));
        created = pauseEvent_.Valid();
    }
    if (!created)
        FatalError();

    // A backup never walks into its own destination, however a folder link leads there.
    destinationTree_.reset();
    destinationTreePath_.clear();
    linksSkipped_.store(0);
    if (backupDirection_ && !deviceRoot16_.empty()) {
        destinationTreePath_ = win::ToWide(deviceRoot16_) + L"Backup\\";
        // Before the first backup the folder does not exist, so it would have no identity, and
        // a host folder that leads to it, or to the enclosure's root, would copy the backup into
        // itself once the copy had made it. The copy pass makes it first, writable by
        // administrators alone where the volume keeps permissions.
        if (!scanOnly_)
            CreateBackupFolder(destinationTreePath_);
        destinationTree_ = IdentifyFolder(destinationTreePath_);
    }
    SetUpFolderChains();
    LearnVolumes();
    ReportUntrustedTimes();
    if (RootLiesInsideDestinationTree())
        ReportFolder(rootFolder_, CopyRootInsideBackup);
    else
        ScanFolder(rootFolder_);
    // Nothing stays open once the walk is over.
    sourceFolders_.reset();
    targetFolders_.reset();
    versionFolders_.reset();

    {
        win::CriticalSectionLock lock(pauseLock_);
        pauseEvent_.Reset();
    }
    finished_.store(true);
}

// Where the walk may read and write without passing a link. A backup reads below the host folder
// the user chose (itself followed, as the user's own choice) and writes below the enclosure's
// Backup folder (not followed even there: a crafted disk may hold a link of that name). A restore
// reads below that Backup folder and writes below the host folder it restores into, the user's.
void TScanCopyFiles::SetUpFolderChains() {
    sourceFolders_.reset();
    targetFolders_.reset();
    versionFolders_.reset();
    if (backupDirection_) {
        sourceFolders_.emplace(rootFolder_, true);
        if (!destinationTreePath_.empty())
            targetFolders_.emplace(destinationTreePath_, false);
        // The versions tree is on the same disk, and no more to be trusted than Backup.
        if (earlierVersions_)
            versionFolders_.emplace(earlierVersions_->TreePath(), false);
        return;
    }
    const size_t tree = rootFolder_.find(L":\\Backup\\");
    sourceFolders_.emplace(
        tree == std::wstring::npos ? rootFolder_ : rootFolder_.substr(0, tree + 9), false);
    const std::wstring destination = MapDestination(rootFolder_);
    if (!destination.empty())
        targetFolders_.emplace(destination, true);
}

// The walk's two volumes: the root's, and the one its files go to. Only the enclosure's may be
// measured; the host's folders are never written to for it.
void TScanCopyFiles::LearnVolumes() {
    compareRule_ = VolumeTraits{};
    destinationLargestFile_ = UINT64_MAX;
    destinationKeepsStreams_ = true;
    if (!volumeRules_)
        volumeRules_ = std::make_shared<VolumeRules>();
    const std::wstring destination = MapDestination(rootFolder_);
    if (destination.empty())
        return;
    const std::wstring enclosure = VolumeRootOf(win::ToWide(deviceRoot16_));
    auto traitsOf = [&](const std::wstring& path) {
        const bool onEnclosure = !enclosure.empty() && VolumeRootOf(path) == enclosure;
        return volumeRules_->TraitsOf(path, onEnclosure, *files_);
    };
    const VolumeTraits target = traitsOf(destination);
    const VolumeTraits origin = traitsOf(rootFolder_);
    compareRule_ = Coarser(origin, target);
    destinationLargestFile_ = target.largestFile;
    destinationVolume_ = VolumeRootOf(destination);
    destinationKeepsStreams_ = target.namedStreams;
    untrustedTimes_.clear();
    if (origin.lastWritePrecision == kTimeNotKept)
        untrustedTimes_.push_back(VolumeRootOf(rootFolder_));
    if (target.lastWritePrecision == kTimeNotKept)
        untrustedTimes_.push_back(destinationVolume_);
}

// Every file on a volume whose last-write times cannot be trusted is copied on every run; the
// user learns why once per job and volume, in the copy pass's failure list.
void TScanCopyFiles::ReportUntrustedTimes() {
    for (const std::wstring& root : untrustedTimes_) {
        if (scanOnly_ || cancelRequested_.load() || root.empty() ||
            !volumeRules_->FirstNotice(L"untrusted times|" + root))
            continue;
        ReportLine(root, root, CopyTimesUntrusted);
    }
}

void TScanCopyFiles::FatalError() const {
    ::MessageBoxW(nullptr, errorText_.c_str(), errorCaption_.c_str(),
                  MB_OK | MB_ICONERROR | MB_TASKMODAL);
    ::ExitProcess(0);
}

} // namespace snapkeep

#pragma once
// TScanCopyFiles: the background worker of a backup or restore job. One worker walks one root
// folder, picks the files of the wanted types that differ from their copies, and either only
// reports them (scan pass) or copies them (copy pass). The job window creates it suspended, sets
// it up, starts it, may pause, resume or cancel it, reads its published values on timers, and
// destroys it once it has finished.
//
// Threads: the owner's thread calls every setter, control and query; the worker's thread runs
// the walk, the copies and both hooks. Everything the owner reads while the worker runs is read
// whole: numbers are atomic, the two path texts are copied under a short lock.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <memory>
#include <optional>
#include <vector>

#include "win/Handle.h"
#include "worker/CopyResult.h"
#include "worker/CopyState.h"
#include "worker/EarlierVersions.h"
#include "worker/FileAccess.h"
#include "worker/FileCopy.h"
#include "worker/FolderChain.h"
#include "worker/FolderIdentity.h"
#include "worker/RecycleBin.h"
#include "worker/VolumeRules.h"

namespace snapkeep {

class TScanCopyFiles {
public:
    // Called on the worker's thread with the worker; must not touch windows.
    using FileHook = std::function<void(TScanCopyFiles&)>;

    // The job window always creates the worker suspended and starts it once it is set up.
    explicit TScanCopyFiles(bool createSuspended);
    // Waits for the thread to end. An unfinished worker is cancelled first, so that a paused
    // one cannot hold its owner forever.
    ~TScanCopyFiles();
    TScanCopyFiles(const TScanCopyFiles&) = delete;
    TScanCopyFiles& operator=(const TScanCopyFiles&) = delete;

    // Set-up, before Start.
    void SetRootFolder(std::wstring folder); // ends with a backslash
    void SetScanOnly(bool scanOnly);
    void SetOnBeforeFile(FileHook hook); // before a wanted file that differs from its copy
    void SetOnAfterFile(FileHook hook);  // after it has been handled
    void SetBackupDirection(bool backup);
    void SetDeviceRoot(std::string_view root); // 8-bit, e.g. "E:\"; used by a backup only
    // The job's extensions, built by the job window and kept alive by it until the worker is
    // destroyed.
    void SetTypeList(const char* const* typeList, int typeCount);
    void SetErrorCaption(std::wstring caption);
    void SetErrorText(std::wstring text);
    // Where file information is read and applied; the system's unless a test says otherwise.
    void SetFileAccess(FileAccess& files);
    // What the job has learned about its volumes, shared by all its workers so that each volume
    // is looked at once per job. Without it the worker learns for itself.
    void SetVolumeRules(std::shared_ptr<VolumeRules> rules);
    // A backup: the job's versions tree, where every copy it replaces is moved, and which makes
    // room when the enclosure is full. Without it a replaced copy is not kept.
    void SetEarlierVersions(std::shared_ptr<EarlierVersions> versions);
    // A restore: each host file it replaces is moved aside under a name with `stamp` (the job's
    // start, "2026-12-11 0148") and then offered to `bin`. Without it a host file is replaced.
    void SetRestoreAside(std::wstring stamp, RecycleBin& bin);
    // A restore into another folder than the one the Backup tree names: every file below the
    // root goes to `folder` (ending with a backslash) + its path below the root.
    void SetRestoreTarget(std::wstring folder);
    // Asked, in a restore's copy pass, for each file about to be written: true refuses it
    // (CopyDestinationRefused), and nothing is written there.
    using DestinationGuard = std::function<bool(const std::wstring& destination)>;
    void SetDestinationGuard(DestinationGuard guard);

    // Control.
    void Start();
    void Pause(); // the walk holds before its next entry, the copy within one block
    void Resume();
    void Cancel();    // also wakes a paused worker; the walk stops at its next check
    void Terminate(); // the owner's request before destruction; the walk does not look at it

    // Queries.
    bool IsFinished() const { return finished_.load(); }
    int CurrentPercent() const { return CopyPercent.load(); }
    std::wstring SourcePath() const;      // the file entry being handled
    std::wstring DestinationPath() const; // where the last wanted file maps to
    std::uint64_t FileSize() const { return fileSize_.load(); }
    // The size of the file whose copy is under way (or has ended and not yet been reported to
    // the after-file hook), 0 while none is: the walk passing files it does not copy, a file
    // that failed before its copy began. The part of a file done, CurrentPercent of it, is only
    // that of this one.
    std::uint64_t CopyingSize() const { return copyingSize_.load(); }
    std::uint64_t FilesFound() const { return filesFound_.load(); }
    // Links below the root of a backup (folder links, file symbolic links) that the walk left
    // out instead of following them. A restore reports each link it meets instead.
    std::uint64_t LinksSkipped() const { return linksSkipped_.load(); }
    std::int32_t LastResult() const { return lastResult_.load(); }
    bool Terminated() const { return terminated_.load(); }
    // Restore: host files replaced and sent to the Recycle Bin, or kept beside under their
    // moved-aside names.
    std::uint32_t RecycledFiles() const { return recycled_.load(); }
    std::uint32_t KeptBesideFiles() const { return keptBeside_.load(); }
    // Scan pass: wanted files that already had a copy, and those of them whose content looks
    // changed since (size or last-write time; ContentLooksChanged).
    std::uint32_t FilesWithCopy() const { return filesWithCopy_.load(); }
    std::uint32_t FilesChangedSinceCopy() const { return filesChanged_.load(); }
    // The worker's thread, signalled when it has ended (just after IsFinished became true): an
    // owner can wait for the end together with its window messages instead of polling.
    HANDLE ThreadHandle() const { return thread_.Get(); }

private:
    static DWORD WINAPI ThreadMain(void* self);
    void Execute();
    [[noreturn]] void FatalError() const;

    // The walk, on the worker's thread (FolderScan.cpp).
    void ScanFolder(const std::wstring& folder);
    bool IsDestinationTreePath(const std::wstring& folder) const;
    bool IsDestinationTree(const std::wstring& folder) const;
    void ListFolder(const std::wstring& folder);
    void SetUpFolderChains();
    void LeaveOutLink(const std::wstring& path);
    void ReportLink(const std::wstring& source, const std::wstring& link);
    void ReportLine(const std::wstring& source, const std::wstring& destination, int code);
    int PrepareDestinationFolder(const std::wstring& destination);
    bool DestinationEntryIsLink(const std::wstring& destination) const;
    void ReportUnlistableFolder(const std::wstring& folder);
    bool RootLiesInsideDestinationTree() const;
    void ReportFolder(const std::wstring& folder, int code);
    void ReportNameClash(const std::wstring& folder, const WIN32_FIND_DATAW& entry);
    bool IsShortNameAlias(const std::wstring& destination) const;
    void TidyLeftover(const std::wstring& folder, const std::wstring& name,
                      const std::wstring& sourceFolder);
    void TidyDestinationLeftovers(const std::wstring& folder);
    bool HandleFile(const std::wstring& folder, const WIN32_FIND_DATAW& entry);
    bool StillUnchanged(const std::wstring& source, const FileInfo& copy);
    bool MatchFileType(const std::wstring& path) const;
    std::wstring MapDestination(const std::wstring& source) const;
    bool Refused(const std::wstring& destination) const;
    std::wstring MakeDestinationPath(const std::wstring& source); // also publishes it
    void WaitWhilePaused() const;
    void SetSourcePath(const std::wstring& path);
    void LearnVolumes();
    void ReportUntrustedTimes();
    int PrepareVersionFolder(const std::wstring& destination, bool hasCopy);
    std::wstring FreeAsideName(const std::wstring& destination) const;
    void PutAside(const CopyPlan& plan);

    // Set up before Start, read by the worker only.
    std::wstring rootFolder_;
    std::u16string deviceRoot16_;
    std::wstring errorCaption_;
    std::wstring errorText_;
    FileHook onBeforeFile_;
    FileHook onAfterFile_;
    const char* const* typeList_ = nullptr;
    int typeCount_ = 0;
    bool backupDirection_ = true;
    bool scanOnly_ = false;
    FileAccess* files_ = &SystemFileAccess();
    std::shared_ptr<VolumeRules> volumeRules_;
    std::shared_ptr<EarlierVersions> earlierVersions_;
    std::wstring restoreStamp_;
    RecycleBin* recycleBin_ = nullptr;
    std::wstring restoreTarget_;
    DestinationGuard destinationGuard_;

    // The walk's own, on the worker's thread. The folders it reads and the folders it writes
    // into, each from the root it trusts down, opened without following links: a backup trusts
    // the host folder the user chose and the enclosure's Backup folder alone; a restore trusts
    // the Backup folder alone and the host folder it restores into.
    std::optional<FolderChain> sourceFolders_;
    std::optional<FolderChain> targetFolders_;
    std::optional<FolderChain> versionFolders_; // a backup's versions tree, when it keeps one
    // The backup's destination tree, which the walk never enters.
    std::optional<FolderIdentity> destinationTree_;
    std::wstring destinationTreePath_; // "E:\Backup\" in a backup
    // How closely a copy can match its source between this walk's two volumes, and the largest
    // file the destination's volume holds.
    VolumeTraits compareRule_;
    std::uint64_t destinationLargestFile_ = UINT64_MAX;
    // The roots of the walk's volumes that give back other last-write times than the ones set.
    std::vector<std::wstring> untrustedTimes_;
    // The destination's volume, and whether its files can have named streams.
    std::wstring destinationVolume_;
    bool destinationKeepsStreams_ = true;

    // Published to the owner.
    mutable CRITICAL_SECTION textLock_;
    std::wstring sourcePath_;
    std::wstring destinationPath_;
    std::atomic<std::uint64_t> fileSize_{0};
    std::atomic<std::uint64_t> copyingSize_{0};
    std::atomic<std::uint64_t> filesFound_{0};
    std::atomic<std::uint64_t> linksSkipped_{0};
    std::atomic<std::int32_t> lastResult_{0};
    std::atomic<std::uint32_t> recycled_{0};
    std::atomic<std::uint32_t> keptBeside_{0};
    std::atomic<std::uint32_t> filesWithCopy_{0};
    std::atomic<std::uint32_t> filesChanged_{0};
    std::atomic<bool> finished_{false};
    std::atomic<bool> cancelRequested_{false};
    std::atomic<bool> terminated_{false};

    // The pause event exists while the thread body runs; the owner may pause before that, so
    // its wish is kept and the event is created in that state.
    // `pauseWanted_` mirrors the event for the walk's quick look: waiting on an event costs a
    // trip to the kernel (to the wine server under Wine) for every entry, so the walk waits only
    // when a pause has been asked for.
    CRITICAL_SECTION pauseLock_;
    win::Handle pauseEvent_;
    std::atomic<bool> pauseWanted_{false};

    win::Handle thread_;
    bool started_ = false;
    std::atomic<bool> abandoned_{false};
};

} // namespace snapkeep

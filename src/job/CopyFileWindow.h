#pragma once
// TCopyFileForm: the window in which a backup or a restore runs. It is created hidden at
// start-up and reused; the Backup and Restore commands set its direction and show it modally,
// and the showing runs the whole job: the type list, the scan pass (speed probe, then one
// counting worker per ticked folder), the copy pass (one copying worker per ticked folder), with
// Pause, Restart and Cancel on the way and Close once it has stopped. A job that ran to its end
// closes the window by itself three seconds later.
//
// Threads: everything here runs on the user-interface thread, except the two after-file hooks,
// which run on the worker's thread and touch only the job's counters and failure list. The job
// runs in nested loops that wait for the worker's end or a window message, handle the pending
// messages and look at the worker again, so the timers, the buttons and the main window's own
// timer and device-change handling go on during a job.
#include "job/FailureList.h"
#include "job/JobHost.h"
#include "job/JobHistory.h"
#include "job/JobProgress.h"
#include "job/ProtectedFolders.h"
#include "job/TypeList.h"
#include "store/EnclosureIndex.h"
#include "store/LanguageFile.h"
#include "ui/Button.h"
#include "ui/Font.h"
#include "ui/Gauge.h"
#include "ui/ListBox.h"
#include "ui/Panel.h"
#include "ui/Static.h"
#include "ui/Timer.h"
#include "ui/Window.h"
#include "worker/ScanCopyFilesThread.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace snapkeep {

class TCopyFileForm : public ui::Window {
public:
    // `host` is the window whose folders, drive and choices the jobs work on; it outlives this.
    explicit TCopyFileForm(JobHost& host);
    ~TCopyFileForm() override;

    // Builds the hidden window and its widgets; false when the window cannot be created.
    bool Create();
    // Gives the panel, the labels, the list and the buttons their "Times New Roman" face.
    void TntFormCreate();

    // Shows the window modally and runs one job in it; returns when the window has closed. The
    // job works on the volume selected now, whatever the drive box shows later.
    void ShowJob();
    // Whether the window is on screen, a job running in it or waiting for Close.
    bool Showing() const { return ::IsWindowVisible(hwnd_) != FALSE; }
    // Whether a pass of a job is running now.
    bool JobRunning() const { return jobRunning_; }
    // The program is ending during a job: cancel the running worker and wait until it has
    // stopped, so that the file it was copying is cleaned up and the earlier copy kept. The job
    // then stops where it stands: no further folder is started, and its history record says why.
    void StopForExit(JobEnd reason = JobEnd::ProgramClosed);

    // Set by the command that opens the window: true for a backup, false for a restore.
    bool BackupDirection = true;
    // Also set by the command: whether the enclosure's button started the job, and the history
    // file the job's record is appended to (none when empty).
    bool StartedByButton = false;
    std::wstring HistoryPath;
    // Also set by the command, for one job: a restore of this device row alone, ticked or not
    // (-1: the ticked rows), into `RestoreTarget` (ending with a backslash) instead of the place
    // its path in the Backup tree names (empty: that place).
    int OnlyRow = -1;
    std::wstring RestoreTarget;
    // The record of the last job, once it has ended; none before the first.
    std::optional<JobRecord> LastJob;
    // The history's texts in the interface language, numbers and sizes in the user's formats.
    HistoryFormat HistoryTextFormat() const;

    // The job (run by the showing).
    void FormActivate();
    bool RunScanPass();
    bool ConfirmManyChanges();
    bool RunCopyPass();
    bool RunScanWorker();
    bool RunCopyWorker();

    // The plan.
    void BuildTypeList();
    void MakeJobRoots(int row);
    bool MeasureDiskSpeed();

    // Buttons.
    void btnPauseClick();
    void btnRestartClick();
    void btnCancelClick();
    void btnCloseClick();

    // Progress: the hooks (worker thread) and the timers (user-interface thread).
    void CountScannedFile(TScanCopyFiles& worker);
    void RecordCopiedFile(TScanCopyFiles& worker);
    void TimerSpentTimer();
    void TimerScanFileTimer();
    void TimerCopyFileTimer();

    // Widgets.
    ui::Panel Panel;
    ui::Label LabelStatus, LabelTotalFiles, LabelFinishedFiles, LabelTimeSpent, LabelTimeLeft;
    ui::Gauge CGaugeTotal, ProgressBarSingle;
    ui::ListBox ListBoxFiles;
    ui::Button btnPause, btnRestart, btnCancel, btnClose;
    ui::Timer TimerSpent, TimerScanFile, TimerCopyFile;

    // Job state.
    TypeList Types;
    std::wstring DriveRoot; // the enclosure's volume, taken once when the job starts
    std::wstring SourceRoot;
    std::wstring DestinationRoot;
    JobProgress Progress;
    int ElapsedSeconds = 0;
    bool CancelPressed = false;
    std::unique_ptr<TScanCopyFiles> ScanWorker;
    std::unique_ptr<TScanCopyFiles> CopyWorker;
    std::unique_ptr<FailureList> FailedFiles;
    int WidestLine = 0; // never reset: the list keeps scrolling as far as its widest line ever

    // Runs on every worker once it is set up, just before it starts (`scanPass` tells which).
    // Tests hold a worker at a file of their choosing through it; the program leaves it empty.
    std::function<void(TScanCopyFiles& worker, bool scanPass)> OnWorkerReady;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateWidgets();
    const std::wstring& TextOf(Text key) const;
    static std::wstring FormatCount(std::uint64_t value);
    JobHost::FolderList JobFolders();
    bool RowTaken(JobHost::FolderList folders, int row) const;
    bool RootPresent() const;
    void ReportMissingRoot();
    void ShowNewFailureLines();
    // The enclosure's index: a backup's folder is entered when its copy pass begins, and its
    // end noted when the pass ends without a cancel.
    void IndexFolder(bool ended);
    bool JobCanStart();
    void ShowCopyWidgets(bool visible);
    void ShowOnlyClose();
    std::unique_ptr<TScanCopyFiles> SetUpWorker(bool scanPass);
    void WaitUntilFinished(const TScanCopyFiles& worker);
    void PostClose();
    void Idle(const TScanCopyFiles& worker, DWORD milliseconds);
    // The job's history record: begun with the job, one entry per folder of the copy pass,
    // ended and appended to the history file once, however the job ends.
    void BeginJobRecord();
    void NoteFolderStart();
    void NoteFolderEnd();
    void EndJobRecord(JobEnd end);
    void ReportDroppedStreams();
    static void SetPeriod(ui::Timer& timer, int milliseconds);
    static void ShowText(ui::Label& label, const std::wstring& text);

    bool Stopping() const;

    JobHost& host_;
    ui::Font windowFont_{L"MS Sans Serif", 8};
    std::unique_ptr<ui::Font> widgetFont_;
    FailureTexts failureTexts_;
    std::shared_ptr<VolumeRules> volumeRules_; // of the running job, shared by its workers
    // A backup's versions tree, where its workers keep the copies they replace.
    std::shared_ptr<EarlierVersions> earlierVersions_;
    LocalStamp jobStart_;             // the running job's local start time
    std::uint32_t filesWithCopy_ = 0; // found by the scan pass: files that had a copy,
    std::uint32_t filesChanged_ = 0;  // and those of them whose content changed since
    std::shared_ptr<ProtectedFolders> protectedFolders_; // of a running restore
    IndexEntry indexEntry_;                              // of the backup's folder being copied
    SIZE size_{};
    bool fixedSize_ = false;
    bool jobRunning_ = false;
    bool closePosted_ = false;
    bool stopForExit_ = false; // the program ends: the loops start nothing more
    JobRecord record_;
    bool recordOpen_ = false;
    bool folderOpen_ = false;
    JobEnd stopReason_ = JobEnd::NothingToDo; // how a pass that stopped without a cancel ended
    std::uint32_t folderFilesBefore_ = 0;
    std::uint64_t folderBytesBefore_ = 0;
    size_t folderFailuresBefore_ = 0;
    std::uint64_t folderLinksSkipped_ = 0; // by the copy pass's worker of the folder
};

// The one job window of the process, created after the main window.
extern TCopyFileForm* CopyFileForm;

} // namespace snapkeep

// The job itself: the type list, the two passes over the ticked folders, one worker per folder,
// and the loops that wait for each worker while the window stays alive.
#include "job/CopyFileWindow.h"

#include "job/ChangeAlarm.h"
#include "job/DiskSpeed.h"
#include "job/JobNotice.h"
#include "job/EnclosureIndexFile.h"
#include "job/JobRoots.h"
#include "job/OthersText.h"
#include "ui/Application.h"
#include "ui/Dialogs.h"
#include "win/ScopedFlag.h"
#include "win/Text.h"

namespace snapkeep {

namespace {

// The longest the loops go without looking at the worker, running or told to stop. They look at
// once when a window message arrives or the worker's thread ends, so these only bound the wait.
constexpr DWORD kPollMs = 100;
constexpr DWORD kStopPollMs = 10;
// How long a finished job stays on screen before the window closes itself.
constexpr DWORD kFinishedShowMs = 3000;

} // namespace

const std::wstring& TCopyFileForm::TextOf(Text key) const {
    return host_.TextOf(key);
}

bool TCopyFileForm::Stopping() const {
    // The program is ending (its message loop was told to quit, or it closes mid-job): the
    // loops must not wait on, since a quit waiting in the queue would wake them at once, again
    // and again.
    return stopForExit_ || ui::Application::Instance().Terminated();
}

void TCopyFileForm::Idle(const TScanCopyFiles& worker, DWORD milliseconds) {
    // Waiting for a message or the worker's end, rather than sleeping 1 ms and then asking for
    // messages: under Wine each look at the queue is a trip to the wine server, which the worker
    // needs for every file it copies, and a thousand looks a second slowed its copy down by
    // half. A click, a timer tick or the worker's end is still handled at once.
    HANDLE thread = worker.ThreadHandle();
    if (Stopping()) {
        // Nothing is handled any more: the quit stays queued for the loop that owns it.
        if (thread)
            ::WaitForSingleObject(thread, milliseconds);
        else
            ::Sleep(milliseconds);
        return;
    }
    const DWORD woken = ::MsgWaitForMultipleObjectsEx(
        thread ? 1 : 0, thread ? &thread : nullptr, milliseconds, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woken != WAIT_OBJECT_0)
        ui::Application::Instance().ProcessMessages();
}

void TCopyFileForm::FormActivate() {
    win::ScopedFlag running(jobRunning_);
    CancelPressed = false;
    closePosted_ = false;
    FailedFiles.reset();
    ScanWorker.reset();
    CopyWorker.reset();
    TimerSpent.SetEnabled(false);
    TimerScanFile.SetEnabled(false);
    TimerCopyFile.SetEnabled(false);
    ui::Application::Instance().ProcessMessages();

    // The failure texts, read once: the worker's hooks must not reach into the main window
    // from their thread.
    failureTexts_ = {win::ToU16(TextOf(Text::FailChar)),
                     win::ToU16(TextOf(Text::ErrcodeDestinationPathTooLong)),
                     win::ToU16(TextOf(Text::ErrcodeDestinationFileCreatedFail)),
                     win::ToU16(TextOf(Text::ErrcodeSourceFileNotFound)),
                     win::ToU16(TextOf(Text::ErrcodeFileTooLargeForFat)),
                     win::ToU16(TextOf(Text::ErrcodeNameClash)),
                     win::ToU16(TextOf(Text::ErrcodeNewCopyKept)),
                     win::ToU16(TextOf(Text::ErrcodeRootInsideBackup)),
                     win::ToU16(TextOf(Text::ErrcodeSourceInUse)),
                     win::ToU16(TextOf(Text::ErrcodeSourceChanged)),
                     win::ToU16(TextOf(Text::ErrcodeTimesUntrusted)),
                     win::ToU16(TextOf(Text::ErrcodeStreamsNotKept)),
                     win::ToU16(TextOf(Text::ErrcodeLinkNotFollowed)),
                     win::ToU16(TextOf(Text::ErrcodeNoRoomToKeepEarlier)),
                     win::ToU16(TextOf(Text::ErrcodeLeftoverKept)),

                     win::ToU16(TextOf(Text::ErrcodeRootMissing)),
                     win::ToU16(TextOf(Text::ErrcodeDestinationRefused))};

    BeginJobRecord();
    BuildTypeList();
    // What each volume keeps of times and attributes is learned afresh for every job: the
    // enclosure may have been formatted, or another one plugged in, since the last.
    volumeRules_ = std::make_shared<VolumeRules>();
    // A backup keeps every copy it replaces in a versions folder named by the job's start.
    earlierVersions_ =
        BackupDirection ? std::make_shared<EarlierVersions>(DriveRoot, jobStart_) : nullptr;
    filesWithCopy_ = 0;
    filesChanged_ = 0;
    // Rows of a restore can come from a disk this PC did not write: the places it must never
    // write to are learned once per job.
    protectedFolders_ = BackupDirection ? nullptr : std::make_shared<ProtectedFolders>();
    if (!RunScanPass() || !ConfirmManyChanges() || !RunCopyPass()) {
        EndJobRecord(closePosted_ ? JobEnd::Cancelled : stopReason_);
        // A pass that stopped at a guard before any job had run would leave the design state,
        // in which Cancel covers Close: the window must always be closable. A job stopped
        // because the program ends closes at once: nobody is left to click.
        if (closePosted_)
            return;
        if (Stopping())
            PostClose();
        else
            ShowOnlyClose();
        return;
    }
    if (Stopping()) {
        PostClose();
        return;
    }
    EndJobRecord(JobEnd::Finished);
    ui::Application::Instance().ProcessMessages();
    // The window takes no messages during the pause: the whole finished state is painted now,
    // or whatever was not yet drawn would stay so until the window closes.
    ::RedrawWindow(hwnd_, nullptr, nullptr,
                   RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    ::Sleep(kFinishedShowMs);
    // Clicks and keys made during the pause were meant for this window. Handled once it has
    // closed, they would land on whatever lies behind it: the main window's Backup button, say.
    ui::Application::Instance().DiscardPendingInput();
    PostClose();
}

void TCopyFileForm::BuildTypeList() {
    const FileTypeChoice choice = host_.ChosenFileTypes();
    std::string others;
    if (choice.checked[static_cast<size_t>(FileType::Others)] && !choice.checked[0]) {
        // At most 127 bytes: a double-byte code page can need more for the 127 characters the
        // command accepts, and the cut must fall between two characters.
        others = FitOthersText(
            win::ToU16(choice.others), kOthersTextBytes,
            [](std::u16string_view text) { return win::WideToAnsi(win::ToWide(text)); });
    }
    Types.Build(choice.checked, others);
}

JobHost::FolderList TCopyFileForm::JobFolders() {
    if (BackupDirection) {
        Panel.SetCaption(TextOf(Text::PanelBackupHostToUSB));
        return JobHost::FolderList::Host;
    }
    Panel.SetCaption(TextOf(Text::PanelRestoreUSBToHost));
    return JobHost::FolderList::Device;
}

bool TCopyFileForm::JobCanStart() {
    return !DriveRoot.empty() && !Stopping();
}

bool TCopyFileForm::RowTaken(JobHost::FolderList folders, int row) const {
    if (OnlyRow >= 0)
        return row == OnlyRow;
    return host_.FolderTicked(folders, row);
}

void TCopyFileForm::MakeJobRoots(int row) {
    const JobHost::FolderList folders =
        BackupDirection ? JobHost::FolderList::Host : JobHost::FolderList::Device;
    std::u16string path = win::ToU16(host_.FolderPath(folders, row));
    if (!BackupDirection) {
        // A restore reads the enclosure's volume of this job and nothing else: the row's folder
        // below its root, on that volume, whatever letter the row was saved with. A row that
        // names no folder of the Backup tree reads nothing (its folder is "missing").
        const std::optional<std::u16string> below = RowBelowRoot(path);
        path = below ? win::ToU16(DriveRoot) + u"Backup\\" + below->substr(7) : std::u16string();
    }
    const JobRoots roots = snapkeep::MakeJobRoots(BackupDirection, path, win::ToU16(DriveRoot));
    SourceRoot = win::ToWide(roots.source);
    DestinationRoot = win::ToWide(roots.destination);
    if (!BackupDirection && !RestoreTarget.empty() && !path.empty()) {
        // Into the chosen folder, under the name of the row's last folder.
        const std::u16string_view folder(path.data(), path.size() - 1);
        DestinationRoot =
            RestoreTarget + win::ToWide(folder.substr(folder.find_last_of(u'\\') + 1)) + L"\\";
    }
}

bool TCopyFileForm::RootPresent() const {
    if (SourceRoot.empty())
        return false;
    const DWORD attributes = ::GetFileAttributesW(SourceRoot.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void TCopyFileForm::ReportMissingRoot() {
    // A folder that is not there (an unplugged drive, a folder renamed) is a failure the user
    // must see, not a job that copied nothing: one line, in the list, the history and the
    // notice's count.
    const std::u16string row = win::ToU16(SourceRoot.empty() ? DestinationRoot : SourceRoot);
    FailedFiles->Append(MakeFailureLine(CopyRootMissing, row, u"", failureTexts_));
    ShowNewFailureLines();
}

void TCopyFileForm::IndexFolder(bool ended) {
    if (!ended) {
        const std::optional<std::u16string> below = RowBelowRoot(win::ToU16(DestinationRoot));
        if (!below) {
            indexEntry_ = {};
            return;
        }
        indexEntry_ = {*below, win::ToU16(SourceRoot), ComputerName(), IndexTimeNow(), u""};
    } else {
        if (indexEntry_.folder.empty())
            return;
        indexEntry_.ended = IndexTimeNow();
    }
    // An index that cannot be written (a full or write-protected disk) costs the backup
    // nothing: the folder's copy shows up by its drive-letter folder or its saved row.
    PutEnclosureIndexEntry(DriveRoot, indexEntry_);
}

bool TCopyFileForm::MeasureDiskSpeed() {
    std::optional<DiskSpeed> speed = snapkeep::MeasureDiskSpeed(DriveRoot);
    // A restore only reads the enclosure: one that cannot be written (write-protected, full)
    // still restores, with the estimates of a typical disk. A backup could write nothing there.
    if (!speed && !BackupDirection)
        speed = kTypicalUsb2Disk;
    if (!speed)
        return false;
    Progress.SetSpeed(speed->smallFileMs, speed->megabyteMs);
    return true;
}

void TCopyFileForm::ShowCopyWidgets(bool visible) {
    for (ui::Control* c :
         std::initializer_list<ui::Control*>{&LabelFinishedFiles, &LabelTimeSpent, &LabelTimeLeft,
                                             &CGaugeTotal, &ProgressBarSingle, &ListBoxFiles})
        c->SetVisible(visible);
}

void TCopyFileForm::ShowOnlyClose() {
    btnPause.SetVisible(false);
    btnRestart.SetVisible(false);
    btnCancel.SetVisible(false);
    btnClose.SetVisible(true);
}

bool TCopyFileForm::RunScanPass() {
    const JobHost::FolderList folders = JobFolders();
    const int rows = host_.FolderCount(folders);
    if (rows == 0 || !JobCanStart())
        return false;
    ShowText(LabelStatus, TextOf(Text::LabelStatusScanning) + L" ...");
    ShowText(LabelTotalFiles, TextOf(Text::LabelTotalFiles) + L": 0");
    ShowCopyWidgets(false);
    btnCancel.SetVisible(true);
    btnClose.SetVisible(false);
    btnPause.SetVisible(false);
    btnRestart.SetVisible(false);
    TimerScanFile.SetEnabled(true);
    ui::Application::Instance().ProcessMessages();

    Progress.StartScan();
    bool result = true;
    if (!MeasureDiskSpeed()) {
        stopReason_ = JobEnd::ProbeFailed;
        ui::ErrorBox(TextOf(Text::DiskPerfBuildFail) + L".", TextOf(Text::ErrTitle));
        result = false;
    } else {
        // The rows are looked up again for each folder: a list that shrank meanwhile ends the
        // pass where it ends.
        for (int row = 0; row < rows && row < host_.FolderCount(folders); ++row) {
            if (!RowTaken(folders, row))
                continue;
            MakeJobRoots(row);
            if (!RootPresent()) // reported in the copy pass
                continue;
            if (!RunScanWorker() || Stopping()) {
                result = false;
                break;
            }
        }
    }
    btnCancel.SetVisible(false);
    btnClose.SetVisible(true);
    TimerScanFile.SetEnabled(false);
    return result;
}

// A backup whose scan found most of the files backed up before changed asks before it copies
// anything: that is what ransomware that encrypted the user's files looks like, and a backup
// would then fill the enclosure with encrypted copies. The earlier copies are kept either way;
// No ends the job without touching the enclosure.
bool TCopyFileForm::ConfirmManyChanges() {
    if (!BackupDirection || !TooManyBackedUpFilesChanged(filesWithCopy_, filesChanged_))
        return true;
    const std::u16string question =
        FillIn(win::ToU16(TextOf(Text::QuestionManyFilesChanged)),
               win::ToU16(FormatCount(filesChanged_)), win::ToU16(FormatCount(filesWithCopy_)));
    if (ui::QuestionBox(win::ToWide(question) + L"?", TextOf(Text::QuestionTitle)))
        return !Stopping();
    stopReason_ = JobEnd::ManyFilesChanged;
    return false;
}

bool TCopyFileForm::RunScanWorker() {
    ScanWorker = SetUpWorker(true);
    ScanWorker->Start();
    // The figures show at once, not a timer period later: a scan shorter than the period would
    // otherwise never show its count.
    TimerScanFileTimer();
    bool confirmed = false;
    for (;;) {
        if (Stopping()) {
            ScanWorker->Cancel();
            WaitUntilFinished(*ScanWorker);
            confirmed = true;
            break;
        }
        if (CancelPressed) {
            ScanWorker->Pause();
            if (ui::QuestionBox(TextOf(Text::CancelScanning) + L"?", TextOf(Text::QuestionTitle))) {
                ScanWorker->Cancel();
                WaitUntilFinished(*ScanWorker);
                confirmed = true;
                break;
            }
            CancelPressed = false;
            ScanWorker->Resume();
        }
        if (ScanWorker->IsFinished())
            break;
        Idle(*ScanWorker, kPollMs);
    }
    TimerScanFileTimer(); // the count includes the folder's last files
    ScanWorker->Terminate();
    filesWithCopy_ += ScanWorker->FilesWithCopy();
    filesChanged_ += ScanWorker->FilesChangedSinceCopy();
    ScanWorker.reset();
    if (CancelPressed) {
        CancelPressed = false;
        PostClose();
    }
    return !confirmed;
}

bool TCopyFileForm::RunCopyPass() {
    const JobHost::FolderList folders = JobFolders();
    const int rows = host_.FolderCount(folders);
    if (rows == 0 || !JobCanStart())
        return false;
    ShowCopyWidgets(true);
    ListBoxFiles.Clear();
    CGaugeTotal.SetPosition(0);
    ProgressBarSingle.SetPosition(0);
    ShowText(LabelStatus, L"");
    ShowText(LabelTimeSpent, TextOf(Text::LabelTimeSpent) + L": 00:00:00");
    ShowText(LabelTimeLeft, TextOf(Text::LabelTimeLeft) + L": 00:00:00");
    ShowText(LabelFinishedFiles, TextOf(Text::CopyFileFormFinFiles) + L" : 0");
    btnCancel.SetVisible(true);
    btnPause.SetVisible(true);
    btnClose.SetVisible(false);
    btnRestart.SetVisible(false);
    ui::Application::Instance().ProcessMessages();

    ElapsedSeconds = 0;
    Progress.StartCopy();
    TimerSpentTimer();
    TimerSpent.SetEnabled(true);
    FailedFiles = std::make_unique<FailureList>();

    bool result = true;
    for (int row = 0; row < rows && row < host_.FolderCount(folders); ++row) {
        if (!RowTaken(folders, row))
            continue;
        MakeJobRoots(row);
        const bool present = RootPresent();
        // The row a later restore walks, and the enclosure's index entry that lets any PC find
        // it. A folder that maps nowhere has no such place; one that is not there is not taken.
        const bool indexed = BackupDirection && present && !DestinationRoot.empty();
        if (indexed) {
            host_.AddDeviceFolder(DestinationRoot);
            IndexFolder(false);
        }
        NoteFolderStart();
        bool ran = true;
        if (present)
            ran = RunCopyWorker();
        else
            ReportMissingRoot();
        if (indexed && ran && !Stopping())
            IndexFolder(true);
        NoteFolderEnd();
        if (!ran || Stopping()) {
            result = false;
            break;
        }
    }
    if (result)
        ReportDroppedStreams();
    FailedFiles.reset();

    btnCancel.SetVisible(false);
    btnPause.SetVisible(false);
    btnRestart.SetVisible(false);
    btnClose.SetVisible(true);
    TimerSpent.SetEnabled(false);
    ShowText(LabelTimeLeft, TextOf(Text::LabelTimeLeft) + L": 00:00:00");
    ShowText(LabelStatus, TextOf(BackupDirection ? Text::CopyFileFormLabelStatusFinBackup
                                                 : Text::CopyFileFormLabelStatusFinRestore) +
                              L".");
    return result;
}

bool TCopyFileForm::RunCopyWorker() {
    CopyWorker = SetUpWorker(false);
    // A Pause handled after the previous folder's worker had finished, and before the loop saw
    // it, found no worker to hold: this one starts held, as the window says.
    const bool paused = btnRestart.Visible();
    if (paused)
        CopyWorker->Pause();
    CopyWorker->Start();
    if (!paused)
        TimerCopyFile.SetEnabled(true);
    bool confirmed = false;
    for (;;) {
        if (Stopping()) {
            CopyWorker->Cancel();
            WaitUntilFinished(*CopyWorker);
            confirmed = true;
            break;
        }
        if (CancelPressed) {
            CopyWorker->Pause();
            TimerSpent.SetEnabled(false);
            TimerCopyFile.SetEnabled(false);
            if (ui::QuestionBox(TextOf(Text::CancelCopying) + L"?", TextOf(Text::QuestionTitle))) {
                CopyWorker->Cancel();
                WaitUntilFinished(*CopyWorker);
                confirmed = true;
                CancelPressed = false;
                PostClose();
                break;
            }
            CancelPressed = false;
            if (btnPause.Visible()) {
                TimerSpent.SetEnabled(true);
                TimerCopyFile.SetEnabled(true);
                CopyWorker->Resume();
            }
        }
        if (CopyWorker->IsFinished()) {
            TimerCopyFile.SetEnabled(false);
            TimerCopyFileTimer(); // the counts, the gauge and the list include the last file
            break;
        }
        Idle(*CopyWorker, kPollMs);
    }
    folderLinksSkipped_ = CopyWorker->LinksSkipped();
    CopyWorker->Terminate();
    record_.recycled += CopyWorker->RecycledFiles();
    record_.keptBeside += CopyWorker->KeptBesideFiles();
    CopyWorker.reset();
    return !confirmed;
}

std::unique_ptr<TScanCopyFiles> TCopyFileForm::SetUpWorker(bool scanPass) {
    auto worker = std::make_unique<TScanCopyFiles>(true);
    worker->SetRootFolder(SourceRoot);
    worker->SetScanOnly(scanPass);
    worker->SetOnBeforeFile(nullptr);
    if (scanPass)
        worker->SetOnAfterFile([this](TScanCopyFiles& w) { CountScannedFile(w); });
    else
        worker->SetOnAfterFile([this](TScanCopyFiles& w) { RecordCopiedFile(w); });
    worker->SetBackupDirection(BackupDirection);
    worker->SetDeviceRoot(win::WideToAnsi(DriveRoot));
    worker->SetTypeList(Types.Entries(), Types.Count());
    worker->SetVolumeRules(volumeRules_);
    // What becomes of the files the copy replaces: a backup's earlier copies go to the job's
    // versions folder; a restore moves the user's files aside and offers them to the Recycle Bin.
    if (!scanPass && BackupDirection && earlierVersions_)
        worker->SetEarlierVersions(earlierVersions_);
    else if (!scanPass && !BackupDirection)
        worker->SetRestoreAside(win::ToWide(RestoreStampText(jobStart_)), SystemRecycleBin());
    if (!BackupDirection) {
        if (!RestoreTarget.empty())
            worker->SetRestoreTarget(DestinationRoot);
        if (std::shared_ptr<ProtectedFolders> guard = protectedFolders_)
            worker->SetDestinationGuard(
                [guard](const std::wstring& destination) { return guard->Refuses(destination); });
    }
    worker->SetErrorCaption(TextOf(Text::ErrTitle));
    worker->SetErrorText(TextOf(Text::ProgramFatalErr));
    if (OnWorkerReady)
        OnWorkerReady(*worker, scanPass);
    return worker;
}

void TCopyFileForm::WaitUntilFinished(const TScanCopyFiles& worker) {
    while (!worker.IsFinished())
        Idle(worker, kStopPollMs);
}

void TCopyFileForm::StopForExit(JobEnd reason) {
    // No messages from now on: the program ends right after, and nothing may start meanwhile.
    stopForExit_ = true;
    for (TScanCopyFiles* worker : {ScanWorker.get(), CopyWorker.get()}) {
        if (!worker)
            continue;
        worker->Cancel();
        WaitUntilFinished(*worker);
    }
    if (jobRunning_)
        EndJobRecord(reason);
}

} // namespace snapkeep

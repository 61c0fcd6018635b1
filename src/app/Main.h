#pragma once
// The main window: three pages (the folder lists with the Backup and Restore commands, the
// settings, About), the tray icon, and the state that lives as long as the program.
#include "app/DeviceFolders.h"
#include "app/FileTypeRules.h"
#include "device/ButtonPressGate.h"
#include "device/DeviceServices.h"
#include "device/DriveRescan.h"
#include "device/ErrorNotifier.h"
#include "job/JobHistory.h"
#include "job/EnclosureIndexFile.h"
#include "job/JobHost.h"
#include "store/FolderListFile.h"
#include "store/LanguageFile.h"
#include "store/ProductConfig.h"
#include "ui/Button.h"
#include "ui/ComboBox.h"
#include "ui/Font.h"
#include "ui/ListView.h"
#include "ui/PageControl.h"
#include "ui/Panel.h"
#include "ui/PopupMenu.h"
#include "ui/Static.h"
#include "ui/Timer.h"
#include "ui/TrayIcon.h"
#include "ui/Window.h"

#include <array>
#include <functional>
#include <memory>
#include <string>

namespace snapkeep {

class TMainForm : public ui::Window, public JobHost, private RescanTarget {
public:
    TMainForm();
    ~TMainForm() override;

    // Builds the window and loads the data folder "SnapData" below `dataBase` (its files are
    // never looked for anywhere else). Answers false, with the reason, when start-up must end: a
    // malformed folder-list file. The form without a folder takes the current directory (the
    // simulated program and the tests).
    bool Create(const std::wstring& dataBase, std::string& error);
    bool Create(std::string& error);
    // Runs right after Create: the single-instance rule, the fonts, the language.
    void TntFormCreate();

    // Data folder (below StartDirectory; empty paths when that is not known).
    std::wstring DataPath(const std::wstring& relative) const;
    bool LoadFolderList(const std::wstring& path, ui::ListView& list, std::string& error);
    void SaveFolderList(const std::wstring& path, const ui::ListView& list);
    void SaveFolderRows(const std::wstring& path, const std::vector<FolderRow>& rows);
    void LoadSettings(const std::wstring& path);
    void SaveSettings(const std::wstring& path);
    void ResetSettings();
    // A data file that exists but could not be read at start (another program holds it): the
    // session starts as if it were missing, the user is told once, and its bytes are kept beside
    // it before the first save over it.
    void NoteUnreadable(const std::wstring& path);
    void ReportUnreadableFiles();
    bool KeepUnreadableCopy(const std::wstring& path);

    // Settings page.
    bool NoFileTypeChecked() const { return FileTypes.NoFileTypeChecked(); }
    void ComboBoxLanguageChange();

    // Interface language: the captions and the interface text table.
    void ApplyLanguage(const std::wstring& path);
    const std::wstring& TextOf(Text key) const override {
        return textTable_[static_cast<size_t>(key)];
    }

    // Folder lists (page 1).
    void UpdateBackupButton();
    void UpdateRestoreButton();
    void btnHostAddClick();
    void btnHostDelClick();
    void ListViewHostSelectItem(int index, bool selected);
    void ListViewHostKeyUp(WORD key, unsigned modifiers);
    void ListViewHostChange();
    void ListViewDeviceChange();
    // The device list shows what the enclosure on the selected volume holds (DeviceFolders.h);
    // never rebuilt while a job runs, which reads its rows by index.
    void ShowDeviceFolders();
    // The device row's context menu: "Restore to another folder...".
    void ListViewDeviceRightClick(int row, POINT screen);
    void RestoreToAnotherFolder(int row);
    // The drive box: the user's choice is kept across rescans while it is listed.
    void ComboBoxDiskLetterChange();
    // The drive root of `path` when it lies on a drive of the enclosure, else empty.
    std::wstring EnclosureDriveOf(const std::wstring& path) const;
    // The folder dialog of the Add command; tests put their own choice here.
    std::function<std::wstring(const std::wstring& description)> ChooseFolder;

    // The Backup and Restore commands (the enclosure's button runs the Backup command too).
    bool CanStartJob();
    // How the checks of a command ended: a refusal shown in a message box matters to the
    // enclosure's button, which must not ask again while it is still held.
    enum class JobStart { Accepted, Refused, RefusedWithMessage };
    void btnBackupClick();
    void btnRestoreClick();
    // After a job: the notice from the tray icon, whose click opens the history.
    void ShowJobNotice();
    void OpenHistory();
    std::wstring HistoryPath() const { return DataPath(L"SnapData\\History.txt"); }

    // Finds the enclosure's drives again. Runs on activation and on device changes.
    bool RescanDrives();
    int RescanCount() const { return rescanCount_; }

    // The system's disks and bridges: the machine's own device services unless the program
    // (the simulated enclosure) or a test puts others here.
    void UseDevices(std::unique_ptr<DeviceServices> devices);
    DeviceServices& Devices() { return *devices_; }
    // Shows the one message of chip identification; a message box unless a test puts its own.
    void UseNotifier(std::unique_ptr<ErrorNotifier> notifier);
    ErrorNotifier& Notifier() { return *notifier_; }

    // Window events.
    void FormActivate();
    void FormClose();
    void RestoreClick();
    void CloseClick();
    void TntPopupMenu1Popup();
    void TimerGpioBtnTimer();

    // What a job reads from this window and the rows a backup adds (JobHost).
    int FolderCount(FolderList list) const override;
    bool FolderTicked(FolderList list, int row) const override;
    std::wstring FolderPath(FolderList list, int row) const override;
    void AddDeviceFolder(const std::wstring& path) override;
    std::wstring DriveRoot() const override;
    FileTypeChoice ChosenFileTypes() const override;

    // Ends the program from wherever it runs, a job's loops included: a running job's worker is
    // stopped and waited for (its unfinished file cleaned up, the earlier copy kept), the lists
    // and settings are saved, and the process ends. The job's history record gives the reason.
    [[noreturn]] void EndProgram(JobEnd reason = JobEnd::ProgramClosed);

    // Widgets: the drive rescan and the button poll reach them through MainForm, as do the
    // tests.
    ui::PageControl PageControl1;
    ui::Panel TabSheet1, TabSheet2, TabSheet3;
    ui::GroupBox GroupBox3, GroupBox4;
    ui::ListView ListViewHost, ListViewDevice;
    ui::Button btnHostAdd, btnHostDel, btnBackup, btnRestore, btnHelp;
    ui::ComboBox ComboBoxDiskLetter;
    ui::Label LabelDiskStatus;
    ui::Panel Panel2, Panel1;
    ui::GroupBox GroupBox1, GroupBox2;
    ui::CheckBox CheckBoxAllExt, CheckBoxPictureExt, CheckBoxAudioExt, CheckBoxVideoExt,
        CheckBoxDataExt, CheckBoxCompressExt, CheckBoxImageExt, CheckBoxOthersExt;
    ui::Edit edtOthersExt;
    ui::ComboBox ComboBoxLanguage;
    ui::Image Image1;
    ui::Label LabelVersion;
    ui::Timer TimerGpioBtn;
    ui::TrayIcon TrayIcon1;
    ui::PopupMenu TntPopupMenu1;

    // Long-lived state.
    ProductConfig Config; // Model, FwVer0..FwVer4, BtnGpio..., MainFormCaption
    std::wstring StartDirectory;
    std::string EnclosureDevicePath;
    CRITICAL_SECTION RescanLock{};
    std::string VersionText;
    FileTypeRules FileTypes;

    // The check box of each file type, in stored order.
    ui::CheckBox& FileTypeBox(FileType type);
    const ui::CheckBox& FileTypeBox(FileType type) const;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void CreateWidgets();
    void CreateFolderPage();
    void CreateSettingsPage();
    void CreateAboutPage();
    void CreateTray();
    void WireFolderLists();
    void WireCommands();
    void SetCaptionOf(snapkeep::Caption widget, const std::wstring& text);
    void SetFonts();
    void MakeVersionText();
    void ReadProductConfig();
    void RestoreFromTray();
    void WMDeviceChange(WPARAM event);
    bool FormCanResize(WINDOWPOS& pos);

    // What the drive rescan changes on this window.
    void ClearDriveBox() override;
    void ProcessPendingMessages() override;
    void AddDriveEntry(char letter) override;
    void SetEnclosureDevicePath(const std::string& path) override;
    void ShowRescanResult(bool found) override;

    void UseSystemDevices();

    // The checks of CanStartJob, saying whether a refusal was shown in a message box.
    JobStart CheckJobStart();
    // The Backup command, saying how its checks ended.
    JobStart RunBackupCommand();

    ui::Font windowFont_{L"MS Sans Serif", 8};
    std::unique_ptr<ui::Font> pageFont_;
    std::unique_ptr<ui::Font> languageBoxFont_;
    HICON icon_ = nullptr;
    SIZE builtInSize_{};
    std::array<std::wstring, kTextCount> textTable_; // empty until a language is applied
    std::unique_ptr<DeviceServices> devices_;
    std::unique_ptr<ErrorNotifier> notifier_;
    int rescanCount_ = 0;
    bool inButtonTick_ = false;  // a tick is running (perhaps inside identification's box)
    ButtonPressGate buttonGate_; // when a press of the enclosure's button may run Backup
    bool buttonCommand_ = false; // the Backup command runs for the enclosure's button
    bool loaded_ = false;        // the data folder was read: FormClose may write it back
    std::vector<std::wstring> unreadableFiles_; // data files there at start that could not be read
    bool activatedBefore_ = false;              // the first activation always rescans
    DeviceFolders deviceFolders_{SameFolderName}; // every device row known, and those shown
    bool deviceListPending_ = false;              // a rebuild waits for the running job to end
    std::wstring chosenDrive_; // the drive root last chosen, by the user or a rescan
    void HarvestDeviceTicks();
    void FillDeviceList();
};

// The one main window of the process.
extern TMainForm* MainForm;

// The name of the single-instance mutex for an application title: the title with every "\"
// replaced, since the system takes a backslash in an object's name for a namespace.
std::string InstanceMutexName(const std::string& title);

// The number of ticked rows of a folder list.
int CountCheckedItems(const ui::ListView& list);

} // namespace snapkeep

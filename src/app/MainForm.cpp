// The main window's construction: widgets and layout, the product configuration, the data
// folder. The numbers are the layout's 96-DPI pixels; Control scales them.
#include "app/Main.h"

#include "app/ControlIds.h"
#include "app/OwnVersion.h"
#include "app/ResourceIds.h"
#include "app/VersionText.h"
#include "store/ProductConfig.h"
#include "win/Files.h"
#include "win/ProgramFolder.h"
#include "win/Text.h"

#include <windows.h>

namespace snapkeep {

TMainForm* MainForm = nullptr;

namespace {

constexpr int kWidth = 608;
constexpr int kHeight = 454;

} // namespace

TMainForm::TMainForm() {
    MainForm = this;
    UseSystemDevices();
}

TMainForm::~TMainForm() {
    // Destroy the window while the widgets it notifies still exist.
    Destroy();
    if (MainForm == this)
        MainForm = nullptr;
}

bool TMainForm::Create(std::string& error) {
    return Create(win::CurrentFolder(), error);
}

bool TMainForm::Create(const std::wstring& dataBase, std::string& error) {
    // Every data file, the product configuration first, hangs off this folder, taken once.
    StartDirectory = dataBase;
    icon_ =
        static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SNAPKEEP),
                                        IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
    if (!icon_)
        icon_ = ::LoadIconW(nullptr, IDI_APPLICATION);
    if (!CreateTopLevel(L"TMainForm", icon_, L"",
                        WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                        WS_EX_CONTROLPARENT, kWidth, kHeight, nullptr)) {
        error = "The main window cannot be created.";
        return false;
    }
    RECT outer;
    ::GetWindowRect(hwnd_, &outer);
    builtInSize_ = {outer.right - outer.left, outer.bottom - outer.top};

    CreateWidgets();
    MakeVersionText();
    ReadProductConfig();
    SetCaption(win::AnsiToWide(Config.MainFormCaption));

    // Centre on the desktop's work area.
    RECT work{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    ::SetWindowPos(hwnd_, nullptr, work.left + (work.right - work.left - builtInSize_.cx) / 2,
                   work.top + (work.bottom - work.top - builtInSize_.cy) / 2, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    ComboBoxDiskLetter.SetItemIndex(-1);
    btnHostDel.SetEnabled(false);

    if (!LoadFolderList(DataPath(L"SnapData\\Host.txt"), ListViewHost, error) ||
        !LoadFolderList(DataPath(L"SnapData\\Device.txt"), ListViewDevice, error))
        return false;
    // The rows as loaded, merged where two name one folder; shown as saved until the
    // enclosure is found.
    std::vector<FolderRow> deviceRows;
    for (int i = 0; i < ListViewDevice.Count(); ++i)
        deviceRows.push_back({ListViewDevice.Checked(i), win::ToU16(ListViewDevice.Text(i))});
    deviceFolders_.Load(deviceRows);
    FillDeviceList();
    LoadSettings(DataPath(L"SnapData\\Setting.txt"));

    UpdateBackupButton();
    UpdateRestoreButton();

    TimerGpioBtn.SetEnabled(true);
    TimerGpioBtn.SetInterval(Config.BtnGpioVisitGapMilSec);

    ::InitializeCriticalSection(&RescanLock);
    loaded_ = true;
    return true;
}

std::wstring TMainForm::DataPath(const std::wstring& relative) const {
    // No folder known: no data file at all, rather than one at the current drive's root.
    if (StartDirectory.empty())
        return {};
    if (!StartDirectory.empty() && StartDirectory.back() == L'\\')
        return StartDirectory + relative; // a drive root such as C:\ already ends with one
    return StartDirectory + L"\\" + relative;
}

void TMainForm::ReadProductConfig() {
    // In the data folder like every other data file (for Snapkeep.exe, beside the exe), never
    // against the current directory: the caption it gives keys the single-instance rule.
    const std::wstring path = DataPath(win::AnsiToWide(kProductConfigPath));
    Config = ParseProductConfig(win::ReadWholeFile(path), [](std::string& text) {
        if (!text.empty())
            ::CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
    });
}

void TMainForm::MakeVersionText() {
    // No version resource (or an unreadable one) shows 0.0.0.0.
    const FileVersion version = OwnFileVersion().value_or(FileVersion{});
    VersionText = FormatVersionText(version.MostSignificant, version.LeastSignificant);
}

void TMainForm::CreateWidgets() {
    PageControl1.Create(hwnd_, ids::PageControl1, 180, 50);
    PageControl1.SetFont(windowFont_.Handle());
    PageControl1.AddPage(TabSheet1, ids::TabSheet1, L"File Backup");
    PageControl1.AddPage(TabSheet2, ids::TabSheet2, L"Setting");
    PageControl1.AddPage(TabSheet3, ids::TabSheet3, L"About");
    PageControl1.SetActivePage(0);
    CreateFolderPage();
    CreateSettingsPage();
    CreateAboutPage();
    CreateTray();
    WireFolderLists();
    WireCommands();
    // The button poll; the product configuration replaces the built-in period.
    TimerGpioBtn.SetInterval(500);
    TimerGpioBtn.OnTimer = [this] { TimerGpioBtnTimer(); };
}

void TMainForm::CreateFolderPage() {
    HWND page = TabSheet1.Handle();
    HFONT font = windowFont_.Handle();
    // Group frames come first so that the widgets inside them lie above them.
    GroupBox3.Create(page, ids::GroupBox3, L" Host ", 4, 8, 281, 297);
    ListViewHost.Create(page, ids::ListViewHost, L"Path", 240, 4 + 8, 8 + 48, 249, 209);
    btnHostAdd.Create(page, ids::btnHostAdd, L"Add", 4 + 8, 8 + 264, 97, 25);
    btnHostDel.Create(page, ids::btnHostDel, L"Delete", 4 + 112, 8 + 264, 89, 25);
    GroupBox4.Create(page, ids::GroupBox4, L" USB Device ", 296, 8, 281, 297);
    ComboBoxDiskLetter.Create(page, ids::ComboBoxDiskLetter, 296 + 8, 8 + 18, 105, 200);
    LabelDiskStatus.Create(page, ids::LabelDiskStatus, L"Disk is not found.", 296 + 120, 8 + 24);
    ListViewDevice.Create(page, ids::ListViewDevice, L"Path", 240, 296 + 8, 8 + 48, 249, 209);
    btnBackup.Create(page, ids::btnBackup, L"Backup", 344, 320, 97, 25);
    btnRestore.Create(page, ids::btnRestore, L"Restore", 456, 320, 97, 25);
    for (ui::Control* c : std::initializer_list<ui::Control*>{
             &GroupBox3, &ListViewHost, &btnHostAdd, &btnHostDel, &GroupBox4, &ComboBoxDiskLetter,
             &ListViewDevice, &btnBackup, &btnRestore})
        c->SetFont(font);
    LabelDiskStatus.SetFont(font);
}

void TMainForm::CreateAboutPage() {
    HWND page = TabSheet3.Handle();
    Panel1.Create(page, ids::Panel1, 8, 8, 545, 281, true, true);
    HBITMAP picture = static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                        MAKEINTRESOURCEW(IDB_PRODUCT), IMAGE_BITMAP,
                                                        0, 0, LR_CREATEDIBSECTION));
    Image1.Create(Panel1.Handle(), ids::Image1, picture, 212, 80, 125, 125);
    LabelVersion.Create(Panel1.Handle(), ids::LabelVersion, L"Version ", 232, 240);
    LabelVersion.SetFont(windowFont_.Handle());
    btnHelp.Create(page, ids::btnHelp, L"Help", 8, 304, 81, 25);
    btnHelp.SetFont(windowFont_.Handle());
    btnHelp.SetEnabled(false); // there is no help to show
}

void TMainForm::CreateTray() {
    auto image = [](int id) {
        return static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(id),
                                                 IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    };
    TntPopupMenu1.AddItem(L"&Restore", image(IDB_MENU_RESTORE), [this] { RestoreClick(); });
    TntPopupMenu1.AddSeparator();
    TntPopupMenu1.AddItem(L"&Close", image(IDB_MENU_CLOSE), [this] { CloseClick(); });
    TntPopupMenu1.OnPopup = [this] { TntPopupMenu1Popup(); };
    TrayIcon1.OnDblClick = [this] { RestoreFromTray(); };
    TrayIcon1.OnNoticeClick = [this] { OpenHistory(); };
    TrayIcon1.OnRightUp = [this](POINT at) { TntPopupMenu1.Popup(at.x, at.y, TrayIcon1.Window()); };
    HICON small = static_cast<HICON>(
        ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SNAPKEEP), IMAGE_ICON,
                     ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    TrayIcon1.Create(small ? small : icon_, L"Velmora Snap");
}

} // namespace snapkeep

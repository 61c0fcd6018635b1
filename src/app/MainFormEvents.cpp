// The main window's life after construction: the single-instance rule, fonts, activation,
// device changes, the fixed size, the tray, and closing.
#include "app/Main.h"

#include "job/CopyFileWindow.h"
#include "ui/Application.h"
#include "win/AdminNamespace.h"
#include "win/Handle.h"
#include "win/Text.h"

#include <dbt.h>

namespace snapkeep {

namespace {
// The single-instance mutex: held, never closed, until the process ends.
win::Handle& InstanceMutex() {
    static win::Handle mutex;
    return mutex;
}

} // namespace

std::string InstanceMutexName(const std::string& title) {
    // A "\" in a kernel object's name names a namespace ("Global\", "Local\"); in any other
    // place it makes both mutex calls fail, and then every copy would run. The caption is
    // product data and may hold one. It never holds a ",", which ends the caption's value in the
    // product configuration, so that stands in for it without making two captions one name.
    std::string name = title;
    for (char& c : name)
        if (c == '\\')
            c = ',';
    return name;
}

void TMainForm::TntFormCreate() {
    ui::Application& app = ui::Application::Instance();
    app.SetTitle(win::WideToAnsi(Caption()));
    const std::string& title = app.Title();
    // In the program's private namespace, which only code with administrator rights can create:
    // unelevated code that makes a mutex of this name first cannot make the copy started at
    // logon take itself for a second copy and end.
    const std::string mutexName = win::AdminNamespacePrefix() + InstanceMutexName(title);

    // Another copy holds a mutex named after the title: bring that copy forward and end.
    win::Handle other(::OpenMutexA(SYNCHRONIZE, FALSE, mutexName.c_str()));
    if (!other) {
        InstanceMutex().Reset(::CreateMutexA(nullptr, FALSE, mutexName.c_str()));
        // Two copies started at the same moment can both miss the other's mutex above; the
        // one whose create found it existing is the second copy, or both would run and the
        // last to close would write over the other's lists.
        if (InstanceMutex() && ::GetLastError() == ERROR_ALREADY_EXISTS)
            other = std::move(InstanceMutex());
    }
    if (other) {
        // Blank our own application window first, so that the search cannot find ourselves.
        ::SetWindowTextA(app.Handle(), "");
        if (HWND first = ::FindWindowA("TApplication", title.c_str())) {
            if (::IsIconic(first))
                ::ShowWindow(first, SW_RESTORE);
            else
                ::BringWindowToTop(first);
            ::SetForegroundWindow(first);
        }
        app.ShowMainForm = false;
        app.Terminate();
    }

    SetFonts();
    ComboBoxLanguageChange();
    // Told once, in the language just applied; a second copy that is ending says nothing.
    if (!app.Terminated())
        ReportUnreadableFiles();
}

void TMainForm::SetFonts() {
    // Every widget on the pages shows Times New Roman at 9 points; the language box was given
    // the face before the page control's size changed, so it keeps 8 points.
    pageFont_ = std::make_unique<ui::Font>(L"Times New Roman", 9);
    languageBoxFont_ = std::make_unique<ui::Font>(L"Times New Roman", 8);
    HFONT font = pageFont_->Handle();
    ComboBoxLanguage.SetFont(languageBoxFont_->Handle());
    for (ui::Control* c : std::initializer_list<ui::Control*>{
             &PageControl1, &GroupBox1, &GroupBox2, &GroupBox3, &GroupBox4, &ListViewHost,
             &ListViewDevice, &btnBackup, &btnRestore, &btnHelp, &btnHostAdd, &btnHostDel,
             &ComboBoxDiskLetter, &edtOthersExt})
        c->SetFont(font);
    for (int i = 0; i < kFileTypeCount; ++i)
        FileTypeBox(static_cast<FileType>(i)).SetFont(font);
    LabelDiskStatus.SetFont(font);
    LabelVersion.SetFont(font);
    PageControl1.LayoutPages();
}

void TMainForm::FormActivate() {
    RescanDrives();
}

void TMainForm::WMDeviceChange(WPARAM event) {
    // A removal, or a changed set of devices (which the system also sends on an arrival).
    if (event == DBT_DEVICEREMOVECOMPLETE || event == DBT_DEVNODES_CHANGED)
        RescanDrives();
}

bool TMainForm::FormCanResize(WINDOWPOS& pos) {
    // The window keeps its built-in size, whoever asks; minimising is not a resize.
    if ((pos.flags & SWP_NOSIZE) || ::IsIconic(hwnd_) ||
        (::GetWindowLongW(hwnd_, GWL_STYLE) & WS_MINIMIZE))
        return true;
    pos.cx = builtInSize_.cx;
    pos.cy = builtInSize_.cy;
    return false;
}

void TMainForm::FormClose() {
    // Only a window that loaded its data folder writes it back: one whose start-up failed
    // would write empty lists over the user's files.
    if (!loaded_)
        return;
    SaveFolderList(DataPath(L"SnapData\\Host.txt"), ListViewHost);
    // Every device row known, those the list does not show (their folder is not on the
    // enclosure found now) included.
    HarvestDeviceTicks();
    SaveFolderRows(DataPath(L"SnapData\\Device.txt"), deviceFolders_.Rows());
    SaveSettings(DataPath(L"SnapData\\Setting.txt"));
}

void TMainForm::RestoreFromTray() {
    if (::IsIconic(hwnd_))
        ::ShowWindow(hwnd_, SW_RESTORE);
    ::ShowWindow(hwnd_, SW_SHOW);
    // During a job the main window comes back as the job left it, disabled, and the job
    // window is the one brought forward, as the system does for a dialog's owner.
    if (CopyFileForm && CopyFileForm->Showing())
        ::SetForegroundWindow(CopyFileForm->Handle());
    else
        ::SetForegroundWindow(hwnd_);
}

void TMainForm::RestoreClick() {
    RestoreFromTray();
}

void TMainForm::CloseClick() {
    EndProgram();
}

void TMainForm::EndProgram(JobEnd reason) {
    // During a job, the worker stops first: ending under it would leave its unfinished file
    // behind. The device list then holds the folders the job has reached.
    if (CopyFileForm)
        CopyFileForm->StopForExit(reason);
    FormClose();
    // Ending at once skips the window's own teardown, so take the icon down here, or it would
    // linger in the notification area until the mouse passes over it.
    TrayIcon1.Remove();
    // The process ends from inside the job's nested loops: unwinding them through a quit
    // message would let each loop run on until it happened to look.
    ::ExitProcess(0);
}

void TMainForm::TntPopupMenu1Popup() {
    // The menu then closes when the user clicks elsewhere.
    ::SetForegroundWindow(hwnd_);
}

LRESULT TMainForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_ACTIVATE:
        // The main window counts as activated when it first becomes active and when the
        // activation comes back to it from another window of the program (the job window).
        // Coming back from another program, a message box or a dialog is no new activation.
        if (LOWORD(wParam) != WA_INACTIVE && !HIWORD(wParam) &&
            (!activatedBefore_ || ui::Window::IsFormWindow(reinterpret_cast<HWND>(lParam)))) {
            activatedBefore_ = true;
            FormActivate();
        }
        break;
    case WM_DEVICECHANGE:
        WMDeviceChange(wParam);
        return 0;
    case WM_WINDOWPOSCHANGING:
        FormCanResize(*reinterpret_cast<WINDOWPOS*>(lParam));
        return 0;
    case WM_SYSCOMMAND:
        // No maximise box and no sizing border: a maximise or size command (from the keyboard
        // or another program) is refused like any other size change.
        if ((wParam & 0xFFF0) == SC_MAXIMIZE || (wParam & 0xFFF0) == SC_SIZE)
            return 0;
        break;
    case WM_SIZE:
        // Minimised while the tray icon is there: leave the task bar; the icon is the way back.
        if (wParam == SIZE_MINIMIZED && TrayIcon1.Present())
            ::ShowWindow(hwnd_, SW_HIDE);
        break;
    case WM_CLOSE:
        // A close that reaches this window while the job window is up (another program, the
        // task bar, a script) ends the program as the tray's Close does: the job's loops run
        // inside this window's own handlers, which a destroyed window would leave half-way.
        if (CopyFileForm && CopyFileForm->Showing())
            EndProgram();
        FormClose();
        ::DestroyWindow(hwnd_);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // Windows is shutting down or the user logs off. During a job the worker is stopped
        // and the program ends here, before Windows ends it with a file half-written; at any
        // other time the lists and settings are saved as a close would, so choices made while
        // the program sat in the tray are not lost.
        if (wParam) {
            if (CopyFileForm && CopyFileForm->JobRunning())
                EndProgram(JobEnd::WindowsShutDown);
            FormClose();
        }
        return 0;
    case WM_DESTROY:
        ui::Application::Instance().Terminate();
        return 0;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}

} // namespace snapkeep

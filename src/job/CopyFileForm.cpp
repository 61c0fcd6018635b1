// The job window's construction, its fixed size, and its buttons. The numbers are the layout's
// 96-DPI pixels; the widget layer scales them.
#include "job/CopyFileWindow.h"

#include "job/JobControlIds.h"
#include "ui/Application.h"
#include "ui/Messages.h"

namespace snapkeep {

TCopyFileForm* CopyFileForm = nullptr;

namespace {

constexpr int kWidth = 553;
constexpr int kClientHeight = 297;
constexpr COLORREF kBarColour = RGB(20, 60, 140);
constexpr COLORREF kWhite = RGB(255, 255, 255);

} // namespace

TCopyFileForm::TCopyFileForm(JobHost& host) : host_(host) {
    CopyFileForm = this;
}

TCopyFileForm::~TCopyFileForm() {
    // Workers never outlive their pass; this only matters for a window torn down mid-job.
    CopyWorker.reset();
    ScanWorker.reset();
    Destroy();
    if (CopyFileForm == this)
        CopyFileForm = nullptr;
}

bool TCopyFileForm::Create() {
    // A caption and a frame but no system menu: no close, minimise, maximise or help button.
    if (!CreateTopLevel(L"TCopyFileForm", nullptr, L"", WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN,
                        WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kWidth, 400, nullptr))
        return false;
    // The window is as wide as laid out; its height follows from the client area the widgets
    // need, whatever the frame and caption measure on this system.
    RECT outer;
    RECT client;
    ::GetWindowRect(hwnd_, &outer);
    ::GetClientRect(hwnd_, &client);
    size_.cx = outer.right - outer.left;
    size_.cy = (outer.bottom - outer.top) - (client.bottom - client.top) + ui::Scale(kClientHeight);
    ::SetWindowPos(hwnd_, nullptr, (::GetSystemMetrics(SM_CXSCREEN) - size_.cx) / 2,
                   (::GetSystemMetrics(SM_CYSCREEN) - size_.cy) / 2, size_.cx, size_.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    fixedSize_ = true;
    CreateWidgets();
    CancelPressed = false;
    TimerSpent.SetEnabled(false);
    TimerScanFile.SetEnabled(false);
    TimerCopyFile.SetEnabled(false);
    return true;
}

void TCopyFileForm::CreateWidgets() {
    RECT client;
    ::GetClientRect(hwnd_, &client);
    // 96-DPI width of the client area, for the status line that spans it less its margins.
    const int clientWidth = ::MulDiv(client.right - client.left, 96, ui::Scale(96));

    Panel.Create(hwnd_, ids::Panel, 8, 8, 521, 25, true, true);
    Panel.SetCaption(L"Backup from Host to USB Device");
    LabelStatus.CreateFixed(hwnd_, ids::LabelStatus, L"Scanning file ...", 8, 40, clientWidth - 16);
    LabelTotalFiles.Create(hwnd_, ids::LabelTotalFiles, L"Total Files: 0", 8, 64);
    LabelFinishedFiles.Create(hwnd_, ids::LabelFinishedFiles, L"Finished Files : 0 ", 8, 88);
    LabelTimeSpent.Create(hwnd_, ids::LabelTimeSpent, L"Time Spent: 00:00:00", 264, 64);
    LabelTimeLeft.Create(hwnd_, ids::LabelTimeLeft, L"Time Left: 00:00:00 ", 264, 88);
    CGaugeTotal.Create(hwnd_, ids::CGaugeTotal, 8, 112, 521, 25, true);
    CGaugeTotal.SetColors(kBarColour, kWhite);
    CGaugeTotal.SetRange(0, 100);
    ProgressBarSingle.Create(hwnd_, ids::ProgressBarSingle, 8, 144, 521, 9, false);
    ProgressBarSingle.SetColors(kBarColour, kWhite);
    ProgressBarSingle.SetRange(0, 100);
    ListBoxFiles.Create(hwnd_, ids::ListBoxFiles, 8, 160, 521, 97);
    constexpr int kCancelLeft = 448;
    btnPause.Create(hwnd_, ids::btnPause, L"Pause", kCancelLeft - 96, 264, 83, 25);
    btnRestart.Create(hwnd_, ids::btnRestart, L"Restart", kCancelLeft - 96, 264, 83, 25);
    btnCancel.Create(hwnd_, ids::btnCancel, L"Cancel", kCancelLeft, 264, 83, 25);
    btnClose.Create(hwnd_, ids::btnClose, L"Close", kCancelLeft, 264, 83, 25);
    // Each pair shares its place; at design time the first of each lies on top.
    ::SetWindowPos(btnPause.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::SetWindowPos(btnCancel.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);

    for (ui::Control* c : std::initializer_list<ui::Control*>{
             &Panel, &LabelStatus, &LabelTotalFiles, &LabelFinishedFiles, &LabelTimeSpent,
             &LabelTimeLeft, &CGaugeTotal, &ProgressBarSingle, &ListBoxFiles, &btnPause,
             &btnRestart, &btnCancel, &btnClose})
        c->SetFont(windowFont_.Handle());

    btnPause.OnClick = [this] { btnPauseClick(); };
    btnRestart.OnClick = [this] { btnRestartClick(); };
    btnCancel.OnClick = [this] { btnCancelClick(); };
    btnClose.OnClick = [this] { btnCloseClick(); };
    TimerSpent.OnTimer = [this] { TimerSpentTimer(); };
    TimerScanFile.OnTimer = [this] { TimerScanFileTimer(); };
    TimerCopyFile.OnTimer = [this] { TimerCopyFileTimer(); };
}

void TCopyFileForm::TntFormCreate() {
    // Same size as the window's own font; the face does not change with the language.
    widgetFont_ = std::make_unique<ui::Font>(L"Times New Roman", 8);
    for (ui::Control* c : std::initializer_list<ui::Control*>{
             &Panel, &LabelStatus, &LabelTotalFiles, &LabelFinishedFiles, &LabelTimeSpent,
             &LabelTimeLeft, &ListBoxFiles, &btnPause, &btnRestart, &btnCancel, &btnClose})
        c->SetFont(widgetFont_->Handle());
}

void TCopyFileForm::ShowJob() {
    // One volume for the whole job, the one the command has just checked: the drive box may be
    // filled again while the job runs (Windows reports device changes, often in bursts, and
    // each one rescans), and a backup started on one volume must not go on on another.
    DriveRoot = host_.DriveRoot();
    stopForExit_ = false;
    // The job starts when the modal loop handles this, once the window is on screen; a later
    // activation of the same showing (back from a message box or another program) starts
    // nothing.
    ::PostMessageW(hwnd_, ui::WM_RUN_JOB, 0, 0);
    ShowModal();
}

void TCopyFileForm::btnPauseClick() {
    btnPause.SetVisible(false);
    btnRestart.SetVisible(true);
    if (CopyWorker)
        CopyWorker->Pause();
    TimerSpent.SetEnabled(false);
    TimerCopyFile.SetEnabled(false);
}

void TCopyFileForm::btnRestartClick() {
    btnPause.SetVisible(true);
    btnRestart.SetVisible(false);
    if (CopyWorker)
        CopyWorker->Resume();
    TimerSpent.SetEnabled(true);
    TimerCopyFile.SetEnabled(true);
}

void TCopyFileForm::btnCancelClick() {
    // The question is asked by the worker loop; the copy holds still until it is answered.
    CancelPressed = true;
    if (CopyWorker)
        CopyWorker->Pause();
}

void TCopyFileForm::btnCloseClick() {
    ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

void TCopyFileForm::PostClose() {
    closePosted_ = true;
    ::PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

LRESULT TCopyFileForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case ui::WM_RUN_JOB:
        FormActivate();
        return 0;
    case WM_WINDOWPOSCHANGING: {
        // FormCanResize: the window keeps its size, whoever asks.
        auto& pos = *reinterpret_cast<WINDOWPOS*>(lParam);
        if (fixedSize_ && !(pos.flags & SWP_NOSIZE)) {
            pos.cx = size_.cx;
            pos.cy = size_.cy;
        }
        return 0;
    }
    case WM_CLOSE:
        // Between jobs the window is hidden and must live on for the next one: a close request
        // that reaches it then (a second click on Close, another program) destroys nothing.
        if (!InModalLoop())
            return 0;
        break;
    case WM_SYSCOMMAND:
        // No close box, but Alt+F4 still asks: a running job ends only through Cancel.
        if ((wParam & 0xFFF0) == SC_CLOSE && jobRunning_)
            return 0;
        if ((wParam & 0xFFF0) == SC_MAXIMIZE || (wParam & 0xFFF0) == SC_SIZE)
            return 0;
        break;
    default:
        break;
    }
    return Default(msg, wParam, lParam);
}

} // namespace snapkeep

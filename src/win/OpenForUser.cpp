#include "win/OpenForUser.h"

#include "win/Handle.h"

#include <windows.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shellapi.h>

#include <utility>

// The shell dispatch object's method, not the function of shellapi.h that this names.
#undef ShellExecute

namespace snapkeep::win {

namespace {

// Owns one COM interface reference.
template <class T> class ComRef {
public:
    ComRef() = default;
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    ~ComRef() {
        if (p_)
            p_->Release();
    }
    T** Out() { return &p_; }
    void** OutVoid() { return reinterpret_cast<void**>(&p_); }
    T* operator->() const { return p_; }
    T* Get() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

// COM for the length of one call; the thread may have it already (then this does nothing).
class ComScope {
public:
    ComScope() : hr_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(hr_))
            ::CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT hr_;
};

class Bstr {
public:
    explicit Bstr(const std::wstring& text) : b_(::SysAllocString(text.c_str())) {}
    ~Bstr() { ::SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return b_; }

private:
    BSTR b_;
};

// The shell of the desktop window runs as the user who logged on, not elevated: asking its
// own ShellExecute to open the file starts the viewer there. The way there: the shell's window
// list finds the desktop, whose browser gives its view, whose background object leads to the
// Shell.Application of that Explorer process.
bool OpenThroughDesktopShell(const std::wstring& path) {
    ComScope com;
    ComRef<IShellWindows> windows;
    if (FAILED(::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER,
                                  IID_IShellWindows, windows.OutVoid())))
        return false;
    VARIANT location{};
    location.vt = VT_I4;
    location.lVal = CSIDL_DESKTOP;
    VARIANT empty{};
    long desktopWindow = 0;
    ComRef<IDispatch> desktop;
    if (windows->FindWindowSW(&location, &empty, SWC_DESKTOP, &desktopWindow, SWFO_NEEDDISPATCH,
                              desktop.Out()) != S_OK ||
        !desktop)
        return false;
    ComRef<IServiceProvider> services;
    ComRef<IShellBrowser> browser;
    ComRef<IShellView> view;
    ComRef<IDispatch> background;
    ComRef<IShellFolderViewDual> folderView;
    ComRef<IDispatch> application;
    ComRef<IShellDispatch2> shell;
    if (FAILED(desktop->QueryInterface(IID_IServiceProvider, services.OutVoid())) ||
        FAILED(
            services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.OutVoid())) ||
        FAILED(browser->QueryActiveShellView(view.Out())) ||
        FAILED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.OutVoid())) ||
        FAILED(background->QueryInterface(IID_IShellFolderViewDual, folderView.OutVoid())) ||
        FAILED(folderView->get_Application(application.Out())) ||
        FAILED(application->QueryInterface(IID_IShellDispatch2, shell.OutVoid())))
        return false;
    Bstr file(path);
    VARIANT show{};
    show.vt = VT_I4;
    show.lVal = SW_SHOWNORMAL;
    VARIANT none{};
    return SUCCEEDED(shell->ShellExecute(file.Get(), none, none, none, show));
}

// Windows' explorer.exe given a document hands it to the Explorer already running for the
// user, which opens it unelevated, and ends.
bool OpenThroughExplorer(const std::wstring& path) {
    wchar_t windowsFolder[MAX_PATH] = {};
    if (!::GetWindowsDirectoryW(windowsFolder, MAX_PATH))
        return false;
    const std::wstring explorer = std::wstring(windowsFolder) + L"\\explorer.exe";
    std::wstring command = L"\"" + explorer + L"\" \"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(explorer.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &process))
        return false;
    Handle thread(process.hThread);
    Handle owned(process.hProcess);
    return true;
}

} // namespace

bool ProcessIsElevated() {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    Handle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!::GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof elevation, &size))
        return false;
    return elevation.TokenIsElevated != 0;
}

OpenedBy OpenForUser(const std::wstring& path) {
    if (!ProcessIsElevated()) {
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_NOASYNC;
        info.lpVerb = L"open";
        info.lpFile = path.c_str();
        info.nShow = SW_SHOWNORMAL;
        return ::ShellExecuteExW(&info) ? OpenedBy::Directly : OpenedBy::Nothing;
    }
    if (OpenThroughDesktopShell(path))
        return OpenedBy::Shell;
    // Never opened from here while elevated: better no viewer than an elevated one.
    return OpenThroughExplorer(path) ? OpenedBy::Explorer : OpenedBy::Nothing;
}

} // namespace snapkeep::win

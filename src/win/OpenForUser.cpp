#include "win/OpenForUser.h"

#include "win/Handle.h"

#include <windows.h>
// First: it names ShellExecute as a macro, which then renames the shell dispatch object's
// method in its declaration and in the call alike.
#include <shellapi.h>
#include <exdisp.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <utility>
#include <vector>

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

// The program the user has chosen to open the document with, as its command line.
std::wstring ViewerCommand(const std::wstring& path) {
    const size_t dot = path.find_last_of(L".\\");
    if (dot == std::wstring::npos || path[dot] != L'.')
        return {};
    wchar_t command[2048] = {};
    DWORD size = ARRAYSIZE(command);
    if (FAILED(::AssocQueryStringW(ASSOCF_NOTRUNCATE, ASSOCSTR_COMMAND, path.substr(dot).c_str(),
                                   L"open", command, &size))) {
        // No program is registered for the type: Notepad, which every Windows has, is what
        // Windows itself would offer for a text file.
        wchar_t system[MAX_PATH] = {};
        if (!::GetSystemDirectoryW(system, MAX_PATH))
            return {};
        return L"\"" + std::wstring(system) + L"\\notepad.exe\" \"" + path + L"\"";
    }
    wchar_t expanded[4096] = {};
    if (!::ExpandEnvironmentStringsW(command, expanded, ARRAYSIZE(expanded)))
        return {};
    // The document goes where the command names it ("%1" or "%L", quoted or not), or at the end.
    std::wstring line = expanded;
    bool placed = false;
    for (const wchar_t* mark : {L"\"%1\"", L"\"%L\"", L"%1", L"%L"}) {
        const size_t at = line.find(mark);
        if (at != std::wstring::npos) {
            line.replace(at, wcslen(mark), L"\"" + path + L"\"");
            placed = true;
            break;
        }
    }
    if (!placed)
        line += L" \"" + path + L"\"";
    return line;
}

// Starts a command line, as a child of `parent` when one is given: a child takes its rights
// from its parent, so a child of the desktop's shell runs with the user's own, unelevated.
bool StartCommand(std::wstring command, HANDLE parent) {
    if (command.empty())
        return false;
    SIZE_T size = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &size);
    std::vector<unsigned char> storage(size);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(storage.data());
    if (!::InitializeProcThreadAttributeList(attributes, 1, 0, &size))
        return false;
    STARTUPINFOEXW startup{};
    startup.StartupInfo.cb = sizeof startup;
    DWORD flags = 0;
    bool ready = true;
    if (parent) {
        ready = ::UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS,
                                            &parent, sizeof parent, nullptr, nullptr) != FALSE;
        startup.lpAttributeList = attributes;
        flags = EXTENDED_STARTUPINFO_PRESENT;
    }
    PROCESS_INFORMATION process{};
    const bool started =
        ready && ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, flags, nullptr,
                                  nullptr, &startup.StartupInfo, &process) != FALSE;
    ::DeleteProcThreadAttributeList(attributes);
    if (started) {
        Handle thread(process.hThread);
        Handle child(process.hProcess);
    }
    return started;
}

// The viewer as a child of the desktop's shell process (the user's Explorer).
bool OpenAsChildOfShell(const std::wstring& path) {
    HWND shellWindow = ::GetShellWindow();
    DWORD shellId = 0;
    if (!shellWindow || !::GetWindowThreadProcessId(shellWindow, &shellId) ||
        shellId == ::GetCurrentProcessId())
        return false;
    Handle shell(::OpenProcess(PROCESS_CREATE_PROCESS, FALSE, shellId));
    return shell && StartCommand(ViewerCommand(path), shell.Get());
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

OpenRoad ChooseOpenRoad(bool elevated, bool shellWindow) {
    if (!elevated)
        return OpenRoad::Directly;
    return shellWindow ? OpenRoad::ThroughShell : OpenRoad::NotAtAll;
}

OpenedBy OpenForUser(const std::wstring& path, bool elevated, bool shellWindow) {
    switch (ChooseOpenRoad(elevated, shellWindow)) {
    case OpenRoad::Directly:
        // Started here rather than through ShellExecute, which may wait on a viewer's DDE
        // conversation (under Wine it never returned): the user-interface thread must not.
        return StartCommand(ViewerCommand(path), nullptr) ? OpenedBy::Directly : OpenedBy::Nothing;
    case OpenRoad::ThroughShell:
        if (OpenAsChildOfShell(path))
            return OpenedBy::ShellChild;
        if (OpenThroughDesktopShell(path))
            return OpenedBy::Shell;
        // Never opened from here while elevated: better no viewer than an elevated one.
        return OpenThroughExplorer(path) ? OpenedBy::Explorer : OpenedBy::Nothing;
    case OpenRoad::NotAtAll:
        break;
    }
    return OpenedBy::Nothing;
}

OpenedBy OpenForUser(const std::wstring& path) {
    // Under Wine every process counts as elevated and there is no shell window: nothing is
    // started there either.
    return OpenForUser(path, ProcessIsElevated(), ::GetShellWindow() != nullptr);
}

} // namespace snapkeep::win

#include "ProcessDriver.h"

#include "Wait.h"
#include "store/ProductConfig.h"

#include "TempDir.h"
#include "win/Handle.h"

#include <commctrl.h>

#include <cstdint>
#include <vector>

namespace snapkeep::test {

std::wstring BuildProgram(const std::wstring& fileName) {
    wchar_t self[MAX_PATH * 4] = {};
    ::GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
    std::wstring folder = self;
    folder.resize(folder.find_last_of(L'\\') + 1);
    return folder + fileName;
}

std::wstring ProgramCopyIn(const std::wstring& folder, const std::wstring& fileName) {
    std::wstring copy = folder;
    if (!copy.empty() && copy.back() != L'\\')
        copy += L'\\';
    copy += fileName;
    if (!::CopyFileW(BuildProgram(fileName).c_str(), copy.c_str(), FALSE))
        return {};
    return copy;
}

ChildProcess::ChildProcess(const std::wstring& program, const std::wstring& directory,
                           const std::wstring& arguments) {
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty())
        commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                         directory.c_str(), &startup, &info)) {
        ::CloseHandle(info.hThread);
        process_ = info.hProcess;
        id_ = info.dwProcessId;
    }
}

ChildProcess::~ChildProcess() {
    if (!process_)
        return;
    if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(process_, 99);
        ::WaitForSingleObject(process_, 5000);
    }
    ::CloseHandle(process_);
}

long ChildProcess::WaitForExit(unsigned timeoutMs) {
    if (!process_)
        return -1;
    // Keep our own windows answering while we wait: the child may send to them.
    if (!WaitUntil([&] { return ::WaitForSingleObject(process_, 0) == WAIT_OBJECT_0; }, timeoutMs))
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process_, &code);
    return static_cast<long>(code);
}

namespace {

struct Search {
    const std::wstring* className;
    const std::wstring* caption;
    DWORD processId;
    HWND found;
    bool anyCaption = false;
};

BOOL CALLBACK Visit(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    wchar_t className[256] = {};
    ::GetClassNameW(hwnd, className, ARRAYSIZE(className));
    if (*search->className != className)
        return TRUE;
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    if (search->processId && owner != search->processId)
        return TRUE;
    if (!search->anyCaption && WindowText(hwnd) != *search->caption)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

} // namespace

HWND WaitForTopWindow(const std::wstring& className, const std::wstring& caption, DWORD processId,
                      unsigned timeoutMs) {
    Search search{&className, &caption, processId, nullptr};
    WaitUntil(
        [&] {
            ::EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

std::wstring WindowText(HWND hwnd) {
    // WM_GETTEXT is marshalled between processes; GetWindowText is not for other processes'
    // controls.
    // With a time limit: a window whose thread hangs must not hang the test.
    DWORD_PTR length = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return {};
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                               SMTO_ABORTIFHUNG, 2000, &got))
        return {};
    text.resize(static_cast<size_t>(got));
    return text;
}

std::wstring MessageBoxText(HWND box) {
    // The message of a message box is its static control with id 0xFFFF.
    HWND text = ::GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::wstring();
}

HWND FindControl(HWND top, int id) {
    struct Find {
        int id;
        HWND found;
    } find{id, nullptr};
    ::EnumChildWindows(
        top,
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* f = reinterpret_cast<Find*>(param);
            if (::GetDlgCtrlID(hwnd) != f->id)
                return TRUE;
            f->found = hwnd;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&find));
    return find.found;
}

bool SelectListRow(HWND list, int index) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(list, &processId);
    win::Handle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process)
        return false;
    void* remote = ::VirtualAllocEx(process.Get(), nullptr, sizeof(LVITEMW),
                                    MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote)
        return false;
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    const bool ok =
        ::WriteProcessMemory(process.Get(), remote, &item, sizeof item, nullptr) &&
        ::SendMessageW(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(remote)) != FALSE;
    ::VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
    return ok;
}

LRESULT SendTextMessage(HWND window, UINT msg, WPARAM wParam, const std::wstring& text) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    win::Handle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process)
        return 0;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    void* remote =
        ::VirtualAllocEx(process.Get(), nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote)
        return 0;
    LRESULT result = 0;
    if (::WriteProcessMemory(process.Get(), remote, text.c_str(), bytes, nullptr))
        result = ::SendMessageW(window, msg, wParam, reinterpret_cast<LPARAM>(remote));
    ::VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
    return result;
}

bool SetListCheck(HWND list, int index, bool checked) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(list, &processId);
    win::Handle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process)
        return false;
    void* remote = ::VirtualAllocEx(process.Get(), nullptr, sizeof(LVITEMW),
                                    MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!remote)
        return false;
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    const bool ok =
        ::WriteProcessMemory(process.Get(), remote, &item, sizeof item, nullptr) &&
        ::SendMessageW(list, LVM_SETITEMSTATE, index, reinterpret_cast<LPARAM>(remote)) != FALSE;
    ::VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
    return ok;
}

int ListCount(HWND list) {
    return static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
}

bool ListChecked(HWND list, int index) {
    const LRESULT state = ::SendMessageW(list, LVM_GETITEMSTATE, index, LVIS_STATEIMAGEMASK);
    return (static_cast<UINT>(state) & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

std::wstring ListItemText(HWND list, int index) {
    DWORD processId = 0;
    ::GetWindowThreadProcessId(list, &processId);
    win::Handle process(
        ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process)
        return {};
    // The item and its text buffer, one block in the target process.
    constexpr int kChars = 1024;
    const size_t size = sizeof(LVITEMW) + kChars * sizeof(wchar_t);
    auto* remote = static_cast<char*>(
        ::VirtualAllocEx(process.Get(), nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!remote)
        return {};
    LVITEMW item{};
    item.iSubItem = 0;
    item.cchTextMax = kChars;
    item.pszText = reinterpret_cast<wchar_t*>(remote + sizeof(LVITEMW));
    std::wstring text(kChars, L'\0');
    if (::WriteProcessMemory(process.Get(), remote, &item, sizeof item, nullptr)) {
        const LRESULT length =
            ::SendMessageW(list, LVM_GETITEMTEXTW, index, reinterpret_cast<LPARAM>(remote));
        if (length >= 0 && length < kChars &&
            ::ReadProcessMemory(process.Get(), item.pszText, text.data(),
                                (length + 1) * sizeof(wchar_t), nullptr))
            text.resize(static_cast<size_t>(length));
        else
            text.clear();
    } else {
        text.clear();
    }
    ::VirtualFreeEx(process.Get(), remote, 0, MEM_RELEASE);
    return text;
}

void ClickTab(HWND tabControl, int index, int tabWidth, int tabHeight) {
    HDC screen = ::GetDC(nullptr);
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    // Button tabs sit side by side from the top left, a few pixels apart.
    const int x = ::MulDiv(index * (tabWidth + 3) + tabWidth / 2, dpi, 96);
    const int y = ::MulDiv(tabHeight / 2, dpi, 96);
    ::PostMessageW(tabControl, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    ::PostMessageW(tabControl, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

bool WriteProductConfig(const std::wstring& path, const std::string& clearText) {
    std::string clear = clearText;
    clear.resize((clear.size() + 31) / 32 * 32, '\0');
    std::string stored(clear.size(), '\0');
    DescrambleConfig(reinterpret_cast<const uint8_t*>(clear.data()),
                     reinterpret_cast<uint8_t*>(stored.data()), clear.size());
    return WriteBytes(path, stored);
}

bool WriteEnglishDataFolder(const std::wstring& dataFolder, const std::wstring& caption,
                            const std::string& languageDir) {
    for (const std::wstring& folder : {dataFolder, dataFolder + L"\\Language"})
        if (!::CreateDirectoryW(folder.c_str(), nullptr) &&
            ::GetLastError() != ERROR_ALREADY_EXISTS)
            return false;
    if (!::CopyFileW(SourceFile(languageDir + "/English.ini").c_str(),
                     (dataFolder + L"\\Language\\English.ini").c_str(), FALSE))
        return false;
    const std::string narrow(caption.begin(), caption.end());
    return WriteProductConfig(dataFolder + L"\\qconfig.inis",
                              "Model=ALL\r\nMainFormCaption=" + narrow + "\r\n");
}

} // namespace snapkeep::test

#include <atomic>
#include <mutex>
#include <thread>

namespace snapkeep::test {

struct MessageBoxAnswerer::State {
    std::wstring caption;
    int answer = IDOK;
    std::function<void(HWND)> inspect;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<std::wstring> texts;
    std::thread thread;
};

MessageBoxAnswerer::MessageBoxAnswerer(std::wstring caption, int answer,
                                       std::function<void(HWND)> inspect)
    : state_(new State) {
    state_->caption = std::move(caption);
    state_->answer = answer;
    state_->inspect = std::move(inspect);
    state_->thread = std::thread([state = state_] {
        const std::wstring className = L"#32770";
        while (!state->stop) {
            Search search{&className, &state->caption, ::GetCurrentProcessId(), nullptr,
                          state->caption.empty()};
            ::EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
            if (search.found && ::IsWindowVisible(search.found)) {
                if (state->inspect)
                    state->inspect(search.found);
                const std::wstring text = MessageBoxText(search.found);
                {
                    std::lock_guard<std::mutex> lock(state->mutex);
                    state->texts.push_back(text);
                }
                ::PostMessageW(search.found, WM_COMMAND, state->answer, 0);
                // Wait for this box to go before looking for the next one.
                for (int i = 0; i < 400 && ::IsWindow(search.found); ++i)
                    ::Sleep(5);
            }
            ::Sleep(5);
        }
    });
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    state_->stop = true;
    state_->thread.join();
    delete state_;
}

std::vector<std::wstring> MessageBoxAnswerer::Texts() {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->texts;
}

std::wstring SourceFile(const std::string& unixPath) {
    std::wstring path = L"Z:";
    for (char c : unixPath)
        path.push_back(c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return path;
}

} // namespace snapkeep::test

// Stands in for schtasks.exe in the package test's Wine prefix. Wine registers a task from its
// XML but stores it without its triggers, principal and action, so what the installer asked
// for cannot be read back from Wine; this stand-in records it on the way:
//   C:\schtasks-calls\N.cmd   the arguments of the Nth call (UTF-16)
//   C:\schtasks-calls\N.xml   the task file given with /xml, byte for byte
// and then runs Wine's own schtasks (copied beside it as schtasks-wine.exe) with the same
// arguments, answering its exit code.
#include <windows.h>

#include <string>

namespace {

std::wstring Quoted(const std::wstring& argument) {
    return argument.find_first_of(L" \t\"") == std::wstring::npos ? argument
                                                                  : L"\"" + argument + L"\"";
}

bool WriteWhole(const std::wstring& path, const std::wstring& text) {
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok =
        ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * 2), &written, nullptr);
    ::CloseHandle(file);
    return ok;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring folder = L"C:\\schtasks-calls\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    std::wstring arguments;
    std::wstring xml;
    for (int i = 1; i < argc; ++i) {
        arguments += (i > 1 ? L" " : L"") + Quoted(argv[i]);
        if (::lstrcmpiW(argv[i], L"/xml") == 0 && i + 1 < argc)
            xml = argv[i + 1];
    }
    // The next free number keeps the calls in order.
    int n = 1;
    while (!WriteWhole(folder + std::to_wstring(n) + L".cmd", arguments)) {
        if (::GetLastError() != ERROR_FILE_EXISTS || ++n > 10000)
            return 90;
    }
    if (!xml.empty() &&
        !::CopyFileW(xml.c_str(), (folder + std::to_wstring(n) + L".xml").c_str(), TRUE))
        return 91;

    wchar_t system[MAX_PATH] = {};
    ::GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring wine = std::wstring(system) + L"\\schtasks-wine.exe";
    std::wstring commandLine = Quoted(wine) + L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(wine.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &startup, &info))
        return 92;
    ::WaitForSingleObject(info.hProcess, INFINITE);
    DWORD status = 93;
    ::GetExitCodeProcess(info.hProcess, &status);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return static_cast<int>(status);
}

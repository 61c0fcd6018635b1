// shortcut: reads and opens Windows shortcuts (.lnk) for the package test.
//
//   shortcut show LNK   print the shortcut's target and working folder, one "Name=value" a line
//   shortcut open LNK   open it as a double click in Explorer does
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

namespace {

int Fail(const char* what) {
    std::fprintf(stderr, "shortcut: %s\n", what);
    return 1;
}

void PrintLine(const wchar_t* name, const wchar_t* value) {
    // UTF-8, so that the test script compares the text it wrote.
    std::wstring line = std::wstring(name) + L"=" + value + L"\n";
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                           nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), bytes.data(),
                          size, nullptr, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

int Show(const wchar_t* path) {
    IShellLinkW* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return Fail("no shell link object");
    IPersistFile* file = nullptr;
    int status = 0;
    if (FAILED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) ||
        FAILED(file->Load(path, STGM_READ))) {
        status = Fail("the shortcut cannot be read");
    } else {
        wchar_t target[MAX_PATH] = {};
        wchar_t folder[MAX_PATH] = {};
        wchar_t arguments[1024] = {};
        link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
        link->GetWorkingDirectory(folder, MAX_PATH);
        link->GetArguments(arguments, ARRAYSIZE(arguments));
        PrintLine(L"Target", target);
        PrintLine(L"WorkingDirectory", folder);
        PrintLine(L"Arguments", arguments);
    }
    if (file)
        file->Release();
    link->Release();
    return status;
}

int Open(const wchar_t* path) {
    // Explorer hands a shortcut to the shell, which starts the target in the shortcut's working
    // folder. Wine's shell gives no handle to the program it started, so the test watches its
    // window instead.
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpFile = path;
    info.nShow = SW_SHOWNORMAL;
    return ::ShellExecuteExW(&info) ? 0 : Fail("the shortcut did not open");
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3)
        return Fail("usage: shortcut show|open LNK");
    ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring command = argv[1];
    const int status = command == L"show"   ? Show(argv[2])
                       : command == L"open" ? Open(argv[2])
                                            : Fail("usage: shortcut show|open LNK");
    ::CoUninitialize();
    return status;
}

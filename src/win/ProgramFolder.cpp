#include "win/ProgramFolder.h"

#include <windows.h>

namespace snapkeep::win {

std::wstring ProgramFolder() {
    // The answer is cut short, without saying so beyond filling the buffer, when the buffer is
    // too small: grow it until the path fits with room to spare.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD got =
            ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (got == 0)
            return {};
        if (got < path.size()) {
            path.resize(got);
            break;
        }
        if (path.size() >= 32768)
            return {};
        path.resize(path.size() * 2);
    }
    const size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos)
        return {};
    // A drive root keeps its backslash ("D:\"), as the current directory would give it.
    path.resize(slash == 2 && path[1] == L':' ? slash + 1 : slash);
    return path;
}

std::wstring CurrentFolder() {
    const DWORD needed = ::GetCurrentDirectoryW(0, nullptr);
    std::wstring current(needed, L'\0');
    const DWORD got = ::GetCurrentDirectoryW(needed, current.data());
    current.resize(got > 0 && got < needed ? got : 0);
    return current;
}

} // namespace snapkeep::win

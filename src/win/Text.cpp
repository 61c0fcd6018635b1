#include "win/Text.h"

#include <windows.h>

namespace snapkeep::win {

std::wstring AnsiToWide(std::string_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int needed = ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<size_t>(needed > 0 ? needed : 0), L'\0');
    if (needed > 0)
        ::MultiByteToWideChar(CP_ACP, 0, text.data(), size, out.data(), needed);
    return out;
}

std::string WideToAnsi(std::wstring_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int needed =
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(needed > 0 ? needed : 0), '\0');
    if (needed > 0)
        ::WideCharToMultiByte(CP_ACP, 0, text.data(), size, out.data(), needed, nullptr, nullptr);
    return out;
}

} // namespace snapkeep::win

#pragma once
// Conversions at the boundary between the portable code (std::string in the system's 8-bit code
// page, std::u16string) and the Windows API (std::wstring).
#include <string>
#include <string_view>

namespace snapkeep::win {

// 8-bit text in the system's code page (CP_ACP) to UTF-16 and back. Characters the code page
// lacks become its replacement character.
std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

// wchar_t is a UTF-16 code unit on Windows, so these only change the type.
inline std::wstring ToWide(std::u16string_view text) {
    return std::wstring(text.begin(), text.end());
}
inline std::u16string ToU16(std::wstring_view text) {
    return std::u16string(text.begin(), text.end());
}

} // namespace snapkeep::win

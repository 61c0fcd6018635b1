#include "device/MessageBoxNotifier.h"

#include "win/Text.h"

#include <windows.h>

namespace snapkeep::win {

void MessageBoxNotifier::ShowError(std::string_view text, std::string_view caption) {
    ::MessageBoxW(nullptr, AnsiToWide(text).c_str(), AnsiToWide(caption).c_str(),
                  MB_OK | MB_ICONERROR);
}

} // namespace snapkeep::win

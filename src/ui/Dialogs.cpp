#include "ui/Dialogs.h"

#include <windows.h>

namespace snapkeep::ui {

void ErrorBox(const std::wstring& text, const std::wstring& caption) {
    ::MessageBoxW(nullptr, text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR | MB_TASKMODAL);
}

void InfoBox(const std::wstring& text, const std::wstring& caption) {
    ::MessageBoxW(nullptr, text.c_str(), caption.c_str(),
                  MB_OK | MB_ICONINFORMATION | MB_TASKMODAL);
}

bool QuestionBox(const std::wstring& text, const std::wstring& caption) {
    return ::MessageBoxW(nullptr, text.c_str(), caption.c_str(),
                         MB_YESNO | MB_ICONQUESTION | MB_TASKMODAL) == IDYES;
}

} // namespace snapkeep::ui

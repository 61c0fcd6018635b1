#pragma once
// The program's message boxes: no owner window, task-modal, so that they block the whole
// program the same way whichever window is active.
#include <string>

namespace snapkeep::ui {

// Error icon, one OK button.
void ErrorBox(const std::wstring& text, const std::wstring& caption);
// Information icon, one OK button.
void InfoBox(const std::wstring& text, const std::wstring& caption);
// Question icon, Yes and No; answers true for Yes.
bool QuestionBox(const std::wstring& text, const std::wstring& caption);

} // namespace snapkeep::ui

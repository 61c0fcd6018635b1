#pragma once
// Device errors as a plain Windows message box: no owner window, the error icon, one OK button.
// It is deliberately not task-modal, so the program's other windows stay usable while it shows.
#include "device/ErrorNotifier.h"

namespace snapkeep::win {

class MessageBoxNotifier final : public ErrorNotifier {
public:
    void ShowError(std::string_view text, std::string_view caption) override;
};

} // namespace snapkeep::win

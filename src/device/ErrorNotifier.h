#pragma once
// How device code shows its one message to the user. Identification is portable code, so it
// reaches the screen through this interface: the Windows program passes a message-box
// implementation, tests and the simulated program pass their own.
#include <string_view>

namespace snapkeep {

class ErrorNotifier {
public:
    virtual ~ErrorNotifier() = default;

    // Shows an error with one OK button and returns once the user has closed it.
    virtual void ShowError(std::string_view text, std::string_view caption) = 0;
};

} // namespace snapkeep

#pragma once
// Marks a command as running for the enclosure button's gate, however the command ends.
#include "device/ButtonPressGate.h"

namespace snapkeep {

class CommandScope {
public:
    explicit CommandScope(ButtonPressGate& gate) : gate_(gate) { gate_.CommandBegins(); }
    ~CommandScope() { gate_.CommandEnds(); }
    CommandScope(const CommandScope&) = delete;
    CommandScope& operator=(const CommandScope&) = delete;

private:
    ButtonPressGate& gate_;
};

} // namespace snapkeep

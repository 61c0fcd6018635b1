#include "device/ButtonPressGate.h"

namespace snapkeep {

bool ButtonPressGate::Tick(bool pressed) {
    if (!pressed) {
        waitForRelease_ = false;
        return false;
    }
    return running_ == 0 && !waitForRelease_;
}

void ButtonPressGate::CommandBegins() {
    ++running_;
}

void ButtonPressGate::CommandEnds() {
    if (running_ > 0)
        --running_;
}

void ButtonPressGate::RefusedWithMessage() {
    waitForRelease_ = true;
}

} // namespace snapkeep

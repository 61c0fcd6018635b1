#include "Wait.h"

#include <windows.h>

namespace snapkeep::test {

void PumpMessages() {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
    }
}

bool WaitUntil(const std::function<bool()>& condition, unsigned timeoutMs) {
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        PumpMessages();
        if (condition())
            return true;
        if (::GetTickCount64() >= deadline)
            return false;
        // Wake early for any message; otherwise look again in 5 ms.
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

} // namespace snapkeep::test

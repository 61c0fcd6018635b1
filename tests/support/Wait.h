#pragma once
// Waiting for a condition with a deadline: tests never sleep for a fixed time. While waiting,
// the calling thread's window messages are handled, so windows of the test keep working.
#include <functional>

namespace snapkeep::test {

// Polls `condition` until it is true (answers true) or `timeoutMs` passes (answers false).
bool WaitUntil(const std::function<bool()>& condition, unsigned timeoutMs = 10000);

// Handles the calling thread's pending window messages.
void PumpMessages();

} // namespace snapkeep::test

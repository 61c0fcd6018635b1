#pragma once
// A timer that calls OnTimer on this thread's message loop. An interval of 0 (or less) leaves it
// without ticks, as does disabling it.
#include <windows.h>

#include <functional>

namespace snapkeep::ui {

class Timer {
public:
    Timer() = default;
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer();

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    int Interval() const { return interval_; }
    void SetInterval(int milliseconds);
    // Whether the system timer runs (enabled and a positive interval).
    bool Running() const { return id_ != 0; }

    std::function<void()> OnTimer;

private:
    void Update();
    static void CALLBACK TimerProc(HWND, UINT, UINT_PTR id, DWORD);

    bool enabled_ = false;
    int interval_ = 1000;
    UINT_PTR id_ = 0;
};

} // namespace snapkeep::ui

#include "ui/Timer.h"

#include "ui/Application.h"

#include <map>

namespace snapkeep::ui {
namespace {

// Thread timers carry no user data: the id finds the Timer. Timers live on the UI thread only.
std::map<UINT_PTR, Timer*>& Timers() {
    static std::map<UINT_PTR, Timer*> timers;
    return timers;
}

} // namespace

Timer::~Timer() {
    enabled_ = false;
    Update();
}

void Timer::SetEnabled(bool enabled) {
    enabled_ = enabled;
    Update();
}

void Timer::SetInterval(int milliseconds) {
    interval_ = milliseconds;
    Update();
}

void Timer::Update() {
    if (id_) {
        ::KillTimer(nullptr, id_);
        Timers().erase(id_);
        id_ = 0;
    }
    if (enabled_ && interval_ > 0) {
        id_ = ::SetTimer(nullptr, 0, static_cast<UINT>(interval_), TimerProc);
        if (id_)
            Timers()[id_] = this;
    }
}

void CALLBACK Timer::TimerProc(HWND, UINT, UINT_PTR id, DWORD) {
    auto found = Timers().find(id);
    if (found != Timers().end() && found->second->OnTimer)
        Application::Guarded(found->second->OnTimer);
}

} // namespace snapkeep::ui

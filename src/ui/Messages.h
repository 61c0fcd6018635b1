#pragma once
// The program's own window messages, timer ids and control ids, in one place so that they never
// collide and tests can find every control by a stable id.
#include <windows.h>

namespace snapkeep::ui {

// Private messages (WM_APP range).
inline constexpr UINT WM_TRAY_CALLBACK = WM_APP + 1; // the tray icon's mouse events
// Posted by the job window to itself when a command shows it: the job starts once the modal
// showing handles it, inside the window's own loop.
inline constexpr UINT WM_RUN_JOB = WM_APP + 2;

} // namespace snapkeep::ui

#pragma once
// The program's own window messages, in one place so that they never collide. (Control ids live
// beside their windows: app/ControlIds.h and job/JobControlIds.h; timers are thread timers with
// system-given ids, see ui/Timer.h.)
#include <windows.h>

namespace snapkeep::ui {

// Private messages (WM_APP range).
inline constexpr UINT WM_TRAY_CALLBACK = WM_APP + 1; // the tray icon's mouse events
// Posted by the job window to itself when a command shows it: the job starts once the modal
// showing handles it, inside the window's own loop.
inline constexpr UINT WM_RUN_JOB = WM_APP + 2;
// Posted by the hidden application window to itself when another copy of the program has shown
// it: hide it again and bring the main window back instead.
inline constexpr UINT WM_RESTORE_MAIN_FORM = WM_APP + 3;

} // namespace snapkeep::ui

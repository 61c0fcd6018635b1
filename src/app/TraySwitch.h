#pragma once
// The one command-line switch the program reads. "/tray" starts it in the notification area
// without showing its window: the scheduled task that starts it at logon passes it, since a
// program that pops up at every logon gets uninstalled. Everything else on the command line is
// ignored, and without the switch the program starts as it always does.
#include <string_view>

namespace snapkeep {

inline constexpr std::u16string_view kTraySwitch = u"/tray";

// Whether the arguments (the command line after the program's name, as WinMain gets it) hold
// the switch, in any case, as a word of its own and possibly quoted; "-tray" counts too, as
// Windows programs usually take either introducer.
bool HasTraySwitch(std::u16string_view arguments);

} // namespace snapkeep

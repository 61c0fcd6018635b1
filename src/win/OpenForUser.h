#pragma once
// Opens a document in the program the user has chosen for it, with the user's own rights even
// when this program runs elevated: an editor started elevated from an elevated program would
// let its File dialogs run anything as administrator.
#include <string>

namespace snapkeep::win {

// How the document was handed on, for the caller's tests and notes.
enum class OpenedBy {
    Nothing,    // not opened: no way to do it without elevation was available; the caller
                // shows the document's path instead
    Directly,   // this process is not elevated: the shell opened it from here
    ShellChild, // started as a child of the desktop shell's process, with its rights
    Shell,      // the desktop's shell (the user's unelevated Explorer) opened it
    Explorer,   // a started explorer.exe handed it to the user's running Explorer
};

OpenedBy OpenForUser(const std::wstring& path);

// Which way a document may be opened, from this process's rights and whether a shell window (the
// user's desktop, run with the user's own rights) is there to hand it to.
enum class OpenRoad {
    Directly,     // not elevated: a viewer started from here gets no more rights than the user has
    ThroughShell, // elevated: only the user's own shell may start the viewer
    NotAtAll,     // elevated with no shell to hand it to: nothing is started; a viewer started from
                  // here would run elevated, and which one runs is chosen by file associations and
                  // an environment that unelevated code can change
};
OpenRoad ChooseOpenRoad(bool elevated, bool shellWindow);

// The same, and opening, for the facts given (tests give their own; OpenForUser gives this
// process's).
OpenedBy OpenForUser(const std::wstring& path, bool elevated, bool shellWindow);

// Whether this process runs with an elevated (administrator) token.
bool ProcessIsElevated();

} // namespace snapkeep::win

#pragma once
// Opens a document in the program the user has chosen for it, with the user's own rights even
// when this program runs elevated: an editor started elevated from an elevated program would
// let its File dialogs run anything as administrator.
#include <string>

namespace snapkeep::win {

// How the document was handed on, for the caller's tests and notes.
enum class OpenedBy {
    Nothing,    // not opened: no way to do it without elevation was available
    Directly,   // this process is not elevated: the shell opened it from here
    ShellChild, // started as a child of the desktop shell's process, with its rights
    Shell,      // the desktop's shell (the user's unelevated Explorer) opened it
    Explorer,   // a started explorer.exe handed it to the user's running Explorer
};

OpenedBy OpenForUser(const std::wstring& path);

// Whether this process runs with an elevated (administrator) token.
bool ProcessIsElevated();

} // namespace snapkeep::win

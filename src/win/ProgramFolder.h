#pragma once
// The two folders a program may hang its data folder off: its own and the current directory.
#include <string>

namespace snapkeep::win {

// The folder of this process's executable, from the path the system loaded it by: "C:\Program
// Files\Snapkeep", or "D:\" for an exe at a drive's root. Any length is taken; empty when the
// path cannot be read.
std::wstring ProgramFolder();

// The process's current directory as the system gives it, any length; empty when it cannot be
// read (a cut-off directory would name some other folder).
std::wstring CurrentFolder();

} // namespace snapkeep::win

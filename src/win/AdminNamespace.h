#pragma once
// The program's private object namespace. Its boundary holds the Administrators group, so only
// code running with administrator rights can create it: unelevated code of any user cannot make
// one of the same name first, nor reach the objects in it, whereas it can create any name in the
// session's public namespace before the program starts.
#include <string>

namespace snapkeep::win {

// The namespace's name; an object in it is named "Snapkeep\<name>".
inline constexpr const char* kAdminNamespace = "Snapkeep";

// Opens the namespace, creating it when no process has it open yet, and keeps it open until the
// process ends. Answers the prefix for names inside it ("Snapkeep\"), or an empty text when the
// system offers no private namespaces (Wine 8 has none) or this process may not have it (it does
// not run with administrator rights); the caller then uses the public namespace, where there is
// nothing more to protect than the caller's own rights.
std::string AdminNamespacePrefix();

} // namespace snapkeep::win

#pragma once
// The program's own file version, from the version resource of its image.
#include "app/VersionResource.h"

#include <optional>

namespace snapkeep {

// Nothing when the program has no version resource or an unreadable one.
std::optional<FileVersion> OwnFileVersion();

} // namespace snapkeep

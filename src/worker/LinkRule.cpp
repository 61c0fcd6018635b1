#include "worker/LinkRule.h"

namespace snapkeep {

bool IsLink(std::uint32_t attributes, std::uint32_t reparseTag) {
    if (!(attributes & kAttributeReparsePoint))
        return false;
    if (reparseTag == kReparseTagMountPoint || reparseTag == kReparseTagSymlink)
        return true;
    // Wine's form of a Linux symbolic link. Wine marks no file links, and a file with the tag 0
    // is no link Windows knows of.
    return reparseTag == 0 && (attributes & kAttributeDirectory);
}

} // namespace snapkeep

#include "worker/LongPath.h"

namespace snapkeep {

namespace {
// MAX_PATH counts the terminating zero; CreateDirectoryW allows 12 characters less.
constexpr size_t kPlainPathLimit = 248;
} // namespace

std::u16string ExtendedLengthPath(std::u16string_view path) {
    if (path.size() < kPlainPathLimit || path.starts_with(u"\\\\?\\"))
        return std::u16string(path);
    if (path.starts_with(u"\\\\"))
        return u"\\\\?\\UNC\\" + std::u16string(path.substr(2));
    if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\')
        return u"\\\\?\\" + std::u16string(path);
    return std::u16string(path);
}

} // namespace snapkeep

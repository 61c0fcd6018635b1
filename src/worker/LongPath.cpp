#include "worker/LongPath.h"

namespace snapkeep {

std::u16string ExtendedLengthPath(std::u16string_view path) {
    if (path.starts_with(u"\\\\?\\"))
        return std::u16string(path);
    if (path.starts_with(u"\\\\"))
        return u"\\\\?\\UNC\\" + std::u16string(path.substr(2));
    if (path.size() >= 3 && path[1] == u':' && path[2] == u'\\')
        return u"\\\\?\\" + std::u16string(path);
    return std::u16string(path);
}

} // namespace snapkeep

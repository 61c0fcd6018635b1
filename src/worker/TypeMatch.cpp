#include "worker/TypeMatch.h"

#include <string>

namespace snapkeep {

bool MatchFileType(std::string_view path, const char* const* typeList, int typeCount) {
    if (typeCount <= 0 || typeList == nullptr)
        return false;
    if (typeList[0] != nullptr && typeList[0] == kAllTypes)
        return true;

    std::string candidate;
    const size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) {
        candidate = kNoExtension;
    } else {
        candidate = path.substr(dot + 1);
        // Only ASCII capitals: other bytes of the code page keep their value.
        for (char& c : candidate)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
    }
    for (int i = 0; i < typeCount; ++i)
        if (typeList[i] != nullptr && candidate == typeList[i])
            return true;
    return false;
}

} // namespace snapkeep

// The language file reader over any bytes: every key of the list gets a usable text.
#include "store/LanguageFile.h"

#include <cstdlib>

using namespace snapkeep;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const auto texts = ReadLanguageTexts(bytes);
    const auto values = FindLanguageValues(bytes);
    for (size_t i = 0; i < kLanguageKeyCount; ++i) {
        if (texts[i].size() >= kLanguageValueCapacity)
            std::abort();
        if (values[i] && *values[i] != texts[i])
            std::abort();
    }
    return 0;
}

// Key lookup over any text: the three lookup forms with every separator set the program uses,
// token splitting and the number rule. Input: one byte picks the capacity, one the key's length,
// then the key, then the text.
#include "FuzzInput.h"
#include "store/KeyLookup.h"

#include <cstdlib>
#include <cstring>
#include <string>

using namespace snapkeep;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::FuzzInput input(data, size);
    const size_t capacity = input.Byte();
    const std::string_view key = input.Bytes(input.Byte() % 32);
    const std::string_view text = input.Rest();

    for (std::string_view separators : {kFixedSeparators, kOthersSeparators, kCaptionSeparators}) {
        const std::string value = FindKeyValueEx(text, key, "default", separators, capacity);
        // An accepted value never reaches the capacity; the default is returned whole.
        if (value != "default" && capacity > 0 && value.size() + 1 > capacity)
            std::abort();
    }
    const std::string fixed = FindKeyValue(text, key, "", capacity);
    if (!fixed.empty() && fixed.size() + 1 > capacity)
        std::abort();
    ParseNumber(fixed);
    ParseNumber(text);

    // The same bytes read as UTF-16 code units, as a language file is read.
    std::u16string wide(text.size() / 2, u'\0');
    std::memcpy(wide.data(), text.data(), wide.size() * 2);
    const std::u16string wideKey(key.begin(), key.end());
    const std::u16string value = FindKeyValueW(wide, wideKey, u"", kLanguageSeparators, capacity);
    if (!value.empty() && value.size() + 1 > capacity)
        std::abort();

    std::string others(text);
    const std::vector<std::string> tokens = SplitTokens(others, " ,;", capacity);
    if (tokens.size() > capacity)
        std::abort();
    return 0;
}

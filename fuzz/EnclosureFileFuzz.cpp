// The simulated enclosures' description over any bytes: every entry it yields is one the
// simulated devices can use.
#include "device/EnclosureFile.h"

#include <cstdlib>

using namespace snapkeep;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto entries =
        ParseEnclosureFile(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const EnclosureEntry& entry : entries) {
        if (entry.buttonPin < 0 || entry.buttonPin > 31)
            std::abort();
        for (char letter : entry.letters)
            if (letter < 'A' || letter > 'Z')
                std::abort();
    }
    return 0;
}

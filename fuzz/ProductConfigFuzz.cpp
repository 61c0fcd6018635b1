// The product configuration reader over any stored bytes: descrambling at every length and the
// ten lookups. The clear form of the input is also scrambled and read, so the lookups see
// readable text as often as noise.
#include "store/ProductConfig.h"

#include <cstdlib>
#include <string>

using namespace snapkeep;

namespace {

void Check(const ProductConfig& config) {
    for (const std::string* value : {&config.Model, &config.FwVer0, &config.FwVer1, &config.FwVer2,
                                     &config.FwVer3, &config.FwVer4})
        if (value->size() > 7)
            std::abort();
    if (config.MainFormCaption.size() > 63)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string stored(reinterpret_cast<const char*>(data), size);
    Check(ParseProductConfig(stored));

    std::string scrambled(stored.size(), '\0');
    DescrambleConfig(reinterpret_cast<const uint8_t*>(stored.data()),
                     reinterpret_cast<uint8_t*>(scrambled.data()), stored.size());
    // Bytes past the last whole word are the caller's: keep the input's.
    for (size_t i = stored.size() / 4 * 4; i < stored.size(); ++i)
        scrambled[i] = stored[i];
    Check(ParseProductConfig(scrambled));
    return 0;
}

#include "app/VersionResource.h"

#include <string_view>

namespace snapkeep {

namespace {

constexpr uint32_t kFixedInfoSignature = 0xFEEF04BD;
constexpr size_t kFixedInfoSize = 13 * 4; // thirteen 32-bit fields
constexpr std::u16string_view kKey = u"VS_VERSION_INFO";

uint16_t Word(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}
uint32_t DoubleWord(const uint8_t* at) {
    return Word(at) | static_cast<uint32_t>(Word(at + 2)) << 16;
}

} // namespace

std::optional<FileVersion> FixedFileVersion(const uint8_t* data, size_t size) {
    // Header: total length, length of the value, type; then the key, UTF-16 with its 0.
    constexpr size_t kHeader = 6;
    if (data == nullptr || size < kHeader)
        return std::nullopt;
    const size_t length = Word(data);
    const size_t valueLength = Word(data + 2);
    if (length < kHeader || length > size)
        return std::nullopt; // the block's own length rules: nothing past it belongs to it
    size_t at = kHeader;
    for (char16_t expected : kKey) {
        if (at + 2 > length || Word(data + at) != expected)
            return std::nullopt;
        at += 2;
    }
    if (at + 2 > length || Word(data + at) != 0)
        return std::nullopt;
    at += 2;
    at = (at + 3) & ~size_t{3};
    if (valueLength < kFixedInfoSize || at + kFixedInfoSize > length)
        return std::nullopt;
    if (DoubleWord(data + at) != kFixedInfoSignature)
        return std::nullopt;
    return FileVersion{DoubleWord(data + at + 8), DoubleWord(data + at + 12)};
}

} // namespace snapkeep

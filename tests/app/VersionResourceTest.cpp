#include "app/VersionResource.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace snapkeep;

namespace {

// A VS_VERSIONINFO block as the resource compiler lays it out: header, key, padding to 32 bits,
// the fixed file information, then (here) nothing more.
std::vector<uint8_t> Block(uint32_t ms, uint32_t ls, std::u16string key = u"VS_VERSION_INFO",
                           uint32_t signature = 0xFEEF04BD, uint16_t valueLength = 52) {
    std::vector<uint8_t> bytes;
    auto word = [&](uint16_t w) {
        bytes.push_back(static_cast<uint8_t>(w));
        bytes.push_back(static_cast<uint8_t>(w >> 8));
    };
    auto dword = [&](uint32_t d) {
        word(static_cast<uint16_t>(d));
        word(static_cast<uint16_t>(d >> 16));
    };
    word(0); // length, filled in below
    word(valueLength);
    word(0); // binary
    for (char16_t c : key)
        word(c);
    word(0);
    while (bytes.size() % 4)
        bytes.push_back(0);
    dword(signature);
    dword(0x00010000); // structure version
    dword(ms);
    dword(ls);
    for (int i = 0; i < 9; ++i)
        dword(0);
    bytes[0] = static_cast<uint8_t>(bytes.size());
    bytes[1] = static_cast<uint8_t>(bytes.size() >> 8);
    return bytes;
}

TEST(VersionResource, ReadsTheFileVersionOfTheFixedInformation) {
    const std::vector<uint8_t> block = Block(0x00010002, 0x00030004);
    const auto version = FixedFileVersion(block.data(), block.size());
    ASSERT_TRUE(version);
    EXPECT_EQ(version->MostSignificant, 0x00010002u);
    EXPECT_EQ(version->LeastSignificant, 0x00030004u);
    // Bytes after the block (the resource's string tables, padding) are not its business.
    std::vector<uint8_t> longer = block;
    longer.resize(longer.size() + 300, 0xCC);
    EXPECT_TRUE(FixedFileVersion(longer.data(), longer.size()));
}

TEST(VersionResource, RefusesWhatIsNotAWholeFixedInformation) {
    const std::vector<uint8_t> good = Block(1, 2);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        size_t size;
    };
    const std::vector<uint8_t> noValue = Block(1, 2, u"VS_VERSION_INFO", 0xFEEF04BD, 0);
    const std::vector<uint8_t> otherKey = Block(1, 2, u"VS_VERSION_INFX");
    const std::vector<uint8_t> badSignature = Block(1, 2, u"VS_VERSION_INFO", 0xFEEF04BC);
    const Case cases[] = {
        {"empty", {}, 0},
        {"cut inside the key", good, 20},
        {"cut inside the fixed information", good, good.size() - 1},
        {"no value", noValue, noValue.size()},
        {"another key", otherKey, otherKey.size()},
        {"wrong signature", badSignature, badSignature.size()},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(FixedFileVersion(c.bytes.data(), c.size)) << c.what;
    EXPECT_FALSE(FixedFileVersion(nullptr, 100));
}

} // namespace

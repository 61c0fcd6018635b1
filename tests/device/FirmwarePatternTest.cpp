#include "device/FirmwarePattern.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {

TEST(PatternMatch, HashIsAnyOneCharacter) {
    const struct {
        const char* pattern;
        const char* value;
        bool match;
    } cases[] = {
        {"01", "01", true},   {"01", "10", false},    {"01", "100", false}, {"#", "00", true},
        {"#", "255", true},   {"#", "", true},        {"", "37", true},     {"", "", true},
        {"###", "7", true},   {"0#", "00", true},     {"0#", "09", true},   {"0#", "10", false},
        {"0#", "0", false},   {"1##", "100", true},   {"1##", "199", true}, {"1##", "200", false},
        {"1##", "99", false}, {"1##", "1000", false}, {"#2", "12", true},   {"#2", "13", false},
        {"0", "0", true},     {"0", "00", false},     {"ab", "AB", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PatternMatch(c.pattern, c.value), c.match)
            << "'" << c.pattern << "' vs '" << c.value << "'";
}

// Firmware bytes arrive as "%02d" texts, with "0" as the constant fifth part.
TEST(FirmwareMatches, EachPatternGatesItsPart) {
    const FirmwareParts parts = {"01", "10", "100", "07", "0"};
    EXPECT_TRUE(FirmwareMatches(ProductConfig{}, parts)); // all "#" by default

    const struct {
        int k;
        const char* pattern;
        bool match;
    } cases[] = {
        {0, "01", true},  {0, "10", false}, {1, "1#", true}, {1, "0#", false}, {2, "1##", true},
        {2, "10", false}, {3, "0#", true},  {3, "7", false}, {4, "0", true},   {4, "#", true},
        {4, "", true},    {4, "00", false}, {4, "1", false},
    };
    for (const auto& c : cases) {
        ProductConfig config;
        std::string* patterns[] = {&config.FwVer0, &config.FwVer1, &config.FwVer2, &config.FwVer3,
                                   &config.FwVer4};
        *patterns[c.k] = c.pattern;
        EXPECT_EQ(FirmwareMatches(config, parts), c.match)
            << "FwVer" << c.k << " = '" << c.pattern << "'";
    }
}

} // namespace

#include "app/VersionText.h"

#include <gtest/gtest.h>

using namespace snapkeep;

TEST(VersionText, FourUnsignedPartsAfterOneBlank) {
    EXPECT_EQ(FormatVersionText(0x00000000, 0x00000035), " 0.0.0.53");
    EXPECT_EQ(FormatVersionText(0x00010002, 0x00030004), " 1.2.3.4");
    EXPECT_EQ(FormatVersionText(0xFFFFFFFF, 0xFFFF0000), " 65535.65535.65535.0");
}

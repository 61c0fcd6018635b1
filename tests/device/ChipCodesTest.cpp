#include "device/ChipCodes.h"

#include <gtest/gtest.h>

#include <string>

using namespace snapkeep;

namespace {

TEST(ChipCodes, TableByFamilyNumber) {
    const char* expected[] = {"786", "782", "785", "785", "783", "753", "719", "710", "712", "712",
                              "715", "417", "483", "403", "407", "409", "400", "406", "402", "405",
                              "401", "715", "719", "712", "712", "719", "712", "712", "404", "485",
                              "493", "433", "783", "785", "781", "783", "786", "782"};
    for (int family = 1; family <= 38; ++family)
        EXPECT_EQ(ChipCode(static_cast<ChipFamily>(family)), expected[family - 1]) << family;
    EXPECT_EQ(ChipCode(0), "");
    EXPECT_EQ(ChipCode(39), "");
}

TEST(ChipCodes, SearchAnswersTheLowestFamilyAndNeedsThreeCharacters) {
    EXPECT_EQ(FamilyOfCode("785"), 3);  // not 4 or 34
    EXPECT_EQ(FamilyOfCode("712"), 9);  // not 10, 24, 25, 27 or 28
    EXPECT_EQ(FamilyOfCode("782"), 2);  // not 38
    EXPECT_EQ(FamilyOfCode("7851"), 3); // only the first three characters count
    EXPECT_EQ(FamilyOfCode("78"), 0);
    EXPECT_EQ(FamilyOfCode(""), 0);
    EXPECT_EQ(FamilyOfCode("716"), 0);
    EXPECT_EQ(FamilyOfCode(std::string("78\0"
                                       "6",
                                       4)),
              0);
}

TEST(ChipCodes, IdentificationStringsInOrder) {
    EXPECT_EQ(FamilyOfChipId("q786K"), 1);
    EXPECT_EQ(FamilyOfChipId("q785R6xy"), 4);
    EXPECT_EQ(FamilyOfChipId("q785R"), 0); // shorter than its string
    EXPECT_EQ(FamilyOfChipId("q783K"), 5);
    EXPECT_EQ(FamilyOfChipId("q783M"), 33);
    EXPECT_EQ(FamilyOfChipId("q493R"), 31);
    EXPECT_EQ(FamilyOfChipId("q7190000"), 7);
    EXPECT_EQ(FamilyOfChipId("q6715"), 11);
    EXPECT_EQ(FamilyOfChipId("Q786K"), 0);
    EXPECT_EQ(FamilyOfChipId(""), 0);
}

} // namespace

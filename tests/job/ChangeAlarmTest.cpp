// When a backup's scan finds so much of the earlier backup changed that the job asks first.
#include "job/ChangeAlarm.h"

#include <gtest/gtest.h>

using namespace snapkeep;

TEST(ChangeAlarm, AsksWhenHalfOrMoreOfAtLeastTwentyBackedUpFilesChanged) {
    const struct {
        std::uint32_t withCopy;
        std::uint32_t changed;
        bool asks;
    } cases[] = {
        {40, 30, true},  // three quarters
        {40, 20, true},  // exactly half, exactly 20
        {41, 20, false}, // just under half
        {38, 19, false}, // half, but fewer than 20 changed
        {19, 19, false}, // every file, but only 19
        {10000, 4999, false}, {10000, 5000, true},
        {0, 0, false}, // a first backup: nothing had a copy
        {20, 20, true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TooManyBackedUpFilesChanged(c.withCopy, c.changed), c.asks)
            << c.changed << " of " << c.withCopy;
}

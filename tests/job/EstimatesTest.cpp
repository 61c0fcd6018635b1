#include "job/Estimates.h"

#include <gtest/gtest.h>

#include <limits>

using namespace snapkeep;

namespace {

TEST(EstimateCopyMs, SmallWriteTimeIsTheFloor) {
    struct Case {
        std::uint64_t bytes;
        std::int32_t ms;
    };
    // Small-write time 6 ms, 1 MiB in 20 ms.
    const Case cases[] = {{0, 6},        {10, 6},          {11, 6},
                          {1024, 6},     {5 << 20, 100},   {(1 << 20) - 1, 19},
                          {1 << 20, 20}, {300 << 20, 6000}};
    for (const Case& c : cases)
        EXPECT_EQ(EstimateCopyMs(c.bytes, 6, 20), c.ms) << c.bytes;
}

TEST(EstimateCopyMs, SaturatesInsteadOfWrapping) {
    constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
    // 2 TiB at 1,100 ms per MiB is 2,306,867,200 ms: beyond 32 bits.
    EXPECT_EQ(EstimateCopyMs(std::uint64_t{2} << 40, 6, 1100), kMax);
    // The product itself beyond 64 bits.
    EXPECT_EQ(EstimateCopyMs(std::numeric_limits<std::uint64_t>::max(), 6, kMax), kMax);
    EXPECT_EQ(EstimateCopyMs(std::uint64_t{2} << 40, 6, 1000), 2097152000);
}

TEST(SplitSeconds, FourRanges) {
    struct Case {
        std::int64_t seconds;
        Clock clock;
    };
    const Case cases[] = {{0, {0, 0, 0}},        {59, {0, 0, 59}},      {60, {0, 1, 0}},
                          {3599, {0, 59, 59}},   {3600, {1, 0, 0}},     {3661, {1, 1, 1}},
                          {86399, {23, 59, 59}}, {86400, {23, 59, 59}}, {90061, {23, 59, 59}}};
    for (const Case& c : cases)
        EXPECT_EQ(SplitSeconds(c.seconds), c.clock) << c.seconds;
}

TEST(TimeLeft, OneSecondWhileEitherEstimateIsUnderASecond) {
    EXPECT_EQ(TimeLeft(0, 0), (Clock{0, 0, 1}));
    EXPECT_EQ(TimeLeft(999, 50000), (Clock{0, 0, 1}));
    EXPECT_EQ(TimeLeft(50000, 999), (Clock{0, 0, 1}));
    EXPECT_EQ(TimeLeft(90061000, 90061000), (Clock{23, 59, 59}));
    EXPECT_EQ(TimeLeft(3661000, 3661999), (Clock{1, 1, 1}));
    EXPECT_EQ(TimeLeft(7000, 2500), (Clock{0, 0, 2})) << "the smaller, in whole seconds";
}

TEST(Formats, ClockAndCounts) {
    EXPECT_EQ(FormatClock({1, 1, 1}), u": 01:01:01");
    EXPECT_EQ(FormatClock({23, 59, 59}), u": 23:59:59");
    struct Case {
        std::uint64_t value;
        std::u16string separator;
        std::u16string text;
    };
    const Case cases[] = {{0, u",", u"0"},
                          {999, u",", u"999"},
                          {1000, u",", u"1,000"},
                          {12000, u".", u"12.000"},
                          {1000000, u",", u"1,000,000"},
                          {123456789, u"\u00A0", u"123\u00A0456\u00A0789"},
                          {4294967295u, u"", u"4294967295"}};
    for (const Case& c : cases)
        EXPECT_EQ(GroupThousands(c.value, c.separator), c.text) << c.value;
}

} // namespace

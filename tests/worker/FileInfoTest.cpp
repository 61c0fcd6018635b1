#include "worker/FileInfo.h"

#include "worker/CopyResult.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {

// Creation times are compared here with made-up values: Wine, where the Windows tests run,
// stores no creation time (it reports the last-write time instead).
FileInfo Sample() {
    FileInfo info;
    info.attributes = 0x20;
    info.creationTime = 132000000000000000ull;
    info.lastAccessTime = 133000000000000000ull;
    info.lastWriteTime = 132500000000000000ull;
    info.size = 0x1'0000'0400ull; // both 32-bit halves in use
    return info;
}

struct Case {
    const char* what;
    void (*change)(FileInfo&);
    int expected;
};

class CompareFileInfoTest : public testing::TestWithParam<Case> {};

TEST_P(CompareFileInfoTest, TheFirstDifferenceDecides) {
    FileInfo copy = Sample();
    GetParam().change(copy);
    EXPECT_EQ(CompareFileInfo(Sample(), copy), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareFileInfoTest,
    testing::Values(
        Case{"identical", [](FileInfo&) {}, CompareIdentical},
        Case{"only the last access differs", [](FileInfo& f) { f.lastAccessTime = 1; },
             CompareIdentical},
        Case{"read-only added", [](FileInfo& f) { f.attributes |= 1; }, CompareAttributesDiffer},
        Case{"low half of the size", [](FileInfo& f) { f.size += 1; }, CompareSizesDiffer},
        Case{"high half of the size", [](FileInfo& f) { f.size -= 0x1'0000'0000ull; },
             CompareSizesDiffer},
        Case{"creation time", [](FileInfo& f) { f.creationTime += 1; }, CompareCreationTimesDiffer},
        Case{"creation time, high bits only",
             [](FileInfo& f) { f.creationTime ^= 0x0100'0000'0000'0000ull; },
             CompareCreationTimesDiffer},
        Case{"last-write time", [](FileInfo& f) { f.lastWriteTime -= 1; },
             CompareLastWriteTimesDiffer},
        Case{"attributes and size: attributes first",
             [](FileInfo& f) {
                 f.attributes = 0x22;
                 f.size = 0;
             },
             CompareAttributesDiffer},
        Case{"size and times: size first",
             [](FileInfo& f) {
                 f.size = 1;
                 f.creationTime = 0;
                 f.lastWriteTime = 0;
             },
             CompareSizesDiffer},
        Case{"both times: creation first",
             [](FileInfo& f) {
                 f.creationTime = 0;
                 f.lastWriteTime = 0;
             },
             CompareCreationTimesDiffer}));

} // namespace

namespace {

// The rule between volumes that keep times and attributes differently. Each case changes the
// copy by a time difference or attribute bits and names the two volumes; the comparison must
// take the coarser of them, so a copy is equal exactly when the volumes cannot tell better.
constexpr std::int64_t kMs = 10'000; // file-time units in a millisecond

const VolumeTraits kNtfs = TraitsOfFileSystem(u"NTFS");
const VolumeTraits kFat = TraitsOfFileSystem(u"FAT32");
const VolumeTraits kExFat = TraitsOfFileSystem(u"exFAT");

enum class Time { Creation, LastWrite };

struct RuleCase {
    const char* what;
    VolumeTraits from, to;
    Time time;
    std::int64_t difference; // destination minus source, file-time units
    int expected;
};

class CompareRuleTest : public testing::TestWithParam<RuleCase> {};

TEST_P(CompareRuleTest, EachTimeIsComparedAtTheCoarserPrecision) {
    const RuleCase& c = GetParam();
    const FileInfo source = Sample();
    FileInfo copy = source;
    std::uint64_t& time = c.time == Time::Creation ? copy.creationTime : copy.lastWriteTime;
    time = static_cast<std::uint64_t>(static_cast<std::int64_t>(time) + c.difference);
    // A backup compares host file with enclosure copy; a restore the enclosure's file with the
    // host's: the same rule, the other way round.
    EXPECT_EQ(CompareFileInfo(source, copy, Coarser(c.from, c.to)), c.expected) << c.what;
    EXPECT_EQ(CompareFileInfo(copy, source, Coarser(c.to, c.from)), c.expected)
        << c.what << " (restore)";
}

constexpr std::int64_t kSecond = 1000 * kMs;
constexpr std::int64_t kHour = 3600 * kSecond;

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareRuleTest,
    testing::Values(RuleCase{"NTFS to NTFS: 100 ns apart", kNtfs, kNtfs, Time::LastWrite, 1,
                             CompareLastWriteTimesDiffer},
                    RuleCase{"NTFS to NTFS: creation 100 ns apart", kNtfs, kNtfs, Time::Creation,
                             -1, CompareCreationTimesDiffer},
                    RuleCase{"NTFS to NTFS: one hour apart", kNtfs, kNtfs, Time::LastWrite, kHour,
                             CompareLastWriteTimesDiffer},
                    RuleCase{"FAT: last write just under 2 s apart", kNtfs, kFat, Time::LastWrite,
                             2 * kSecond - 1, CompareIdentical},
                    RuleCase{"FAT: last write 2 s apart", kNtfs, kFat, Time::LastWrite, 2 * kSecond,
                             CompareLastWriteTimesDiffer},
                    RuleCase{"FAT: last write 3 s apart", kNtfs, kFat, Time::LastWrite,
                             -3 * kSecond, CompareLastWriteTimesDiffer},
                    RuleCase{"FAT: creation 9.9999 ms apart", kNtfs, kFat, Time::Creation,
                             10 * kMs - 1, CompareIdentical},
                    RuleCase{"FAT: creation 10 ms apart", kNtfs, kFat, Time::Creation, 10 * kMs,
                             CompareCreationTimesDiffer},
                    // One time an hour off and the other not: no clock change did that.
                    RuleCase{"FAT: only the last write an hour later", kNtfs, kFat, Time::LastWrite,
                             kHour, CompareLastWriteTimesDiffer},
                    RuleCase{"FAT: only the last write an hour earlier, within the 2 s", kNtfs,
                             kFat, Time::LastWrite, -kHour + 2 * kSecond - 1,
                             CompareLastWriteTimesDiffer},
                    RuleCase{"FAT: an hour and 2 s", kNtfs, kFat, Time::LastWrite,
                             kHour + 2 * kSecond, CompareLastWriteTimesDiffer},
                    RuleCase{"FAT: only the creation an hour off", kNtfs, kFat, Time::Creation,
                             -kHour, CompareCreationTimesDiffer},
                    RuleCase{"FAT: two hours off", kNtfs, kFat, Time::LastWrite, 2 * kHour,
                             CompareLastWriteTimesDiffer},
                    RuleCase{"exFAT: 9.9999 ms apart", kNtfs, kExFat, Time::LastWrite, 10 * kMs - 1,
                             CompareIdentical},
                    RuleCase{"exFAT: 10 ms apart", kNtfs, kExFat, Time::LastWrite, -10 * kMs,
                             CompareLastWriteTimesDiffer},
                    RuleCase{"exFAT: an hour off is a change", kNtfs, kExFat, Time::LastWrite,
                             kHour, CompareLastWriteTimesDiffer},
                    RuleCase{"FAT to exFAT: the coarser 2 s", kFat, kExFat, Time::LastWrite,
                             kSecond, CompareIdentical},
                    RuleCase{"a creation time the volume does not keep", kNtfs,
                             VolumeTraits{kTimeNotKept, kTimeExact, kSettableAttributes, false},
                             Time::Creation, 40 * kHour, CompareIdentical},
                    // A volume that gives back another last-write time than the one set (one
                    // shifted by a time zone) cannot show an edit that kept the size.
                    RuleCase{"a last-write time that does not come back as set", kNtfs,
                             VolumeTraits{kTimeExact, kTimeNotKept, kSettableAttributes, false},
                             Time::LastWrite, 0, CompareLastWriteTimesDiffer},
                    RuleCase{"such a time on FAT, an hour off", kNtfs,
                             VolumeTraits{kTime10Ms, kTimeNotKept, kFatAttributes, true},
                             Time::LastWrite, kHour, CompareLastWriteTimesDiffer}));

// A clock change moves every time a FAT volume keeps by the same hour, the same way; anything
// else an hour off is a change (a state file rewritten an hour after its copy, same size).
struct HourCase {
    const char* what;
    VolumeTraits to;
    std::int64_t creation, lastWrite; // destination minus source, file-time units
    int expected;
};

class FatHourTest : public testing::TestWithParam<HourCase> {};

TEST_P(FatHourTest, TheHourIsForgivenOnlyWhenEveryKeptTimeMovedByIt) {
    const HourCase& c = GetParam();
    const FileInfo source = Sample();
    FileInfo copy = source;
    copy.creationTime =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(copy.creationTime) + c.creation);
    copy.lastWriteTime =
        static_cast<std::uint64_t>(static_cast<std::int64_t>(copy.lastWriteTime) + c.lastWrite);
    EXPECT_EQ(CompareFileInfo(source, copy, Coarser(kNtfs, c.to)), c.expected) << c.what;
    EXPECT_EQ(CompareFileInfo(copy, source, Coarser(c.to, kNtfs)), c.expected)
        << c.what << " (restore)";
}

const VolumeTraits kFatWithoutCreation{kTimeNotKept, kTime2S, kFatAttributes, true};

INSTANTIATE_TEST_SUITE_P(
    Cases, FatHourTest,
    testing::Values(
        HourCase{"FAT: both an hour later", kFat, kHour, kHour, CompareIdentical},
        HourCase{"FAT: both an hour earlier", kFat, -kHour, -kHour, CompareIdentical},
        HourCase{"FAT: both an hour later within their precisions", kFat, kHour + 10 * kMs - 1,
                 kHour - 2 * kSecond + 1, CompareIdentical},
        HourCase{"FAT: last write an hour later, creation the same", kFat, 0, kHour,
                 CompareLastWriteTimesDiffer},
        HourCase{"FAT: creation an hour later, last write the same", kFat, kHour, 0,
                 CompareCreationTimesDiffer},
        HourCase{"FAT: an hour later and an hour earlier", kFat, kHour, -kHour,
                 CompareCreationTimesDiffer},
        HourCase{"FAT: an hour earlier and an hour later", kFat, -kHour, kHour,
                 CompareCreationTimesDiffer},
        HourCase{"FAT: creation an hour off, last write an hour and 2 s", kFat, kHour,
                 kHour + 2 * kSecond, CompareCreationTimesDiffer},
        HourCase{"FAT: both two hours later", kFat, 2 * kHour, 2 * kHour,
                 CompareCreationTimesDiffer},
        HourCase{"FAT without creation times: last write an hour later", kFatWithoutCreation,
                 5 * kSecond, kHour, CompareIdentical},
        HourCase{"FAT without creation times: last write an hour and 2 s", kFatWithoutCreation, 0,
                 kHour + 2 * kSecond, CompareLastWriteTimesDiffer},
        HourCase{"exFAT keeps no local time", kExFat, kHour, kHour, CompareCreationTimesDiffer},
        HourCase{"NTFS keeps no local time", kNtfs, kHour, kHour, CompareCreationTimesDiffer}));

struct AttributeCase {
    const char* what;
    VolumeTraits from, to;
    std::uint32_t sourceBits, copyBits;
    int expected;
};

class CompareAttributesTest : public testing::TestWithParam<AttributeCase> {};

TEST_P(CompareAttributesTest, OnlyBitsBothVolumesKeepAndACopyCanSetCount) {
    const AttributeCase& c = GetParam();
    FileInfo source = Sample();
    FileInfo copy = Sample();
    source.attributes = c.sourceBits;
    copy.attributes = c.copyBits;
    EXPECT_EQ(CompareFileInfo(source, copy, Coarser(c.from, c.to)), c.expected) << c.what;
    EXPECT_EQ(CompareFileInfo(copy, source, Coarser(c.to, c.from)), c.expected)
        << c.what << " (restore)";
}

constexpr std::uint32_t kCompressed = 0x800, kSparse = 0x200, kEncrypted = 0x4000;

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareAttributesTest,
    testing::Values(
        AttributeCase{"NTFS: hidden differs", kNtfs, kNtfs, 0x22, 0x20, CompareAttributesDiffer},
        AttributeCase{"NTFS: not content indexed differs", kNtfs, kNtfs, 0x2020, 0x20,
                      CompareAttributesDiffer},
        AttributeCase{"NTFS: compressed, sparse, encrypted cannot be copied", kNtfs, kNtfs,
                      0x20 | kCompressed | kSparse | kEncrypted, 0x20, CompareIdentical},
        AttributeCase{"NTFS: NORMAL stands for no bits", kNtfs, kNtfs, 0x80, 0, CompareIdentical},
        AttributeCase{"FAT keeps no content-index bit", kNtfs, kFat, 0x2021, 0x21,
                      CompareIdentical},
        AttributeCase{"FAT keeps read-only", kNtfs, kFat, 0x21, 0x20, CompareAttributesDiffer},
        AttributeCase{"exFAT keeps no temporary bit", kNtfs, kExFat, 0x120, 0x20, CompareIdentical},
        AttributeCase{"exFAT keeps hidden", kNtfs, kExFat, 0x20, 0x22, CompareAttributesDiffer},
        AttributeCase{"a measured volume that keeps none", kNtfs,
                      VolumeTraits{kTimeExact, kTimeExact, 0, false}, 0x27, 0x20,
                      CompareIdentical}));

TEST(VolumeTraits, FileSystemNames) {
    EXPECT_EQ(TraitsOfFileSystem(u"fat32"), kFat);
    EXPECT_EQ(TraitsOfFileSystem(u"FAT"), kFat);
    EXPECT_EQ(TraitsOfFileSystem(u"EXFAT"), kExFat);
    EXPECT_EQ(kFat.lastWritePrecision, kTime2S);
    EXPECT_EQ(kFat.creationPrecision, kTime10Ms);
    EXPECT_TRUE(kFat.localTime);
    EXPECT_FALSE(kExFat.localTime);
    // An unknown name keeps the exact rule: it can never take a changed file for unchanged.
    EXPECT_EQ(TraitsOfFileSystem(u"UDF"), kNtfs);
    EXPECT_EQ(kNtfs, VolumeTraits{});
}

// A probe time lies 1.2345678 s past an even second; each volume gives back its own rounding.
TEST(VolumeTraits, PrecisionFromOneRoundTrip) {
    const std::uint64_t even = 133'000'000'000'000'000ull; // a multiple of 2 s
    const std::uint64_t written = even + kProbeTimeOffset;
    struct {
        const char* what;
        std::uint64_t read;
        std::uint64_t expected;
    } cases[] = {
        {"kept exactly", written, kTimeExact},
        {"cut to 1 us", even + 12'345'670, 10},
        {"cut to 10 ms (exFAT)", even + 12'300'000, kTime10Ms},
        {"rounded to 1 ms", even + 12'350'000, 10'000},
        {"cut to 1 s (exFAT through FUSE)", even + kTime1S, kTime1S},
        {"cut to 2 s (FAT)", even, kTime2S},
        {"rounded up to 2 s", even + kTime2S, kTime2S},
        {"another time altogether", even - 5 * kTime2S, kTimeNotKept},
        {"shifted by a time zone", written + kOneHour, kTimeNotKept},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PrecisionOfRoundTrip(written, c.read), c.expected) << c.what;
}

} // namespace

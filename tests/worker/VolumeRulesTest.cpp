// Learning what a volume keeps writes one file of the program's own at the volume's root. That
// root is the user's disk: whatever the user keeps there under the probe's names stays as it was.
#include "worker/VolumeRules.h"

#include "TempDir.h"
#include "WorkerTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

constexpr std::uint64_t kSomeTime = 132'000'000'000'000'000ull;

TEST(VolumeProbe, AUsersFileOrFolderOfTheProbesNameIsLeftAsItWasAndNothingStays) {
    TempDir dir;
    const std::wstring root = dir.Path() + L"\\";
    // The first name taken by a user's hidden file, the second by a folder holding a file.
    ASSERT_TRUE(WriteBytes(root + VolumeProbeName(0), "the user's own"));
    ASSERT_TRUE(SetWriteTimeAndAttributes(root + VolumeProbeName(0), kSomeTime,
                                          FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(WriteFileAt(root + VolumeProbeName(1) + L"\\inside.txt", "kept"));
    const auto before = Snapshot(dir.Path());

    const std::optional<VolumeTraits> traits = MeasureVolumeTraits(root);
    ASSERT_TRUE(traits.has_value()) << "a free name was there to measure with";
    EXPECT_NE(traits->lastWritePrecision, kTimeNotKept);
    EXPECT_EQ(Snapshot(dir.Path()), before);

    // Every name taken: no measurement, and still nothing touched.
    for (int n = 2; n <= kVolumeProbeOtherNames; ++n)
        ASSERT_TRUE(WriteBytes(root + VolumeProbeName(n), "taken"));
    const auto full = Snapshot(dir.Path());
    EXPECT_FALSE(MeasureVolumeTraits(root).has_value());
    EXPECT_EQ(Snapshot(dir.Path()), full);
}

TEST(VolumeProbe, NamesFollowOneRule) {
    EXPECT_EQ(VolumeProbeName(0), L"~snapkeep-times.tmp");
    EXPECT_EQ(VolumeProbeName(1), L"~snapkeep-times~1.tmp");
    EXPECT_EQ(VolumeProbeName(kVolumeProbeOtherNames), L"~snapkeep-times~99.tmp");
}

} // namespace

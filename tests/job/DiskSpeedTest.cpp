// The write-speed probe on real files: it measures under a name of its own and never touches a
// file or folder of the user's at the volume's root.
#include "TempDir.h"
#include "WorkerTestSupport.h"
#include "job/DiskSpeed.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

TEST(DiskSpeed, ProbesUnderTheFirstNameNotTakenAndLeavesTheUsersFilesAlone) {
    struct Case {
        const char* name;
        std::vector<const wchar_t*> files, folders; // already at the root
        const wchar_t* probe;                       // the probe's name there
    };
    const Case cases[] = {
        {"an empty root", {}, {}, L"temp.~txt"},
        {"the user's file of the usual name", {L"temp.~txt"}, {}, L"temp~1.~txt"},
        {"a file and a folder", {L"temp.~txt"}, {L"temp~1.~txt"}, L"temp~2.~txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir volume;
        const std::wstring root = volume.Path() + L"\\";
        for (const wchar_t* file : c.files)
            ASSERT_TRUE(WriteBytes(root + file, "the user's own"));
        for (const wchar_t* folder : c.folders)
            ASSERT_TRUE(::CreateDirectoryW((root + folder).c_str(), nullptr));
        EXPECT_EQ(ProbeFilePath(root), root + c.probe);

        const auto before = Snapshot(volume.Path());
        const std::optional<DiskSpeed> speed = MeasureDiskSpeed(root);
        ASSERT_TRUE(speed.has_value());
        EXPECT_GE(speed->smallFileMs, 1);
        EXPECT_GE(speed->megabyteMs, 1);
        for (const wchar_t* file : c.files)
            EXPECT_EQ(ReadBytes(root + file), "the user's own");
        EXPECT_TRUE(Snapshot(volume.Path()) == before) << "the root changed: a probe stayed";
    }
}

TEST(DiskSpeed, ARootThatCannotBeWrittenGivesNoMeasurement) {
    TempDir volume;
    EXPECT_EQ(ProbeFilePath(volume / L"gone\\"), L"") << "a root that is not there";
    EXPECT_FALSE(MeasureDiskSpeed(volume / L"gone\\").has_value());
    // Every name taken by the user: nothing is replaced, no measurement.
    const std::wstring root = volume.Path() + L"\\";
    ASSERT_TRUE(WriteBytes(root + L"temp.~txt", "mine"));
    for (int n = 1; n <= 99; ++n)
        ASSERT_TRUE(
            ::CreateDirectoryW((root + L"temp~" + std::to_wstring(n) + L".~txt").c_str(), nullptr));
    EXPECT_FALSE(MeasureDiskSpeed(root).has_value());
    EXPECT_EQ(ReadBytes(root + L"temp.~txt"), "mine");
}

} // namespace

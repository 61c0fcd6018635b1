#include "worker/PathMapping.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {

struct Case {
    std::u16string host;
    std::u16string device; // where a backup with device root E:\ puts it
};

class PathMapping : public testing::TestWithParam<Case> {};

TEST_P(PathMapping, BackupAndRestoreAreInverse) {
    const Case& c = GetParam();
    EXPECT_EQ(MapBackupPath(c.host, u"E:\\"), c.device);
    EXPECT_EQ(MapRestorePath(c.device), c.host);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PathMapping,
    testing::Values(
        Case{u"C:\\Users\\Ann\\report.docx", u"E:\\Backup\\C\\Users\\Ann\\report.docx"},
        Case{u"C:\\a.txt", u"E:\\Backup\\C\\a.txt"},
        Case{u"D:\\Fotos\\2020\\IMG 0001.JPG", u"E:\\Backup\\D\\Fotos\\2020\\IMG 0001.JPG"},
        // The enclosure's own drive backed up into itself still maps both ways.
        Case{u"E:\\Backup\\C\\x.txt", u"E:\\Backup\\E\\Backup\\C\\x.txt"},
        // Network folders have no drive letter: they live under "UNC".
        Case{u"\\\\server\\share\\dir\\f.txt", u"E:\\Backup\\UNC\\server\\share\\dir\\f.txt"}));

TEST(PathMappingBackup, UsesTheDeviceRootAsGiven) {
    EXPECT_EQ(MapBackupPath(u"C:\\dir\\f", u"F:\\"), u"F:\\Backup\\C\\dir\\f");
    EXPECT_EQ(MapBackupPath(u"C:\\dir\\f", u"C:\\tmp\\dev\\"), u"C:\\tmp\\dev\\Backup\\C\\dir\\f");
}

TEST(PathMappingBackup, PathsOfNeitherFormMapNowhere) {
    EXPECT_FALSE(MapBackupPath(u"relative\\f.txt", u"E:\\").has_value());
    EXPECT_FALSE(MapBackupPath(u"", u"E:\\").has_value());
    // No enclosure drive: not a path below the current directory.
    EXPECT_FALSE(MapBackupPath(u"C:\\a.txt", u"").has_value());
}

TEST(PathMappingRestore, FindsTheFirstBackupMarkerAsWritten) {
    // The marker is case-sensitive: a "backup" folder is not the backup tree.
    EXPECT_FALSE(MapRestorePath(u"E:\\backup\\C\\f.txt").has_value());
    // Below the drive-letter folder, further "Backup" folders are ordinary folders.
    EXPECT_EQ(MapRestorePath(u"E:\\Backup\\C\\Backup\\D\\f"), u"C:\\Backup\\D\\f");
    // Not inside a backup tree, or no folder below the marker: nowhere.
    EXPECT_FALSE(MapRestorePath(u"E:\\Photos\\f.jpg").has_value());
    EXPECT_FALSE(MapRestorePath(u"E:\\Backup\\f.jpg").has_value());
    EXPECT_FALSE(MapRestorePath(u"E:\\Backup\\\\f.jpg").has_value());
}

TEST(PathMappingLimit, IsTwoHundredSixtyUnits) {
    EXPECT_EQ(kDestinationPathLimit, 260u);
}

} // namespace

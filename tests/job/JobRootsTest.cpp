#include "job/JobRoots.h"

#include "worker/PathMapping.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {

struct Case {
    bool backup;
    std::u16string row;
    std::u16string destination;
};

TEST(JobRoots, FolderRowsOfBothDirections) {
    const Case cases[] = {
        {true, u"C:\\Users\\Ann\\Pictures\\", u"E:\\Backup\\C\\Users\\Ann\\Pictures\\"},
        {true, u"D:\\", u"E:\\Backup\\D\\"},
        {false, u"E:\\Backup\\C\\Users\\Ann\\Pictures\\", u"C:\\Users\\Ann\\Pictures\\"},
        {false, u"E:\\Backup\\C\\Users\\Ann\\", u"C:\\Users\\Ann\\"},
        {false, u"E:\\Backup\\D\\", u"D:\\"},
        // A network folder goes where the worker puts its files, and comes back from there.
        {true, u"\\\\server\\share\\docs\\", u"E:\\Backup\\UNC\\server\\share\\docs\\"},
        {false, u"E:\\Backup\\UNC\\server\\share\\docs\\", u"\\\\server\\share\\docs\\"},
        // Rows that map nowhere have no destination (and get no device-list row).
        {true, u"docs\\", u""},
        {false, u"E:\\Photos\\", u""},
    };
    for (const Case& c : cases) {
        const JobRoots roots = MakeJobRoots(c.backup, c.row, u"E:\\");
        EXPECT_EQ(roots.source, c.row);
        EXPECT_EQ(roots.destination, c.destination)
            << (c.backup ? "backup " : "restore ") << std::string(c.row.begin(), c.row.end());
    }
}

TEST(JobRoots, EveryFileBelowTheRowLandsBelowItsDestination) {
    for (const std::u16string row : {u"C:\\Users\\Ann\\", u"\\\\server\\share\\"}) {
        const std::u16string file = row + u"sub\\f.txt";
        const JobRoots roots = MakeJobRoots(true, row, u"E:\\");
        EXPECT_EQ(*MapBackupPath(file, u"E:\\"), roots.destination + u"sub\\f.txt");
        // And the restore of that device row brings the file back where it was.
        const JobRoots back = MakeJobRoots(false, roots.destination, u"E:\\");
        EXPECT_EQ(back.destination, row);
        EXPECT_EQ(*MapRestorePath(roots.destination + u"sub\\f.txt"), file);
    }
}

} // namespace

// The enclosure's index on real folders: a link where the Backup folder or the index should be
// is neither read nor written through.
#include "job/EnclosureIndexFile.h"

#include "TempDir.h"
#include "WorkerTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

const IndexEntry kEntry{u"Backup\\C\\Users\\Ann\\", u"C:\\Users\\Ann\\", u"PC",
                        u"2026-12-11T03:20:00Z", u""};

TEST(EnclosureIndexFile, IsWrittenAndReadBackOnAPlainDisk) {
    TempDir disk;
    const std::wstring root = disk.Path() + L"\\";
    ASSERT_TRUE(PutEnclosureIndexEntry(root, kEntry));
    const auto entries = ReadEnclosureIndex(root);
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ(*entries, std::vector<IndexEntry>{kEntry});
}

// A crafted disk whose Backup folder leads elsewhere (here to another disk's Backup folder,
// which holds a good index): the program reads no index there and writes none.
TEST(EnclosureIndexFile, ABackupFolderThatIsALinkIsNeitherReadNorWritten) {
    TempDir other, crafted;
    const std::wstring otherRoot = other.Path() + L"\\";
    ASSERT_TRUE(PutEnclosureIndexEntry(otherRoot, kEntry));
    const std::string before = ReadBytes(otherRoot + L"Backup\\Snapkeep Index.txt");
    if (!MakeFolderLink(crafted.Path() + L"\\Backup", otherRoot + L"Backup"))
        GTEST_SKIP() << "folder links cannot be made here";
    const std::wstring root = crafted.Path() + L"\\";
    EXPECT_FALSE(ReadEnclosureIndex(root).has_value());
    IndexEntry another = kEntry;
    another.folder = u"Backup\\D\\Photos\\";
    EXPECT_FALSE(PutEnclosureIndexEntry(root, another));
    EXPECT_EQ(ReadBytes(otherRoot + L"Backup\\Snapkeep Index.txt"), before);
}

} // namespace

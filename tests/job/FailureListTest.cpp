#include "job/FailureList.h"

#include <gtest/gtest.h>

#include <thread>

using namespace snapkeep;

namespace {

const FailureTexts kTexts{
    u"Fail",
    u"Destination path is too long",
    u"Destination file cannot be created",
    u"Source file cannot be duplicated",
    u"File of 4 GB or more cannot be stored on a FAT volume",
    u"Name clashes",
    u"New copy kept under this name",
    u"Folder lies inside the backup tree",
    u"In use by another program",
    u"File changed while it was being copied",
    u"Times on this volume cannot be trusted",
    u"Named streams of %1 files are not kept on this volume",
    u"This is a link",
    u"Not enough room on the USB device to keep the earlier copy safe",
    u"Temporary file of an interrupted copy, kept because its file is missing",
    u"Folder not found",
    u"Not restored: it would go into a Windows folder"};

TEST(FailureLine, PathAndReasonByCode) {
    struct Case {
        std::int32_t code;
        std::u16string line;
    };
    const std::u16string src = u"C:\\a\\f.txt";
    const std::u16string dst = u"E:\\Backup\\C\\a\\f.txt";
    const Case cases[] = {
        {7, dst + u"; Fail: Destination path is too long."},
        {4, dst + u"; Fail: Destination file cannot be created."},
        {5, dst + u"; Fail: Destination file cannot be created."},
        {6, dst + u"; Fail: Destination file cannot be created."},
        {8, dst + u"; Fail: Destination file cannot be created."},
        {9, dst + u"; Fail: Destination file cannot be created."},
        {106, dst + u"; Fail: Destination file cannot be created."},
        {12, dst + u"; Fail: Temporary file of an interrupted copy, kept because its file is "
                   u"missing."},
        {20, dst + u"; Fail: Not enough room on the USB device to keep the earlier copy safe."},
        {11, dst + u"; Fail: File of 4 GB or more cannot be stored on a FAT volume."},
        {1, src + u"; Fail: Source file cannot be duplicated."},
        {2, src + u"; Fail: Source file cannot be duplicated."},
        {3, src + u"; Fail: Source file cannot be duplicated."},
        {10, src + u"; Fail: Source file cannot be duplicated."},
        {107, src + u"; Fail: Source file cannot be duplicated."},
        {13, src + u"; Fail: Name clashes."},
        {14, dst + u"; Fail: New copy kept under this name."},
        {15, src + u"; Fail: Folder lies inside the backup tree."},
        {16, src + u"; Fail: In use by another program."},
        {17, src + u"; Fail: File changed while it was being copied."},
        // A line for a volume: the worker gives its root as both paths.
        {18, src + u"; Fail: Times on this volume cannot be trusted."},
        {19, dst + u"; Fail: This is a link."}, // the walk puts the link's path there
        {21, src + u"; Fail: Folder not found."},
        {22, dst + u"; Fail: Not restored: it would go into a Windows folder."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MakeFailureLine(c.code, src, dst, kTexts), c.line) << c.code;
}

TEST(FailureLine, DroppedStreamsAreCountedOnTheVolumesLine) {
    EXPECT_EQ(MakeDroppedStreamsLine(u"E:\\", u"1,024", kTexts),
              u"E:\\; Fail: Named streams of 1,024 files are not kept on this volume.");
}

TEST(FailureLine, AFileThatMapsNowhereShowsItsSource) {
    EXPECT_EQ(MakeFailureLine(8, u"\\\\?\\odd\\f.txt", u"", kTexts),
              u"\\\\?\\odd\\f.txt; Fail: Destination file cannot be created.");
}

TEST(FailureList, ReadWhileAppended) {
    FailureList list;
    std::thread worker([&] {
        for (int i = 0; i < 2000; ++i)
            list.Append(u"line " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26)));
    });
    size_t shown = 0;
    while (shown < 2000) {
        const std::vector<std::u16string> lines = list.LinesFrom(shown);
        for (const std::u16string& line : lines)
            EXPECT_EQ(line,
                      u"line " + std::u16string(1, static_cast<char16_t>(u'a' + shown++ % 26)));
    }
    worker.join();
    EXPECT_EQ(list.Size(), 2000u);
    EXPECT_TRUE(list.LinesFrom(2000).empty());
}

} // namespace

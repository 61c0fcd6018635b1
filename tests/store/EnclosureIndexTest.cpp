#include "store/EnclosureIndex.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace snapkeep;

namespace {

std::string Utf16Le(std::u16string_view text, bool mark = true) {
    std::string out = mark ? "\xFF\xFE" : "";
    for (const char16_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

const IndexEntry kDocuments{u"Backup\\C\\Users\\Ann\\Documents\\", u"C:\\Users\\Ann\\Documents\\",
                            u"ANN-PC", u"2026-12-11T03:20:00Z", u"2026-12-11T03:21:07Z"};
const IndexEntry kSeeded{u"Backup\\D\\", u"D:\\", u"", u"", u""};

} // namespace

TEST(EnclosureIndex, WrittenAsUtf16WithMarkAndCrLf) {
    const std::string bytes = EncodeEnclosureIndex({kDocuments});
    EXPECT_EQ(bytes, Utf16Le(u"Snapkeep Index 1\r\n"
                             u"Backup\\C\\Users\\Ann\\Documents\\\tC:\\Users\\Ann\\Documents\\\t"
                             u"ANN-PC\t2026-12-11T03:20:00Z\t2026-12-11T03:21:07Z\r\n"));
    EXPECT_EQ(EncodeEnclosureIndex({}), Utf16Le(u"Snapkeep Index 1\r\n"));
}

TEST(EnclosureIndex, WhatIsWrittenReadsBack) {
    const IndexEntry running{u"backup\\unc\\server\\share\\Музыка\\",
                             u"\\\\server\\share\\Музыка\\", u"ЖЕНЯ", u"2026-01-02T03:04:05Z", u""};
    for (const std::vector<IndexEntry>& entries :
         std::vector<std::vector<IndexEntry>>{{}, {kDocuments}, {kDocuments, kSeeded, running}}) {
        const auto read = DecodeEnclosureIndex(EncodeEnclosureIndex(entries));
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, entries);
    }
}

// Anything but a whole, well-formed index is refused whole: a damaged index is an absent one.
TEST(EnclosureIndex, DamagedIndexesAreRefusedWhole) {
    const std::u16string good = u"Backup\\C\\x\\\tC:\\x\\\tPC\t2026-12-11T03:20:00Z\t\r\n";
    struct Case {
        const char* what;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"empty file", ""},
        {"mark only", "\xFF\xFE"},
        {"no mark", Utf16Le(u"Snapkeep Index 1\r\n", false)},
        {"big-endian mark", std::string("\xFE\xFF") + Utf16Le(u"Snapkeep Index 1\r\n", false)},
        {"odd length", Utf16Le(u"Snapkeep Index 1\r\n") + "x"},
        {"other header", Utf16Le(u"Snapkeep Index 2\r\n")},
        {"header without line end", Utf16Le(u"Snapkeep Index 1")},
        {"cut inside an entry", Utf16Le(u"Snapkeep Index 1\r\nBackup\\C\\x\\\tC:\\x\\\tPC\t20")},
        {"LF only", Utf16Le(u"Snapkeep Index 1\nBackup\\C\\x\\\tC:\\x\\\tPC\t\t\n")},
        {"four fields", Utf16Le(u"Snapkeep Index 1\r\nBackup\\C\\x\\\tC:\\x\\\tPC\t\r\n")},
        {"six fields", Utf16Le(u"Snapkeep Index 1\r\nBackup\\C\\x\\\tC:\\x\\\tPC\t\t\t\r\n")},
        {"empty line", Utf16Le(u"Snapkeep Index 1\r\n" + good + u"\r\n")},
        {"folder outside the tree", Utf16Le(u"Snapkeep Index 1\r\nWindows\\\tC:\\\tPC\t\t\r\n")},
        {"folder climbing out",
         Utf16Le(u"Snapkeep Index 1\r\nBackup\\C\\..\\..\\\tC:\\\tPC\t\t\r\n")},
        {"drive in a name", Utf16Le(u"Snapkeep Index 1\r\nBackup\\C\\D:\\\tC:\\\tPC\t\t\r\n")},
        {"stream in a name", Utf16Le(u"Snapkeep Index 1\r\nBackup\\C\\x:s\\\tC:\\\tPC\t\t\r\n")},
        {"no drive folder", Utf16Le(u"Snapkeep Index 1\r\nBackup\\Users\\\tC:\\\tPC\t\t\r\n")},
        {"tree itself", Utf16Le(u"Snapkeep Index 1\r\nBackup\\\tC:\\\tPC\t\t\r\n")},
        {"folder without backslash", Utf16Le(u"Snapkeep Index 1\r\nBackup\\C\tC:\\\tPC\t\t\r\n")},
        {"double backslash", Utf16Le(u"Snapkeep Index 1\r\nBackup\\C\\\\x\\\tC:\\\tPC\t\t\r\n")},
        {"empty host", Utf16Le(u"Snapkeep Index 1\r\nBackup\\C\\\t\tPC\t\t\r\n")},
        {"bad time", Utf16Le(u"Snapkeep Index 1\r\nBackup\\C\\\tC:\\\tPC\tyesterday\t\r\n")},
        {"local time",
         Utf16Le(u"Snapkeep Index 1\r\nBackup\\C\\\tC:\\\tPC\t2026-12-11 03:20:00\t\r\n")},
        {"NUL in a name", Utf16Le(std::u16string(u"Snapkeep Index 1\r\nBackup\\C\\a") + u'\0' +
                                  u"\\\tC:\\\tPC\t\t\r\n")},
        {"bad entry after a good one", Utf16Le(u"Snapkeep Index 1\r\n" + good + u"x\r\n")},
        {"too large",
         Utf16Le(u"Snapkeep Index 1\r\n") + std::string(kEnclosureIndexLimitBytes, ' ')},
    };
    for (const Case& c : cases)
        EXPECT_FALSE(DecodeEnclosureIndex(c.bytes).has_value()) << c.what;
    EXPECT_TRUE(DecodeEnclosureIndex(Utf16Le(u"Snapkeep Index 1\r\n" + good)).has_value());
}

TEST(EnclosureIndex, BackupFolderPaths) {
    struct Case {
        std::u16string_view folder;
        bool valid;
    };
    const Case cases[] = {
        {u"Backup\\C\\", true},
        {u"BACKUP\\c\\Users\\Ann\\", true},
        {u"Backup\\UNC\\server\\share\\", true},
        {u"Backup\\C\\Program Files (x86)\\", true},
        {u"Backup\\", false},
        {u"Backup\\CD\\", false},
        {u"Backup\\1\\", false},
        {u"Backup\\C", false},
        {u"\\Backup\\C\\", false},
        {u"E:\\Backup\\C\\", false},
        {u"Backup\\C\\.\\", false},
        {u"Backup\\C\\..\\", false},
        {u"Backup\\C\\a/b\\", false},
        {u"Backup\\C\\a?\\", false},
        {u"Backup\\C\\a\tb\\", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsBackupFolderPath(c.folder), c.valid)
            << std::string(c.folder.begin(), c.folder.end());
}

TEST(EnclosureIndex, TheLastWriterOfAFolderWins) {
    std::vector<IndexEntry> entries{kDocuments, kSeeded};
    IndexEntry again = kDocuments;
    again.folder = u"BACKUP\\c\\users\\ann\\documents\\";
    again.computer = u"NEW-PC";
    again.ended.clear();
    PutIndexEntry(entries, again, SameFolderAscii);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0], again);
    PutIndexEntry(entries, IndexEntry{u"Backup\\E\\", u"E:\\", u"PC", u"", u""}, SameFolderAscii);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[2].folder, u"Backup\\E\\");
}

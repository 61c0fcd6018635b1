// Where replaced files are kept, and which kept versions may be removed to make room.
#include "worker/EarlierCopies.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {
std::string Narrow(std::u16string_view text) {
    return std::string(text.begin(), text.end());
}
} // namespace

TEST(EarlierCopies, AVersionFolderIsNamedByItsJobsStartAndOnlyThatFormIsRead) {
    const LocalStamp start{2026, 12, 11, 1, 48, 10};
    EXPECT_EQ(VersionFolderName(start), u"2026-12-11 014810");
    ASSERT_TRUE(ParseVersionFolderName(u"2026-12-11 014810"));
    EXPECT_EQ(SecondsBetween(start, *ParseVersionFolderName(u"2026-12-11 014810")), 0);
    const std::u16string_view notVersions[] = {
        u"2026-12-11 01481",
        u"2026-12-11 0148100",
        u" 2026-12-11 014810",
        u"2026-12-11 014810 ",
        u"2026-12-11_014810",
        u"2026-13-11 014810",
        u"2026-02-29 000000",
        u"2026-12-32 000000",
        u"2026-12-11 240000",
        u"2026-12-11 006000",
        u"2026-12-11 000060",
        u"2026-1a-11 000000",
        u"Backup",
        u"",
        u"2026-12-11 01481x",
    };
    for (std::u16string_view name : notVersions)
        EXPECT_FALSE(ParseVersionFolderName(name)) << Narrow(name);
    EXPECT_TRUE(ParseVersionFolderName(u"2028-02-29 235959")); // a leap day
}

TEST(EarlierCopies, SecondsBetweenCrossMonthsYearsAndLeapDays) {
    EXPECT_EQ(SecondsBetween({2026, 12, 31, 23, 59, 59}, {2027, 1, 1, 0, 0, 0}), 1);
    EXPECT_EQ(SecondsBetween({2028, 2, 28, 0, 0, 0}, {2028, 3, 1, 0, 0, 0}), 2 * 86400);
    EXPECT_EQ(SecondsBetween({2027, 2, 28, 0, 0, 0}, {2027, 3, 1, 0, 0, 0}), 86400);
    EXPECT_EQ(SecondsBetween({2026, 12, 11, 0, 0, 0}, {2026, 11, 27, 0, 0, 0}), -14 * 86400);
}

// Oldest first; the running job's folder, folders younger than 14 days and names of another
// form are never offered.
TEST(EarlierCopies, OnlyFoldersAtLeastFourteenDaysOldAreRemovableOldestFirst) {
    const LocalStamp now{2026, 12, 11, 1, 48, 10};
    const std::vector<std::u16string> names = {
        u"2026-11-27 014810", // exactly 14 days
        u"2026-11-27 014811", // one second short of 14 days
        u"2025-01-01 000000",
        u"2026-12-11 014810", // the running job's
        u"2026-11-01 120000", u"2026-12-10 090000", u"old versions", u"2020-06-15 101010 copy",
    };
    const std::vector<std::u16string> expected = {u"2025-01-01 000000", u"2026-11-01 120000",
                                                  u"2026-11-27 014810"};
    EXPECT_EQ(RemovableVersionFolders(names, now, u"2026-12-11 014810"), expected);
    // Nothing old enough: nothing to remove, however full the volume.
    EXPECT_TRUE(RemovableVersionFolders({u"2026-12-01 000000", u"2026-12-11 014810"}, now,
                                        u"2026-12-11 014810")
                    .empty());
}

TEST(EarlierCopies, AVersionKeepsThePathItHadBelowBackup) {
    const struct {
        std::u16string_view destination;
        std::optional<std::u16string> expected;
    } cases[] = {
        {u"E:\\Backup\\C\\Users\\Ann\\report.docx",
         u"E:\\Backup Versions\\2026-12-11 014810\\C\\Users\\Ann\\report.docx"},
        {u"e:\\BACKUP\\D\\a.txt", u"E:\\Backup Versions\\2026-12-11 014810\\D\\a.txt"},
        {u"E:\\Backup Versions\\2026-01-01 000000\\C\\a.txt", std::nullopt},
        {u"E:\\Backup\\", std::nullopt},
        {u"F:\\Backup\\C\\a.txt", std::nullopt},
        {u"E:\\Backupx\\C\\a.txt", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(VersionPathFor(c.destination, u"E:\\", u"2026-12-11 014810"), c.expected)
            << Narrow(c.destination);
}

TEST(EarlierCopies, AFileARestoreMovesAsideKeepsItsExtensionLast) {
    const std::u16string stamp = RestoreStampText({2026, 12, 11, 1, 48, 10});
    EXPECT_EQ(stamp, u"2026-12-11 0148");
    const struct {
        std::u16string_view name;
        unsigned number;
        std::u16string_view expected;
    } cases[] = {
        {u"report.docx", 1, u"report (before restore 2026-12-11 0148).docx"},
        {u"report.docx", 2, u"report (before restore 2026-12-11 0148 2).docx"},
        {u"archive.tar.gz", 1, u"archive.tar (before restore 2026-12-11 0148).gz"},
        {u"Makefile", 1, u"Makefile (before restore 2026-12-11 0148)"},
        {u".profile", 12, u".profile (before restore 2026-12-11 0148 12)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BeforeRestoreName(c.name, stamp, c.number), c.expected) << Narrow(c.name);
}

// A replaced host file goes to the Recycle Bin only where the bin is sure to keep it.
TEST(EarlierCopies, TheRecycleBinTakesOnlyWhatItKeeps) {
    const RecycleBinFacts bin{true, false, 100};
    const struct {
        const char* what;
        bool known;
        RecycleBinFacts facts;
        std::uint64_t size;
        bool keeps;
    } cases[] = {
        {"a bin with room", true, bin, 99, true},
        {"a file as large as the whole bin", true, bin, 100, false},
        {"the bin switched off", true, {true, true, 100}, 1, false},
        {"a drive without a bin", true, {false, false, 100}, 1, false},
        {"settings that could not be read", false, bin, 1, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RecycleBinKeeps(c.known, c.facts, c.size), c.keeps) << c.what;
}

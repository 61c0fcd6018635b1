// The history's records and the end-of-job notice: what a record says, that the file keeps
// whole records under its limit, and which notice each way of ending gives.
#include "job/JobHistory.h"
#include "job/JobNotice.h"

#include <gtest/gtest.h>

#include <string>

using namespace snapkeep;

namespace {

std::string Narrow(std::u16string_view text) {
    return EncodeUtf8(text);
}

// English texts, plain numbers and sizes, so that the expected lines can be read here.
HistoryFormat EnglishFormat() {
    return {[](Text key) { return std::u16string(EnglishText(key)); },
            [](std::uint64_t n) {
                const std::string s = std::to_string(n);
                return std::u16string(s.begin(), s.end());
            },
            [](std::uint64_t n) {
                const std::string s = std::to_string(n) + " bytes";
                return std::u16string(s.begin(), s.end());
            }};
}

JobRecord SampleRecord() {
    JobRecord r;
    r.backup = true;
    r.byButton = true;
    r.started = u"2026-12-10 16:03:10";
    r.ended = u"2026-12-10 16:03:25";
    r.enclosure = u"E:\\";
    r.folders.push_back({u"C:\\Photos\\", u"E:\\Backup\\C\\Photos\\", 2, 300, {}, 0});
    r.folders.push_back({u"D:\\Work\\",
                         u"E:\\Backup\\D\\Work\\",
                         1,
                         5,
                         {u"D:\\Work\\a.doc; Fail: Source file cannot be duplicated.",
                          u"D:\\Work\\\u65E5\u672C.txt; Fail: Source file cannot be duplicated."},
                         12}); // links below it left out: said only where there were some
    return r;
}

TEST(JobHistory, RecordSaysWhatTheJobDidLineByLine) {
    const std::string text = FormatJobRecord(SampleRecord(), EnglishFormat());
    EXPECT_EQ(text, "==================================================\r\n"
                    "Backup, started by the button of the USB device\r\n"
                    "Started: 2026-12-10 16:03:10\r\n"
                    "Ended: 2026-12-10 16:03:25\r\n"
                    "USB Device: E:\\\r\n"
                    "Folder: C:\\Photos\\ -> E:\\Backup\\C\\Photos\\\r\n"
                    "    Files copied: 2, 300 bytes\r\n"
                    "Folder: D:\\Work\\ -> E:\\Backup\\D\\Work\\\r\n"
                    "    Files copied: 1, 5 bytes\r\n"
                    "    Links not followed: 12\r\n"
                    "    D:\\Work\\a.doc; Fail: Source file cannot be duplicated.\r\n"
                    "    D:\\Work\\\xE6\x97\xA5\xE6\x9C\xAC.txt; Fail: Source file cannot be "
                    "duplicated.\r\n"
                    "Result: Finished\r\n");
}

TEST(JobHistory, EachEndIsNamed) {
    const struct {
        JobEnd end;
        const char* result;
    } cases[] = {
        {JobEnd::Finished, "Finished"},
        {JobEnd::Cancelled, "Cancelled by the user"},
        {JobEnd::ProbeFailed, "Stopped: the disk of the USB device could not be written"},
        {JobEnd::ProgramClosed, "Stopped: the program was closed"},
        {JobEnd::WindowsShutDown, "Stopped: Windows was shut down"},
        {JobEnd::NothingToDo, "Stopped: no folder or no drive to work on"},
    };
    for (const auto& c : cases) {
        JobRecord r;
        r.backup = false;
        r.end = c.end;
        const std::string text = FormatJobRecord(r, EnglishFormat());
        EXPECT_TRUE(text.ends_with("\r\nResult: " + std::string(c.result) + "\r\n")) << text;
        EXPECT_NE(text.find("\r\nRestore, started by a click\r\n"), std::string::npos);
    }
}

TEST(JobHistory, AnUnpairedSurrogateBecomesAReplacementCharacter) {
    EXPECT_EQ(EncodeUtf8(u"a\xD800z"), "a\xEF\xBF\xBDz");
    EXPECT_EQ(EncodeUtf8(u"\xD83D\xDE00"), "\xF0\x9F\x98\x80");
}

TEST(JobHistory, AppendingStartsAFileAndKeepsEarlierRecords) {
    const std::string first = FormatJobRecord(SampleRecord(), EnglishFormat());
    const std::string one = AppendJobRecord("", first);
    EXPECT_EQ(one, "\xEF\xBB\xBF" + first);
    const std::string two = AppendJobRecord(one, first);
    EXPECT_EQ(two, "\xEF\xBB\xBF" + first + first);
    EXPECT_EQ(SplitJobRecords(two).size(), 2u);
}

// A history at its limit drops whole records from the start, never part of one, and stays a
// file of whole records that still starts with its byte-order mark.
TEST(JobHistory, TheLimitDropsWholeOldestRecords) {
    JobRecord r = SampleRecord();
    std::string file;
    const size_t limit = 2000;
    for (int i = 0; i < 40; ++i) {
        r.started = u"job " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
        file = AppendJobRecord(file, FormatJobRecord(r, EnglishFormat(), limit - 3), limit);
        ASSERT_LE(file.size(), limit);
        ASSERT_TRUE(file.starts_with("\xEF\xBB\xBF"));
        for (std::string_view record : SplitJobRecords(file)) {
            EXPECT_TRUE(record.starts_with(kHistoryRecordMark)) << record;
            EXPECT_TRUE(record.ends_with("Result: Finished\r\n")) << record;
        }
    }
    // The newest record is the last one, and the one before it the job before.
    const auto records = SplitJobRecords(file);
    ASSERT_GE(records.size(), 2u);
    EXPECT_NE(records.back().find("Started: job N"), std::string_view::npos); // 39 % 26 = 13
    EXPECT_NE(records[records.size() - 2].find("Started: job M"), std::string_view::npos);
}

TEST(JobHistory, HandEditedTextBeforeTheFirstRecordGoesFirst) {
    const std::string record = FormatJobRecord(SampleRecord(), EnglishFormat());
    const std::string edited = "\xEF\xBB\xBFmy notes";
    const std::string both = AppendJobRecord(edited, record);
    EXPECT_EQ(both, edited + "\r\n" + record);
    const std::string trimmed = AppendJobRecord(both, record, 3 + 2 * record.size());
    EXPECT_EQ(trimmed, "\xEF\xBB\xBF" + record + record);
}

// One job with more failure lines than the whole file may hold keeps the first ones, says how
// many more there were, and is still one whole record.
TEST(JobHistory, ARecordTooBigForTheFileKeepsItsFirstFailureLines) {
    JobRecord r = SampleRecord();
    for (int i = 0; i < 1000; ++i)
        r.folders[0].failures.push_back(u"C:\\Photos\\" + std::u16string(40, u'x') +
                                        u"; Fail: Source file cannot be duplicated.");
    const size_t limit = 4000;
    const std::string text = FormatJobRecord(r, EnglishFormat(), limit - 3);
    EXPECT_LE(text.size(), limit - 3);
    const size_t kept = static_cast<size_t>(std::count(text.begin(), text.end(), ';'));
    EXPECT_GT(kept, 10u);
    EXPECT_NE(text.find("    ... +" + std::to_string(1002 - kept) + "\r\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("Folder: D:\\Work\\"), std::string::npos) << "the second folder is kept";
    EXPECT_TRUE(text.ends_with("Result: Finished\r\n"));
    const std::string file = AppendJobRecord("", text, limit);
    EXPECT_EQ(SplitJobRecords(file).size(), 1u);
}

TEST(JobNotice, EachEndGivesItsTextAndIcon) {
    JobRecord clean = SampleRecord();
    clean.folders[1].failures.clear();
    JobRecord failed = SampleRecord();
    const struct {
        const JobRecord* record;
        bool backup;
        JobEnd end;
        std::optional<JobNotice> notice;
    } cases[] = {
        {&clean, true, JobEnd::Finished, JobNotice{u"Backup finished: 3 files, 305 bytes", false}},
        {&clean, false, JobEnd::Finished,
         JobNotice{u"Restore finished: 3 files, 305 bytes", false}},
        {&failed, true, JobEnd::Finished,
         JobNotice{u"Backup finished: 2 files could not be copied", true}},
        {&failed, false, JobEnd::Cancelled, JobNotice{u"Restore cancelled: 3 files copied", false}},
        {&clean, true, JobEnd::ProbeFailed,
         JobNotice{u"Backup stopped: the disk of the USB device could not be written", true}},
        {&clean, true, JobEnd::NothingToDo,
         JobNotice{u"Backup stopped: no folder or no drive to work on", true}},
        {&clean, true, JobEnd::ProgramClosed, std::nullopt},
        {&clean, true, JobEnd::WindowsShutDown, std::nullopt},
    };
    for (const auto& c : cases) {
        JobRecord r = *c.record;
        r.backup = c.backup;
        r.end = c.end;
        const auto notice = MakeJobNotice(r, EnglishFormat());
        EXPECT_EQ(notice, c.notice) << (notice ? Narrow(notice->text) : "none");
    }
}

TEST(JobNotice, FillInReplacesBothPlaceholdersWherevereTheyStand) {
    EXPECT_EQ(FillIn(u"%2 then %1, 100%", u"a", u"b"), u"b then a, 100%");
    EXPECT_EQ(FillIn(u"%1%1", u"x"), u"xx");
}

} // namespace

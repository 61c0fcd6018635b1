// The names of the copy's temporary files, and which names the walk takes for one.
#include "worker/TempFileName.h"

#include <gtest/gtest.h>

using namespace snapkeep;

TEST(TempFileName, IsRecognisedAndNothingElseIs) {
    EXPECT_EQ(WorkerTempFileName(4242, 7), u"~snapkeep-4242-7.tmp");
    EXPECT_TRUE(IsWorkerTempFileName(WorkerTempFileName(0, 0)));
    EXPECT_TRUE(IsWorkerTempFileName(WorkerTempFileName(4294967295u, 4294967295u)));
    const struct {
        std::u16string_view name;
        bool ours;
    } cases[] = {
        {u"~SNAPKEEP-12-3.TMP", true}, // names ignore case
        {u"~snapkeep-12-3.tmp.txt", false},
        {u"~snapkeep-12-3.tm", false},
        {u"~snapkeep-12.tmp", false},
        {u"~snapkeep--3.tmp", false},
        {u"~snapkeep-12-.tmp", false},
        {u"~snapkeep-1a-3.tmp", false},
        {u"~snapkeep-notes.tmp", false},
        {u"snapkeep-12-3.tmp", false},
        {u"x~snapkeep-12-3.tmp", false},
        {u"~snapkeep-", false},
        {u"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsWorkerTempFileName(c.name), c.ours)
            << std::string(c.name.begin(), c.name.end());
}

// A leftover tells which destination it was written for, unless that name was too long to fit.
TEST(TempFileName, CarriesItsDestinationsName) {
    EXPECT_EQ(WorkerTempFileName(12, 3, u"report.docx"), u"~snapkeep-12-3-report.docx.tmp");
    EXPECT_EQ(ParseWorkerTempFileName(u"~snapkeep-12-3-report.docx.tmp"), u"report.docx");
    EXPECT_EQ(ParseWorkerTempFileName(u"~SNAPKEEP-12-3-a-b.TMP"), u"a-b");
    EXPECT_EQ(ParseWorkerTempFileName(u"~snapkeep-12-3.tmp"), u"");
    EXPECT_EQ(ParseWorkerTempFileName(u"~snapkeep-12-3-.tmp"), std::nullopt);
    EXPECT_EQ(ParseWorkerTempFileName(u"~snapkeep-12-3x.tmp"), std::nullopt);
    EXPECT_EQ(ParseWorkerTempFileName(u"report.docx"), std::nullopt);
    const std::u16string longest(255 - 20, u'n'); // with "~snapkeep-99-1-" and ".tmp": 254
    EXPECT_EQ(ParseWorkerTempFileName(WorkerTempFileName(99, 1, longest)), longest);
    const std::u16string tooLong(255 - 17, u'n');
    EXPECT_EQ(WorkerTempFileName(99, 1, tooLong), u"~snapkeep-99-1.tmp");
}

#include "store/FolderListFile.h"

#include <gtest/gtest.h>

using namespace snapkeep;
using namespace std::string_literals;

namespace {

// Stands in for the system code page in portable tests: Latin-1.
std::u16string Latin1(std::string_view bytes) {
    std::u16string out;
    for (char c : bytes)
        out.push_back(static_cast<unsigned char>(c));
    return out;
}

TEST(FolderListFile, WritesExactBytes) {
    EXPECT_EQ(EncodeFolderList({}), "\xFF\xFE"s);
    EXPECT_EQ(EncodeFolderList({{true, u"C:\\Photos\\"}}),
              "\xFF\xFE"
              "1\0\n\0C\0:\0\\\0P\0h\0o\0t\0o\0s\0\\\0\n\0"s);
    EXPECT_EQ(EncodeFolderList({{false, u"\u65E5"}}), "\xFF\xFE"
                                                      "0\0\n\0\xE5\x65\n\0"s);
}

TEST(FolderListFile, RoundTrips) {
    const std::vector<FolderRow> rows = {{true, u"C:\\Photos\\"}, {false, u"D:\\\u65E5\u672C\\"}};
    const auto result = DecodeFolderList(EncodeFolderList(rows), Latin1);
    ASSERT_TRUE(result.Ok);
    EXPECT_EQ(result.Rows, rows);
    EXPECT_TRUE(DecodeFolderList("\xFF\xFE"s, Latin1).Ok);
    EXPECT_TRUE(DecodeFolderList("\xFF\xFE"s, Latin1).Rows.empty());
}

TEST(FolderListFile, ReadsEveryEncodingAndLineEnd) {
    const std::vector<FolderRow> expected = {{true, u"C:\\A\\"}, {false, u"D:\\\u00e9\\"}};
    const std::pair<const char*, std::string> files[] = {
        {"8-bit CRLF", "1\r\nC:\\A\\\r\n0\r\nD:\\\xE9\\\r\n"},
        {"8-bit CR, no final end", "1\rC:\\A\\\r0\rD:\\\xE9\\"},
        {"UTF-8", "\xEF\xBB\xBF"
                  "1\nC:\\A\\\n0\nD:\\\xC3\xA9\\\n"},
        {"UTF-16BE", "\xFE\xFF\0001\0\n\0C\0:\0\\\0A\0\\\0\n\0000\0\n\0D\0:\0\\\0\xE9\0\\\0\n"s},
        {"UTF-16LE U+2028", "\xFF\xFE"
                            "1\0\x28\x20"
                            "C\0:\0\\\0A\0\\\0\x28\x20"
                            "0\0\n\0D\0:\0\\\0\xE9\0\\\0"s},
        {"NUL ends the text", "1\nC:\\A\\\n0\nD:\\\xE9\\\n\0"
                              "1\nX\n"s},
        {"2 reads as checked", "2\nC:\\A\\\n-0\nD:\\\xE9\\\n"},
    };
    for (const auto& [name, bytes] : files) {
        const auto result = DecodeFolderList(bytes, Latin1);
        ASSERT_TRUE(result.Ok) << name << ": " << result.Error;
        EXPECT_EQ(result.Rows, expected) << name;
    }
}

TEST(FolderListFile, RefusesMalformedFiles) {
    const auto oddLines = DecodeFolderList("1\nC:\\\n1\n", Latin1);
    EXPECT_FALSE(oddLines.Ok);
    EXPECT_EQ(oddLines.Error, "List index out of bounds (3)");
    const auto notInteger = DecodeFolderList("yes\nC:\\\n", Latin1);
    EXPECT_FALSE(notInteger.Ok);
    EXPECT_EQ(notInteger.Error, "'yes' is not a valid integer value");
    for (const char* flag : {"", " 1", "1 ", "0x1", "+", "99999999999"})
        EXPECT_FALSE(DecodeFolderList(std::string(flag) + "\nC:\\\n", Latin1).Ok) << flag;
}

TEST(FolderListFile, LineSplitting) {
    EXPECT_EQ(SplitListLines(u"a\r\n\r\nb"), (std::vector<std::u16string>{u"a", u"", u"b"}));
    EXPECT_EQ(SplitListLines(u"a\n"), (std::vector<std::u16string>{u"a"}));
    EXPECT_EQ(SplitListLines(u"\n"), (std::vector<std::u16string>{u""}));
    EXPECT_TRUE(SplitListLines(u"").empty());
}

} // namespace

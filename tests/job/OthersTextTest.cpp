#include "job/OthersText.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {

// A double-byte code page in miniature: ASCII stays one byte, every other character becomes a
// lead byte 0x81 and a trail byte, a character outside the BMP becomes "?" as the system's
// conversion makes it.
std::string ToDoubleByte(std::u16string_view text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        if (c < 0x80) {
            bytes.push_back(static_cast<char>(c));
        } else if (c >= 0xD800 && c <= 0xDBFF) {
            bytes.push_back('?');
            ++i; // the low half belongs to it
        } else {
            bytes.push_back('\x81');
            bytes.push_back(static_cast<char>(0x40 + (c & 0x3F)));
        }
    }
    return bytes;
}

TEST(OthersText, ShortTextIsTakenWhole) {
    EXPECT_EQ(FitOthersText(u"jpg png", 127, ToDoubleByte), "jpg png");
    EXPECT_EQ(FitOthersText(u"", 127, ToDoubleByte), "");
}

TEST(OthersText, APieceThatDoesNotFitWholeIsDropped) {
    // Two double-byte characters and a blank: 5 bytes before the filler piece.
    const std::u16string head = u"\u65E5\u672C ";
    const auto filler = [](size_t n) { return std::u16string(n, u'a'); };
    struct Case {
        const char* what;
        std::u16string text;
        std::u16string kept; // the beginning whose 8-bit form is the answer
    };
    const Case cases[] = {
        {"fits exactly", head + filler(117) + u" jpeg", head + filler(117) + u" jpeg"},
        {"the last piece one byte too long", head + filler(118) + u" jpeg", head + filler(118)},
        {"the limit falls just after a piece", head + filler(122) + u" jpeg", head + filler(122)},
        {"a run of separators before the cut piece", head + filler(110) + u" ;,\t jpegjpeg",
         head + filler(110)},
        {"comma, semicolon and tab separate too",
         u"mp3," + filler(60) + u";" + filler(30) + u"\t\u65E5\u65E5" + filler(30),
         u"mp3," + filler(60) + u";" + filler(30)},
        {"a double-byte piece cut", u"jpg " + std::u16string(62, u'\u65E5'), u"jpg"},
        {"the first piece cut: nothing is left", std::u16string(100, u'\u65E5'), u""},
        {"a piece cut at a surrogate pair", u"png " + filler(121) + u" x\U0001F600",
         u"png " + filler(121)},
    };
    for (const Case& c : cases) {
        const std::string fitted = FitOthersText(c.text, 127, ToDoubleByte);
        EXPECT_EQ(fitted, ToDoubleByte(c.kept)) << c.what;
        EXPECT_LE(fitted.size(), 127u) << c.what;
    }
}

} // namespace

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

TEST(OthersText, CutsBetweenCharactersNeverInsideOne) {
    struct Case {
        std::u16string text;
        size_t limit;
        size_t bytes; // length of the answer
    };
    const Case cases[] = {
        // 126 ASCII bytes and a double-byte character: 128 bytes; the character goes whole.
        {std::u16string(126, u'a') + u"\u65E5", 127, 126},
        // 125 + one double-byte character fits exactly.
        {std::u16string(125, u'a') + u"\u65E5" + u"b", 127, 127},
        // Only double-byte characters: 63 of them, 126 bytes, not a lead byte more.
        {std::u16string(100, u'\u65E5'), 127, 126},
        // A surrogate pair is one character.
        {std::u16string(126, u'a') + u"\U0001F600" + u"bc", 127, 127},
    };
    for (const Case& c : cases) {
        const std::string fitted = FitOthersText(c.text, c.limit, ToDoubleByte);
        EXPECT_EQ(fitted.size(), c.bytes);
        EXPECT_NE(fitted.back(), '\x81') << "ends in a lead byte";
        EXPECT_EQ(fitted, ToDoubleByte(c.text).substr(0, c.bytes));
    }
}

} // namespace

#include "store/KeyLookup.h"

#include <gtest/gtest.h>

using namespace snapkeep;
using namespace std::string_literals;

namespace {

struct LookupCase {
    const char* name;
    std::string text;
    const char* key;
    const char* expected;
};

void PrintTo(const LookupCase& c, std::ostream* os) {
    *os << c.name;
}

class FixedLookup : public testing::TestWithParam<LookupCase> {};

TEST_P(FixedLookup, FindsTheFirstKeyTokenAndTheTokenAfterIt) {
    const LookupCase& c = GetParam();
    EXPECT_EQ(FindKeyValue(c.text, c.key, "dflt", 8), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    KeyLookup, FixedLookup,
    testing::Values(LookupCase{"plain", "A=1\r\nB=2\r\n", "B", "2"},
                    LookupCase{"blanksAroundEquals", "AllExtChecked = 1\r\n", "AllExtChecked", "1"},
                    LookupCase{"caseOfKeyIgnored", "model=all\n", "MODEL", "all"},
                    LookupCase{"firstOccurrenceWins", "K=1\nK=2\n", "K", "1"},
                    LookupCase{"valueEqualToKeyIsTakenFirst", "X=k\nK=5\n", "K", "K"},
                    LookupCase{"emptyValueTakesNextToken", "A=\nB=2\n", "A", "B"},
                    LookupCase{"missingKey", "A=1\n", "Z", "dflt"},
                    LookupCase{"keyAtEndHasNoValue", "A=1\nZ", "Z", "dflt"},
                    LookupCase{"sevenCharsFit", "K=1234567\n", "K", "1234567"},
                    LookupCase{"eightCharsTakeDefault", "K=12345678\n", "K", "dflt"},
                    LookupCase{"nulEndsText", "A=1\0K=2\n"s, "K", "dflt"},
                    LookupCase{"separatorsAtStart", " ,\t=K,,3", "K", "3"},
                    LookupCase{"noBracketRule", "K=[x]\n", "K", "[x]"},
                    LookupCase{"nonAsciiComparesExactly", "\xE9=1\n\xC9=2\n", "\xC9", "2"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(KeyLookup, ValueThatEqualsAKeyIsTakenForThatKey) {
    // "language" inside the Others text comes before the real key.
    const std::string text =
        "OthersExtString=mp4 language 7z\r\n\r\n[LanguageType]\r\nLanguage=3\r\n";
    EXPECT_EQ(FindKeyValue(text, "Language", "0", 8), "7z");
    EXPECT_EQ(ParseNumber(FindKeyValue(text, "Language", "0", 8)), 7);
}

TEST(KeyLookup, BracketRuleRejectsValuesStartingWithBrackets) {
    for (const char* value : {"[a", "{a", "(a"}) {
        const std::string text = "K=" + std::string(value) + "\n";
        EXPECT_EQ(FindKeyValueEx(text, "K", "d", kOthersSeparators, 128), "d") << value;
    }
    // An empty Others value followed by the section line reads back empty.
    EXPECT_EQ(FindKeyValueEx("OthersExtString=\r\n\r\n[LanguageType]\r\n", "OthersExtString", "",
                             kOthersSeparators, 128),
              "");
}

TEST(KeyLookup, CaptionKeepsBlanksAndEndsAtComma) {
    EXPECT_EQ(FindKeyValueEx("MainFormCaption=My Backup Tool\n", "MainFormCaption", "d",
                             kCaptionSeparators, 64),
              "My Backup Tool");
    EXPECT_EQ(FindKeyValueEx("MainFormCaption=Backup, Tool\n", "MainFormCaption", "d",
                             kCaptionSeparators, 64),
              "Backup");
}

TEST(KeyLookup, CapacityIsAnAcceptanceRuleNotATruncation) {
    const std::string v127(127, 'x'), v128(128, 'x');
    EXPECT_EQ(FindKeyValueEx("K=" + v127, "K", "d", kOthersSeparators, 128), v127);
    EXPECT_EQ(FindKeyValueEx("K=" + v128, "K", "d", kOthersSeparators, 128), "d");
}

TEST(KeyLookup, WideFormFoldsOnlyAsciiLetters) {
    const std::u16string text =
        u"\uFEFFTabSheet1.Caption=First\nb\u00e9=x\nK=Wert mit Leer, Komma\n";
    // The byte-order mark is part of the first token, so the first key is not found.
    EXPECT_EQ(FindKeyValueW(text, u"tabsheet1.caption", u"d", kLanguageSeparators, 128), u"d");
    EXPECT_EQ(FindKeyValueW(text, u"B\u00e9", u"d", kLanguageSeparators, 128), u"x");
    EXPECT_EQ(FindKeyValueW(text, u"B\u00c9", u"d", kLanguageSeparators, 128), u"d");
    EXPECT_EQ(FindKeyValueW(text, u"k", u"d", kLanguageSeparators, 128), u"Wert mit Leer, Komma");
}

TEST(SplitTokens, LowerCasesInPlaceAndStopsAtTheLimit) {
    std::string text = " MP4, Avi;;\xC9XT ";
    const auto tokens = SplitTokens(text, " ,;", 2);
    EXPECT_EQ(tokens, (std::vector<std::string>{"mp4", "avi"}));
    EXPECT_EQ(text, " mp4, avi;;\xC9xt ");
    std::string separatorsOnly = " ,, ";
    EXPECT_TRUE(SplitTokens(separatorsOnly, " ,", 128).empty());
}

TEST(ParseNumber, FollowsTheNumberRule) {
    const std::pair<const char*, int32_t> cases[] = {{"12", 12},
                                                     {"  -7x", -7},
                                                     {"+3", 3},
                                                     {"abc", 0},
                                                     {"", 0},
                                                     {"2", 2},
                                                     {"99999999999", INT32_MAX},
                                                     {"-99999999999", INT32_MIN},
                                                     {"\t9", 9},
                                                     {"1.5", 1}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(ParseNumber(text), value) << text;
}

} // namespace

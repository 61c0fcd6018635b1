#include "store/LanguageFile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

using namespace snapkeep;

namespace {

// UTF-16 little-endian bytes of a text, as a language file holds them.
std::string Utf16Le(std::u16string_view text) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return bytes;
}

const std::string kBom = "\xFF\xFE";

size_t Row(std::u16string_view key) {
    const auto keys = LanguageKeys();
    const auto it = std::find_if(keys.begin(), keys.end(),
                                 [&](const LanguageKey& row) { return row.Key == key; });
    return static_cast<size_t>(it - keys.begin());
}

// Readable failure output for UTF-16 texts.
std::string Narrow(std::u16string_view text) {
    std::string out;
    for (char16_t unit : text) {
        if (unit >= 0x20 && unit < 0x7F) {
            out.push_back(static_cast<char>(unit));
        } else {
            char hex[8];
            snprintf(hex, sizeof hex, "\\u%04X", unsigned(unit));
            out += hex;
        }
    }
    return out;
}

TEST(LanguageKeys, HaveTheDocumentedShape) {
    const auto keys = LanguageKeys();
    ASSERT_EQ(keys.size(), 108u);
    size_t captionOnly = 0, tableOnly = 0, both = 0;
    for (const LanguageKey& row : keys) {
        EXPECT_TRUE(row.SetsCaption || row.StoresText) << Narrow(row.Key);
        captionOnly += row.SetsCaption && !row.StoresText;
        tableOnly += !row.SetsCaption && row.StoresText;
        both += row.SetsCaption && row.StoresText;
    }
    EXPECT_EQ(captionOnly, 23u);
    EXPECT_EQ(tableOnly, 84u);
    EXPECT_EQ(both, 1u);
    EXPECT_EQ(kTextCount, 85u);
    EXPECT_EQ(keys[Row(u"LabelVersion.Caption")].SetsCaption, Caption::LabelVersion);
    EXPECT_EQ(keys[Row(u"LabelVersion.Caption")].StoresText, Text::LabelVersion);
    // Table entries find their own rows, in key-list order.
    EXPECT_EQ(LanguageKeyIndex(Text::LabelDiskStatusYes), 15u);
    EXPECT_EQ(LanguageKeyIndex(Text::ErrcodeSourceFileNotFound), 57u);
    EXPECT_EQ(LanguageKeyIndex(Text::DirNameUnsupported), 58u);
    EXPECT_EQ(LanguageKeyIndex(Text::ErrcodeFileTooLargeForFat), 59u);
    EXPECT_EQ(LanguageKeyIndex(Text::NoticeRestoreStopped), 84u);
    EXPECT_EQ(LanguageKeyIndex(Text::DataFileUnreadable), 88u);
    EXPECT_EQ(LanguageKeyIndex(Text::ErrcodeStreamsNotKept), 92u);
    EXPECT_EQ(LanguageKeyIndex(Text::HistoryFileIs), 93u);
    EXPECT_EQ(LanguageKeyIndex(Text::HistoryLinksSkipped), 95u);
    EXPECT_EQ(LanguageKeyIndex(Text::HistoryKeptBeside), 103u);
    EXPECT_EQ(LanguageKeyIndex(Text::RestoreToWindowDescription), 107u);
    EXPECT_EQ(EnglishText(Text::DirAlreadyAdded), u"has already added.");
    EXPECT_EQ(EnglishText(Text::CannotSelSameDisk), u"You cannot select USB Device disk ");
    for (size_t i = 0; i < kTextCount; ++i)
        EXPECT_EQ(keys[LanguageKeyIndex(Text(i))].StoresText, Text(i)) << i;
}

TEST(LanguageList, GivesDisplayNamesAndRelativePaths) {
    const auto languages = Languages();
    EXPECT_EQ(languages[0].DisplayName, u"English");
    EXPECT_EQ(languages[1].DisplayName, u"\u7E41\u9AD4\u4E2D\u6587");
    EXPECT_EQ(languages[2].DisplayName, u"\u7B80\u4F53\u4E2D\u6587");
    EXPECT_EQ(languages[3].DisplayName, u"\u65E5\u672C\u8A9E");
    EXPECT_EQ(languages[4].DisplayName, u"\u0440\u0443\u0441\u0441\u043A\u0438\u0439");
    EXPECT_EQ(languages[5].DisplayName, u"Deutsch");

    const std::pair<int, std::u16string> paths[] = {
        {-1, u""},
        {0, u"SnapData\\Language\\English.ini"},
        {1, u"SnapData\\Language\\Chinese_BIG5.ini"},
        {2, u"SnapData\\Language\\Chinese_GB.ini"},
        {3, u"SnapData\\Language\\Japenese.ini"},
        {4, u"SnapData\\Language\\Russian.ini"},
        {5, u"SnapData\\Language\\German.ini"},
        {6, u""},
    };
    for (const auto& [index, path] : paths)
        EXPECT_EQ(LanguageFilePath(index), path) << index;
}

// --- Lookups in small fixture files ---------------------------------------------------------

struct FixtureCase {
    const char* name;
    std::u16string text; // file content after a byte-order mark and a section line
    const char16_t* key;
    std::u16string expected; // the text the row gets
    bool fromFile;           // false: the English text was taken
};

void PrintTo(const FixtureCase& c, std::ostream* os) {
    *os << c.name;
}

class LanguageFixture : public testing::TestWithParam<FixtureCase> {};

TEST_P(LanguageFixture, GivesTheFileValueOrTheEnglishText) {
    const FixtureCase& c = GetParam();
    const std::string bytes = kBom + Utf16Le(u"[Snapkeep]\r\n" + c.text);
    const size_t row = Row(c.key);
    ASSERT_LT(row, kLanguageKeyCount);
    EXPECT_EQ(Narrow(ReadLanguageTexts(bytes)[row]), Narrow(c.expected));
    EXPECT_EQ(FindLanguageValues(bytes)[row].has_value(), c.fromFile);
}

const std::u16string k127(127, u'x');
const std::u16string k128(128, u'x');

INSTANTIATE_TEST_SUITE_P(
    LanguageFile, LanguageFixture,
    testing::Values(
        FixtureCase{"plain", u"ErrTitle=Fehler\r\n", u"ErrTitle", u"Fehler", true},
        FixtureCase{"missingKey", u"ErrTitle=Fehler\r\n", u"QuestionTitle", u"Question", false},
        FixtureCase{"repeatedKeyFirstWins", u"GroupBox4.Caption=Eins\r\nGroupBox4.Caption=Zwei\r\n",
                    u"GroupBox4.Caption", u"Eins", true},
        FixtureCase{"blankBeforeEqualsHidesKey", u"ErrTitle =Fehler\r\n", u"ErrTitle", u"Error",
                    false},
        FixtureCase{"blankAfterEqualsJoinsValue", u"ErrTitle= Fehler\r\n", u"ErrTitle", u" Fehler",
                    true},
        FixtureCase{"emptyValueTakesNextToken", u"ErrTitle=\r\nQuestionTitle=Frage\r\n",
                    u"ErrTitle", u"QuestionTitle", true},
        FixtureCase{"emptyValueBeforeSectionLine", u"ErrTitle=\r\n[More]\r\n", u"ErrTitle",
                    u"Error", false},
        FixtureCase{"emptyValueAtEnd", u"ErrTitle=\r\n", u"ErrTitle", u"Error", false},
        FixtureCase{"127UnitsAccepted", u"ErrTitle=" + k127 + u"\r\n", u"ErrTitle", k127, true},
        FixtureCase{"128UnitsRejected", u"ErrTitle=" + k128 + u"\r\n", u"ErrTitle", u"Error",
                    false},
        FixtureCase{"squareBracketRejected", u"ErrTitle=[x]\r\n", u"ErrTitle", u"Error", false},
        FixtureCase{"braceRejected", u"ErrTitle={x}\r\n", u"ErrTitle", u"Error", false},
        FixtureCase{"parenthesisRejected", u"ErrTitle=(x)\r\n", u"ErrTitle", u"Error", false},
        FixtureCase{"bracketInsideKept", u"ErrTitle=a (b) [c]\r\n", u"ErrTitle", u"a (b) [c]",
                    true},
        FixtureCase{"blanksAndCommasKept", u"FailChar=Nicht kopiert, Fehler\r\n", u"FailChar",
                    u"Nicht kopiert, Fehler", true},
        FixtureCase{"tabEndsValue", u"FailChar=Feh\tler\r\n", u"FailChar", u"Feh", true},
        FixtureCase{"lfOnlyLines", u"ErrTitle=A\nFailChar=B\n", u"FailChar", u"B", true},
        FixtureCase{"nulEndsText", u"ErrTitle=A\r\n" + std::u16string(1, u'\0') + u"FailChar=B",
                    u"FailChar", u"Fail", false},
        FixtureCase{"audioKeyAsWidgetSpells", u"CheckBoxAudioExt.Caption=Ton\r\n",
                    u"CheckboxAudioExt.Caption", u"Ton", true},
        FixtureCase{"keyInLowerCase", u"checkboxaudioext.caption=Ton\r\n",
                    u"CheckboxAudioExt.Caption", u"Ton", true},
        FixtureCase{"nonAsciiValue", u"ErrTitle=\u932F\u8AA4\r\n", u"ErrTitle", u"\u932F\u8AA4",
                    true},
        FixtureCase{"explicitEnglishCountsAsFound", u"ErrTitle=Error\r\n", u"ErrTitle", u"Error",
                    true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LanguageFile, ByteOrderMarkHidesTheFirstKey) {
    const std::string bytes =
        kBom + Utf16Le(u"TabSheet1.Caption=Erste\r\nTabSheet2.Caption=Zweite\r\n");
    const auto texts = ReadLanguageTexts(bytes);
    EXPECT_EQ(Narrow(texts[0]), "File Backup");
    EXPECT_EQ(Narrow(texts[1]), "Zweite");
    EXPECT_FALSE(FindLanguageValues(bytes)[0].has_value());

    // Without the mark, the same first line is found.
    EXPECT_EQ(Narrow(ReadLanguageTexts(Utf16Le(u"TabSheet1.Caption=Erste\r\n"))[0]), "Erste");
}

TEST(LanguageFile, OddLengthPairsTheLastByteWithZero) {
    // "ErrTitle=AB" then a lone "C": the last unit is U+0043.
    const std::string bytes = kBom + Utf16Le(u"[S]\r\nErrTitle=AB") + "C";
    ASSERT_EQ(bytes.size() % 2, 1u);
    EXPECT_EQ(DecodeLanguageText(bytes).back(), u'C');
    EXPECT_EQ(Narrow(ReadLanguageTexts(bytes)[Row(u"ErrTitle")]), "ABC");
    // A lone zero byte at the end adds nothing.
    const std::string zeroTail = kBom + Utf16Le(u"[S]\r\nErrTitle=AB") + std::string(1, '\0');
    EXPECT_EQ(Narrow(ReadLanguageTexts(zeroTail)[Row(u"ErrTitle")]), "AB");
    // One byte alone is one unit.
    EXPECT_EQ(DecodeLanguageText("A"), u"A");
    EXPECT_EQ(DecodeLanguageText(""), u"");
}

TEST(LanguageFile, EightBitOrUtf8FileGivesEveryEnglishText) {
    std::string eightBit = "[Snapkeep]\r\n";
    for (const LanguageKey& row : LanguageKeys()) {
        for (char16_t unit : row.Key)
            eightBit.push_back(static_cast<char>(unit));
        eightBit += "=Wert \xC3\xBC\r\n"; // also valid UTF-8
    }
    for (const std::string& bytes : {eightBit, "\xEF\xBB\xBF" + eightBit, std::string()}) {
        const auto texts = ReadLanguageTexts(bytes);
        const auto found = FindLanguageValues(bytes);
        for (size_t i = 0; i < kLanguageKeyCount; ++i) {
            EXPECT_EQ(texts[i], LanguageKeys()[i].English) << i;
            EXPECT_FALSE(found[i].has_value()) << i;
        }
    }
}

// --- The shipped files ----------------------------------------------------------------------

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::u16string> SplitCrLf(std::u16string_view text, bool& onlyCrLf) {
    std::vector<std::u16string> lines;
    onlyCrLf = true;
    size_t start = 0;
    while (start < text.size()) {
        const size_t lf = text.find(u'\n', start);
        const size_t end = lf == std::u16string_view::npos ? text.size() : lf;
        if (lf == std::u16string_view::npos || end == start || text[end - 1] != u'\r')
            onlyCrLf = false;
        std::u16string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == u'\r')
            line.remove_suffix(1);
        if (line.find(u'\r') != std::u16string_view::npos)
            onlyCrLf = false;
        lines.emplace_back(line);
        start = end + 1;
    }
    return lines;
}

bool EndsWithAny(std::u16string_view text, std::u16string_view units) {
    return !text.empty() && units.find(text.back()) != std::u16string_view::npos;
}

class ShippedLanguageFile : public testing::TestWithParam<int> {
protected:
    void SetUp() override {
        const std::u16string name(Languages()[size_t(GetParam())].FileName);
        path_ = std::string(SNAPKEEP_LANGUAGE_DIR) + "/" + Narrow(name);
        bytes_ = ReadFile(path_);
        ASSERT_FALSE(bytes_.empty()) << "missing or empty: " << path_;
    }
    std::string path_;
    std::string bytes_;
};

TEST_P(ShippedLanguageFile, SuppliesEveryKeyWithAUsableValue) {
    const auto values = FindLanguageValues(bytes_);
    for (size_t i = 0; i < kLanguageKeyCount; ++i) {
        const std::u16string key(LanguageKeys()[i].Key);
        ASSERT_TRUE(values[i].has_value()) << Narrow(key) << " fell back in " << path_;
        const std::u16string& value = *values[i];
        EXPECT_LT(value.size(), kLanguageValueCapacity) << Narrow(key);
        EXPECT_NE(value.find_first_not_of(u" \u3000"), std::u16string::npos)
            << Narrow(key) << " is blank";
        // A value that is a key means the file's own value was empty.
        EXPECT_EQ(Row(value), kLanguageKeyCount) << Narrow(key) << " took the next key";
    }
    EXPECT_EQ(ReadLanguageTexts(bytes_)[0], *values[0]);
}

TEST_P(ShippedLanguageFile, IsUtf16WithMarkSectionLineAndKeysInOrder) {
    ASSERT_EQ(bytes_.size() % 2, 0u);
    ASSERT_EQ(bytes_.substr(0, 2), kBom);
    const std::u16string text = DecodeLanguageText(bytes_.substr(2));
    ASSERT_EQ(text.size() * 2 + 2, bytes_.size()) << "the file holds a U+0000";
    bool onlyCrLf = false;
    const auto lines = SplitCrLf(text, onlyCrLf);
    EXPECT_TRUE(onlyCrLf) << "every line ends with CR LF";
    ASSERT_EQ(lines.size(), kLanguageKeyCount + 1);
    const auto values = FindLanguageValues(bytes_);
    // A section line first, so the byte-order mark sits in front of no key.
    EXPECT_EQ(lines[0].front(), u'[');
    EXPECT_EQ(lines[0].back(), u']');
    for (size_t i = 0; i < kLanguageKeyCount; ++i) {
        const std::u16string key(LanguageKeys()[i].Key);
        const std::u16string& line = lines[i + 1];
        ASSERT_EQ(line.substr(0, key.size() + 1), key + u"=") << "line " << i + 2;
        const std::u16string_view value = std::u16string_view(line).substr(key.size() + 1);
        EXPECT_EQ(value.find_first_of(u"=\t"), std::u16string_view::npos) << Narrow(key);
        EXPECT_EQ(value, values[i].value_or(u"")) << Narrow(key);
    }
}

// The program appends to some texts; a translation that carries the same mark would show it
// twice, and the file-type captions must keep the extensions the job really copies.
TEST_P(ShippedLanguageFile, FitsWhatTheProgramJoinsItWith) {
    const auto texts = ReadLanguageTexts(bytes_);
    auto text = [&](Text entry) { return texts[LanguageKeyIndex(entry)]; };
    auto key = [](Text entry) { return Narrow(LanguageKeys()[LanguageKeyIndex(entry)].Key); };
    for (Text entry : {Text::CancelScanning, Text::CancelCopying})
        EXPECT_FALSE(EndsWithAny(text(entry), u"?\uFF1F")) << key(entry);
    for (Text entry :
         {Text::CopyFileFormLabelStatusFinBackup, Text::CopyFileFormLabelStatusFinRestore,
          Text::DiskPerfBuildFail, Text::LabelScanFinStatus, Text::ErrcodeDestinationPathTooLong,
          Text::ErrcodeDestinationFileCreatedFail, Text::ErrcodeSourceFileNotFound,
          Text::ErrcodeLinkNotFollowed})
        EXPECT_FALSE(EndsWithAny(text(entry), u".\u3002")) << key(entry);
    for (Text entry : {Text::LabelTimeSpent, Text::LabelTimeLeft, Text::LabelTotalFiles,
                       Text::CopyFileFormFinFiles, Text::FailChar, Text::LabelStatusScanning,
                       Text::HistoryLinksSkipped})
        EXPECT_FALSE(EndsWithAny(text(entry), u":\uFF1A. \u2026")) << key(entry);
    EXPECT_TRUE(EndsWithAny(text(Text::CannotSelSameDisk), u" :\uFF1A")) << "before E:\\";
    // The notices have their numbers and sizes put in where %1 and %2 stand.
    for (Text entry : {Text::NoticeBackupFinished, Text::NoticeRestoreFinished})
        EXPECT_TRUE(text(entry).find(u"%1") != std::u16string::npos &&
                    text(entry).find(u"%2") != std::u16string::npos)
            << key(entry);
    for (Text entry :
         {Text::NoticeBackupFailures, Text::NoticeRestoreFailures, Text::NoticeBackupCancelled,
          Text::NoticeRestoreCancelled, Text::NoticeBackupStopped, Text::NoticeRestoreStopped,
          Text::ErrcodeStreamsNotKept})
        EXPECT_NE(text(entry).find(u"%1"), std::u16string::npos) << key(entry);

    for (size_t i = Row(u"CheckBoxPictureExt.Caption"); i <= Row(u"CheckBoxImageExt.Caption");
         ++i) {
        const std::u16string_view english = LanguageKeys()[i].English;
        const std::u16string_view extensions = english.substr(english.find(u": ") + 2);
        EXPECT_TRUE(texts[i].ends_with(u": " + std::u16string(extensions))) << Narrow(texts[i]);
    }
    EXPECT_TRUE(texts[Row(u"CheckBoxAllExt.Caption")].ends_with(u": *.*"));
}

TEST(ShippedEnglishFile, HoldsExactlyTheEnglishTexts) {
    const std::string bytes = ReadFile(std::string(SNAPKEEP_LANGUAGE_DIR) + "/English.ini");
    const auto values = FindLanguageValues(bytes);
    for (size_t i = 0; i < kLanguageKeyCount; ++i)
        EXPECT_EQ(values[i], std::u16string(LanguageKeys()[i].English))
            << Narrow(LanguageKeys()[i].Key);
}

INSTANTIATE_TEST_SUITE_P(LanguageFile, ShippedLanguageFile, testing::Range(0, kLanguageCount),
                         [](const auto& info) {
                             const std::string name =
                                 Narrow(Languages()[size_t(info.param)].FileName);
                             return name.substr(0, name.find('.'));
                         });

} // namespace

#include "store/SettingsFile.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {

TEST(SettingsFile, WritesExactBytes) {
    StoredSettings s;
    s.Checked = {false, true, false, false, false, false, false, true};
    s.OthersExtString = "mp4";
    s.Language = -1;
    EXPECT_EQ(EncodeSettings(s), "[BackupFileType]\r\n"
                                 "AllExtChecked=0\r\n"
                                 "PictureExtChecked=1\r\n"
                                 "AudioExtChecked=0\r\n"
                                 "VideoExtChecked=0\r\n"
                                 "DataExtChecked=0\r\n"
                                 "CompressExtChecked=0\r\n"
                                 "ImageExtChecked=0\r\n"
                                 "OthersExtChecked=1\r\n"
                                 "OthersExtString=mp4\r\n"
                                 "\r\n"
                                 "[LanguageType]\r\n"
                                 "Language=-1\r\n");
}

TEST(SettingsFile, ReadsBackWhatItWrites) {
    StoredSettings s;
    s.Checked = {false, false, true, false, false, true, false, false};
    s.OthersExtString = "mp4 mkv";
    s.Language = 4;
    const StoredSettings back = DecodeSettings(EncodeSettings(s));
    EXPECT_EQ(back.Checked, s.Checked);
    EXPECT_EQ(back.OthersExtString, s.OthersExtString);
    EXPECT_EQ(back.Language, 4);
}

struct OthersCase {
    std::string written;
    std::string readBack;
};

TEST(SettingsFile, OthersTextEdgeCases) {
    const OthersCase cases[] = {
        {"", ""}, // the next token "[LanguageType]" is refused
        {std::string(127, 'a'), std::string(127, 'a')},
        {std::string(128, 'a'), ""}, // too long: the default, never a shortened value
        {"(mp4)", ""},               // bracket rule
        {"mp4=avi", "mp4"},          // "=" is a separator
        {"jpg, png", "jpg, png"},    // blanks and commas are kept
    };
    for (const OthersCase& c : cases) {
        StoredSettings s;
        s.OthersExtString = c.written;
        const std::string bytes = EncodeSettings(s);
        EXPECT_NE(bytes.find("OthersExtString=" + c.written + "\r\n"), std::string::npos);
        EXPECT_EQ(DecodeSettings(bytes).OthersExtString, c.readBack) << c.written;
    }
}

TEST(SettingsFile, MissingKeysTakeDefaultsAndKeysAreFoundAnywhere) {
    const StoredSettings empty = DecodeSettings("");
    EXPECT_EQ(empty.Checked, (std::array<bool, 8>{true}));
    EXPECT_EQ(empty.Language, 0);
    const StoredSettings loose =
        DecodeSettings("Language = 3 AllExtChecked = 0\nAudioExtChecked=7");
    EXPECT_EQ(loose.Language, 3);
    EXPECT_FALSE(loose.Checked[0]);
    EXPECT_TRUE(loose.Checked[2]);
    // The word "language" inside the Others text is found before the real key.
    StoredSettings s;
    s.OthersExtString = "mp4 LANGUAGE abc";
    s.Language = 2;
    EXPECT_EQ(DecodeSettings(EncodeSettings(s)).Language, 0);
}

} // namespace

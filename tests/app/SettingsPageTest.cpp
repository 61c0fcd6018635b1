// The settings page with real check boxes and real clicks, and the settings file between the
// page and the disk.
#include "MainFormFixture.h"

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

// The eight boxes as a string, All first: "A......." means only All ticked.
std::string Boxes(TMainForm& form) {
    const char names[] = "APAVDCIO";
    std::string s;
    for (int i = 0; i < kFileTypeCount; ++i)
        s += form.FileTypeBox(static_cast<FileType>(i)).Checked() ? names[i] : '.';
    return s;
}

void Click(TMainForm& form, FileType box) {
    ::SendMessageW(form.FileTypeBox(box).Handle(), BM_CLICK, 0, 0);
}

TEST_F(MainFormTest, ClicksFollowTheFileTypeRules) {
    TMainForm& form = Form();
    EXPECT_EQ(Boxes(form), "A.......");
    Click(form, FileType::All);
    EXPECT_EQ(Boxes(form), "A.......") << "the last ticked box stays ticked";
    Click(form, FileType::Picture);
    Click(form, FileType::Audio);
    EXPECT_EQ(Boxes(form), ".PA.....");
    Click(form, FileType::Audio);
    EXPECT_EQ(Boxes(form), ".P......");
    Click(form, FileType::Picture);
    EXPECT_EQ(Boxes(form), ".P......");
    Click(form, FileType::Audio);
    Click(form, FileType::All);
    EXPECT_EQ(Boxes(form), "A.......");

    // The Others text survives clearing and ticking its box.
    form.edtOthersExt.SetCaption(L"mp4");
    Click(form, FileType::Others);
    EXPECT_EQ(Boxes(form), ".......O");
    Click(form, FileType::All);
    EXPECT_EQ(form.edtOthersExt.Caption(), L"mp4");
    EXPECT_TRUE(form.edtOthersExt.Enabled());
}

struct LoadCase {
    const char* name;
    const char* file; // null: no settings file
    const char* boxes;
    const wchar_t* others;
    int language;
};

TEST_F(MainFormTest, LoadingSettings) {
    const LoadCase cases[] = {
        {"no file", nullptr, "A.......", L"", 0},
        {"All and Picture", "AllExtChecked=1\r\nPictureExtChecked=1\r\n", ".P......", L"", 0},
        {"nothing ticked", "AllExtChecked=0\r\nLanguage=2\r\n", "A.......", L"", 2},
        {"blanks around =", "AllExtChecked = 0\r\nVideoExtChecked = 1\r\n", "...V....", L"", 0},
        {"no language", "Language=-1\r\n", "A.......", L"", -1},
        {"unknown language", "Language=6\r\n", "A.......", L"", -1},
        {"Others text", "OthersExtChecked=1\r\nOthersExtString=mp4 mkv\r\n\r\n[LanguageType]\r\n",
         ".......O", L"mp4 mkv", 0},
        {"bracketed Others", "OthersExtString=(mp4)\r\n", "A.......", L"", 0},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.file) {
            ASSERT_TRUE(WriteBytes(Data(L"Setting.txt"), c.file));
        } else {
            ::DeleteFileW(Data(L"Setting.txt").c_str());
        }
        TMainForm& form = Form();
        EXPECT_EQ(Boxes(form), c.boxes);
        EXPECT_EQ(form.edtOthersExt.Caption(), c.others);
        EXPECT_EQ(form.ComboBoxLanguage.ItemIndex(), c.language);
    }
}

TEST_F(MainFormTest, SettingsRoundTripThroughTheFile) {
    TMainForm& form = Form();
    Click(form, FileType::Video);
    Click(form, FileType::Others);
    form.edtOthersExt.SetCaption(L"iso nrg");
    form.ComboBoxLanguage.SetItemIndex(-1);
    form.SaveSettings(Data(L"Setting.txt"));
    EXPECT_EQ(ReadBytes(Data(L"Setting.txt")), "[BackupFileType]\r\n"
                                               "AllExtChecked=0\r\n"
                                               "PictureExtChecked=0\r\n"
                                               "AudioExtChecked=0\r\n"
                                               "VideoExtChecked=1\r\n"
                                               "DataExtChecked=0\r\n"
                                               "CompressExtChecked=0\r\n"
                                               "ImageExtChecked=0\r\n"
                                               "OthersExtChecked=1\r\n"
                                               "OthersExtString=iso nrg\r\n"
                                               "\r\n"
                                               "[LanguageType]\r\n"
                                               "Language=-1\r\n");
    form.ResetSettings();
    EXPECT_EQ(Boxes(form), "A.......");
    EXPECT_EQ(form.edtOthersExt.Caption(), L"");
    EXPECT_EQ(form.ComboBoxLanguage.ItemIndex(), 0);
    form.LoadSettings(Data(L"Setting.txt"));
    EXPECT_EQ(Boxes(form), "...V...O");
    EXPECT_EQ(form.edtOthersExt.Caption(), L"iso nrg");
    EXPECT_EQ(form.ComboBoxLanguage.ItemIndex(), -1);
}

TEST_F(MainFormTest, LanguageBoxOffersSixLanguagesByTheirOwnNames) {
    TMainForm& form = Form();
    const wchar_t* names[] = {L"English",
                              L"\u7E41\u9AD4\u4E2D\u6587",
                              L"\u7B80\u4F53\u4E2D\u6587",
                              L"\u65E5\u672C\u8A9E",
                              L"\u0440\u0443\u0441\u0441\u043A\u0438\u0439",
                              L"Deutsch"};
    ASSERT_EQ(form.ComboBoxLanguage.Count(), 6);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(form.ComboBoxLanguage.Item(i), names[i]);
}

} // namespace

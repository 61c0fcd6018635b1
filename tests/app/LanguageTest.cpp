// Applying language files to the real main window: captions, the text table, and the cases
// in which nothing changes.
#include "MainFormFixture.h"

#include <commctrl.h>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

std::string Utf16Le(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

std::wstring TabCaption(TMainForm& form, int index) {
    wchar_t text[128] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    ::SendMessageW(form.PageControl1.Handle(), TCM_GETITEMW, index,
                   reinterpret_cast<LPARAM>(&item));
    return text;
}

std::wstring ColumnCaption(const ui::ListView& list) {
    wchar_t text[128] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = text;
    column.cchTextMax = 128;
    ::SendMessageW(list.Handle(), LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    return text;
}

class LanguageTest : public MainFormTest {
protected:
};

TEST_F(LanguageTest, NoLanguageAppliedLeavesTheLayoutAndAnEmptyTable) {
    TMainForm& form = Form();
    EXPECT_EQ(form.GroupBox3.Caption(), L" Host ");
    EXPECT_EQ(form.CheckBoxImageExt.Caption(), L"Image: ISO, NRG ");
    EXPECT_EQ(form.LabelVersion.Caption(), L"Version ");
    form.ComboBoxLanguageChange(); // English selected, but there is no English.ini
    EXPECT_EQ(form.GroupBox3.Caption(), L" Host ");
    EXPECT_TRUE(form.TextOf(Text::ErrTitle).empty());
}

TEST_F(LanguageTest, EnglishChangesOnlyTheCaptionsThatDifferFromTheLayout) {
    CopyLanguage(L"English.ini");
    TMainForm& form = Form();
    form.ComboBoxLanguageChange();
    EXPECT_EQ(form.GroupBox1.Caption(), L"Backup File Type");
    EXPECT_EQ(form.GroupBox2.Caption(), L"Language Type");
    EXPECT_EQ(form.GroupBox3.Caption(), L"Host");
    EXPECT_EQ(form.GroupBox4.Caption(), L"USB Device");
    EXPECT_EQ(form.CheckBoxImageExt.Caption(), L"Image: ISO, NRG");
    EXPECT_EQ(form.LabelVersion.Caption(), L"Version 0.0.0.0");
    EXPECT_EQ(TabCaption(form, 0), L"File Backup");
    EXPECT_EQ(ColumnCaption(form.ListViewHost), L"Path");
    EXPECT_EQ(form.btnHostDel.Caption(), L"Delete");
    EXPECT_EQ(form.TextOf(Text::ErrTitle), L"Error");
    EXPECT_EQ(form.TextOf(Text::CannotSelSameDisk), L"You cannot select USB Device disk ");
    EXPECT_EQ(form.TextOf(Text::LabelVersion), L"Version");
    EXPECT_EQ(form.TextOf(Text::ErrcodeSourceFileNotFound), L"Source file cannot be duplicated");
}

TEST_F(LanguageTest, FixtureFileRules) {
    // A mark hides the first key; a repeated key keeps its first value; a rejected value and a
    // missing key give English; the version follows the version label's text.
    const std::wstring text = L"\uFEFFTabSheet1.Caption=Hidden\r\n"
                              L"GroupBox4.Caption=First\r\n"
                              L"GroupBox4.Caption=Second\r\n"
                              L"btnBackup.Caption=(Sichern)\r\n"
                              L"LabelVersion.Caption=Ausgabe\r\n"
                              L"ErrTitle=Fehler\r\n";
    ::CreateDirectoryW(Data(L"Language").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(Data(L"Language\\German.ini"), Utf16Le(text)));
    ASSERT_TRUE(WriteBytes(Data(L"Setting.txt"), "Language=5\r\n"));
    TMainForm& form = Form();
    form.ComboBoxLanguageChange();
    EXPECT_EQ(TabCaption(form, 0), L"File Backup");
    EXPECT_EQ(form.GroupBox4.Caption(), L"First");
    EXPECT_EQ(form.btnBackup.Caption(), L"Backup");
    EXPECT_EQ(form.LabelVersion.Caption(), L"Ausgabe 0.0.0.0");
    EXPECT_EQ(form.TextOf(Text::ErrTitle), L"Fehler");
    EXPECT_EQ(form.TextOf(Text::QuestionTitle), L"Question");
}

TEST_F(LanguageTest, MissingFileOrNoSelectionKeepsThePreviousLanguage) {
    CopyLanguage(L"Russian.ini");
    ASSERT_TRUE(WriteBytes(Data(L"Setting.txt"), "Language=4\r\n"));
    TMainForm& form = Form();
    form.ComboBoxLanguageChange();
    const std::wstring russianBackup = form.btnBackup.Caption();
    const std::wstring russianTitle = form.TextOf(Text::ErrTitle);
    EXPECT_NE(russianBackup, L"Backup");
    // German.ini is missing: selecting it changes nothing.
    form.ComboBoxLanguage.SetItemIndex(5);
    form.ComboBoxLanguageChange();
    EXPECT_EQ(form.btnBackup.Caption(), russianBackup);
    EXPECT_EQ(form.TextOf(Text::ErrTitle), russianTitle);
    form.ComboBoxLanguage.SetItemIndex(-1);
    form.ComboBoxLanguageChange();
    EXPECT_EQ(form.btnBackup.Caption(), russianBackup);
}

TEST_F(LanguageTest, StartUpAppliesTheStoredLanguageAndTheBoxAppliesAChoice) {
    CopyLanguage(L"Japenese.ini");
    CopyLanguage(L"English.ini");
    ASSERT_TRUE(WriteBytes(Data(L"Setting.txt"), "Language=3\r\n"));
    // A caption of its own keeps this test's single-instance mutex apart from other tests'.
    ASSERT_TRUE(
        WriteProductConfig(Data(L"qconfig.inis"), "MainFormCaption=Language start-up test\r\n"));
    TMainForm& form = Form();
    form.TntFormCreate();
    EXPECT_NE(form.btnBackup.Caption(), L"Backup");
    EXPECT_FALSE(form.TextOf(Text::ErrTitle).empty());
    // Choosing English in the box (as the user does) applies it at once.
    form.ComboBoxLanguage.SetItemIndex(0);
    ::SendMessageW(form.ComboBoxLanguage.Handle(), WM_COMMAND, 0, 0); // no effect: not a change
    ::SendMessageW(::GetParent(form.ComboBoxLanguage.Handle()), WM_COMMAND,
                   MAKEWPARAM(form.ComboBoxLanguage.Id(), CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(form.ComboBoxLanguage.Handle()));
    EXPECT_EQ(form.btnBackup.Caption(), L"Backup");
    EXPECT_EQ(form.TextOf(Text::ErrTitle), L"Error");
    // The disk status shows the language's caption text until the next rescan.
    EXPECT_EQ(form.LabelDiskStatus.Caption(), L"Disk is not found.");
}

} // namespace

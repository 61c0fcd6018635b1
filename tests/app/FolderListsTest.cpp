// The host and device lists with real list views: adding through the folder choice, the
// refusals and their messages, deleting, and the enabling of Backup and Restore.
#include "MainFormFixture.h"

#include "Wait.h"

#include <commctrl.h>
#include <ole2.h>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

class FolderListsTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        // The folder dialog's newer style needs COM, as the program's entry point sets it up.
        ::OleInitialize(nullptr);
    }
    void TearDown() override {
        MainFormTest::TearDown();
        ::OleUninitialize();
    }
    TMainForm& EnglishForm() {
        CopyLanguage(L"English.ini");
        TMainForm& form = Form();
        form.ComboBoxLanguageChange();
        // The window's first activation rescans the drives, which empties the drive box. In the
        // program it comes when the window shows; here it comes first too, so that the drives a
        // test puts in the box stay (a click on a button of the window activates it).
        ::SendMessageW(form.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
        return form;
    }
    // Runs the Add command with `chosen` as the folder dialog's answer; answers the texts of
    // the error boxes it showed.
    std::vector<std::wstring> Add(TMainForm& form, const std::wstring& chosen) {
        form.ChooseFolder = [&](const std::wstring& description) {
            lastDescription_ = description;
            return chosen;
        };
        MessageBoxAnswerer answerer(L"Error");
        ::SendMessageW(form.btnHostAdd.Handle(), BM_CLICK, 0, 0);
        return answerer.Texts();
    }
    static std::vector<std::wstring> Rows(const ui::ListView& list) {
        std::vector<std::wstring> rows;
        for (int i = 0; i < list.Count(); ++i)
            rows.push_back((list.Checked(i) ? L"[x] " : L"[ ] ") + list.Text(i));
        return rows;
    }
    using Rows_t = std::vector<std::wstring>;
    std::wstring lastDescription_;
};

TEST_F(FolderListsTest, AddAppendsATickedRowWithOneTrailingBackslash) {
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), "0\r\nD:\\Old\\\r\n"));
    TMainForm& form = EnglishForm();
    EXPECT_TRUE(Add(form, L"C:\\Photos").empty());
    EXPECT_EQ(lastDescription_, L"Select a new folder for Backup");
    EXPECT_TRUE(Add(form, L"C:\\").empty());
    EXPECT_TRUE(Add(form, L"c:\\photos\\").empty()) << "a case difference is another folder";
    EXPECT_TRUE(Add(form, L"C:\\Photos\\2024").empty()) << "a subfolder is accepted";
    EXPECT_TRUE(Add(form, L"").empty()) << "a cancelled dialog changes nothing";
    EXPECT_EQ(Rows(form.ListViewHost), (Rows_t{L"[ ] D:\\Old\\", L"[x] C:\\Photos\\", L"[x] C:\\",
                                               L"[x] c:\\photos\\", L"[x] C:\\Photos\\2024\\"}));
}

TEST_F(FolderListsTest, DuplicateIsRefusedWithThePathAndTheMessage) {
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), "0\r\nD:\\Photos\\\r\n"));
    TMainForm& form = EnglishForm();
    EXPECT_EQ(Add(form, L"D:\\Photos"), (Rows_t{L"D:\\Photos\\has already added."}))
        << "an unticked listed folder is a duplicate too";
    EXPECT_EQ(form.ListViewHost.Count(), 1);
}

TEST_F(FolderListsTest, EnclosureDrivesAreRefusedWhicheverIsSelected) {
    TMainForm& form = EnglishForm();
    // No enclosure: the folder is accepted.
    EXPECT_TRUE(Add(form, L"F:\\Data").empty());
    form.ComboBoxDiskLetter.Add(L"E:\\");
    form.ComboBoxDiskLetter.Add(L"F:\\");
    for (int selected : {-1, 0, 1}) {
        form.ComboBoxDiskLetter.SetItemIndex(selected);
        EXPECT_EQ(Add(form, L"F:\\Music"), (Rows_t{L"You cannot select USB Device disk F:\\."}))
            << selected;
        EXPECT_EQ(Add(form, L"E:\\"), (Rows_t{L"You cannot select USB Device disk E:\\."}))
            << selected;
    }
    // The duplicate check comes first.
    EXPECT_EQ(Add(form, L"F:\\Data"), (Rows_t{L"F:\\Data\\has already added."}));
    EXPECT_EQ(form.ListViewHost.Count(), 1);
}

TEST_F(FolderListsTest, AFolderTheListFilesCannotHoldIsRefused) {
    // The list files end a line at U+2028, CR and LF: a row holding one would be saved, and
    // every later start would then stop at the malformed list.
    TMainForm& form = EnglishForm();
    for (const wchar_t* chosen :
         {L"C:\\Line\u2028Separator", L"C:\\Carriage\rReturn", L"C:\\Line\nFeed\\"}) {
        std::wstring path = chosen;
        if (path.back() != L'\\')
            path += L'\\';
        EXPECT_EQ(
            Add(form, chosen),
            (Rows_t{L"A folder whose path contains a line separator cannot be added: " + path}));
    }
    EXPECT_EQ(form.ListViewHost.Count(), 0);
    // Other unusual characters are kept.
    EXPECT_TRUE(Add(form, L"C:\\Para\u2029graph \u00e9\U0001F600").empty());
    EXPECT_EQ(form.ListViewHost.Count(), 1);
}

TEST_F(FolderListsTest, DriveRootsOfLettersAndNetworkShares) {
    TMainForm& form = EnglishForm();
    EXPECT_TRUE(Add(form, L"C:\\Photos\\2024").empty());
    EXPECT_TRUE(Add(form, L"C:\\Photos").empty()) << "a parent of a listed folder is accepted";
    form.ComboBoxDiskLetter.Add(L"E:\\");
    // A drive letter in the other case is the same drive.
    EXPECT_EQ(Add(form, L"e:\\Photos"), (Rows_t{L"You cannot select USB Device disk e:\\."}));
    // A network folder's root is its server and share.
    form.ComboBoxDiskLetter.Add(L"\\\\nas\\backup\\");
    EXPECT_EQ(Add(form, L"\\\\NAS\\Backup\\Photos"),
              (Rows_t{L"You cannot select USB Device disk \\\\NAS\\Backup\\."}));
    EXPECT_TRUE(Add(form, L"\\\\nas\\media\\Photos").empty());
    EXPECT_EQ(form.ListViewHost.Count(), 3);
}

TEST_F(FolderListsTest, TheFolderDialogBlocksTheMainWindow) {
    TMainForm& form = EnglishForm();
    ::ShowWindow(form.Handle(), SW_SHOW);
    bool mainEnabledDuringDialog = true;
    size_t dialogs = 0;
    {
        // The real dialog, cancelled from another thread once it is up.
        MessageBoxAnswerer cancel(L"", IDCANCEL, [&](HWND) {
            mainEnabledDuringDialog = ::IsWindowEnabled(form.Handle()) != FALSE;
        });
        ::SendMessageW(form.btnHostAdd.Handle(), BM_CLICK, 0, 0);
        dialogs = cancel.Texts().size();
    }
    EXPECT_EQ(dialogs, 1u) << "no folder dialog appeared";
    EXPECT_FALSE(mainEnabledDuringDialog);
    EXPECT_TRUE(::IsWindowEnabled(form.Handle()));
    EXPECT_EQ(form.ListViewHost.Count(), 0) << "a cancelled dialog adds nothing";
}

TEST_F(FolderListsTest, MessagesFollowTheLanguage) {
    CopyLanguage(L"German.ini");
    ASSERT_TRUE(WriteBytes(Data(L"Setting.txt"), "Language=5\r\n"));
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), "1\r\nD:\\A\\\r\n"));
    TMainForm& form = Form();
    form.ComboBoxLanguageChange();
    const std::wstring title = form.TextOf(Text::ErrTitle);
    ASSERT_FALSE(title.empty());
    ASSERT_NE(title, L"Error");
    form.ChooseFolder = [](const std::wstring&) { return std::wstring(L"D:\\A\\"); };
    MessageBoxAnswerer answerer(title);
    ::SendMessageW(form.btnHostAdd.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(answerer.Texts(), (Rows_t{L"D:\\A\\" + form.TextOf(Text::DirAlreadyAdded)}));
}

TEST_F(FolderListsTest, DeleteByButtonAndByKeyWithoutModifiers) {
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), "1\r\nA:\\\r\n1\r\nB:\\\r\n1\r\nC:\\\r\n"));
    TMainForm& form = EnglishForm();
    EXPECT_FALSE(form.btnHostDel.Enabled());
    form.btnHostDelClick(); // nothing selected: nothing deleted
    EXPECT_EQ(form.ListViewHost.Count(), 3);

    form.ListViewHost.Select(1);
    EXPECT_TRUE(form.btnHostDel.Enabled()) << "selecting a row enables Delete";
    BYTE keys[256] = {};
    for (BYTE modifier : {BYTE(VK_CONTROL), BYTE(VK_SHIFT), BYTE(VK_MENU)}) {
        ::GetKeyboardState(keys);
        keys[modifier] = 0x80;
        ::SetKeyboardState(keys);
        ::SendMessageW(form.ListViewHost.Handle(), WM_KEYUP, VK_DELETE, 0);
        keys[modifier] = 0;
        ::SetKeyboardState(keys);
        EXPECT_EQ(form.ListViewHost.Count(), 3) << "Delete with a modifier deletes nothing";
    }
    ::SendMessageW(form.ListViewHost.Handle(), WM_KEYUP, VK_INSERT, 0);
    EXPECT_EQ(form.ListViewHost.Count(), 3);
    ::SendMessageW(form.ListViewHost.Handle(), WM_KEYUP, VK_DELETE, 0);
    EXPECT_EQ(Rows(form.ListViewHost), (Rows_t{L"[x] A:\\", L"[x] C:\\"}));

    form.ListViewHost.Select(0);
    ::SendMessageW(form.btnHostDel.Handle(), BM_CLICK, 0, 0);
    EXPECT_EQ(Rows(form.ListViewHost), (Rows_t{L"[x] C:\\"}));
    EXPECT_FALSE(form.btnHostDel.Enabled()) << "the deleted row took the selection with it";
}

TEST_F(FolderListsTest, BackupAndRestoreFollowTicksAndDrives) {
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), "1\r\nC:\\A\\\r\n"));
    ASSERT_TRUE(WriteBytes(Data(L"Device.txt"), "1\r\nE:\\Backup\\C\\A\\\r\n"));
    TMainForm& form = EnglishForm();
    // No drive: both stay disabled, however many ticks.
    EXPECT_FALSE(form.btnBackup.Enabled());
    EXPECT_FALSE(form.btnRestore.Enabled());

    form.ComboBoxDiskLetter.Add(L"E:\\");
    form.UpdateBackupButton();
    form.UpdateRestoreButton();
    EXPECT_FALSE(form.btnBackup.Enabled()) << "Backup needs a selected drive";
    EXPECT_TRUE(form.btnRestore.Enabled()) << "Restore needs only a drive in the box";

    form.ComboBoxDiskLetter.SetItemIndex(0);
    form.UpdateBackupButton();
    EXPECT_TRUE(form.btnBackup.Enabled());

    // Ticks change through the list's own notifications.
    form.ListViewHost.SetChecked(0, false);
    EXPECT_FALSE(form.btnBackup.Enabled()) << "clearing the last tick disables Backup";
    form.ListViewHost.SetChecked(0, true);
    EXPECT_TRUE(form.btnBackup.Enabled());
    form.ListViewDevice.SetChecked(0, false);
    EXPECT_FALSE(form.btnRestore.Enabled());

    // A newly added row enables Backup at once.
    form.ListViewHost.SetChecked(0, false);
    EXPECT_TRUE(Add(form, L"D:\\New").empty());
    EXPECT_TRUE(form.btnBackup.Enabled());
}

} // namespace

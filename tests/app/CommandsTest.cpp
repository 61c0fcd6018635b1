// The Backup and Restore commands: the checks before a job, in their order, and what the
// commands hand to the job window.
#include "JobWindowFixture.h"

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

TEST_F(JobWindowTest, CanStartJobChecksInOrder) {
    struct Case {
        const char* what;
        std::wstring drive; // entry of the drive box; empty: none; "-": an entry, not selected
        bool others;
        std::wstring othersText;
        bool accepted;
        std::wstring message;
    };
    const std::wstring mapped = drive_->Root();
    const Case cases[] = {
        {"no drive entry", L"", false, L"", false, L""},
        {"no drive selected", L"-", false, L"", false, L""},
        {"volume cannot be queried, before Others", L"B:\\", true, L"", false,
         L"Device disk cannot be accessed."},
        {"Others not ticked, empty", mapped, false, L"", true, L""},
        {"Others not ticked, long", mapped, false, std::wstring(300, L'a'), true, L""},
        {"Others empty", mapped, true, L"", false, L"File Type in Others cannot be empty."},
        {"Others 127", mapped, true, std::wstring(127, L'a'), true, L""},
        {"Others 128", mapped, true, std::wstring(128, L'a'), false,
         L"Number of File Type in Others is too much."},
    };
    for (const Case& c : cases) {
        ui::ComboBox& box = main_->ComboBoxDiskLetter;
        box.Clear();
        if (!c.drive.empty()) {
            box.Add(c.drive == L"-" ? mapped : c.drive);
            box.SetItemIndex(c.drive == L"-" ? -1 : 0);
        }
        // The page keeps one box ticked: "All" stands in for an unticked Others.
        main_->FileTypes.SetChecked(c.others ? FileType::Others : FileType::All, true);
        ASSERT_EQ(main_->CheckBoxOthersExt.Checked(), c.others);
        main_->edtOthersExt.SetCaption(c.othersText);
        MessageBoxAnswerer errors(L"Error", IDOK);
        EXPECT_EQ(main_->CanStartJob(), c.accepted) << c.what;
        const auto texts = errors.Texts();
        if (c.message.empty())
            EXPECT_TRUE(texts.empty()) << c.what;
        else
            EXPECT_EQ(texts, std::vector<std::wstring>{c.message}) << c.what;
        EXPECT_EQ(main_->edtOthersExt.Caption(), c.othersText) << "left as typed";
    }
}

TEST_F(JobWindowTest, BackupKeepsTheDeviceListAndSetsCaptionsRestoreKeepsThem) {
    // A restore before any backup: the job window's built-in captions. (The restore has no
    // ticked device row, so it stops at once and waits for Close.)
    main_->SetCaption(L"Velmora Snapkeep");
    std::thread closer([&] {
        WaitUntilOnThread([&] { return job_->Showing() && job_->btnClose.Visible(); });
        Click(job_->btnClose);
    });
    main_->btnRestoreClick();
    closer.join();
    EXPECT_EQ(job_->Caption(), L"Velmora Snapkeep");
    EXPECT_FALSE(job_->BackupDirection);
    EXPECT_EQ(job_->btnCancel.Caption(), L"Cancel");

    // A backup in German, cancelled at once: the device list keeps its rows (their copies are
    // still on the enclosure), and the buttons keep the German captions for the next restore.
    CopyLanguage(L"German.ini");
    main_->ApplyLanguage(Data(L"Language\\German.ini"));
    const std::wstring german = main_->TextOf(Text::CfwCancelbtn);
    ASSERT_NE(german, L"Cancel");
    main_->ListViewDevice.Add(true, drive_->Root() + L"Backup\\C\\old\\");
    AddHostFolder(L"Docs");
    bool refusedInside = false;
    job_->OnWorkerReady = [&](TScanCopyFiles&, bool) {
        // While the window is shown, a second command (the enclosure's button) starts nothing.
        refusedInside = !main_->CanStartJob();
        main_->btnBackupClick();
        job_->btnCancelClick();
    };
    MessageBoxAnswerer yes(L"", IDYES);
    main_->btnBackupClick();
    EXPECT_TRUE(refusedInside);
    ASSERT_EQ(main_->ListViewDevice.Count(), 1);
    EXPECT_EQ(main_->ListViewDevice.Text(0), drive_->Root() + L"Backup\\C\\old\\");
    EXPECT_EQ(job_->btnCancel.Caption(), german);
    EXPECT_EQ(job_->btnPause.Caption(), main_->TextOf(Text::CfwPausebtn));
    EXPECT_TRUE(job_->BackupDirection);

    job_->OnWorkerReady = nullptr;
    std::thread closer2([&] {
        WaitUntilOnThread([&] { return job_->Showing() && job_->btnClose.Visible(); });
        Click(job_->btnClose);
    });
    main_->btnRestoreClick();
    closer2.join();
    EXPECT_EQ(job_->btnCancel.Caption(), german);
}

} // namespace

// The main window finding the enclosure: the drive box, the status label and the command
// buttons following a simulated enclosure's data file, and rescans nested inside a rescan
// through real window messages.
#include "MainFormFixture.h"

#include "Wait.h"
#include "device/SimulatedEnclosureDevices.h"

#include <dbt.h>
#include <ole2.h>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

class MainFormDrivesTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        ::OleInitialize(nullptr);
    }
    void TearDown() override {
        MainFormTest::TearDown();
        ::OleUninitialize();
    }
    // An English main window of a product that accepts every bridge, on the simulated enclosures of
    // SnapData\Enclosure.ini, told of attached and detached enclosures as the simulated program is.
    TMainForm& SimulatedForm() {
        EXPECT_TRUE(WriteProductConfig(Data(L"qconfig.inis"), "Model=ALL\r\n"));
        CopyLanguage(L"English.ini");
        TMainForm& form = Form();
        form.ComboBoxLanguageChange();
        HWND window = form.Handle();
        form.UseDevices(
            std::make_unique<win::SimulatedEnclosureDevices>(Data(L"Enclosure.ini"), [window] {
                ::PostMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
            }));
        return form;
    }
    bool WriteEnclosures(const std::string& text) {
        const std::wstring file = Data(L"Enclosure.ini");
        return WriteBytes(file + L".new", text) &&
               ::MoveFileExW((file + L".new").c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    static std::vector<std::wstring> Entries(TMainForm& form) {
        std::vector<std::wstring> entries;
        for (int i = 0; i < form.ComboBoxDiskLetter.Count(); ++i)
            entries.push_back(form.ComboBoxDiskLetter.Item(i));
        return entries;
    }
    using Entries_t = std::vector<std::wstring>;
};

TEST_F(MainFormDrivesTest, FollowsTheEnclosureAsItIsAttachedAndDetached) {
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), "0\r\nC:\\Photos\\\r\n"));
    ASSERT_TRUE(WriteBytes(Data(L"Device.txt"), "1\r\nQ:\\Backup\\C\\Photos\\\r\n"));
    TMainForm& form = SimulatedForm();
    form.RescanDrives();
    EXPECT_EQ(form.LabelDiskStatus.Caption(), L"Disk is not found.");
    EXPECT_FALSE(form.btnBackup.Enabled());
    EXPECT_FALSE(form.btnRestore.Enabled());

    ASSERT_TRUE(WriteEnclosures("[Enclosure]\r\nProfile=inquiry-785\r\nLetters=Q R\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return form.ComboBoxDiskLetter.Count() == 2; }, 2000));
    EXPECT_EQ(Entries(form), (Entries_t{L"Q:\\", L"R:\\"}));
    EXPECT_EQ(form.ComboBoxDiskLetter.ItemIndex(), 0);
    EXPECT_EQ(form.LabelDiskStatus.Caption(), L"Disk has been found.");
    EXPECT_EQ(form.EnclosureDevicePath, SimulatedBridge::kDefaultDevicePath);
    EXPECT_FALSE(form.btnBackup.Enabled()) << "no host folder is ticked yet";
    // The saved row's folder is not on this enclosure: the list does not show it, so nothing
    // can be restored; the row stays known for the list file.
    EXPECT_EQ(form.ListViewDevice.Count(), 0);
    EXPECT_FALSE(form.btnRestore.Enabled());
    form.ListViewHost.SetChecked(0, true);
    EXPECT_TRUE(WaitUntil([&] { return form.btnBackup.Enabled(); }, 2000));

    // A host folder on either of the enclosure's drives is refused.
    form.ChooseFolder = [](const std::wstring&) { return std::wstring(L"R:\\Photos"); };
    {
        MessageBoxAnswerer answerer(L"Error");
        ::SendMessageW(form.btnHostAdd.Handle(), BM_CLICK, 0, 0);
        EXPECT_EQ(answerer.Texts(),
                  (std::vector<std::wstring>{L"You cannot select USB Device disk R:\\."}));
    }
    EXPECT_EQ(form.ListViewHost.Count(), 1);

    ASSERT_TRUE(WriteEnclosures("[Enclosure]\r\nProfile=inquiry-785\r\nLetters=Q R\r\n"
                                "Attached=0\r\n"));
    ASSERT_TRUE(WaitUntil([&] { return form.ComboBoxDiskLetter.Count() == 0; }, 2000));
    EXPECT_EQ(form.ComboBoxDiskLetter.ItemIndex(), -1);
    EXPECT_EQ(form.LabelDiskStatus.Caption(), L"Disk is not found.");
    EXPECT_FALSE(form.btnBackup.Enabled());
    EXPECT_FALSE(form.btnRestore.Enabled());
    EXPECT_EQ(form.EnclosureDevicePath, SimulatedBridge::kDefaultDevicePath)
        << "the last accepted disk is remembered";
}

TEST_F(MainFormDrivesTest, RescansNestedInTheMessagePumpAndTheChipInfoBoxRunToTheirEnd) {
    // The first enclosure's chip information cannot be read, so identifying it shows the error
    // box; the second is a good one.
    ASSERT_TRUE(WriteEnclosures("[Enclosure]\nProfile=family8-chipinfo-refused\nLetters=Q\n"
                                "[Enclosure]\nProfile=inquiry-786\nLetters=R\n"));
    TMainForm& form = SimulatedForm();
    std::atomic<int> boxes{0};
    HWND window = form.Handle();
    // While the first box is open, the system reports a device change: a rescan runs inside
    // the box's own message loop.
    MessageBoxAnswerer answerer(L"Error", IDOK, [&](HWND) {
        if (boxes++ == 0)
            ::PostMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    });
    // A device change is already waiting when the rescan lets messages through.
    ::PostMessageW(window, WM_DEVICECHANGE, DBT_DEVNODES_CHANGED, 0);
    const int before = form.RescanCount();
    EXPECT_TRUE(form.RescanDrives());
    EXPECT_EQ(form.RescanCount() - before, 3) << "the outer run and two nested ones";
    EXPECT_EQ(boxes, 3) << "each run identified the first enclosure";
    EXPECT_EQ(answerer.Texts(), std::vector<std::wstring>(3, L"Get chip information fail !"));
    EXPECT_EQ(Entries(form), (Entries_t{L"R:\\"})) << "each drive once";
    EXPECT_EQ(form.ComboBoxDiskLetter.ItemIndex(), 0);
    EXPECT_EQ(form.LabelDiskStatus.Caption(), L"Disk has been found.");
    EXPECT_EQ(form.EnclosureDevicePath, SimulatedEnclosures::DevicePathOf(1));
}

} // namespace

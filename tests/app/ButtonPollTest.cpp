// The enclosure's button on the main window's timer, in-process with a simulated enclosure on a
// mapped drive: what a tick sends, when it starts a backup, and what it does while a job or
// identification's error box is open.
#include "JobWindowFixture.h"

#include "device/BridgeCommands.h"
#include "device/SimulatedEnclosureDevices.h"

#include <algorithm>
#include <stdexcept>
#include <atomic>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

class ButtonPollTest : public JobWindowTest {
protected:
    // The main window on a simulated enclosure whose volume is the mapped drive, accepted by a
    // product that takes every bridge.
    void UseEnclosure(const std::string& profile) {
        profile_ = profile;
        ASSERT_TRUE(Press(false));
        main_->Config.Model = "ALL";
        auto devices =
            std::make_unique<win::SimulatedEnclosureDevices>(Data(L"Enclosure.ini"), nullptr);
        devices_ = devices.get();
        main_->UseDevices(std::move(devices));
        ASSERT_TRUE(main_->RescanDrives());
        job_->OnWorkerReady = [this](TScanCopyFiles&, bool scanPass) { jobs_ += scanPass; };
    }
    // Writes the enclosure's file with the button held or released (read at the next command).
    bool Press(bool pressed) {
        const std::string text = "[Enclosure]\r\nProfile=" + profile_ + "\r\nLetters=" +
                                 std::string(1, static_cast<char>(drive_->Letter())) +
                                 "\r\nButtonPressed=" + (pressed ? "1" : "0") + "\r\n";
        const std::wstring file = Data(L"Enclosure.ini");
        return WriteBytes(file + L".new", text) &&
               ::MoveFileExW((file + L".new").c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
    }
    size_t Sent(uint8_t first, uint8_t second) const {
        size_t count = 0;
        for (const SentCommand& c : devices_->BridgeOf(0)->SentCommands())
            count += c.commandBlock[0] == first && c.commandBlock[1] == second;
        return count;
    }

    std::string profile_ = "inquiry-785";
    win::SimulatedEnclosureDevices* devices_ = nullptr;
    int jobs_ = 0; // jobs started (their first scan worker)
};

TEST_F(ButtonPollTest, APressStartsABackupOnlyWhileBackupIsEnabled) {
    const std::wstring folder = AddHostFolder(L"Photos", false);
    ASSERT_TRUE(WriteFileAt(folder + L"a.jpg", Pattern(5000, 1)));
    UseEnclosure("inquiry-785"); // family 3: the button is read from the vendor page
    main_->UpdateBackupButton();
    ASSERT_FALSE(main_->btnBackup.Enabled());

    // No host folder ticked: the chip is still identified on each tick, and that is all.
    ASSERT_TRUE(Press(true));
    devices_->BridgeOf(0)->ClearSentCommands();
    main_->TimerGpioBtnTimer();
    EXPECT_EQ(Sent(0x12, 0x00), 1u) << "the inquiry of identification";
    EXPECT_EQ(Sent(0x12, 0x01), 0u) << "no vendor page read: Backup is off";
    EXPECT_EQ(jobs_, 0);

    // Released: the page is read, nothing starts.
    main_->ListViewHost.SetChecked(0, true);
    ASSERT_TRUE(main_->btnBackup.Enabled());
    ASSERT_TRUE(Press(false));
    devices_->BridgeOf(0)->ClearSentCommands();
    main_->TimerGpioBtnTimer();
    EXPECT_EQ(Sent(0x12, 0x01), 1u);
    EXPECT_EQ(jobs_, 0);

    // Pressed: the tick runs the Backup command, whose job closes its window by itself.
    ASSERT_TRUE(Press(true));
    main_->TimerGpioBtnTimer();
    ASSERT_TRUE(Press(false));
    EXPECT_EQ(jobs_, 1);
    EXPECT_FALSE(job_->Showing());
    EXPECT_EQ(ReadBytes(BackupOf(folder) + L"a.jpg"), Pattern(5000, 1));
}

TEST_F(ButtonPollTest, AButtonHeldThroughAJobStartsTheNextOnlyAfterTheWindowCloses) {
    // Enough files that the job's loops run for a while.
    const std::wstring folder = AddHostFolder(L"Music");
    for (int i = 0; i < 200; ++i)
        ASSERT_TRUE(WriteFileAt(folder + L"song" + std::to_wstring(i) + L".mp3", Pattern(3000, i)));
    UseEnclosure("chipinfo-753"); // family 6: the button is the pin-level word's pin 9
    main_->TimerGpioBtn.SetInterval(50);
    ASSERT_TRUE(Press(true));
    devices_->BridgeOf(0)->ClearSentCommands();

    // The first job runs inside this tick. The timer goes on ticking inside the job's loops and
    // finds the button held, but the Backup command refuses while the job window is shown.
    main_->TimerGpioBtnTimer();
    EXPECT_EQ(jobs_, 1);
    EXPECT_GT(Sent(0x12, 0x00), 1u) << "ticks ran during the job";
    EXPECT_GT(Sent(0xDF, 0x10), 1u) << "and read the pin";

    // Still held: the next tick after the window closed starts the second job. The button is
    // let go as soon as that job starts, or each job would be followed by another.
    job_->OnWorkerReady = [this](TScanCopyFiles&, bool scanPass) {
        if (scanPass && ++jobs_ == 2)
            Press(false);
    };
    EXPECT_TRUE(WaitUntil([&] { return jobs_ == 2 && !job_->Showing(); }, 20000));
    EXPECT_FALSE(job_->Showing());
    const int after = jobs_;
    const size_t reads = Sent(0xDF, 0x10);
    EXPECT_TRUE(WaitUntil([&] { return Sent(0xDF, 0x10) > reads + 2; }));
    EXPECT_EQ(jobs_, after) << "released: no further job";
}

TEST_F(ButtonPollTest, ATickInsideIdentificationsErrorBoxDoesNothing) {
    // A family-8 bridge whose chip information is malformed: identification shows its box on
    // every tick. Ticks that arrive while the box is open (its own loop handles the timer) must
    // not open box after box.
    {
        // The rescan identifies the bridge too, and shows the box once.
        MessageBoxAnswerer rescanBox(L"Error");
        UseEnclosure("family8-chipinfo-malformed");
    }
    main_->TimerGpioBtn.SetInterval(20);
    std::atomic<int> open{0};
    std::atomic<int> most{0};
    size_t inquiriesWhileOpen = 0;
    // Each box is held open while the timer ticks a few times, counted by a timer of the test's
    // own on the same thread (the box's loop runs both), then answered.
    static std::atomic<int> testTicks{0};
    const UINT_PTR counter =
        ::SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) { ++testTicks; });
    MessageBoxAnswerer answerer(L"Error", IDOK, [&](HWND) {
        most = std::max(most.load(), ++open);
        const size_t before = Sent(0x12, 0x00);
        const int ticks = testTicks;
        WaitUntilOnThread([&] { return testTicks >= ticks + 5; }, 5000);
        inquiriesWhileOpen += Sent(0x12, 0x00) - before;
        --open;
    });
    main_->TimerGpioBtnTimer();
    ::KillTimer(nullptr, counter);
    main_->TimerGpioBtn.SetInterval(0);
    EXPECT_EQ(answerer.Texts().size(), 1u);
    EXPECT_EQ(most, 1);
    EXPECT_EQ(inquiriesWhileOpen, 0u) << "no tick identified the chip while the box was open";
}

TEST_F(ButtonPollTest, AHeldButtonAgainstARefusalOpensOneBoxPerPress) {
    AddHostFolder(L"Photos");
    UseEnclosure("inquiry-785");
    main_->UpdateBackupButton();
    ASSERT_TRUE(main_->btnBackup.Enabled());
    main_->CheckBoxOthersExt.SetChecked(true);
    main_->edtOthersExt.SetCaption(L"");
    // Each box stays open while the button is read a few more times, ticks running inside it.
    std::atomic<int> open{0};
    std::atomic<int> most{0};
    MessageBoxAnswerer answerer(L"Error", IDOK, [&](HWND) {
        most = std::max(most.load(), ++open);
        const size_t reads = Sent(0x12, 0x01);
        WaitUntilOnThread([&] { return Sent(0x12, 0x01) >= reads + 4; }, 5000);
        --open;
    });
    const auto readsMore = [&](size_t more) {
        const size_t reads = Sent(0x12, 0x01);
        return WaitUntil([&] { return Sent(0x12, 0x01) >= reads + more; });
    };
    main_->TimerGpioBtn.SetInterval(30);
    ASSERT_TRUE(Press(true));
    ASSERT_TRUE(WaitUntil([&] { return answerer.Texts().size() == 1; }));
    EXPECT_TRUE(readsMore(6)) << "the button is read on after the box";
    EXPECT_EQ(answerer.Texts().size(), 1u) << "a held button asked again";
    EXPECT_EQ(answerer.Texts()[0], L"File Type in Others cannot be empty.");

    // Let go and pressed again: one more box.
    ASSERT_TRUE(Press(false));
    EXPECT_TRUE(readsMore(2));
    ASSERT_TRUE(Press(true));
    EXPECT_TRUE(WaitUntil([&] { return answerer.Texts().size() == 2; }));
    EXPECT_TRUE(readsMore(6));
    main_->TimerGpioBtn.SetInterval(0);
    EXPECT_EQ(answerer.Texts().size(), 2u);
    EXPECT_EQ(most, 1) << "two boxes were open at once";
    EXPECT_EQ(jobs_, 0);
}

TEST_F(ButtonPollTest, AnErrorThrownInsideATickDoesNotStopTheButton) {
    class Throwing : public ErrorNotifier {
    public:
        void ShowError(std::string_view, std::string_view) override {
            throw std::runtime_error("no box today");
        }
    };
    class Quiet : public ErrorNotifier {
    public:
        void ShowError(std::string_view, std::string_view) override {}
    };
    {
        MessageBoxAnswerer rescanBox(L"Error");
        UseEnclosure("family8-chipinfo-malformed"); // identification reports an error
    }
    main_->UseNotifier(std::make_unique<Throwing>());
    EXPECT_THROW(main_->TimerGpioBtnTimer(), std::runtime_error);
    main_->UseNotifier(std::make_unique<Quiet>());
    devices_->BridgeOf(0)->ClearSentCommands();
    main_->TimerGpioBtnTimer();
    EXPECT_GE(Sent(0x12, 0x00), 1u) << "the tick after the error did nothing";
}

} // namespace

#pragma once
// The job window in-process: a main window on a fresh data folder with the English texts, the
// job window beside it, host folders in a temporary folder, and an enclosure drive letter mapped
// to a temporary folder of its own. A job runs on the test's thread (the modal showing); a
// driver thread watches the window and clicks its buttons as a user would, and worker gates let
// the test hold a worker at a file of its choosing.
#include "MainFormFixture.h"
#include "TempDir.h"
#include "Wait.h"
#include "WorkerTestSupport.h"
#include "job/CopyFileWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace snapkeep::test {

// Holds the thread that reaches it until the test opens it (or 30 s pass, so that a failed test
// cannot hang the run).
class Gate {
public:
    Gate()
        : reached_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
          open_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    void Hold() {
        ::SetEvent(reached_.Get());
        ::WaitForSingleObject(open_.Get(), 30000);
    }
    bool WaitHeld(DWORD timeoutMs = 20000) const {
        return ::WaitForSingleObject(reached_.Get(), timeoutMs) == WAIT_OBJECT_0;
    }
    void Open() { ::SetEvent(open_.Get()); }

private:
    win::Handle reached_;
    win::Handle open_;
};

// Which of the state-dependent widgets are visible.
struct Layout {
    int copyWidgets; // finished count, times, gauge, bar, failure list: 1 all, 0 none, -1 mixed
    bool pause, restart, cancel, close;
    bool operator==(const Layout&) const = default;
};
inline constexpr Layout kScanning{0, false, false, true, false};
inline constexpr Layout kCopying{1, true, false, true, false};
inline constexpr Layout kPaused{1, false, true, true, false};
inline constexpr Layout kFinished{1, false, false, false, true};
inline constexpr Layout kStopped{0, false, false, false, true};

inline std::ostream& operator<<(std::ostream& out, const Layout& l) {
    return out << "{copy widgets " << l.copyWidgets << ", pause " << l.pause << ", restart "
               << l.restart << ", cancel " << l.cancel << ", close " << l.close << "}";
}

class JobWindowTest : public MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        CopyLanguage(L"English.ini");
        main_ = &Form();
        main_->ApplyLanguage(Data(L"Language\\English.ini"));
        job_ = std::make_unique<TCopyFileForm>(*main_);
        ASSERT_TRUE(job_->Create());
        job_->TntFormCreate();
        drive_ = std::make_unique<MappedDrive>(enclosure_.Path());
        ASSERT_TRUE(drive_->Valid());
        main_->ComboBoxDiskLetter.Add(drive_->Root());
        main_->ComboBoxDiskLetter.SetItemIndex(0);
    }
    void TearDown() override {
        job_.reset();
        drive_.reset();
        MainFormTest::TearDown();
    }

    // A host folder row (ticked unless told), made in the host temporary folder.
    std::wstring AddHostFolder(const std::wstring& name, bool checked = true) {
        const std::wstring folder = host_ / name + L"\\";
        ::CreateDirectoryW(folder.c_str(), nullptr);
        main_->ListViewHost.Add(checked, folder);
        return folder;
    }
    // Where a backup puts a host path.
    std::wstring BackupOf(const std::wstring& hostPath) const {
        return drive_->Root() + L"Backup\\" + hostPath.substr(0, 1) + hostPath.substr(2);
    }

    // Runs one job with `script` on a driver thread; answers when the window has closed. A
    // script that leaves the window open gets it closed after 30 s, as a failure.
    void RunJob(bool backup, const std::function<void()>& script) {
        job_->BackupDirection = backup;
        std::atomic<bool> done{false};
        std::thread driver([&] {
            script();
            if (!WaitUntilOnThread([&] { return !job_->Showing(); }, 30000)) {
                ADD_FAILURE() << "the job window did not close";
                ::PostMessageW(job_->btnClose.Handle(), BM_CLICK, 0, 0);
            }
            done = true;
        });
        job_->ShowJob();
        closedAt_ = std::chrono::steady_clock::now();
        // The driver may be reading a widget, which needs this thread to answer: keep handling
        // messages until it is done.
        WaitUntil([&] { return done.load(); }, 60000);
        driver.join();
    }

    // For the driver thread: polls without handling messages (the job's thread does that).
    static bool WaitUntilOnThread(const std::function<bool()>& condition,
                                  unsigned timeoutMs = 20000) {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            ::Sleep(5);
        }
        return true;
    }
    static void Click(const ui::Button& button) { ::PostMessageW(button.Handle(), BM_CLICK, 0, 0); }
    Layout Current() const {
        const TCopyFileForm& f = *job_;
        int shown = 0;
        for (const ui::Control* c : {static_cast<const ui::Control*>(&f.LabelFinishedFiles),
                                     static_cast<const ui::Control*>(&f.LabelTimeSpent),
                                     static_cast<const ui::Control*>(&f.LabelTimeLeft),
                                     static_cast<const ui::Control*>(&f.CGaugeTotal),
                                     static_cast<const ui::Control*>(&f.ProgressBarSingle),
                                     static_cast<const ui::Control*>(&f.ListBoxFiles)})
            shown += c->Visible() ? 1 : 0;
        const bool always =
            f.Panel.Visible() && f.LabelStatus.Visible() && f.LabelTotalFiles.Visible();
        return {!always      ? -2
                : shown == 6 ? 1
                : shown == 0 ? 0
                             : -1,
                f.btnPause.Visible(), f.btnRestart.Visible(), f.btnCancel.Visible(),
                f.btnClose.Visible()};
    }
    bool WaitForLayout(const Layout& layout) {
        return WaitUntilOnThread([&] { return Current() == layout; });
    }
    bool WaitForText(const ui::Control& control, const std::wstring& text) {
        return WaitUntilOnThread([&] { return control.Caption() == text; });
    }

    TempDir host_;
    TempDir enclosure_;
    std::unique_ptr<MappedDrive> drive_;
    TMainForm* main_ = nullptr;
    std::unique_ptr<TCopyFileForm> job_;
    std::chrono::steady_clock::time_point closedAt_;
};

} // namespace snapkeep::test

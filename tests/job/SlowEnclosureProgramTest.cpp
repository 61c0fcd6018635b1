// The job window in the middle of a file, through the real windows of SnapkeepSim.exe on a
// simulated enclosure as slow as a USB disk (its Enclosure.ini gives the speed), driven from
// outside: Cancel answered Yes, Pause and Restart, the tray's Close, and the enclosure pulled out.
// Whatever the user does in the middle of a file, no earlier copy and no host file is lost.
#include "ProcessDriver.h"
#include "TempDir.h"
#include "Wait.h"
#include "WorkerTestSupport.h"
#include "app/ControlIds.h"
#include "job/JobControlIds.h"
#include "store/FolderListFile.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <regex>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// The user's files of a tree picture: without its folders (a copy gives them no times of its
// own) and without the leftovers of an interrupted copy.
std::map<std::wstring, Entry> FilesOf(const std::wstring& root) {
    std::map<std::wstring, Entry> entries = Snapshot(root);
    std::erase_if(entries, [](const auto& e) {
        return (e.second.attributes & FILE_ATTRIBUTE_DIRECTORY) ||
               e.first.find(L"~snapkeep-") != std::wstring::npos;
    });
    return entries;
}

std::vector<std::wstring> Leftovers(const std::map<std::wstring, Entry>& entries) {
    std::vector<std::wstring> names;
    for (const auto& [name, entry] : entries)
        if (name.find(L"~snapkeep-") != std::wstring::npos)
            names.push_back(name);
    return names;
}

LRESULT Position(HWND job, int id) {
    return ::SendMessageW(FindControl(job, id), PBM_GETPOS, 0, 0);
}

std::uint64_t SizeOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data))
        return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int ListBoxCount(HWND job) {
    return static_cast<int>(::SendMessageW(FindControl(job, ids::ListBoxFiles), LB_GETCOUNT, 0, 0));
}

constexpr size_t kBig = 24u << 20; // some seconds at the speeds below

class SlowEnclosureProgramTest : public testing::Test {
protected:
    void SetUp() override {
        caption_ = L"Snapkeep slow " + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                   std::to_wstring(counter_++);
        ASSERT_TRUE(WriteEnglishDataFolder(dir_ / L"SnapData", caption_, SNAPKEEP_LANGUAGE_DIR));
        ASSERT_TRUE(drive_.Valid());
        Describe(true, "");
        // The earlier copies: small files and the big one, at the speed of the machine.
        for (int i = 0; i < 30; ++i)
            ASSERT_TRUE(WriteFileAt(folder_ + L"f" + std::to_wstring(i) + L".txt",
                                    Pattern(2000 + i * 100, i)));
        ASSERT_TRUE(WriteFileAt(folder_ + L"video\\big.mkv", Pattern(kBig, 1)));
        ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), EncodeFolderList({{true, U16(folder_)}})));
    }
    std::wstring Data(const std::wstring& name) const { return dir_ / (L"SnapData\\" + name); }
    std::wstring Backup() const {
        return enclosure_ / (L"Backup\\" + folder_.substr(0, 1) + folder_.substr(2));
    }
    // The enclosure on the mapped letter, plugged in or not, with the speed keys of `speed`.
    void Describe(bool attached, const std::string& speed) {
        const std::string text = "[Enclosure]\r\nProfile=inquiry-785\r\nLetters=" +
                                 std::string(1, static_cast<char>(drive_.Letter())) +
                                 "\r\nAttached=" + (attached ? "1" : "0") + "\r\n" + speed;
        const std::wstring file = Data(L"Enclosure.ini");
        ASSERT_TRUE(
            WriteBytes(file + L".new", text) &&
            ::MoveFileExW((file + L".new").c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING));
    }
    static constexpr const char* kSlow = "WriteMBps=8\r\nReadMBps=8\r\nFileOpenMs=5\r\n";

    void Start() {
        program_ = std::make_unique<ChildProcess>(BuildProgram(L"SnapkeepSim.exe"), dir_.Path());
        main_ = WaitForTopWindow(L"TMainForm", caption_, program_->Id());
        ASSERT_NE(main_, nullptr);
    }
    // Clicks Backup or Restore once the enclosure is found; answers the job window.
    HWND StartJob(int button) {
        HWND drives = FindControl(main_, ids::ComboBoxDiskLetter);
        HWND command = FindControl(main_, button);
        if (!WaitUntil(
                [&] {
                    return ::SendMessageW(drives, CB_GETCURSEL, 0, 0) == 0 &&
                           ::IsWindowEnabled(command);
                },
                30000))
            return nullptr;
        ::PostMessageW(command, BM_CLICK, 0, 0);
        HWND job = WaitForTopWindow(L"TCopyFileForm", caption_, program_->Id());
        if (job)
            WaitUntil([&] { return ::IsWindowVisible(job); });
        return job;
    }
    // A whole backup with nothing in the way, then the program closed.
    void BackUpAll() {
        Start();
        HWND job = StartJob(ids::btnBackup);
        ASSERT_NE(job, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(job); }, 120000));
        Close();
    }
    void Close() {
        ::PostMessageW(main_, WM_CLOSE, 0, 0);
        EXPECT_EQ(program_->WaitForExit(), 0);
        program_.reset();
    }
    // Waits until the copy is inside the big file: its bar part-way.
    static bool InsideTheBigFile(HWND job) {
        return WaitUntil(
            [&] {
                const std::wstring status = WindowText(FindControl(job, ids::LabelStatus));
                const LRESULT bar = Position(job, ids::ProgressBarSingle);
                return status.find(L"big.mkv") != std::wstring::npos && bar >= 10 && bar <= 50;
            },
            120000);
    }

    TempDir dir_;
    TempDir enclosure_;
    TempDir host_;
    MappedDrive drive_{enclosure_.Path()};
    const std::wstring folder_ = host_ / L"Documents\\";
    std::wstring caption_;
    std::unique_ptr<ChildProcess> program_;
    HWND main_ = nullptr;
    static inline int counter_ = 0;
};

TEST_F(SlowEnclosureProgramTest, CancelAnsweredYesInsideALargeFileKeepsItsEarlierCopy) {
    BackUpAll();
    const auto earlier = FilesOf(Backup());
    ASSERT_EQ(earlier, FilesOf(folder_));

    // The big file changes; the next backup, on a slow enclosure, writes it beside its earlier
    // copy and is cancelled in the middle of it.
    ASSERT_TRUE(WriteFileAt(folder_ + L"video\\big.mkv", Pattern(kBig, 2)));
    Describe(true, kSlow);
    Start();
    HWND job = StartJob(ids::btnBackup);
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(InsideTheBigFile(job));
    EXPECT_EQ(TemporaryFilesIn(Backup() + L"video").size(), 1u) << "not beside the earlier copy";
    ::PostMessageW(FindControl(job, ids::btnCancel), BM_CLICK, 0, 0);
    HWND question = WaitForTopWindow(L"#32770", L"Question", program_->Id());
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(MessageBoxText(question), L"Cancel the copying?");
    ::PostMessageW(::GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(job); }, 20000))
        << "the window did not close after Yes";
    Close();

    const auto after = Snapshot(Backup());
    EXPECT_TRUE(Leftovers(after).empty()) << "the partial copy was left";
    EXPECT_EQ(FilesOf(Backup()), earlier) << "the earlier copy changed: bytes, size or time";
}

TEST_F(SlowEnclosureProgramTest, PauseHoldsTheBytesStillAndRestartGoesOn) {
    Describe(true, kSlow);
    Start();
    HWND job = StartJob(ids::btnBackup);
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(InsideTheBigFile(job));
    HWND restart = FindControl(job, ids::btnRestart);
    ::PostMessageW(FindControl(job, ids::btnPause), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(restart) != FALSE; }));
    // The block being written when Pause came is let through; after that nothing moves. The
    // data goes to a temporary file beside big.mkv, which takes its name only when whole.
    const std::vector<std::wstring> temporary = TemporaryFilesIn(Backup() + L"video");
    ASSERT_EQ(temporary.size(), 1u) << "not inside big.mkv";
    const std::wstring copy = Backup() + L"video\\" + temporary[0];
    std::uint64_t held = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            ::Sleep(300); // longer than one block takes at this speed
            const std::uint64_t size = SizeOf(copy);
            const bool still = size == held;
            held = size;
            return still && size > 0;
        },
        5000));
    const LRESULT bar = Position(job, ids::ProgressBarSingle);
    const LRESULT gauge = Position(job, ids::CGaugeTotal);
    const std::wstring spent = WindowText(FindControl(job, ids::LabelTimeSpent));
    // Several periods of the copy timer (100 ms) and more than one of the time spent (1 s).
    for (int tick = 0; tick < 15; ++tick) {
        ::Sleep(100);
        EXPECT_EQ(SizeOf(copy), held) << "bytes were written while paused";
        EXPECT_EQ(Position(job, ids::ProgressBarSingle), bar);
        EXPECT_EQ(Position(job, ids::CGaugeTotal), gauge);
    }
    EXPECT_EQ(WindowText(FindControl(job, ids::LabelTimeSpent)), spent) << "time spent counted";
    EXPECT_LT(held, kBig);

    ::PostMessageW(restart, BM_CLICK, 0, 0);
    // Grown, or already whole under its own name.
    EXPECT_TRUE(WaitUntil([&] { return SizeOf(copy) > held || !FileExists(copy); }, 10000))
        << "Restart did not resume";
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(job); }, 120000));
    Close();
    EXPECT_EQ(FilesOf(Backup()), FilesOf(folder_));
}

TEST_F(SlowEnclosureProgramTest, TheTraysCloseDuringAJobEndsTheProgramAndKeepsWhatWasCopied) {
    BackUpAll();
    const auto earlier = FilesOf(Backup());
    ASSERT_TRUE(WriteFileAt(folder_ + L"video\\big.mkv", Pattern(kBig, 3)));
    ASSERT_TRUE(WriteFileAt(folder_ + L"new\\added.txt", Pattern(5000, 4)));
    Describe(true, kSlow);
    Start();
    HWND job = StartJob(ids::btnBackup);
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(InsideTheBigFile(job));

    HWND tray = WaitForTopWindow(L"TTrayIconWindow", L"", program_->Id());
    ASSERT_NE(tray, nullptr);
    ::PostMessageW(tray, WM_APP + 1, 0, WM_RBUTTONUP);
    HWND menu = WaitForTopWindow(L"#32768", L"", program_->Id());
    ASSERT_NE(menu, nullptr) << "the tray menu did not open during the job";
    ::PostMessageW(menu, WM_KEYDOWN, 'C', 0); // "&Close"
    EXPECT_EQ(program_->WaitForExit(30000), 0) << "the program did not end";
    program_.reset();

    // Every earlier copy is as it was (the big file's included) or, for a file the job had
    // finished, the host's new file; what was half-written is at most a temporary file beside.
    const auto host = FilesOf(folder_);
    for (const auto& [name, entry] : FilesOf(Backup()))
        EXPECT_TRUE((earlier.count(name) && earlier.at(name) == entry) || host.at(name) == entry)
            << Narrow(name);
    EXPECT_EQ(FilesOf(Backup()).at(L"video\\big.mkv"), earlier.at(L"video\\big.mkv"));
    // The lists were written: the host folder, and the device row of the job.
    EXPECT_EQ(ReadBytes(Data(L"Host.txt")), EncodeFolderList({{true, U16(folder_)}}));
    const std::wstring row = drive_.Root() + L"Backup\\" + folder_.substr(0, 1) + folder_.substr(2);
    EXPECT_EQ(ReadBytes(Data(L"Device.txt")), EncodeFolderList({{false, U16(row)}}));
}

TEST_F(SlowEnclosureProgramTest, PullingTheEnclosureOutDuringARestoreLosesNothingOnTheHost) {
    BackUpAll();
    // The host's files change after the backup, so that the restore writes every one of them
    // back: each host file must end as it was or as its backup, never in between.
    const auto backedUp = FilesOf(folder_);
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(
            WriteFileAt(folder_ + L"f" + std::to_wstring(i) + L".txt", Pattern(3000, 100 + i)));
    ASSERT_TRUE(WriteFileAt(folder_ + L"video\\big.mkv", Pattern(kBig, 5)));
    const auto changed = FilesOf(folder_);
    const std::wstring row = drive_.Root() + L"Backup\\" + folder_.substr(0, 1) + folder_.substr(2);
    ASSERT_TRUE(WriteBytes(Data(L"Device.txt"), EncodeFolderList({{true, U16(row)}})));

    Describe(true, kSlow);
    Start();
    HWND job = StartJob(ids::btnRestore);
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(InsideTheBigFile(job));
    Describe(false, kSlow);
    HWND status = FindControl(job, ids::LabelStatus);
    EXPECT_TRUE(WaitUntil([&] { return WindowText(status) == L"Restore has finished."; }, 60000))
        << "the restore did not end";
    EXPECT_GT(ListBoxCount(job), 0) << "no failure line";
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(job); }, 20000));
    Close();

    const auto after = Snapshot(folder_);
    EXPECT_TRUE(Leftovers(after).empty()) << "a temporary file was left on the host";
    // A host file the restore replaced stays beside under its moved-aside name, as it was.
    auto files = FilesOf(folder_);
    const std::wregex aside(
        LR"((.*) \(before restore \d{4}-\d{2}-\d{2} \d{4}(?: \d+)?\)(\.[^.\\]*)?)");
    for (auto it = files.begin(); it != files.end();) {
        std::wsmatch match;
        if (!std::regex_match(it->first, match, aside)) {
            ++it;
            continue;
        }
        const std::wstring original = match[1].str() + match[2].str();
        EXPECT_TRUE(changed.count(original) && changed.at(original) == it->second)
            << Narrow(it->first);
        it = files.erase(it);
    }
    ASSERT_EQ(files.size(), changed.size());
    for (const auto& [name, entry] : files)
        EXPECT_TRUE(entry == changed.at(name) || entry == backedUp.at(name)) << Narrow(name);
    EXPECT_EQ(files.at(L"video\\big.mkv"), changed.at(L"video\\big.mkv"))
        << "the file being restored when the enclosure went";
}

} // namespace

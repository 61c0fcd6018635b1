// What a job keeps of the files it replaces, end to end, through the real windows of
// SnapkeepSim.exe on a simulated enclosure whose drive letter is a test folder: a backup moves
// the copy it replaces into a versions folder named by its start, a restore keeps the user's
// newer file beside the restored one, a backup that finds most backed-up files changed asks
// first, and a full enclosure makes room by removing the oldest versions old enough to go.
#include "ProcessDriver.h"
#include "TempDir.h"
#include "Wait.h"
#include "WorkerTestSupport.h"
#include "app/ControlIds.h"
#include "job/JobControlIds.h"
#include "job/JobHistory.h"
#include "store/FolderListFile.h"
#include "worker/EarlierCopies.h"
#include "win/Text.h"
#include "worker/EarlierVersions.h"

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

std::string Utf8(const std::wstring& text) {
    return EncodeUtf8(U16(text));
}

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

// The files of a tree picture: a copy gives folders no times of its own.
std::map<std::wstring, Entry> FilesOf(const std::wstring& root) {
    std::map<std::wstring, Entry> entries = Snapshot(root);
    std::erase_if(entries,
                  [](const auto& e) { return (e.second.attributes & FILE_ATTRIBUTE_DIRECTORY); });
    return entries;
}

// The local time `days` days before now, to the second.
LocalStamp DaysAgo(int days) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    FILETIME file{};
    ::SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    ticks.QuadPart -= static_cast<std::uint64_t>(days) * 24 * 3600 * 10'000'000;
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    ::FileTimeToSystemTime(&file, &now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

LocalStamp ToTheMinute(LocalStamp stamp) {
    stamp.second = 0;
    return stamp;
}

size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++count;
    return count;
}

constexpr const wchar_t* kManyChanged =
    L"30 of 40 backed-up files have changed since the last backup. This can be a sign of "
    L"ransomware. Back up anyway?";

class VersionsProgramTest : public testing::Test {
protected:
    void SetUp() override {
        caption_ = L"Snapkeep versions " + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                   std::to_wstring(counter_++);
        ASSERT_TRUE(WriteEnglishDataFolder(dir_ / L"SnapData", caption_, SNAPKEEP_LANGUAGE_DIR));
        ASSERT_TRUE(drive_.Valid());
        ASSERT_TRUE(Describe(0));
    }
    std::wstring Data(const std::wstring& name) const { return dir_ / (L"SnapData\\" + name); }
    // The enclosure on the mapped letter, its disk `capacityMB` big (0: the folder's own room);
    // written whole and renamed into place, as the program may read it at any moment.
    bool Describe(int capacityMB) {
        const std::string text = "[Enclosure]\r\nProfile=inquiry-785\r\nLetters=" +
                                 std::string(1, static_cast<char>(drive_.Letter())) +
                                 "\r\nCapacityMB=" + std::to_string(capacityMB) + "\r\n";
        const std::wstring file = Data(L"Enclosure.ini");
        return WaitUntil([&] {
            return WriteBytes(file + L".new", text) &&
                   ::MoveFileExW((file + L".new").c_str(), file.c_str(), MOVEFILE_REPLACE_EXISTING);
        });
    }
    // Where a host folder's backup and its earlier versions lie: the letter and path repeated.
    static std::wstring Below(const std::wstring& hostFolder) {
        return hostFolder.substr(0, 1) + hostFolder.substr(2);
    }
    std::wstring BackupOf(const std::wstring& hostFolder) const {
        return drive_.Root() + L"Backup\\" + Below(hostFolder);
    }
    std::wstring VersionsTree() const { return drive_.Root() + L"Backup Versions\\"; }
    // The folders of the versions tree, by name.
    std::vector<std::wstring> VersionFolders() const {
        std::vector<std::wstring> names;
        for (const auto& [name, entry] : Snapshot(VersionsTree()))
            if ((entry.attributes & FILE_ATTRIBUTE_DIRECTORY) && name.find(L'\\') == name.npos)
                names.push_back(name);
        return names;
    }
    void ListHostFolder(const std::wstring& folder) {
        ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), EncodeFolderList({{true, U16(folder)}})));
    }

    void Start() {
        program_ = std::make_unique<ChildProcess>(BuildProgram(L"SnapkeepSim.exe"), dir_.Path());
        // A deadline for a machine busy with other builds and tests, where Wine may take long
        // to start a program.
        main_ = WaitForTopWindow(L"TMainForm", caption_, program_->Id(), 60000);
        ASSERT_NE(main_, nullptr);
    }
    void Close() {
        ::PostMessageW(main_, WM_CLOSE, 0, 0);
        EXPECT_EQ(program_->WaitForExit(), 0);
        program_.reset();
    }
    // Clicks Backup or Restore once the enclosure is found; answers the job window.
    HWND StartJob(int button) {
        if (!main_)
            return nullptr;
        HWND drives = FindControl(main_, ids::ComboBoxDiskLetter);
        HWND command = FindControl(main_, button);
        if (!WaitUntil(
                [&] {
                    return ::SendMessageW(drives, CB_GETCURSEL, 0, 0) == 0 &&
                           ::IsWindowEnabled(command);
                },
                30000))
            return nullptr;
        // Posted: the click's handler runs the whole job in its own loops.
        ::PostMessageW(command, BM_CLICK, 0, 0);
        HWND job = WaitForTopWindow(L"TCopyFileForm", caption_, program_->Id());
        if (job)
            WaitUntil([&] { return ::IsWindowVisible(job); });
        return job;
    }
    static bool WaitForStatus(HWND job, const std::wstring& text) {
        HWND status = FindControl(job, ids::LabelStatus);
        return WaitUntil([&] { return WindowText(status) == text; }, 120000);
    }
    static int FailureCount(HWND job) {
        return static_cast<int>(
            ::SendMessageW(FindControl(job, ids::ListBoxFiles), LB_GETCOUNT, 0, 0));
    }
    static bool WaitForHidden(HWND job) {
        return WaitUntil([&] { return !::IsWindowVisible(job); }, 20000);
    }
    // A whole backup with nothing in the way, in a run of the program of its own.
    void BackUp() {
        Start();
        HWND job = StartJob(ids::btnBackup);
        ASSERT_NE(job, nullptr);
        ASSERT_TRUE(WaitForStatus(job, L"Backup has finished."));
        ASSERT_EQ(FailureCount(job), 0);
        ASSERT_TRUE(WaitForHidden(job));
        Close();
    }
    std::vector<std::string> Records() const {
        std::vector<std::string> records;
        for (std::string_view r : SplitJobRecords(ReadBytes(Data(L"History.txt"))))
            records.emplace_back(r);
        return records;
    }

    // A folder of 40 files, backed up; then 30 of them change.
    std::wstring FortyBackedUpThirtyChanged() {
        const std::wstring folder = host_ / L"Photos\\";
        for (int i = 0; i < 40; ++i)
            EXPECT_TRUE(WriteFileAt(folder + L"p" + std::to_wstring(i) + L".jpg",
                                    Pattern(1000 + i, static_cast<unsigned>(i))));
        ListHostFolder(folder);
        BackUp();
        for (int i = 0; i < 30; ++i)
            EXPECT_TRUE(WriteFileAt(folder + L"p" + std::to_wstring(i) + L".jpg",
                                    Pattern(1500 + i, static_cast<unsigned>(100 + i))));
        return folder;
    }
    // Starts the next backup and waits for its question about the changes.
    HWND AskedAboutTheChanges() {
        Start();
        HWND job = StartJob(ids::btnBackup);
        EXPECT_NE(job, nullptr);
        HWND box = WaitForTopWindow(L"#32770", L"Question", program_->Id(), 60000);
        // The box is found as soon as it is made: it is answered once the user could see it
        // whole, its text and buttons made and on screen. (A click posted to a button not yet
        // made would go nowhere.)
        if (box && !WaitUntil([&] {
                return ::IsWindowVisible(box) && ::GetDlgItem(box, IDYES) &&
                       ::GetDlgItem(box, IDNO) && !MessageBoxText(box).empty();
            }))
            box = nullptr;
        EXPECT_NE(box, nullptr) << "the backup did not ask";
        if (box) {
            EXPECT_EQ(MessageBoxText(box), kManyChanged);
        }
        job_ = job;
        return box;
    }

    // Clicks the box's button and waits for the box to go.
    static void Answer(HWND box, int button) {
        ::PostMessageW(::GetDlgItem(box, button), BM_CLICK, 0, 0);
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); })) << "the box was not answered";
    }

    TempDir dir_;
    TempDir enclosure_;
    TempDir host_;
    MappedDrive drive_{enclosure_.Path()};
    std::wstring caption_;
    std::unique_ptr<ChildProcess> program_;
    HWND main_ = nullptr;
    HWND job_ = nullptr;
    static inline int counter_ = 0;
};

TEST_F(VersionsProgramTest, ABackupKeepsTheCopyItReplacesInAFolderNamedByItsStart) {
    const std::wstring folder = host_ / L"Documents\\";
    ASSERT_TRUE(WriteFileAt(folder + L"report.docx", Pattern(50'000, 1)));
    // A time well in the past, so that the kept copy's time is told from the new file's.
    ASSERT_TRUE(SetWriteTimeAndAttributes(folder + L"report.docx", 132'000'000'000'000'000ull,
                                          FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(WriteFileAt(folder + L"notes.txt", Pattern(3000, 2)));
    ListHostFolder(folder);
    BackUp();
    const auto first = FilesOf(BackupOf(folder));
    ASSERT_EQ(first, FilesOf(folder));
    EXPECT_FALSE(FileExists(VersionsTree())) << "the first backup replaced nothing";

    ASSERT_TRUE(WriteFileAt(folder + L"report.docx", Pattern(60'000, 3)));
    Start();
    const LocalStamp before = LocalNowStamp();
    HWND job = StartJob(ids::btnBackup);
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(WaitForStatus(job, L"Backup has finished."));
    const LocalStamp after = LocalNowStamp();
    EXPECT_EQ(FailureCount(job), 0);
    ASSERT_TRUE(WaitForHidden(job));
    Close();

    EXPECT_EQ(FilesOf(BackupOf(folder)), FilesOf(folder)) << "the new copy";
    const std::vector<std::wstring> names = VersionFolders();
    ASSERT_EQ(names.size(), 1u);
    const std::optional<LocalStamp> stamp = ParseVersionFolderName(U16(names[0]));
    ASSERT_TRUE(stamp) << Narrow(names[0]);
    EXPECT_GE(SecondsBetween(before, *stamp), 0) << Narrow(names[0]) << " before the job";
    EXPECT_GE(SecondsBetween(*stamp, after), 0) << Narrow(names[0]) << " after the job";
    // Only the replaced file, byte for byte, with its time and attributes, where the backup has
    // it.
    const std::wstring kept = VersionsTree() + names[0] + L"\\";
    const std::map<std::wstring, Entry> earlier{{L"report.docx", first.at(L"report.docx")}};
    EXPECT_EQ(FilesOf(kept + Below(folder)), earlier);
    EXPECT_EQ(FilesOf(kept).size(), 1u);

    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].find("Earlier copies kept"), std::string::npos) << records[0];
    EXPECT_NE(records[1].find("\r\nEarlier copies kept: 1, " + Utf8(kept) + "\r\n"),
              std::string::npos)
        << records[1];
}

TEST_F(VersionsProgramTest, ARestoreOverANewerHostFileKeepsItBesideTheRestoredOne) {
    const std::wstring folder = host_ / L"Documents\\";
    ASSERT_TRUE(WriteFileAt(folder + L"report.docx", Pattern(40'000, 1)));
    ASSERT_TRUE(WriteFileAt(folder + L"notes.txt", Pattern(3000, 2)));
    ListHostFolder(folder);
    Start();
    HWND backup = StartJob(ids::btnBackup);
    ASSERT_NE(backup, nullptr);
    ASSERT_TRUE(WaitForStatus(backup, L"Backup has finished."));
    ASSERT_TRUE(WaitForHidden(backup));
    const auto backedUp = FilesOf(folder);

    // The user goes on with the file after the backup, then restores the backup over it.
    ASSERT_TRUE(WriteFileAt(folder + L"report.docx", Pattern(45'000, 3)));
    const Entry newer = FilesOf(folder).at(L"report.docx");
    HWND devices = FindControl(main_, ids::ListViewDevice);
    ASSERT_TRUE(WaitUntil([&] { return ListCount(devices) == 1; })) << "the backup's row";
    ASSERT_TRUE(SetListCheck(devices, 0, true));
    const LocalStamp before = LocalNowStamp();
    HWND job = StartJob(ids::btnRestore);
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(WaitForStatus(job, L"Restore has finished."));
    const LocalStamp after = LocalNowStamp();
    EXPECT_EQ(FailureCount(job), 0);
    ASSERT_TRUE(WaitForHidden(job));
    Close();

    auto files = FilesOf(folder);
    EXPECT_EQ(files.at(L"report.docx"), backedUp.at(L"report.docx")) << "the restored file";
    EXPECT_EQ(files.at(L"notes.txt"), backedUp.at(L"notes.txt"));
    files.erase(L"report.docx");
    files.erase(L"notes.txt");
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 2u);
    if (!UnderWine() && files.empty()) {
        // Windows may have sent it to the Recycle Bin, which keeps it.
        EXPECT_NE(records[1].find("\r\nReplaced files sent to the Recycle Bin: 1\r\n"),
                  std::string::npos)
            << records[1];
        return;
    }
    // Under Wine the file always stays beside, under a name that says when it was replaced.
    ASSERT_EQ(files.size(), 1u) << "one file beside the restored ones";
    const auto& [name, entry] = *files.begin();
    std::wsmatch match;
    ASSERT_TRUE(std::regex_match(
        name, match,
        std::wregex(LR"(report \(before restore (\d{4})-(\d\d)-(\d\d) (\d\d)(\d\d)\)\.docx)")))
        << Narrow(name);
    const LocalStamp aside{std::stoi(match[1].str()), std::stoi(match[2].str()),
                           std::stoi(match[3].str()), std::stoi(match[4].str()),
                           std::stoi(match[5].str()), 0};
    EXPECT_GE(SecondsBetween(ToTheMinute(before), aside), 0) << Narrow(name);
    EXPECT_GE(SecondsBetween(aside, after), 0) << Narrow(name);
    EXPECT_EQ(entry, newer) << "the newer file's bytes and time";
    EXPECT_NE(records[1].find("\r\nReplaced files kept beside the restored ones: 1\r\n"),
              std::string::npos)
        << records[1];
    EXPECT_TRUE(records[1].ends_with("\r\nResult: Finished\r\n")) << records[1];
}

TEST_F(VersionsProgramTest, MostBackedUpFilesChangedAnsweredNoLeavesTheEnclosureAsItWas) {
    FortyBackedUpThirtyChanged();
    const auto enclosure = Snapshot(enclosure_.Path());
    HWND box = AskedAboutTheChanges();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(Snapshot(enclosure_.Path()), enclosure) << "written before the answer";
    Answer(box, IDNO);
    // The job ends with only Close to click. (Close stands behind Cancel all along: Cancel
    // going is the sign.) Its record is written by then; the history is not read while the
    // program may be writing it, as a reader holding it open makes that write fail.
    HWND closeButton = FindControl(job_, ids::btnClose);
    HWND cancelButton = FindControl(job_, ids::btnCancel);
    ASSERT_TRUE(WaitUntil([&] {
        return !::IsWindowVisible(cancelButton) && ::IsWindowVisible(closeButton);
    })) << "the job window cannot be closed";
    ::PostMessageW(closeButton, BM_CLICK, 0, 0);
    EXPECT_TRUE(WaitForHidden(job_));
    Close();

    // Names, bytes, sizes and times: every file as it was.
    EXPECT_EQ(Snapshot(enclosure_.Path()), enclosure);
    EXPECT_FALSE(FileExists(VersionsTree()));
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_TRUE(records[1].ends_with("\r\nResult: Stopped: many files already backed up had "
                                     "changed, and the backup was not run\r\n"))
        << records[1];
    EXPECT_EQ(records[1].find("Earlier copies kept"), std::string::npos) << records[1];
}

TEST_F(VersionsProgramTest, MostBackedUpFilesChangedAnsweredYesBacksThemUpAndKeepsTheEarlier) {
    const std::wstring folder = FortyBackedUpThirtyChanged();
    const auto earlier = FilesOf(BackupOf(folder));
    HWND box = AskedAboutTheChanges();
    ASSERT_NE(box, nullptr);
    Answer(box, IDYES);
    ASSERT_TRUE(WaitForStatus(job_, L"Backup has finished."));
    EXPECT_EQ(FailureCount(job_), 0);
    EXPECT_TRUE(WaitForHidden(job_));
    Close();

    EXPECT_EQ(FilesOf(BackupOf(folder)), FilesOf(folder));
    const std::vector<std::wstring> names = VersionFolders();
    ASSERT_EQ(names.size(), 1u);
    const std::wstring kept = VersionsTree() + names[0] + L"\\";
    const auto keptFiles = FilesOf(kept + Below(folder));
    EXPECT_EQ(keptFiles.size(), 30u);
    for (const auto& [name, entry] : keptFiles)
        EXPECT_EQ(entry, earlier.at(name)) << Narrow(name);
    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_NE(records[1].find("\r\nEarlier copies kept: 30, " + Utf8(kept) + "\r\n"),
              std::string::npos)
        << records[1];
    EXPECT_TRUE(records[1].ends_with("\r\nResult: Finished\r\n")) << records[1];
}

TEST_F(VersionsProgramTest, AFullEnclosureMakesRoomByRemovingTheOldestVersionsOnly) {
    const std::wstring folder = host_ / L"Video\\";
    ASSERT_TRUE(WriteFileAt(folder + L"clip.mkv", Pattern(3'000'000, 1)));
    ListHostFolder(folder);
    BackUp();
    // Versions of earlier jobs, 60, 40 and 5 days old, 4 MB each.
    std::vector<std::wstring> old;
    for (int days : {60, 40, 5}) {
        old.push_back(VersionsTree() + win::ToWide(VersionFolderName(DaysAgo(days))) + L"\\");
        ASSERT_TRUE(WriteFileAt(old.back() + Below(folder) + L"clip.mkv",
                                Pattern(4'000'000, static_cast<unsigned>(days))));
    }
    // 15 MB of the disk's 17 are taken: room for the speed probe's 1 MiB, not for the new copy
    // of 3 MB with the copy's margin of 1 MiB until the 4 MB of one old version are given back.
    ASSERT_TRUE(Describe(17));
    ASSERT_TRUE(WriteFileAt(folder + L"clip.mkv", Pattern(3'000'000, 2)));
    Start();
    HWND job = StartJob(ids::btnBackup);
    ASSERT_NE(job, nullptr);
    ASSERT_TRUE(WaitForStatus(job, L"Backup has finished."));
    EXPECT_EQ(FailureCount(job), 0) << "the new copy did not fit";
    ASSERT_TRUE(WaitForHidden(job));
    Close();

    EXPECT_FALSE(FileExists(old[0])) << "the oldest version stayed";
    EXPECT_EQ(ReadBytes(old[1] + Below(folder) + L"clip.mkv"), Pattern(4'000'000, 40))
        << "more was removed than needed";
    EXPECT_EQ(ReadBytes(old[2] + Below(folder) + L"clip.mkv"), Pattern(4'000'000, 5))
        << "a version younger than 14 days was removed";
    EXPECT_EQ(ReadBytes(BackupOf(folder) + L"clip.mkv"), Pattern(3'000'000, 2));
    const std::vector<std::wstring> names = VersionFolders();
    ASSERT_EQ(names.size(), 3u);
    const std::wstring kept = VersionsTree() + names.back() + L"\\"; // the newest name
    EXPECT_EQ(ReadBytes(kept + Below(folder) + L"clip.mkv"), Pattern(3'000'000, 1));

    const std::vector<std::string> records = Records();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_NE(records[1].find("\r\nOld versions removed to make room: " + Utf8(old[0]) + "\r\n"),
              std::string::npos)
        << records[1];
    EXPECT_EQ(Occurrences(records[1], "Old versions removed to make room"), 1u) << records[1];
    EXPECT_NE(records[1].find("\r\nEarlier copies kept: 1, " + Utf8(kept) + "\r\n"),
              std::string::npos)
        << records[1];
}

} // namespace

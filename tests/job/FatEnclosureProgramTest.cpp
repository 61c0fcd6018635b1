// Backups and restores end to end on real FAT32 and exFAT volumes, through the real windows of
// SnapkeepSim.exe: the enclosure's drive letter names a FUSE-mounted volume, which keeps times
// to 2 s (FAT) or 1 s (exFAT as FUSE mounts it) and no attribute beyond its own. A file that has
// not changed is never copied again; one that has is.
#include "ProcessDriver.h"
#include "TempDir.h"
#include "Wait.h"
#include "WorkerTestSupport.h"
#include "app/ControlIds.h"
#include "job/JobControlIds.h"
#include "store/FolderListFile.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

constexpr std::uint64_t kSecond = 10'000'000;
constexpr std::uint64_t kSomeTime = 132'000'000'000'000'000ull + 12'345'678; // not on 10 ms

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

// What the job window said when it had finished.
struct JobTotals {
    bool finished = false;
    std::wstring total;         // "Total Files: 60"
    std::wstring finishedFiles; // "Finished Files: 60"
    std::wstring failures;      // the failure lines, one per line
};

class FatEnclosureProgramTest : public testing::TestWithParam<FuseVolume::Kind> {
protected:
    void SetUp() override {
        volume_ = std::make_unique<FuseVolume>(enclosure_.Path(), GetParam());
        if (!volume_->Mounted())
            GTEST_SKIP() << "no FAT or exFAT volume here: " << volume_->Why();
        caption_ = L"Snapkeep FAT " + std::to_wstring(::GetCurrentProcessId());
        ASSERT_TRUE(WriteEnglishDataFolder(dir_ / L"SnapData", caption_, SNAPKEEP_LANGUAGE_DIR));
        drive_ = std::make_unique<MappedDrive>(enclosure_.Path());
        ASSERT_TRUE(drive_->Valid());
        ASSERT_TRUE(WriteBytes(Data(L"Enclosure.ini"),
                               "[Enclosure]\r\nProfile=inquiry-785\r\nLetters=" +
                                   std::string(1, static_cast<char>(drive_->Letter())) +
                                   "\r\nAttached=1\r\n"));
    }
    void TearDown() override {
        drive_.reset();
        volume_.reset(); // before the folders go
    }
    std::wstring Data(const std::wstring& name) const { return dir_ / (L"SnapData\\" + name); }
    std::wstring BackupOf(const std::wstring& hostPath) const {
        return drive_->Root() + L"Backup\\" + hostPath.substr(0, 1) + hostPath.substr(2);
    }

    // Starts the program, clicks `button` once the enclosure is found, reads the job window's
    // totals when it has finished, and closes the program.
    JobTotals Run(int button) {
        JobTotals totals;
        ChildProcess program(BuildProgram(L"SnapkeepSim.exe"), dir_.Path());
        HWND main = WaitForTopWindow(L"TMainForm", caption_, program.Id());
        EXPECT_NE(main, nullptr);
        if (!main)
            return totals;
        HWND drives = FindControl(main, ids::ComboBoxDiskLetter);
        HWND command = FindControl(main, button);
        EXPECT_TRUE(WaitUntil([&] {
            return ::SendMessageW(drives, CB_GETCURSEL, 0, 0) == 0 && ::IsWindowEnabled(command);
        })) << "the enclosure was not found";
        ::PostMessageW(command, BM_CLICK, 0, 0); // its handler runs the whole job
        HWND job = WaitForTopWindow(L"TCopyFileForm", caption_, program.Id());
        EXPECT_NE(job, nullptr);
        if (job) {
            // The window answers nothing while it shows its finished state; it is hidden, not
            // destroyed, when the job is over, and its labels keep what they showed.
            EXPECT_TRUE(WaitUntil([&] { return ::IsWindowVisible(job); }));
            EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(job); }, 120000))
                << "the job window did not close by itself";
            const std::wstring done =
                button == ids::btnBackup ? L"Backup has finished." : L"Restore has finished.";
            totals.finished = WindowText(FindControl(job, ids::LabelStatus)) == done;
            totals.total = WindowText(FindControl(job, ids::LabelTotalFiles));
            totals.finishedFiles = WindowText(FindControl(job, ids::LabelFinishedFiles));
            HWND list = FindControl(job, ids::ListBoxFiles);
            const LRESULT lines = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
            for (LRESULT i = 0; i < lines; ++i) {
                std::wstring line(
                    static_cast<size_t>(::SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
                line.resize(static_cast<size_t>(
                    ::SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(line.data()))));
                totals.failures += line + L"\n";
            }
        }
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_EQ(program.WaitForExit(), 0);
        return totals;
    }

    TempDir dir_;
    TempDir enclosure_;
    TempDir host_;
    std::unique_ptr<FuseVolume> volume_;
    std::unique_ptr<MappedDrive> drive_;
    std::wstring caption_;
};

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());
}

TEST_P(FatEnclosureProgramTest, UnchangedFilesAreNeverCopiedAgain) {
    // 60 files of mixed sizes; their times lie between the volume's steps, so every copy on it
    // reads back a little off.
    const std::wstring folder = host_ / L"Documents\\";
    for (int i = 0; i < 60; ++i) {
        const std::wstring path = folder + (i % 2 ? L"sub\\" : L"") + L"f" + std::to_wstring(i) +
                                  (i % 3 ? L".txt" : L".jpg");
        ASSERT_TRUE(WriteFileAt(path, Pattern(static_cast<size_t>(i * 997), i)));
        ASSERT_TRUE(SetWriteTimeAndAttributes(path, kSomeTime + i * 3 * kSecond / 7,
                                              FILE_ATTRIBUTE_ARCHIVE));
    }
    ASSERT_TRUE(WriteBytes(Data(L"Host.txt"), EncodeFolderList({{true, U16(folder)}})));

    JobTotals first = Run(ids::btnBackup);
    EXPECT_TRUE(first.finished);
    EXPECT_EQ(first.total, L"Total Files: 60");
    EXPECT_EQ(first.finishedFiles, L"Finished Files: 60");
    EXPECT_EQ(Narrow(first.failures), "");
    const auto copied = Snapshot(BackupOf(folder));

    JobTotals second = Run(ids::btnBackup);
    EXPECT_TRUE(second.finished);
    EXPECT_EQ(second.total, L"Total Files: 0") << "unchanged files were copied again";
    EXPECT_EQ(second.finishedFiles, L"Finished Files: 0");
    EXPECT_TRUE(Snapshot(BackupOf(folder)) == copied);

    // One file's time moves by 3 s, another's size changes: those two and no more.
    const std::wstring moved = folder + L"f2.txt";
    const std::wstring grown = folder + L"sub\\f5.txt";
    ASSERT_TRUE(SetWriteTimeAndAttributes(moved, InfoOf(moved).lastWrite + 3 * kSecond,
                                          FILE_ATTRIBUTE_ARCHIVE));
    const std::uint64_t grownTime = InfoOf(grown).lastWrite;
    ASSERT_TRUE(WriteFileAt(grown, Pattern(7000, 500)));
    ASSERT_TRUE(SetWriteTimeAndAttributes(grown, grownTime, FILE_ATTRIBUTE_ARCHIVE));
    JobTotals third = Run(ids::btnBackup);
    EXPECT_EQ(third.total, L"Total Files: 2");
    EXPECT_EQ(third.finishedFiles, L"Finished Files: 2");
    EXPECT_EQ(ReadBytes(BackupOf(grown)), Pattern(7000, 500));
    EXPECT_EQ(Narrow(third.failures), "");

    // A restore brings back only what differs on the host: one file changed there, one whose
    // time moved; the other 58 host files keep their exact times.
    const auto hostBefore = Snapshot(folder);
    const std::wstring edited = folder + L"f10.txt";
    const std::wstring touched = folder + L"sub\\f11.txt";
    ASSERT_TRUE(WriteFileAt(edited, "edited on the host"));
    // Later, not earlier: the copy's time was cut to the volume's step, so a host time 3 s
    // earlier can lie less than 2 s from it.
    ASSERT_TRUE(SetWriteTimeAndAttributes(touched, InfoOf(touched).lastWrite + 3 * kSecond,
                                          FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(WriteBytes(Data(L"Device.txt"), EncodeFolderList({{true, U16(BackupOf(folder))}})));
    JobTotals restore = Run(ids::btnRestore);
    EXPECT_TRUE(restore.finished);
    EXPECT_EQ(restore.total, L"Total Files: 2");
    EXPECT_EQ(restore.finishedFiles, L"Finished Files: 2");
    EXPECT_EQ(ReadBytes(edited), ReadBytes(BackupOf(edited)));
    const auto hostAfter = Snapshot(folder);
    for (const auto& [name, entry] : hostBefore) {
        if (name == L"f10.txt" || name == L"sub\\f11.txt")
            continue;
        EXPECT_TRUE(hostAfter.at(name) == entry) << Narrow(name) << " was restored";
    }
}

INSTANTIATE_TEST_SUITE_P(Volumes, FatEnclosureProgramTest,
                         testing::Values(FuseVolume::Kind::Fat32, FuseVolume::Kind::ExFat),
                         [](const testing::TestParamInfo<FuseVolume::Kind>& info) {
                             return info.param == FuseVolume::Kind::Fat32 ? "Fat32" : "ExFat";
                         });

} // namespace

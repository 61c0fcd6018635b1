// The day the PC dies, through the real windows of SnapkeepSim.exe driven from outside: what the
// enclosure holds is found from the enclosure alone (a new, empty data folder), on whatever
// letter it has now, and restored from it only, never into the system's folders; the drive box
// keeps the user's choice; the device list keeps its rows; a ticked folder that is not there is
// a failure; the enclosure's index survives a kill and a damaged one is ignored.
#include "ProcessDriver.h"
#include "TempDir.h"
#include "Wait.h"
#include "WorkerTestSupport.h"
#include "app/ControlIds.h"
#include "job/JobControlIds.h"
#include "job/JobHistory.h"
#include "store/EnclosureIndex.h"
#include "store/FolderListFile.h"

#include <gtest/gtest.h>
#include <shlobj.h>
#include <windows.h>

#include <memory>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

std::u16string U16(const std::wstring& text) {
    return std::u16string(text.begin(), text.end());
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (const wchar_t c : text)
        out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

std::vector<FolderRow> ReadList(const std::wstring& path) {
    const FolderListResult list =
        DecodeFolderList(ReadBytes(path), [](std::string_view) { return std::u16string(); });
    EXPECT_TRUE(list.Ok) << list.Error;
    return list.Rows;
}

// The entries of two tree pictures that differ, by name; empty when the trees are equal.
std::string Differences(const std::map<std::wstring, Entry>& a,
                        const std::map<std::wstring, Entry>& b) {
    std::string names;
    for (const auto& [name, entry] : a) {
        auto other = b.find(name);
        if (other == b.end() || !(other->second == entry))
            names += Narrow(name) + " ";
    }
    for (const auto& [name, entry] : b)
        if (!a.count(name))
            names += Narrow(name) + " ";
    return names;
}

// A visible top-level window of a class of one process, whatever its caption.
HWND FindProcessWindow(const std::wstring& className, DWORD processId) {
    struct Search {
        std::wstring className;
        DWORD processId;
        HWND found;
    } search{className, processId, nullptr};
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            DWORD owner = 0;
            ::GetWindowThreadProcessId(hwnd, &owner);
            wchar_t name[64] = {};
            ::GetClassNameW(hwnd, name, 64);
            if (owner == s.processId && s.className == name && ::IsWindowVisible(hwnd)) {
                s.found = hwnd;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Whether a visible notice (Wine draws it as a tooltip window of the notification area's own
// process) says `text`.
bool NoticeShown(const std::wstring& text) {
    struct Search {
        std::wstring text;
        bool found;
    } search{text, false};
    ::EnumWindows(
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            wchar_t name[64] = {};
            ::GetClassNameW(hwnd, name, 64);
            if (std::wstring(name) == L"tooltips_class32" && ::IsWindowVisible(hwnd) &&
                WindowText(hwnd).find(s.text) != std::wstring::npos)
                s.found = true;
            return !s.found;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// A folder of files with mixed sizes, times and attributes, nested.
void MakeFolder(const std::wstring& folder, int files, unsigned seed) {
    for (int i = 0; i < files; ++i) {
        const std::wstring path = folder + (i % 3 ? L"sub\\" : L"") + L"f" + std::to_wstring(i) +
                                  (i % 2 ? L".jpg" : L".txt");
        ASSERT_TRUE(WriteFileAt(path, Pattern(static_cast<size_t>(i) * 1700, seed + i)));
        const DWORD attributes = i % 5 == 0   ? FILE_ATTRIBUTE_HIDDEN
                                 : i % 5 == 1 ? FILE_ATTRIBUTE_READONLY
                                              : FILE_ATTRIBUTE_ARCHIVE;
        ASSERT_TRUE(SetWriteTimeAndAttributes(
            path, 133'100'000'000'000'000ull + seed * 1'000'000ull + i * 20'000'000ull,
            attributes));
    }
}

class NewPcProgramTest : public testing::Test {
protected:
    void SetUp() override {
        caption_ = L"Snapkeep new PC " + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                   std::to_wstring(counter_++);
        drive_ = std::make_unique<MappedDrive>(enclosure_.Path());
        ASSERT_TRUE(drive_->Valid());
        ASSERT_TRUE(PrepareDataFolder(oldPc_));
    }
    // A data folder as a fresh install leaves it: the language, the configuration, the
    // simulated enclosure on `letters` (the enclosure's drive when empty).
    bool PrepareDataFolder(const TempDir& pc, std::wstring letters = L"") {
        if (letters.empty())
            letters = std::wstring(1, drive_->Letter());
        std::string ini = "[Enclosure]\r\nProfile=inquiry-785\r\nLetters=";
        for (size_t i = 0; i < letters.size(); ++i)
            ini += std::string(i ? " " : "") + static_cast<char>(letters[i]);
        ini += "\r\n";
        return ::CreateDirectoryW((pc / L"SnapData").c_str(), nullptr) &&
               WriteEnglishDataFolder(pc / L"SnapData", caption_, SNAPKEEP_LANGUAGE_DIR) &&
               WriteBytes(pc / L"SnapData\\Enclosure.ini", ini);
    }
    std::wstring BackupOf(const std::wstring& hostFolder, const std::wstring& root = L"") const {
        return (root.empty() ? drive_->Root() : root) + L"Backup\\" + hostFolder.substr(0, 1) +
               hostFolder.substr(2);
    }
    // The program, started in a data folder, with its main window and the enclosure found.
    struct Program {
        std::unique_ptr<ChildProcess> process;
        HWND main = nullptr;
        HWND drives = nullptr;
        HWND devices = nullptr;
    };
    Program Start(const TempDir& pc) {
        Program p;
        p.process = std::make_unique<ChildProcess>(BuildProgram(L"SnapkeepSim.exe"), pc.Path());
        p.main = WaitForTopWindow(L"TMainForm", caption_, p.process->Id());
        EXPECT_NE(p.main, nullptr);
        if (!p.main)
            return p;
        p.drives = FindControl(p.main, ids::ComboBoxDiskLetter);
        p.devices = FindControl(p.main, ids::ListViewDevice);
        EXPECT_TRUE(
            WaitUntil([&] { return ::SendMessageW(p.drives, CB_GETCURSEL, 0, 0) >= 0; }, 30000))
            << "the enclosure was not found";
        return p;
    }
    std::vector<std::wstring> DeviceRows(const Program& p) {
        std::vector<std::wstring> rows;
        for (int i = 0; i < ListCount(p.devices); ++i)
            rows.push_back(ListItemText(p.devices, i));
        return rows;
    }
    bool WaitForRows(const Program& p, const std::vector<std::wstring>& rows) {
        return WaitUntil([&] { return DeviceRows(p) == rows; }, 20000);
    }
    // Waits for the job window a command opened to come and go by itself.
    void WaitForJob(const Program& p) {
        HWND job = WaitForTopWindow(L"TCopyFileForm", caption_, p.process->Id());
        ASSERT_NE(job, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(job); }));
        EXPECT_TRUE(WaitUntil([&] { return !::IsWindowVisible(job); }, 120000))
            << "the job window did not close by itself";
    }
    void Click(const Program& p, int button) {
        HWND command = FindControl(p.main, button);
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(command) != FALSE; }));
        ::PostMessageW(command, BM_CLICK, 0, 0);
        WaitForJob(p);
    }
    void Close(Program& p) {
        ::PostMessageW(p.main, WM_CLOSE, 0, 0);
        EXPECT_EQ(p.process->WaitForExit(), 0);
    }
    // A backup of the host list's ticked folders in the old PC's data folder.
    void BackUp(const std::vector<FolderRow>& hostRows) {
        ASSERT_TRUE(WriteBytes(oldPc_ / L"SnapData\\Host.txt", EncodeFolderList(hostRows)));
        Program p = Start(oldPc_);
        ASSERT_NE(p.main, nullptr);
        Click(p, ids::btnBackup);
        Close(p);
    }
    std::string History(const TempDir& pc) { return ReadBytes(pc / L"SnapData\\History.txt"); }

    TempDir oldPc_;
    TempDir enclosure_;
    TempDir host_;
    std::unique_ptr<MappedDrive> drive_;
    std::wstring caption_;
    static inline int counter_ = 0;
};

// A backup of two folders; then a new PC (an empty data folder) finds both on the enclosure by
// its index and restores one whose folder was deleted.
TEST_F(NewPcProgramTest, ANewPcFindsBothFoldersAndRestoresThem) {
    const std::wstring pictures = host_ / L"Pictures\\";
    const std::wstring documents = host_ / L"Documents\\";
    MakeFolder(pictures, 30, 1);
    MakeFolder(documents, 20, 100);
    BackUp({{true, U16(pictures)}, {true, U16(documents)}});

    // The index names both folders, where they came from, and that both passes ended.
    const auto index =
        DecodeEnclosureIndex(ReadBytes(drive_->Root() + L"Backup\\Snapkeep Index.txt"));
    ASSERT_TRUE(index.has_value()) << "no readable index on the enclosure";
    ASSERT_EQ(index->size(), 2u);
    EXPECT_EQ((*index)[0].folder, U16(BackupOf(pictures).substr(3)));
    EXPECT_EQ((*index)[0].host, U16(pictures));
    EXPECT_EQ((*index)[1].folder, U16(BackupOf(documents).substr(3)));
    for (const IndexEntry& entry : *index) {
        EXPECT_TRUE(IsIndexTime(entry.began));
        EXPECT_TRUE(IsIndexTime(entry.ended));
        EXPECT_FALSE(entry.computer.empty());
    }

    const auto picturesBefore = Snapshot(pictures);
    RemoveTree(pictures);
    TempDir newPc;
    ASSERT_TRUE(PrepareDataFolder(newPc));
    Program p = Start(newPc);
    ASSERT_NE(p.main, nullptr);
    ASSERT_TRUE(WaitForRows(p, {BackupOf(pictures), BackupOf(documents)}))
        << "the device list of the new PC: " << DeviceRows(p).size() << " rows";

    ASSERT_TRUE(SetListCheck(p.devices, 0, true));
    Click(p, ids::btnRestore);
    EXPECT_EQ(Differences(Snapshot(pictures), picturesBefore), "")
        << "every file with its bytes, times and attributes";

    Close(p);

    // The new PC's list file holds both rows, as shown.
    EXPECT_EQ(ReadList(newPc / L"SnapData\\Device.txt"),
              (std::vector<FolderRow>{{true, U16(BackupOf(pictures))},
                                      {false, U16(BackupOf(documents))}}));
}

// "Restore to another folder..." through the row's context menu (the keyboard's way to it) and
// the folder dialog: the row's files land below the folder chosen in the dialog.
TEST_F(NewPcProgramTest, RestoreToAnotherFolderThroughTheContextMenu) {
    const std::wstring documents = host_ / L"Documents\\";
    MakeFolder(documents, 20, 100);
    BackUp({{true, U16(documents)}});
    const auto documentsBefore = Snapshot(documents);
    TempDir newPc;
    ASSERT_TRUE(PrepareDataFolder(newPc));
    Program p = Start(newPc);
    ASSERT_NE(p.main, nullptr);
    ASSERT_TRUE(WaitForRows(p, {BackupOf(documents)}));
    const std::wstring oldPc = host_ / L"Old PC";
    ASSERT_TRUE(::CreateDirectoryW(oldPc.c_str(), nullptr));
    ASSERT_TRUE(SelectListRow(p.devices, 0));
    ::PostMessageW(p.devices, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(p.devices), -1);
    HWND menu = WaitForTopWindow(L"#32768", L"", p.process->Id());
    ASSERT_NE(menu, nullptr) << "no context menu";
    ::PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    ::PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    HWND dialog = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = FindProcessWindow(L"#32770", p.process->Id())); }))
        << "no folder dialog";
    // The folder is chosen as the dialog's tree selection, which its edit box names. Wine's
    // dialog ignores a path typed into that box, and its walk of the tree to a given folder can
    // miss the first time (docs/wine.md): the folder is given again until the dialog names it,
    // and OK is pressed only then, so a miss never restores into the Desktop, the dialog's first
    // choice.
    HWND chosenName = ::FindWindowExW(dialog, nullptr, L"Edit", nullptr);
    ASSERT_NE(chosenName, nullptr);
    ASSERT_TRUE(WaitUntil([&] {
        SendTextMessage(dialog, BFFM_SETSELECTIONW, TRUE, oldPc);
        return WindowText(chosenName) == L"Old PC";
    })) << "the dialog did not take the folder; it names "
        << Narrow(WindowText(chosenName));
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    WaitForJob(p);
    EXPECT_EQ(Differences(Snapshot(oldPc + L"\\Documents\\"), documentsBefore), "");
    Close(p);
}

// The same enclosure comes back on another letter while the data folder's rows name the old
// one, which is now a disk that is not the enclosure: the rows name the new letter, and a
// restore reads the enclosure only.
TEST_F(NewPcProgramTest, TheEnclosureOnAnotherLetterIsReadThereAndNowhereElse) {
    const std::wstring folder = host_ / L"Music\\";
    MakeFolder(folder, 12, 7);
    // Another disk now holds the old letter, with a Backup tree of its own for the same folder.
    TempDir otherDisk;
    MappedDrive other(otherDisk.Path());
    ASSERT_TRUE(other.Valid());
    for (const auto& [name, entry] : Snapshot(folder)) {
        if (!(entry.attributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ASSERT_TRUE(WriteFileAt(BackupOf(folder, other.Root()) + name, "not the enclosure"));
        }
    }
    ASSERT_TRUE(WriteFileAt(BackupOf(folder, other.Root()) + L"only-elsewhere.txt", "x"));
    // The enclosure's copy, made by a backup without an index (as an earlier version left it).
    BackUp({{true, U16(folder)}});
    ASSERT_TRUE(::DeleteFileW((drive_->Root() + L"Backup\\Snapkeep Index.txt").c_str()));
    const auto before = Snapshot(folder);
    RemoveTree(folder);

    ASSERT_TRUE(WriteBytes(oldPc_ / L"SnapData\\Device.txt",
                           EncodeFolderList({{true, U16(BackupOf(folder, other.Root()))}})));
    Program p = Start(oldPc_);
    ASSERT_NE(p.main, nullptr);
    // The saved row on the enclosure's letter, and its drive-letter folder, found without index.
    const std::wstring driveFolder = drive_->Root() + L"Backup\\" + folder.substr(0, 1) + L"\\";
    ASSERT_TRUE(WaitForRows(p, {BackupOf(folder), driveFolder}))
        << Narrow(DeviceRows(p).empty() ? L"" : DeviceRows(p)[0]);
    EXPECT_TRUE(ListChecked(p.devices, 0)) << "the tick follows its folder";
    Click(p, ids::btnRestore);
    EXPECT_EQ(Differences(Snapshot(folder), before), "") << "restored from the enclosure";
    EXPECT_FALSE(FileExists(folder + L"only-elsewhere.txt"));
    Close(p);
    EXPECT_EQ(ReadList(oldPc_ / L"SnapData\\Device.txt"),
              (std::vector<FolderRow>{{true, U16(BackupOf(folder))}, {false, U16(driveFolder)}}));
}

// An enclosure with two volumes, the second chosen, then device changes: it stays chosen.
TEST_F(NewPcProgramTest, TheDriveBoxKeepsTheChosenVolumeAcrossDeviceChanges) {
    TempDir second;
    MappedDrive f(second.Path());
    ASSERT_TRUE(f.Valid());
    std::wstring letters{drive_->Letter(), f.Letter()};
    if (letters[1] < letters[0])
        std::swap(letters[0], letters[1]);
    TempDir pc;
    ASSERT_TRUE(PrepareDataFolder(pc, letters));
    Program p = Start(pc);
    ASSERT_NE(p.main, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return ::SendMessageW(p.drives, CB_GETCOUNT, 0, 0) == 2; }));
    // The user picks the second volume.
    ::SendMessageW(p.drives, CB_SETCURSEL, 1, 0);
    ::SendMessageW(::GetParent(p.drives), WM_COMMAND,
                   MAKEWPARAM(ids::ComboBoxDiskLetter, CBN_SELCHANGE),
                   reinterpret_cast<LPARAM>(p.drives));
    for (int i = 0; i < 5; ++i) {
        // Sent, not posted: each rescan has run when the call returns.
        DWORD_PTR result = 0;
        ASSERT_NE(::SendMessageTimeoutW(p.main, WM_DEVICECHANGE, 7 /* DBT_DEVNODES_CHANGED */, 0,
                                        SMTO_NORMAL, 20000, &result),
                  0);
        EXPECT_EQ(::SendMessageW(p.drives, CB_GETCURSEL, 0, 0), 1) << "after device change " << i;
    }
    Close(p);
}

// Rows of a Backup tree that would put files into the Windows folder: each such file is refused
// with its line, and the row's other files are restored.
TEST_F(NewPcProgramTest, ARestoreNeverWritesIntoTheWindowsFolder) {
    wchar_t windows[MAX_PATH] = {};
    ASSERT_GT(::GetWindowsDirectoryW(windows, MAX_PATH), 0u);
    const std::wstring planted = std::wstring(windows) + L"\\snapkeep-planted-" +
                                 std::to_wstring(::GetCurrentProcessId()) + L".dll";
    const std::wstring ok = host_ / L"Crafted\\ok.txt";
    ASSERT_TRUE(WriteFileAt(BackupOf(planted.substr(0, planted.find_last_of(L'\\') + 1)) +
                                planted.substr(planted.find_last_of(L'\\') + 1),
                            "planted"));
    ASSERT_TRUE(WriteFileAt(BackupOf(ok), "fine"));
    const std::wstring row = drive_->Root() + L"Backup\\" + planted.substr(0, 1) + L"\\";
    ASSERT_TRUE(WriteBytes(oldPc_ / L"SnapData\\Device.txt", EncodeFolderList({{true, U16(row)}})));
    Program p = Start(oldPc_);
    ASSERT_NE(p.main, nullptr);
    ASSERT_TRUE(WaitForRows(p, {row}));
    Click(p, ids::btnRestore);
    Close(p);
    EXPECT_FALSE(FileExists(planted)) << "written into the Windows folder";
    EXPECT_EQ(ReadBytes(ok), "fine");
    const std::string line = EncodeUtf8(
        U16(planted + L"; Fail: Not restored: it would go into a Windows, Program Files or Startup "
                      L"folder."));
    EXPECT_NE(History(oldPc_).find(line), std::string::npos) << History(oldPc_);
    ::DeleteFileW(planted.c_str());
}

// A backup with one folder left unticked, and one stopped by the speed probe: the rows of the
// earlier backup stay.
TEST_F(NewPcProgramTest, BackupsThatDoNotTakeAFolderKeepItsRow) {
    const std::wstring a = host_ / L"A\\";
    const std::wstring b = host_ / L"B\\";
    MakeFolder(a, 4, 1);
    MakeFolder(b, 4, 2);
    BackUp({{true, U16(a)}, {true, U16(b)}});
    const std::vector<FolderRow> both{{false, U16(BackupOf(a))}, {false, U16(BackupOf(b))}};
    ASSERT_EQ(ReadList(oldPc_ / L"SnapData\\Device.txt"), both);

    BackUp({{false, U16(a)}, {true, U16(b)}});
    EXPECT_EQ(ReadList(oldPc_ / L"SnapData\\Device.txt"), both) << "after a folder was unticked";

    // Every name the probe may use is taken: the probe fails and the job stops.
    ASSERT_TRUE(::CreateDirectoryW((drive_->Root() + L"temp.~txt").c_str(), nullptr));
    for (int n = 1; n <= 99; ++n)
        ASSERT_TRUE(::CreateDirectoryW(
            (drive_->Root() + L"temp~" + std::to_wstring(n) + L".~txt").c_str(), nullptr));
    Program p = Start(oldPc_);
    ASSERT_NE(p.main, nullptr);
    ::PostMessageW(FindControl(p.main, ids::btnBackup), BM_CLICK, 0, 0);
    HWND box = WaitForTopWindow(L"#32770", L"Error", p.process->Id(), 30000);
    ASSERT_NE(box, nullptr);
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    HWND job = WaitForTopWindow(L"TCopyFileForm", caption_, p.process->Id());
    ASSERT_NE(job, nullptr);
    HWND closeButton = FindControl(job, ids::btnClose);
    ASSERT_TRUE(WaitUntil([&] { return ::IsWindowVisible(closeButton) != FALSE; }));
    ::PostMessageW(closeButton, BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitUntil([&] { return !::IsWindowVisible(job); }, 20000));
    EXPECT_EQ(DeviceRows(p), (std::vector<std::wstring>{BackupOf(a), BackupOf(b)}));
    Close(p);
    EXPECT_EQ(ReadList(oldPc_ / L"SnapData\\Device.txt"), both) << "after a probe failure";
}

// A ticked folder that is not there (an unplugged drive): a failure line, a record with it, and
// the notice with the warning's text.
TEST_F(NewPcProgramTest, AMissingFolderIsAFailure) {
    const std::wstring there = host_ / L"There\\";
    const std::wstring gone = host_ / L"Unplugged\\";
    MakeFolder(there, 3, 5);
    ASSERT_TRUE(WriteBytes(oldPc_ / L"SnapData\\Host.txt",
                           EncodeFolderList({{true, U16(gone)}, {true, U16(there)}})));
    Program p = Start(oldPc_);
    ASSERT_NE(p.main, nullptr);
    Click(p, ids::btnBackup);
    // The notice is the warning's ("could not be copied"), not "finished: 3 files".
    EXPECT_TRUE(WaitUntil(
        [&] { return NoticeShown(L"Backup finished: 1 files could not be copied"); }, 10000))
        << "no warning notice on screen";
    Close(p);
    const std::string history = History(oldPc_);
    EXPECT_NE(history.find(EncodeUtf8(U16(gone + L"; Fail: Folder not found."))), std::string::npos)
        << history;
    EXPECT_NE(history.find("Result: Finished"), std::string::npos);
    EXPECT_FALSE(FileExists(BackupOf(gone))) << "nothing made for it on the enclosure";
    EXPECT_EQ(ReadList(oldPc_ / L"SnapData\\Device.txt"),
              (std::vector<FolderRow>{{false, U16(BackupOf(there))}}))
        << "no row for a folder that was not backed up";
}

// The index is always whole, whenever the program is killed during a backup; a hand-damaged
// index does not stop the enclosure's folders being found and restored.
TEST_F(NewPcProgramTest, TheIndexSurvivesAKillAndADamagedOneIsIgnored) {
    std::vector<std::wstring> folders;
    std::vector<FolderRow> rows;
    for (int i = 0; i < 6; ++i) {
        folders.push_back(host_ / (L"F" + std::to_wstring(i) + L"\\"));
        MakeFolder(folders.back(), 6, 10 + i);
        rows.push_back({true, U16(folders.back())});
    }
    ASSERT_TRUE(WriteBytes(oldPc_ / L"SnapData\\Host.txt", EncodeFolderList(rows)));
    const std::wstring indexPath = drive_->Root() + L"Backup\\Snapkeep Index.txt";
    int seen = 0;
    // The speed probe takes 0.8 s at least; the copy pass, and the index's writes, come after.
    for (int delayMs : {900, 1000, 1100, 1250, 1400, 1600, 1900, 2300}) {
        Program p = Start(oldPc_);
        ASSERT_NE(p.main, nullptr);
        HWND backup = FindControl(p.main, ids::btnBackup);
        ASSERT_TRUE(WaitUntil([&] { return ::IsWindowEnabled(backup) != FALSE; }));
        ::PostMessageW(backup, BM_CLICK, 0, 0);
        ASSERT_NE(WaitForTopWindow(L"TCopyFileForm", caption_, p.process->Id()), nullptr);
        const DWORD until = ::GetTickCount() + static_cast<DWORD>(delayMs);
        while (static_cast<LONG>(until - ::GetTickCount()) > 0)
            ::SwitchToThread();
        win::Handle process(::OpenProcess(PROCESS_TERMINATE, FALSE, p.process->Id()));
        ASSERT_TRUE(process);
        ::TerminateProcess(process.Get(), 9);
        p.process->WaitForExit();
        if (FileExists(indexPath)) {
            ++seen;
            EXPECT_TRUE(DecodeEnclosureIndex(ReadBytes(indexPath)).has_value())
                << "a broken index after a kill at " << delayMs << " ms";
        }
    }
    EXPECT_GT(seen, 0) << "no kill came after the index was first written";

    // Damaged by hand: the enclosure's drive-letter folder is found instead, and restores.
    ASSERT_TRUE(WriteBytes(indexPath, "\xFF\xFEnot an index at all"));
    const auto before = Snapshot(folders[0]);
    TempDir newPc;
    ASSERT_TRUE(PrepareDataFolder(newPc));
    BackUp({{true, U16(folders[0])}}); // the old PC makes the first folder's copy whole
    RemoveTree(folders[0]);
    ASSERT_TRUE(WriteBytes(indexPath, "\xFF\xFEnot an index at all"));
    Program p = Start(newPc);
    ASSERT_NE(p.main, nullptr);
    const std::wstring driveFolder = drive_->Root() + L"Backup\\" + folders[0].substr(0, 1) + L"\\";
    ASSERT_TRUE(WaitForRows(p, {driveFolder}));
    ASSERT_TRUE(SetListCheck(p.devices, 0, true));
    Click(p, ids::btnRestore);
    EXPECT_EQ(Differences(Snapshot(folders[0]), before), "");
    Close(p);
}

} // namespace

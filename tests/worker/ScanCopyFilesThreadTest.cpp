// The worker as the job window drives it: real files below two drive letters mapped to a fresh
// folder per test, H: standing for the host and R: for the enclosure.
#include "worker/ScanCopyFilesThread.h"
#include "job/FailureList.h"
#include "win/Text.h"
#include "worker/EarlierVersions.h"
#include "worker/Folders.h"

#include "TempDir.h"
#include "Wait.h"
#include "WorkerTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

const char* const kAll[] = {"<all>"};
constexpr std::uint64_t kSomeTime = 132'000'000'000'000'000ull;
constexpr DWORD kHiddenSystem =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

struct Handled {
    std::wstring source;
    std::wstring destination;
    std::uint64_t size;
    int result;
};

class Worker : public testing::Test {
protected:
    void SetUp() override {
        CopyBusy = false;
        ASSERT_TRUE(::CreateDirectoryW(hostFolder.c_str(), nullptr));
        ASSERT_TRUE(::CreateDirectoryW(deviceFolder.c_str(), nullptr));
        host = std::make_unique<MappedDrive>(hostFolder);
        device = std::make_unique<MappedDrive>(deviceFolder);
        ASSERT_TRUE(host->Valid() && device->Valid()) << "no drive letter could be mapped";
        H = host->Root();
        R = device->Root();
        B = R + L"Backup\\" + std::wstring(1, host->Letter()) + L"\\"; // H:\ backed up here
    }

    // A worker set up as the job window sets it up, recording every after-file call.
    std::unique_ptr<TScanCopyFiles> Make(const std::wstring& root, bool scanOnly, bool backup,
                                         const char* const* types = kAll, int count = 1) {
        auto worker = std::make_unique<TScanCopyFiles>(true);
        worker->SetRootFolder(root);
        worker->SetScanOnly(scanOnly);
        worker->SetOnBeforeFile(nullptr);
        worker->SetOnAfterFile([this](TScanCopyFiles& w) {
            std::lock_guard lock(mutex);
            handled.push_back({w.SourcePath(), w.DestinationPath(), w.FileSize(), w.LastResult()});
        });
        worker->SetBackupDirection(backup);
        worker->SetDeviceRoot(std::string(R.begin(), R.end()));
        worker->SetTypeList(types, count);
        worker->SetErrorCaption(L"Error");
        worker->SetErrorText(L"The program meets fatal error.");
        return worker;
    }

    std::vector<Handled> Run(TScanCopyFiles& worker) {
        worker.Start();
        EXPECT_TRUE(WaitUntil([&] { return worker.IsFinished(); }, 30000));
        return TakeHandled();
    }

    std::vector<Handled> TakeHandled() {
        std::lock_guard lock(mutex);
        return std::exchange(handled, {});
    }

    size_t HandledCount() {
        std::lock_guard lock(mutex);
        return handled.size();
    }

    TempDir dir;
    std::wstring hostFolder = dir / L"host";
    std::wstring deviceFolder = dir / L"device";
    std::unique_ptr<MappedDrive> host;
    std::unique_ptr<MappedDrive> device;
    std::wstring H, R, B;
    std::mutex mutex;
    std::vector<Handled> handled;
};

// The files of a snapshot: the copy gives files, not folders, their attributes.
std::map<std::wstring, Entry> FilesOf(std::map<std::wstring, Entry> entries) {
    std::erase_if(entries,
                  [](const auto& e) { return e.second.attributes & FILE_ATTRIBUTE_DIRECTORY; });
    return entries;
}

// A small host tree with the cases a walk meets: nested and hidden folders, hidden, system and
// read-only files, an empty file, a file without extension.
void BuildHostTree(const std::wstring& H) {
    ASSERT_TRUE(WriteFileAt(H + L"docs\\report.docx", Pattern(5000, 1)));
    ASSERT_TRUE(WriteFileAt(H + L"docs\\photos\\IMG.JPG", Pattern(70'000, 2)));
    ASSERT_TRUE(WriteFileAt(H + L"docs\\readme", "plain"));
    ASSERT_TRUE(WriteFileAt(H + L"docs\\empty.txt", ""));
    ASSERT_TRUE(WriteFileAt(H + L"docs\\secret\\hidden.txt", "hidden"));
    ASSERT_TRUE(WriteFileAt(H + L"docs\\locked.txt", "read-only"));
    ASSERT_TRUE(
        SetWriteTimeAndAttributes(H + L"docs\\secret\\hidden.txt", kSomeTime, kHiddenSystem));
    ASSERT_TRUE(::SetFileAttributesW((H + L"docs\\secret").c_str(),
                                     FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetWriteTimeAndAttributes(H + L"docs\\locked.txt", kSomeTime,
                                          FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
}

TEST_F(Worker, ScanOnlyReportsEveryDifferingFileAndChangesNothing) {
    BuildHostTree(H);
    ASSERT_TRUE(WriteFileAt(B + L"docs\\readme", "an older copy"));
    const auto before = Snapshot(dir.Path());

    auto worker = Make(H + L"docs\\", true, true);
    const auto reported = Run(*worker);
    EXPECT_EQ(Snapshot(dir.Path()), before);
    EXPECT_EQ(reported.size(), 6u);
    for (const Handled& h : reported)
        EXPECT_EQ(h.result, 0);
    EXPECT_EQ(worker->LastResult(), 0);
    EXPECT_EQ(worker->FilesFound(), 6u);
}

TEST_F(Worker, BackupCopiesEverythingAndASecondBackupCopiesNothing) {
    BuildHostTree(H);
    auto first = Make(H, false, true);
    const auto copied = Run(*first);
    ASSERT_EQ(copied.size(), 6u);
    for (const Handled& h : copied) {
        EXPECT_EQ(h.result, 0) << h.source;
        EXPECT_EQ(h.destination, R + L"Backup\\" + h.source.substr(0, 1) + h.source.substr(2));
    }
    // Same content, attributes (hidden, system, read-only) and times below Backup\H.
    const auto source = FilesOf(Snapshot(hostFolder));
    EXPECT_EQ(FilesOf(Snapshot(B.substr(0, B.size() - 1))), source);

    for (bool scanOnly : {true, false}) {
        auto again = Make(H, scanOnly, true);
        EXPECT_TRUE(Run(*again).empty()) << "scan only: " << scanOnly;
        EXPECT_EQ(again->FilesFound(), 6u);
    }
    EXPECT_EQ(FilesOf(Snapshot(B.substr(0, B.size() - 1))), source);
}

TEST_F(Worker, RestoreMapsTheBackupTreeBackToTheHost) {
    ASSERT_TRUE(WriteFileAt(B + L"docs\\a.txt", "from the backup"));
    ASSERT_TRUE(WriteFileAt(B + L"docs\\new\\b.txt", "restored into a new folder"));
    ASSERT_TRUE(SetWriteTimeAndAttributes(B + L"docs\\a.txt", kSomeTime,
                                          FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(WriteFileAt(H + L"docs\\a.txt", "changed on the host"));

    auto worker = Make(B, false, false);
    const auto restored = Run(*worker);
    ASSERT_EQ(restored.size(), 2u);
    EXPECT_EQ(ReadBytes(H + L"docs\\a.txt"), "from the backup");
    EXPECT_EQ(ReadBytes(H + L"docs\\new\\b.txt"), "restored into a new folder");
    EXPECT_EQ(InfoOf(H + L"docs\\a.txt").attributes, InfoOf(B + L"docs\\a.txt").attributes);
    for (const Handled& h : restored)
        EXPECT_EQ(h.destination, H + h.source.substr(B.size()));
}

TEST_F(Worker, TypeListDecidesWhichFilesAreHandledWhileEveryFileIsCounted) {
    for (const wchar_t* name :
         {L"a.jpg", L"b.JPG", L"c.jpeg", L"readme", L"sub\\d.jpg", L"my.dir\\noext"})
        ASSERT_TRUE(WriteFileAt(H + L"t\\" + name, "x"));
    const char* const jpg[] = {"jpg"};
    const char* const none[] = {"<none>"};
    const char* const capitals[] = {"JPG"};
    struct Case {
        const char* const* types;
        int count;
        std::vector<std::wstring> expected;
    };
    const Case cases[] = {
        {jpg, 1, {L"a.jpg", L"b.JPG", L"sub\\d.jpg"}},
        {none, 1, {L"readme"}},
        {capitals, 1, {}},
        {jpg, 0, {}},
    };
    for (const Case& c : cases) {
        auto worker = Make(H + L"t\\", true, true, c.types, c.count);
        std::vector<std::wstring> names;
        for (const Handled& h : Run(*worker))
            names.push_back(h.source.substr(H.size() + 2));
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, c.expected) << c.types[0] << " count " << c.count;
        EXPECT_EQ(worker->FilesFound(), 6u);
    }
}

TEST_F(Worker, AfterFileHookSeesTheFileJustHandled) {
    const std::wstring longFolder(200, L'd');
    const std::wstring tooLong = H + longFolder + L"\\" + std::wstring(52, L'f'); // 256
    const std::wstring atLimit = H + longFolder + L"\\" + std::wstring(47, L'g'); // dest 260
    ASSERT_TRUE(WriteFileAt(tooLong, "too long"));
    ASSERT_TRUE(WriteFileAt(atLimit, "exactly at the limit"));
    ASSERT_TRUE(WriteFileAt(H + L"ok.bin", Pattern(12'345, 7)));
    ASSERT_TRUE(WriteFileAt(H + L"vanishes.txt", "deleted before its copy"));
    ASSERT_TRUE(WriteFileAt(H + L"blocked.txt", "a folder is in the way"));
    ASSERT_TRUE(WriteFileAt(B + L"blocked.txt\\inside", "x"));

    auto worker = Make(H, false, true);
    // The file disappears between the listing and its copy.
    worker->SetOnBeforeFile([&](TScanCopyFiles& w) {
        if (w.SourcePath() == H + L"vanishes.txt")
            ::DeleteFileW(w.SourcePath().c_str());
    });
    std::map<std::wstring, Handled> bySource;
    for (Handled& h : Run(*worker))
        bySource[h.source] = h;

    const auto mapped = [&](const std::wstring& source) { return B + source.substr(H.size()); };
    struct Expect {
        std::wstring source;
        std::uint64_t size;
        int result;
    };
    const Expect expected[] = {
        {tooLong, 8, CopyDestinationTooLong},
        {atLimit, 20, CopyDone},
        {H + L"ok.bin", 12'345, CopyDone},
        {H + L"vanishes.txt", 23, CopySourceInfoFailed},
        {H + L"blocked.txt", 22, CopyDestinationWriteFailed},
    };
    ASSERT_EQ(bySource.size(), std::size(expected));
    for (const Expect& e : expected) {
        const Handled& h = bySource[e.source];
        EXPECT_EQ(h.result, e.result) << e.source;
        EXPECT_EQ(h.size, e.size) << e.source;
        EXPECT_EQ(h.destination, mapped(e.source)) << e.source;
    }
    EXPECT_EQ(mapped(atLimit).size(), 260u);
    EXPECT_EQ(mapped(tooLong).size(), 265u);
    EXPECT_FALSE(FileExists(mapped(tooLong)));
    EXPECT_EQ(ReadBytes(mapped(H + L"ok.bin")), Pattern(12'345, 7));

    // Finished: the published values keep what they last received.
    EXPECT_EQ(worker->FilesFound(), 5u);
    EXPECT_FALSE(worker->SourcePath().empty());
    EXPECT_EQ(worker->LastResult(), bySource[worker->SourcePath()].result);

    // The file at the limit is found identical next time; the others are handled again.
    auto again = Make(H, false, true);
    std::vector<std::wstring> redone;
    for (const Handled& h : Run(*again))
        redone.push_back(h.source);
    EXPECT_EQ(std::count(redone.begin(), redone.end(), atLimit), 0);
    EXPECT_EQ(std::count(redone.begin(), redone.end(), tooLong), 1);
}

TEST_F(Worker, PauseBetweenEntriesHoldsTheWalkUntilResume) {
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(WriteFileAt(H + L"p\\f" + std::to_wstring(i) + L".txt", "x"));
    auto worker = Make(H + L"p\\", false, true);
    win::Handle reached(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    win::Handle go(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    worker->SetOnAfterFile([&](TScanCopyFiles& w) {
        std::lock_guard lock(mutex);
        handled.push_back({w.SourcePath(), w.DestinationPath(), w.FileSize(), w.LastResult()});
        ::SetEvent(reached.Get());
        ::WaitForSingleObject(go.Get(), INFINITE);
    });
    worker->Start();
    ASSERT_EQ(::WaitForSingleObject(reached.Get(), 10000), WAIT_OBJECT_0);
    worker->Pause();
    ::SetEvent(go.Get());
    // Held before the next entry: nothing more is met.
    EXPECT_FALSE(WaitUntil([&] { return worker->FilesFound() > 1 || worker->IsFinished(); }, 300));
    EXPECT_EQ(HandledCount(), 1u);
    worker->Resume();
    ASSERT_TRUE(WaitUntil([&] { return worker->IsFinished(); }));
    EXPECT_EQ(HandledCount(), 4u);
    EXPECT_EQ(worker->FilesFound(), 4u);
}

// The earlier copy disappears at the replace (as ReplaceFileW leaves it after error 1176) and
// the new data cannot take its name: Wine's ReplaceFileW never fails that way.
class LostReplace : public FileAccess {
public:
    bool Replace(const std::wstring& destination, const std::wstring&, DWORD& error) override {
        ::DeleteFileW(destination.c_str());
        error = ERROR_UNABLE_TO_MOVE_REPLACEMENT;
        return false;
    }
    bool Move(const std::wstring&, const std::wstring&, DWORD& error) override {
        error = ERROR_SHARING_VIOLATION;
        return false;
    }
};

TEST_F(Worker, NewDataKeptUnderItsTemporaryNameIsReportedWhereItIs) {
    ASSERT_TRUE(WriteFileAt(H + L"k\\f.txt", "the new data"));
    ASSERT_TRUE(WriteFileAt(B + L"k\\f.txt", "old"));
    auto worker = Make(H + L"k\\", false, true);
    LostReplace files;
    worker->SetFileAccess(files);
    const std::vector<Handled> done = Run(*worker);
    ASSERT_EQ(done.size(), 1u);
    EXPECT_EQ(done[0].result, CopyKeptUnderTemporaryName);
    EXPECT_TRUE(done[0].destination.starts_with(B + L"k\\~snapkeep-")) << done[0].destination;
    EXPECT_EQ(ReadBytes(done[0].destination), "the new data");
}

TEST_F(Worker, CancelWakesAPausedWorkerAndStopsTheWalk) {
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(WriteFileAt(H + L"p\\f" + std::to_wstring(i) + L".txt", "x"));
    auto worker = Make(H + L"p\\", false, true);
    win::Handle reached(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    worker->SetOnAfterFile([&](TScanCopyFiles&) {
        ::SetEvent(reached.Get());
        worker->Pause(); // as if the user pressed Pause right after the first file
    });
    worker->Start();
    ASSERT_EQ(::WaitForSingleObject(reached.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_FALSE(WaitUntil([&] { return worker->IsFinished(); }, 200));
    worker->Cancel();
    ASSERT_TRUE(WaitUntil([&] { return worker->IsFinished(); }));
    EXPECT_EQ(worker->FilesFound(), 1u);
    EXPECT_EQ(Snapshot(B.substr(0, B.size() - 1) + L"\\p").size(), 1u);
}

TEST_F(Worker, PauseInsideALargeFileHoldsThePercentageAndResumeFinishesIt) {
    const std::string data = Pattern(3'000'000, 9);
    ASSERT_TRUE(WriteFileAt(H + L"big\\big.bin", data));
    auto worker = Make(H + L"big\\", false, true);
    GatedFileAccess gated(1'024'000); // stops after the first chunk
    worker->SetFileAccess(gated);
    worker->Start();
    ASSERT_TRUE(gated.WaitReached());
    worker->Pause();
    gated.Open();
    // The next block is counted and then the copy holds: 1,024,000 of 3,000,000 bytes.
    ASSERT_TRUE(WaitUntil([&] { return worker->CurrentPercent() == 34; }));
    EXPECT_FALSE(
        WaitUntil([&] { return worker->CurrentPercent() != 34 || worker->IsFinished(); }, 300));
    // No earlier copy to protect: the new file is written under its own name, and is not whole.
    EXPECT_LT(InfoOf(B + L"big\\big.bin").size, data.size());
    worker->Resume();
    ASSERT_TRUE(WaitUntil([&] { return worker->IsFinished(); }));
    EXPECT_EQ(worker->LastResult(), 0);
    EXPECT_EQ(ReadBytes(B + L"big\\big.bin"), data);
    EXPECT_EQ(CopyPercent.load(), 100);
}

TEST_F(Worker, SecondCopyDuringAPausedOneIsRefusedAsBusy) {
    ASSERT_TRUE(WriteFileAt(H + L"big\\big.bin", Pattern(3'000'000, 10)));
    ASSERT_TRUE(WriteFileAt(H + L"other.txt", "x"));
    auto worker = Make(H + L"big\\", false, true);
    GatedFileAccess gated(1'024'000);
    worker->SetFileAccess(gated);
    worker->Start();
    ASSERT_TRUE(gated.WaitReached());
    worker->Pause();
    gated.Open();
    EXPECT_EQ(RunFileCopy(H + L"other.txt", H + L"other.out"), CopyBusyElsewhere);
    EXPECT_FALSE(FileExists(H + L"other.out"));
    worker->Resume();
    ASSERT_TRUE(WaitUntil([&] { return worker->IsFinished(); }));
    EXPECT_EQ(worker->LastResult(), 0);
}

// The earlier destination survives whatever ends a copy early, in both directions: in a backup
// it is the previous backup, in a restore the user's own file on the host.
enum class Ending { Cancel, ReadFails, WriteFails };

class WorkerMend : public Worker, public testing::WithParamInterface<std::tuple<bool, Ending>> {};

TEST_P(WorkerMend, EarlierDestinationSurvivesByteForByte) {
    const auto [backup, ending] = GetParam();
    const std::wstring hostFile = H + L"docs\\big.bin";
    const std::wstring backupFile = B + L"docs\\big.bin";
    const std::wstring& source = backup ? hostFile : backupFile;
    const std::wstring& destination = backup ? backupFile : hostFile;
    const std::string earlier = Pattern(2'200'000, 11);
    ASSERT_TRUE(WriteFileAt(source, Pattern(3'000'000, 12)));
    ASSERT_TRUE(WriteFileAt(destination, earlier));
    ASSERT_TRUE(SetWriteTimeAndAttributes(destination, kSomeTime, kHiddenSystem));

    auto worker = Make(backup ? H + L"docs\\" : B + L"docs\\", false, backup);
    GatedFileAccess gated(1'024'000);
    FailingFileAccess failing(ending == Ending::ReadFails ? FailingFileAccess::What::Reads
                                                          : FailingFileAccess::What::Writes,
                              2'000'000);
    if (ending == Ending::Cancel) {
        worker->SetFileAccess(gated);
        worker->Start();
        ASSERT_TRUE(gated.WaitReached());
        worker->Cancel();
        gated.Open();
        ASSERT_TRUE(WaitUntil([&] { return worker->IsFinished(); }));
    } else {
        worker->SetFileAccess(failing);
        worker->Start();
        ASSERT_TRUE(WaitUntil([&] { return worker->IsFinished(); }));
    }

    const auto reported = TakeHandled();
    switch (ending) {
    case Ending::Cancel:
        EXPECT_EQ(worker->LastResult(), CopyCancelledMidFile);
        EXPECT_TRUE(reported.empty()); // no after-file call for a cancelled file
        break;
    case Ending::ReadFails:
        EXPECT_EQ(worker->LastResult(), CopySourceReadFailed);
        EXPECT_EQ(reported.size(), 1u);
        break;
    case Ending::WriteFails:
        EXPECT_EQ(worker->LastResult(), CopyDestinationWriteFailed);
        EXPECT_EQ(reported.size(), 1u);
        break;
    }
    EXPECT_EQ(ReadBytes(destination), earlier);
    const Info info = InfoOf(destination);
    EXPECT_EQ(info.lastWrite, kSomeTime);
    EXPECT_EQ(info.attributes, kHiddenSystem);
    EXPECT_TRUE(TemporaryFilesIn(destination.substr(0, destination.rfind(L'\\'))).empty());
}

INSTANTIATE_TEST_SUITE_P(BothDirections, WorkerMend,
                         testing::Combine(testing::Bool(),
                                          testing::Values(Ending::Cancel, Ending::ReadFails,
                                                          Ending::WriteFails)));

TEST_F(Worker, EmptyOrMissingRootFinishesWithoutTouchingAnything) {
    for (const std::wstring& root : {std::wstring(), H + L"no such folder\\"}) {
        auto worker = Make(root, false, true);
        EXPECT_TRUE(Run(*worker).empty());
        EXPECT_EQ(worker->FilesFound(), 0u);
        EXPECT_EQ(worker->LastResult(), 0);
    }
}

TEST_F(Worker, DestroyingAnUnstartedOrPausedWorkerReturns) {
    ASSERT_TRUE(WriteFileAt(H + L"f.txt", "x"));
    { auto unstarted = Make(H, false, true); }
    auto paused = Make(H, true, true);
    paused->Pause(); // before the thread has even made its pause event
    paused->Start();
    EXPECT_FALSE(WaitUntil([&] { return paused->FilesFound() > 0; }, 200));
    paused.reset(); // cancels, wakes and waits for the thread
    SUCCEED();
}

// --- Faults at the edges of the walk -------------------------------------------------------

TEST_F(Worker, AFolderThatCannotBeListedIsReportedOnceInTheCopyPass) {
    ASSERT_TRUE(WriteFileAt(H + L"open\\a.txt", "a"));
    ASSERT_TRUE(WriteFileAt(H + L"locked\\b.txt", "b"));
    ASSERT_TRUE(WriteFileAt(H + L"locked\\deeper\\c.txt", "c"));
    // Wine, run as root, lists every folder: the refusal comes from a stand-in.
    RefusingListings files({H + L"locked\\"}, ERROR_ACCESS_DENIED);

    auto scan = Make(H, true, true);
    scan->SetFileAccess(files);
    std::vector<Handled> scanned = Run(*scan);
    ASSERT_EQ(scanned.size(), 1u) << "the scan pass counts files only";
    EXPECT_EQ(scanned[0].source, H + L"open\\a.txt");

    auto copy = Make(H, false, true);
    copy->SetFileAccess(files);
    std::vector<Handled> copied = Run(*copy);
    std::sort(copied.begin(), copied.end(),
              [](const Handled& a, const Handled& b) { return a.source < b.source; });
    ASSERT_EQ(copied.size(), 2u);
    EXPECT_EQ(copied[0].source, H + L"locked\\");
    EXPECT_EQ(copied[0].result, CopySourceInfoFailed);
    EXPECT_EQ(copied[0].size, 0u);
    EXPECT_EQ(copied[1].source, H + L"open\\a.txt");
    EXPECT_EQ(copied[1].result, CopyDone);
    EXPECT_EQ(copy->FilesFound(), 1u);
}

TEST_F(Worker, DeepFoldersAreListedAndTheirFilesReportedAsTooLong) {
    // A tree deeper than a plain path can name. The stand-in refuses plain listing patterns of
    // MAX_PATH or more, as Windows does; Wine itself would list them.
    std::wstring deep = H;
    while (deep.size() < 300)
        deep += L"a-rather-long-folder-name\\";
    ASSERT_TRUE(ForceDirectories(deep));
    const std::wstring file = deep + L"deep.txt";
    {
        win::FileHandle out(::CreateFileW((L"\\\\?\\" + file).c_str(), GENERIC_WRITE, 0, nullptr,
                                          CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(out.Valid());
    }
    RefusingListings files({}, 0);
    auto worker = Make(H, false, true);
    worker->SetFileAccess(files);
    const std::vector<Handled> handled = Run(*worker);
    ASSERT_EQ(handled.size(), 1u) << "the deep file vanished from the job";
    EXPECT_EQ(handled[0].source, file);
    EXPECT_EQ(handled[0].result, CopyDestinationTooLong);
}

TEST_F(Worker, FolderLinksAreNotWalkedInCirclesNorIntoTheBackup) {
    ASSERT_TRUE(WriteFileAt(H + L"tree\\a.txt", "a"));
    ASSERT_TRUE(WriteFileAt(H + L"tree\\sub\\b.txt", "b"));
    // A first backup makes the destination's Backup folder.
    auto first = Make(H, false, true);
    ASSERT_EQ(Run(*first).size(), 2u);
    if (!MakeFolderLink(H + L"tree\\sub\\up", H + L"tree") ||
        !MakeFolderLink(H + L"tree\\enclosure", R) ||
        !MakeFolderLink(H + L"tree\\backup", R + L"Backup"))
        GTEST_SKIP() << "folder links cannot be made here";
    ASSERT_TRUE(WriteFileAt(H + L"tree\\sub\\c.txt", "c"));

    auto second = Make(H, false, true);
    const std::vector<Handled> handled = Run(*second);
    // Only the new file: no link below the folder is followed, neither the one to an ancestor
    // ("up") nor those to the enclosure's root and its Backup folder. They are left out and
    // counted, without a failure line.
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].source, H + L"tree\\sub\\c.txt");
    EXPECT_EQ(second->FilesFound(), 3u);
    EXPECT_EQ(second->LinksSkipped(), 3u);
    EXPECT_FALSE(FileExists(B + L"tree\\enclosure")) << "the backup was copied into itself";
}

// FAT keeps sizes in 32 bits. A file of 4 GiB (sparse on the host: no room is needed for it)
// fails at once with its own code; the enclosure, a 64 MiB FAT volume, would otherwise take
// 64 MiB of it and fail with a write error. The rest of the folder is copied.
TEST_F(Worker, AFileOf4GiBFailsAtOnceOnAFatVolume) {
    FuseVolume fat(deviceFolder, FuseVolume::Kind::Fat32);
    if (!fat.Mounted())
        GTEST_SKIP() << fat.Why();
    ASSERT_TRUE(WriteFileAt(H + L"video\\small.txt", "small"));
    {
        win::FileHandle big(::CreateFileW((H + L"video\\big.mkv").c_str(), GENERIC_WRITE, 0,
                                          nullptr, CREATE_NEW, 0, nullptr));
        ASSERT_TRUE(big.Valid());
        LARGE_INTEGER size;
        size.QuadPart = 4ll << 30;
        ASSERT_TRUE(::SetFilePointerEx(big.Get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(big.Get()));
    }
    auto worker = Make(H, false, true);
    std::vector<Handled> handled = Run(*worker);
    std::sort(handled.begin(), handled.end(),
              [](const Handled& a, const Handled& b) { return a.source < b.source; });
    ASSERT_EQ(handled.size(), 2u);
    EXPECT_EQ(handled[0].source, H + L"video\\big.mkv");
    EXPECT_EQ(handled[0].result, CopyTooLargeForVolume);
    EXPECT_EQ(handled[0].destination, B + L"video\\big.mkv");
    EXPECT_FALSE(FileExists(B + L"video\\big.mkv"));
    EXPECT_TRUE(TemporaryFilesIn(B + L"video").empty());
    EXPECT_EQ(handled[1].result, CopyDone);
    EXPECT_EQ(ReadBytes(B + L"video\\small.txt"), "small");
}

TEST_F(Worker, LeftoverTemporaryFilesAreNeitherBackedUpNorRestored) {
    const std::wstring leftovers[] = {L"~snapkeep-4242-0.tmp", L"~SNAPKEEP-1-17.TMP"};
    ASSERT_TRUE(WriteFileAt(H + L"docs\\report.txt", "report"));
    ASSERT_TRUE(WriteFileAt(H + L"docs\\~snapkeep-notes.tmp", "a user's own file"));
    for (const std::wstring& name : leftovers) {
        ASSERT_TRUE(WriteFileAt(H + L"docs\\" + name, "half a copy"));
        ASSERT_TRUE(WriteFileAt(B + L"docs\\" + name, "half a copy"));
    }
    auto backup = Make(H, false, true);
    // A leftover that names no destination stays and gets a failure line of its own (below).
    auto files = [](std::vector<Handled> all) {
        std::erase_if(all, [](const Handled& h) { return h.result == CopyLeftoverKept; });
        return all;
    };
    std::vector<Handled> handled = files(Run(*backup));
    std::vector<std::wstring> sources;
    for (const Handled& h : handled)
        sources.push_back(h.source);
    std::sort(sources.begin(), sources.end());
    EXPECT_EQ(sources, (std::vector<std::wstring>{H + L"docs\\report.txt",
                                                  H + L"docs\\~snapkeep-notes.tmp"}));
    EXPECT_EQ(backup->FilesFound(), 2u) << "a leftover is not the user's file";

    ASSERT_TRUE(::DeleteFileW((H + L"docs\\report.txt").c_str()));
    for (const std::wstring& name : leftovers)
        ASSERT_TRUE(::DeleteFileW((H + L"docs\\" + name).c_str()));
    auto restore = Make(B, false, false);
    handled = files(Run(*restore));
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].destination, H + L"docs\\report.txt");
    for (const std::wstring& name : leftovers)
        EXPECT_FALSE(FileExists(H + L"docs\\" + name)) << name << " was restored";
}

// A killed copy leaves its temporary file beside the destination it was written for; the name
// says which. The next copy pass of the folder removes it where that destination is there, and
// keeps it with a failure line where it is not (it may hold the only copy of its data). A scan
// pass changes nothing.
// A leftover goes when the file its interrupted copy was made from is still there (it is copied
// again as ever), and stays with a line of its own when that file is gone: it may then hold the
// only copy of its data.
TEST_F(Worker, LeftoversGoWhereTheirSourceIsAndStayWhereItIsNot) {
    ASSERT_TRUE(WriteFileAt(H + L"docs\\report.txt", "report"));
    auto first = Make(H, false, true);
    ASSERT_EQ(Run(*first).size(), 1u);
    // A first backup of new.txt cut off: only its temporary file is on the enclosure.
    ASSERT_TRUE(WriteFileAt(H + L"docs\\new.txt", "new"));
    // gone.txt was backed up and has since been deleted on the host: a restore of it that was
    // cut off leaves a leftover on the host (its source is there), a later backup of it one on
    // the enclosure (its source is not).
    ASSERT_TRUE(WriteFileAt(B + L"docs\\gone.txt", "gone"));
    const std::wstring removed[] = {
        B + L"docs\\~snapkeep-77-1-report.txt.tmp", H + L"docs\\~snapkeep-88-1-report.txt.tmp",
        B + L"docs\\~snapkeep-77-4-new.txt.tmp", H + L"docs\\~snapkeep-88-3-gone.txt.tmp"};
    const std::wstring kept[] = {
        B + L"docs\\~snapkeep-77-2-lost.txt.tmp", B + L"docs\\~snapkeep-77-3.tmp",
        H + L"docs\\~snapkeep-88-2-only.txt.tmp", B + L"docs\\~snapkeep-77-5-gone.txt.tmp"};
    for (const std::wstring& path : removed)
        ASSERT_TRUE(WriteFileAt(path, "half a copy"));
    for (const std::wstring& path : kept)
        ASSERT_TRUE(WriteFileAt(path, "maybe the only copy"));

    auto scan = Make(H, true, true);
    for (const Handled& h : Run(*scan))
        EXPECT_EQ(h.source, H + L"docs\\new.txt") << "only new.txt needs copying";
    for (const std::wstring& path : removed)
        EXPECT_TRUE(FileExists(path)) << "a scan pass removed a leftover";

    auto backup = Make(H, false, true);
    std::vector<Handled> handled = Run(*backup);
    std::vector<std::wstring> reported;
    for (const Handled& h : handled) {
        if (h.result == CopyDone) { // new.txt, copied again
            EXPECT_EQ(h.source, H + L"docs\\new.txt");
            continue;
        }
        EXPECT_EQ(h.result, CopyLeftoverKept);
        EXPECT_EQ(h.destination, h.source);
        reported.push_back(h.destination);
    }
    std::sort(reported.begin(), reported.end());
    std::vector<std::wstring> expected(std::begin(kept), std::end(kept));
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(reported, expected);
    for (const std::wstring& path : removed)
        EXPECT_FALSE(FileExists(path)) << "leftover beside its destination stayed";
    for (const std::wstring& path : kept)
        EXPECT_EQ(ReadBytes(path), "maybe the only copy");
    EXPECT_EQ(ReadBytes(B + L"docs\\report.txt"), "report");
    EXPECT_EQ(ReadBytes(B + L"docs\\new.txt"), "new");
}

TEST_F(Worker, ABackupWithoutAnEnclosureDriveCopiesNothingAndSaysSo) {
    // The drive box empties when the enclosure is pulled out, and a job's next folder then gets
    // no device root: its files must fail, not land below the current directory.
    ASSERT_TRUE(WriteFileAt(H + L"a.txt", "a"));
    auto worker = Make(H, false, true);
    worker->SetDeviceRoot("");
    const std::vector<Handled> handled = Run(*worker);
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].result, CopyFolderCreateFailed);
    EXPECT_EQ(handled[0].destination, L"");
}

TEST_F(Worker, AListingThatBreaksOffReportsItsFolder) {
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(WriteFileAt(H + L"cut\\f" + std::to_wstring(i) + L".txt", "f"));
    // Three entries ("." and ".." among them), then the network share drops.
    BreakingListing files(H + L"cut\\", 3, ERROR_NETNAME_DELETED);
    auto worker = Make(H, false, true);
    worker->SetFileAccess(files);
    const std::vector<Handled> handled = Run(*worker);
    ASSERT_FALSE(handled.empty());
    EXPECT_EQ(handled.back().source, H + L"cut\\");
    EXPECT_EQ(handled.back().result, CopySourceInfoFailed);
    EXPECT_LT(handled.size(), 7u);
}

TEST_F(Worker, TheFirstBackupNeverCopiesTheBackupIntoItself) {
    // Links to the enclosure's root before anything was ever backed up: the Backup folder the
    // copy makes on its way must be known to the walk all the same.
    ASSERT_TRUE(WriteFileAt(H + L"tree\\a.txt", "a"));
    ASSERT_TRUE(WriteFileAt(H + L"tree\\one\\b.txt", "b"));
    ASSERT_TRUE(WriteFileAt(H + L"tree\\two\\c.txt", "c"));
    ASSERT_FALSE(FileExists(R + L"Backup"));
    if (!MakeFolderLink(H + L"tree\\one\\enclosure", R) ||
        !MakeFolderLink(H + L"tree\\two\\enclosure", R) ||
        !MakeFolderLink(H + L"tree\\enclosure", R))
        GTEST_SKIP() << "folder links cannot be made here";
    auto worker = Make(H + L"tree\\", false, true);
    const std::vector<Handled> handled = Run(*worker);
    EXPECT_EQ(handled.size(), 3u);
    EXPECT_EQ(worker->LinksSkipped(), 3u);
    for (const Handled& h : handled)
        EXPECT_EQ(h.result, CopyDone) << h.source;
    for (const wchar_t* link : {L"enclosure", L"one\\enclosure", L"two\\enclosure"})
        EXPECT_FALSE(FileExists(B + L"tree\\" + link + L"\\Backup")) << "copied into itself";
}

TEST_F(Worker, ARootInsideTheBackupTreeIsRefusedWithOneLine) {
    ASSERT_TRUE(WriteFileAt(H + L"docs\\a.txt", "a"));
    auto first = Make(H, false, true);
    ASSERT_EQ(Run(*first).size(), 1u);
    const auto before = Snapshot(R);
    std::vector<std::wstring> roots{B, B + L"docs\\"};
    if (MakeFolderLink(H + L"backup-link", R + L"Backup"))
        roots.push_back(H + L"backup-link\\H\\docs\\");
    for (const std::wstring& root : roots) {
        auto worker = Make(root, false, true);
        const std::vector<Handled> handled = Run(*worker);
        ASSERT_EQ(handled.size(), 1u) << root;
        EXPECT_EQ(handled[0].source, root);
        EXPECT_EQ(handled[0].result, CopyRootInsideBackup);
        auto scan = Make(root, true, true);
        EXPECT_TRUE(Run(*scan).empty()) << "the scan pass counts no file of it";
    }
    EXPECT_EQ(Snapshot(R), before);
}

// Writes `bytes` to a file named exactly `name` in `folder` through Linux, which a Windows
// program cannot do when the folder already holds a name Windows takes for the same one.
bool WriteUnixFile(const std::wstring& scratch, const std::wstring& folder,
                   const std::wstring& name, const std::string& bytes) {
    const std::wstring source = scratch + L"\\unix-" + std::to_wstring(::GetTickCount64());
    if (!WriteFileAt(source, bytes))
        return false;
    const std::wstring to = UnixPath(folder);
    if (to.empty() || !RunUnixCommand({L"/bin/cp", UnixPath(source), to + L"/" + name}))
        return false;
    // start.exe may come back before cp has ended: wait for the exact name in the listing.
    return WaitUntil(
        [&] {
            WIN32_FIND_DATAW entry;
            win::FindHandle listing(::FindFirstFileW((folder + L"*").c_str(), &entry));
            if (!listing)
                return false;
            do {
                if (name == entry.cFileName)
                    return true;
            } while (::FindNextFileW(listing.Get(), &entry));
            return false;
        },
        10000);
}

TEST_F(Worker, LookAlikeSiblingNamesGiveOneCopyAndOneFailureLine) {
    if (!UnderWine())
        GTEST_SKIP() << "two such names side by side need a Linux folder under Wine";
    struct Case {
        const wchar_t* folder;
        std::wstring first;  // written through Windows
        std::wstring second; // written through Linux
    };
    std::vector<Case> cases{{L"case", L"Report.txt", L"report.txt"},
                            {L"dot", L"a", L"a."},
                            {L"blank", L"a", L"a "},
                            {L"short", L"abcdefghij.txt", L""}};
    for (Case& c : cases) {
        const std::wstring folder = H + c.folder + L"\\";
        ASSERT_TRUE(WriteFileAt(folder + c.first, "first"));
        if (c.second.empty()) { // the long name's real short name, taken literally
            wchar_t shortPath[MAX_PATH] = {};
            ASSERT_GT(::GetShortPathNameW((folder + c.first).c_str(), shortPath, MAX_PATH), 0u);
            c.second = std::wstring(shortPath).substr(folder.size());
            ASSERT_NE(c.second, c.first);
        }
        ASSERT_TRUE(WriteUnixFile(dir.Path(), folder, c.second, "second")) << c.second;
    }
    auto worker = Make(H, false, true);
    const std::vector<Handled> handled = Run(*worker);
    for (const Case& c : cases) {
        const std::wstring folder = H + c.folder + L"\\";
        int copied = 0, clashed = 0;
        std::wstring copiedName;
        for (const Handled& h : handled) {
            if (!h.source.starts_with(folder))
                continue;
            if (h.result == CopyDone) {
                ++copied;
                copiedName = h.source.substr(folder.size());
            }
            clashed += h.result == CopyNameClash;
        }
        EXPECT_EQ(copied, 1) << c.folder;
        EXPECT_EQ(clashed, 1) << c.folder;
        // The one copied is whole under its own name.
        const std::string expected = copiedName == c.first ? "first" : "second";
        EXPECT_EQ(ReadBytes(L"\\\\?\\" + B + c.folder + L"\\" + copiedName), expected) << c.folder;
    }
}

// Another program holds a file open for writing and keeps writing it (a mail store): the copy
// pass gives it the "in use" line instead of a copy that mixes two versions, and the earlier
// copy stays as it was. The other file of the folder is copied as usual.
TEST_F(Worker, AFileHeldOpenForWritingGetsTheInUseLine) {
    ASSERT_TRUE(WriteFileAt(H + L"mail\\store.pst", Pattern(50'000, 1)));
    ASSERT_TRUE(WriteFileAt(H + L"mail\\note.txt", "free"));
    ASSERT_TRUE(WriteFileAt(B + L"mail\\store.pst", "an earlier copy"));
    win::FileHandle writer(::CreateFileW((H + L"mail\\store.pst").c_str(), GENERIC_WRITE,
                                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                         0, nullptr));
    ASSERT_TRUE(writer.Valid());
    auto worker = Make(H + L"mail\\", false, true);
    const std::vector<Handled> handled = Run(*worker);
    ASSERT_EQ(handled.size(), 2u);
    FailureTexts texts;
    texts.fail = u"Fail";
    texts.sourceInUse = u"In use by another program";
    for (const Handled& h : handled) {
        if (h.source == H + L"mail\\note.txt") {
            EXPECT_EQ(h.result, CopyDone);
            continue;
        }
        EXPECT_EQ(h.source, H + L"mail\\store.pst");
        EXPECT_EQ(h.result, CopySourceInUse);
        EXPECT_EQ(MakeFailureLine(h.result, win::ToU16(h.source), win::ToU16(h.destination), texts),
                  win::ToU16(H + L"mail\\store.pst; Fail: In use by another program."));
    }
    EXPECT_EQ(ReadBytes(B + L"mail\\store.pst"), "an earlier copy");
    EXPECT_EQ(ReadBytes(B + L"mail\\note.txt"), "free");
    EXPECT_TRUE(TemporaryFilesIn(B + L"mail").empty());
}

// An enclosure whose volume gives back every last-write time an hour off the one set (a volume
// kept in another time zone), played by a stand-in at the file access: the times read back by
// path, the probe's included, are shifted.
class ShiftedTimesVolume : public FileAccess {
public:
    explicit ShiftedTimesVolume(std::wstring root) : root_(std::move(root)) {}
    bool ReadInfo(const std::wstring& path, FileInfo& info, DWORD& error) override {
        if (!FileAccess::ReadInfo(path, info, error))
            return false;
        const std::wstring plain = path.starts_with(L"\\\\?\\") ? path.substr(4) : path;
        if (::CompareStringOrdinal(plain.c_str(), static_cast<int>(root_.size()), root_.c_str(),
                                   static_cast<int>(root_.size()), TRUE) == CSTR_EQUAL)
            info.lastWriteTime += 36'000'000'000ull;
        return true;
    }
    using FileAccess::ReadInfo;

private:
    std::wstring root_;
};

TEST_F(Worker, AVolumeThatShiftsItsTimesHasEveryFileCopiedAndSaysSoOncePerJob) {
    ASSERT_TRUE(WriteFileAt(H + L"one\\a.txt", "aaaa"));
    ASSERT_TRUE(WriteFileAt(H + L"two\\b.txt", "bbbb"));
    ShiftedTimesVolume shifted(R);
    auto job = [&](bool scanOnly, const std::shared_ptr<VolumeRules>& rules) {
        std::vector<Handled> all;
        for (const wchar_t* folder : {L"one\\", L"two\\"}) {
            auto worker = Make(H + folder, scanOnly, true);
            worker->SetFileAccess(shifted);
            worker->SetVolumeRules(rules);
            for (Handled& h : Run(*worker))
                all.push_back(std::move(h));
        }
        return all;
    };
    ASSERT_EQ(job(false, std::make_shared<VolumeRules>()).size(), 3u); // two files and the line

    // Unchanged or edited with the same size: nothing on that volume can be taken as unchanged.
    ASSERT_TRUE(WriteFileAt(H + L"two\\b.txt", "BBBB"));
    for (int round = 0; round < 2; ++round) {
        const auto rules = std::make_shared<VolumeRules>();
        EXPECT_EQ(job(true, rules).size(), 2u) << "the scan pass counts both files and no line";
        const std::vector<Handled> handled = job(false, rules);
        ASSERT_EQ(handled.size(), 3u);
        int lines = 0;
        for (const Handled& h : handled) {
            if (h.result == CopyTimesUntrusted) {
                ++lines;
                EXPECT_EQ(h.source, R);
            } else {
                EXPECT_EQ(h.result, CopyDone) << h.source;
            }
        }
        EXPECT_EQ(lines, 1) << "once per job and volume";
    }
    EXPECT_EQ(ReadBytes(B + L"two\\b.txt"), "BBBB");
}

// Named streams through the walk: kept on an enclosure that can hold them; on one that cannot
// (FAT, exFAT) the data is copied as ever and the job learns how many files lost theirs, once
// per volume. Wine keeps no named streams on Linux folders: a stand-in keeps them beside.
TEST_F(Worker, NamedStreamsAreKeptOrCountedOncePerVolume) {
    ASSERT_TRUE(WriteFileAt(H + L"dl\\setup.exe", Pattern(20'000, 1)));
    ASSERT_TRUE(WriteFileAt(H + L"dl\\notes.txt", "no streams"));
    ASSERT_TRUE(WriteFileAt(H + L"dl\\more\\tool.exe", Pattern(10'000, 2)));
    for (const wchar_t* file : {L"dl\\setup.exe", L"dl\\more\\tool.exe"})
        ASSERT_TRUE(WriteBytes(StreamsBeside::Beside(H + file + L":Zone.Identifier"), "ZoneId=3"));
    for (const bool streamless : {false, true}) {
        SCOPED_TRACE(streamless ? "an enclosure without streams" : "an enclosure with streams");
        StreamsBeside files(streamless ? R : std::wstring());
        const auto rules = std::make_shared<VolumeRules>();
        // The stand-in's stream files beside the host's files are of no type the job copies.
        static const char* const kPrograms[] = {"exe", "txt"};
        auto worker = Make(H + L"dl\\", false, true, kPrograms, 2);
        worker->SetFileAccess(files);
        worker->SetVolumeRules(rules);
        const std::vector<Handled> handled = Run(*worker);
        ASSERT_EQ(handled.size(), 3u);
        for (const Handled& h : handled)
            EXPECT_EQ(h.result, CopyDone) << h.source;
        const auto dropped = rules->DroppedStreams();
        const std::wstring mark = StreamsBeside::Beside(B + L"dl\\setup.exe:Zone.Identifier");
        if (streamless) {
            ASSERT_EQ(dropped.size(), 1u);
            EXPECT_EQ(dropped[0].first, R);
            EXPECT_EQ(dropped[0].second, 2u);
            EXPECT_FALSE(FileExists(mark));
        } else {
            EXPECT_TRUE(dropped.empty());
            EXPECT_EQ(ReadBytes(mark), "ZoneId=3");
        }
        // Nothing of the volume's measurement stays at its root.
        for (const auto& [path, entry] : Snapshot(R))
            EXPECT_TRUE(path.starts_with(L"Backup")) << path;
        RemoveTree(R + L"Backup");
    }
}

// A listing whose entry for one file still gives the size and times that file had before its
// last writes, as an NTFS directory entry does while the writer keeps the file open; and a count
// of what each file of the walk costs beyond the listing: opens and reads.
class StaleListing : public FileAccess {
public:
    StaleListing(std::wstring name, std::uint64_t size, std::uint64_t lastWrite)
        : name_(std::move(name)), size_(size), lastWrite_(lastWrite) {}
    HANDLE FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry, DWORD& error) override {
        HANDLE listing = FileAccess::FindFirst(pattern, entry, error);
        if (listing != INVALID_HANDLE_VALUE)
            MakeStale(entry);
        return listing;
    }
    bool FindNext(HANDLE listing, WIN32_FIND_DATAW& entry, DWORD& error) override {
        if (!FileAccess::FindNext(listing, entry, error))
            return false;
        MakeStale(entry);
        return true;
    }
    HANDLE Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) override {
        HANDLE file = FileAccess::Open(path, access, share, disposition, flags);
        std::lock_guard lock(mutex_);
        const std::wstring name = path.substr(path.rfind(L'\\') + 1);
        ++opens_[name];
        if (file != INVALID_HANDLE_VALUE)
            names_[file] = name;
        return file;
    }
    bool Read(HANDLE file, void* buffer, DWORD size, DWORD& got) override {
        {
            std::lock_guard lock(mutex_);
            ++reads_[names_[file]];
        }
        return FileAccess::Read(file, buffer, size, got);
    }
    int Opens(const std::wstring& name) {
        std::lock_guard lock(mutex_);
        return std::exchange(opens_[name], 0);
    }
    int Reads(const std::wstring& name) {
        std::lock_guard lock(mutex_);
        return std::exchange(reads_[name], 0);
    }

private:
    void MakeStale(WIN32_FIND_DATAW& entry) const {
        if (name_ != entry.cFileName)
            return;
        entry.nFileSizeHigh = static_cast<DWORD>(size_ >> 32);
        entry.nFileSizeLow = static_cast<DWORD>(size_);
        entry.ftLastWriteTime = {static_cast<DWORD>(lastWrite_),
                                 static_cast<DWORD>(lastWrite_ >> 32)};
        entry.ftCreationTime = entry.ftLastWriteTime; // Wine reports the one for the other
    }
    std::wstring name_;
    std::uint64_t size_, lastWrite_;
    std::mutex mutex_;
    std::map<std::wstring, int> opens_, reads_;
    std::map<HANDLE, std::wstring> names_;
};

// A file another program holds open and keeps writing, whose listing still says what its copy
// holds: never skipped silently. While held it is reported in use; once closed it is copied. An
// unchanged closed file is skipped at the cost of one open and no read.
TEST_F(Worker, AFileWhoseListingIsStaleIsNeverSkippedSilently) {
    const std::wstring store = H + L"db\\mail.pst";
    ASSERT_TRUE(WriteFileAt(store, Pattern(50'000, 1)));
    ASSERT_TRUE(SetWriteTimeAndAttributes(store, kSomeTime, FILE_ATTRIBUTE_ARCHIVE));
    ASSERT_TRUE(WriteFileAt(H + L"db\\note.txt", "unchanged"));
    auto first = Make(H + L"db\\", false, true);
    ASSERT_EQ(Run(*first).size(), 2u);

    // Written since, with the same size, a minute later; the listing still says what it was.
    const std::string fresh = Pattern(50'000, 2);
    StaleListing stale(L"mail.pst", 50'000, kSomeTime);
    {
        win::FileHandle writer(::CreateFileW(store.c_str(), GENERIC_WRITE,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(writer.Valid());
        DWORD put = 0;
        ASSERT_TRUE(::WriteFile(writer.Get(), fresh.data(), static_cast<DWORD>(fresh.size()), &put,
                                nullptr));
        FILETIME later{static_cast<DWORD>(kSomeTime + 600'000'000),
                       static_cast<DWORD>((kSomeTime + 600'000'000) >> 32)};
        ASSERT_TRUE(::SetFileTime(writer.Get(), nullptr, nullptr, &later));

        auto scan = Make(H + L"db\\", true, true);
        scan->SetFileAccess(stale);
        const std::vector<Handled> counted = Run(*scan);
        ASSERT_EQ(counted.size(), 1u) << "the scan pass counts the file held open";
        EXPECT_EQ(counted[0].source, store);
        auto held = Make(H + L"db\\", false, true);
        held->SetFileAccess(stale);
        const std::vector<Handled> handled = Run(*held);
        ASSERT_EQ(handled.size(), 1u);
        EXPECT_EQ(handled[0].source, store);
        EXPECT_EQ(handled[0].result, CopySourceInUse);
        EXPECT_EQ(ReadBytes(B + L"db\\mail.pst"), Pattern(50'000, 1));
    }
    stale.Opens(L"note.txt");
    stale.Reads(L"note.txt");
    auto closed = Make(H + L"db\\", false, true);
    closed->SetFileAccess(stale);
    const std::vector<Handled> handled = Run(*closed);
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].source, store);
    EXPECT_EQ(handled[0].result, CopyDone);
    EXPECT_TRUE(ReadBytes(B + L"db\\mail.pst") == fresh);
    // The unchanged file: one look, nothing read.
    EXPECT_EQ(stale.Opens(L"note.txt"), 1);
    EXPECT_EQ(stale.Reads(L"note.txt"), 0);
}

// --- Links: the elevated copy passes through none where it writes, nor on the host below a
// folder the user chose ------------------------------------------------------------------------

// One walk with links in its way. Paths name "{H}" (the host drive's root), "{R}" (the
// enclosure's), "{B}" (the host drive's backup tree, R:\Backup\H\) and "{O}" (a folder outside
// both drives that no link may lead the copy into).
struct LinkCase {
    const char* name;
    bool backup;
    std::vector<std::pair<std::wstring, std::string>> files;  // made before the links
    std::vector<std::pair<std::wstring, std::wstring>> links; // link -> folder it leads to
    std::wstring root;
    std::vector<std::wstring> refused; // each link that gets its failure line, as the line shows it
    std::uint64_t skipped;             // host links left out and counted
    std::vector<std::pair<std::wstring, std::string>> copied; // and nothing else
    std::vector<std::wstring> absent;
};

void PrintTo(const LinkCase& c, std::ostream* out) {
    *out << c.name;
}

// A snapshot without what lies behind its links: what the tree itself holds.
std::map<std::wstring, Entry> WithoutLinkedContent(std::map<std::wstring, Entry> entries) {
    std::vector<std::wstring> links;
    for (const auto& [path, entry] : entries)
        if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)
            links.push_back(path + L"\\");
    std::erase_if(entries, [&](const auto& e) {
        return std::any_of(links.begin(), links.end(),
                           [&](const std::wstring& link) { return e.first.starts_with(link); });
    });
    return entries;
}

class WorkerLinks : public Worker, public testing::WithParamInterface<LinkCase> {
protected:
    std::wstring Expand(std::wstring text) const {
        const std::pair<std::wstring, std::wstring> marks[] = {
            {L"{H}", H}, {L"{R}", R}, {L"{B}", B}, {L"{O}", outside + L"\\"}};
        for (const auto& [mark, value] : marks)
            for (size_t at; (at = text.find(mark)) != std::wstring::npos;)
                text.replace(at, mark.size(), value);
        return text;
    }
    std::wstring outside = dir / L"outside";
};

TEST_P(WorkerLinks, NothingPassesThroughALinkWhereTheCopyWritesNorBelowTheHostFolder) {
    const LinkCase& c = GetParam();
    ASSERT_TRUE(::CreateDirectoryW(outside.c_str(), nullptr));
    ASSERT_TRUE(WriteFileAt(outside + L"\\docs\\outside.txt", "outside"));
    for (const auto& [path, bytes] : c.files)
        ASSERT_TRUE(WriteFileAt(Expand(path), bytes)) << path;
    auto withoutSlash = [](std::wstring path) {
        if (path.size() > 3 && path.back() == L'\\')
            path.pop_back();
        return path;
    };
    for (const auto& [link, target] : c.links)
        if (!MakeFolderLink(withoutSlash(Expand(link)), withoutSlash(Expand(target))))
            GTEST_SKIP() << "folder links cannot be made here";
    const auto outsideBefore = Snapshot(outside);
    const auto enclosureBefore = WithoutLinkedContent(Snapshot(deviceFolder));

    // The scan pass counts only what the copy pass copies: nothing behind a link.
    auto scan = Make(Expand(c.root), true, c.backup);
    EXPECT_EQ(Run(*scan).size(), c.copied.size());
    auto worker = Make(Expand(c.root), false, c.backup);
    const std::vector<Handled> handled = Run(*worker);

    std::vector<std::wstring> refused, expectedRefused;
    for (const std::wstring& link : c.refused)
        expectedRefused.push_back(Expand(link));
    for (const Handled& h : handled) {
        if (h.result == CopyLinkNotFollowed)
            refused.push_back(h.destination);
        else
            EXPECT_EQ(h.result, CopyDone) << h.source;
    }
    std::sort(refused.begin(), refused.end());
    std::sort(expectedRefused.begin(), expectedRefused.end());
    EXPECT_EQ(refused, expectedRefused);
    EXPECT_EQ(worker->LinksSkipped(), c.skipped);
    EXPECT_EQ(handled.size() - refused.size(), c.copied.size());
    for (const auto& [path, bytes] : c.copied)
        EXPECT_EQ(ReadBytes(Expand(path)), bytes) << path;
    for (const std::wstring& path : c.absent)
        EXPECT_FALSE(FileExists(Expand(path))) << path;
    EXPECT_EQ(Snapshot(outside), outsideBefore) << "written through a link";
    if (!c.backup) {
        EXPECT_EQ(WithoutLinkedContent(Snapshot(deviceFolder)), enclosureBefore)
            << "a restore wrote to the enclosure";
    }
}

INSTANTIATE_TEST_SUITE_P(
    BothDirections, WorkerLinks,
    testing::Values(
        // The enclosure's tree: a backup writes, and a restore reads, through no link in it.
        LinkCase{"BackupFolderIsALink",
                 true,
                 {{L"{H}docs\\a.txt", "a"}},
                 {{L"{R}Backup", L"{O}"}},
                 L"{H}docs\\",
                 {L"{R}Backup\\"},
                 0,
                 {},
                 {L"{O}H"}},
        LinkCase{"LetterFolderIsALinkInABackup",
                 true,
                 {{L"{H}docs\\a.txt", "a"}, {L"{R}Backup\\placeholder", ""}},
                 {{L"{B}", L"{O}"}},
                 L"{H}docs\\",
                 {L"{B}"},
                 0,
                 {},
                 {L"{O}docs\\a.txt"}},
        LinkCase{"LetterFolderIsALinkInARestore",
                 false,
                 {{L"{R}Backup\\placeholder", ""}},
                 {{L"{B}", L"{O}"}},
                 L"{B}docs\\",
                 {L"{B}"},
                 0,
                 {},
                 {L"{H}docs\\outside.txt"}},
        LinkCase{"DeeperFolderIsALinkInABackup",
                 true,
                 {{L"{H}docs\\a.txt", "a"}, {L"{H}docs\\sub\\b.txt", "b"}, {L"{B}docs\\x", ""}},
                 {{L"{B}docs\\sub", L"{O}docs"}},
                 L"{H}docs\\",
                 {L"{B}docs\\sub\\"},
                 0,
                 {{L"{B}docs\\a.txt", "a"}},
                 {L"{O}docs\\b.txt"}},
        LinkCase{"DeeperFolderIsALinkInARestore",
                 false,
                 {{L"{B}docs\\a.txt", "a"}},
                 {{L"{B}docs\\sub", L"{O}docs"}},
                 L"{B}docs\\",
                 {L"{B}docs\\sub\\"},
                 0,
                 {{L"{H}docs\\a.txt", "a"}},
                 {L"{H}docs\\sub"}},
        // A restore's source leading to another host folder, and to its own destination.
        LinkCase{"RestoreSourceLinksToHostFolders",
                 false,
                 {{L"{B}docs\\a.txt", "a"}, {L"{H}docs\\a.txt", ""}, {L"{H}other\\o.txt", "o"}},
                 {{L"{B}docs\\other", L"{H}other"}, {L"{B}docs\\self", L"{H}docs"}},
                 L"{B}docs\\",
                 {L"{B}docs\\other\\", L"{B}docs\\self\\"},
                 0,
                 {{L"{H}docs\\a.txt", "a"}},
                 {L"{H}docs\\other", L"{H}docs\\self"}},
        // A host link inside the folder a restore writes into; in a backup, a host link is
        // left out and counted, as every link below a host folder.
        LinkCase{"HostLinkInsideARestoresDestination",
                 false,
                 {{L"{B}docs\\a.txt", "a"}, {L"{B}docs\\z\\f.txt", "f"}, {L"{H}docs\\a.txt", ""}},
                 {{L"{H}docs\\z", L"{O}docs"}},
                 L"{B}docs\\",
                 {L"{H}docs\\z\\"},
                 0,
                 {{L"{H}docs\\a.txt", "a"}},
                 {L"{O}docs\\f.txt"}},
        LinkCase{"HostLinkInABackupIsLeftOut",
                 true,
                 {{L"{H}docs\\a.txt", "a"}},
                 {{L"{H}docs\\z", L"{O}docs"}},
                 L"{H}docs\\",
                 {},
                 1,
                 {{L"{B}docs\\a.txt", "a"}},
                 {L"{B}docs\\z"}},
        // A link to the Backup tree below a backup's root, and below a restore's destination.
        LinkCase{
            "LinkToTheBackupTreeBelowABackupsRoot",
            true,
            {{L"{H}docs\\a.txt", "a"}, {L"{H}docs\\sub\\s.txt", "s"}, {L"{B}docs\\old.txt", "old"}},
            {{L"{H}docs\\bk", L"{R}Backup"}, {L"{H}docs\\sub\\letter", L"{B}"}},
            L"{H}docs\\",
            {},
            2,
            {{L"{B}docs\\a.txt", "a"}, {L"{B}docs\\sub\\s.txt", "s"}},
            {L"{B}docs\\bk", L"{B}docs\\sub\\letter"}},
        LinkCase{"LinkToTheBackupTreeBelowARestoresDestination",
                 false,
                 {{L"{B}docs\\a.txt", "a"}, {L"{B}docs\\bk\\f.txt", "f"}, {L"{H}docs\\k", ""}},
                 {{L"{H}docs\\bk", L"{R}Backup"}},
                 L"{B}docs\\",
                 {L"{H}docs\\bk\\"},
                 0,
                 {{L"{H}docs\\a.txt", "a"}},
                 {L"{R}Backup\\f.txt"}},
        // The folder the user ticked may itself be a link: that is the user's own choice.
        LinkCase{"ATickedFolderThatIsALinkIsFollowed",
                 true,
                 {{L"{H}docs\\a.txt", "a"}},
                 {{L"{H}linked", L"{O}docs"}},
                 L"{H}linked\\",
                 {},
                 0,
                 {{L"{B}linked\\outside.txt", "outside"}},
                 {}}),
    [](const testing::TestParamInfo<LinkCase>& info) { return std::string(info.param.name); });

// File access that shows chosen entries as reparse points with a chosen tag, in their folder's
// listing and in their own information, as Windows shows file symbolic links and cloud
// placeholders: Wine makes no links to files.
class ReparseEntries : public FileAccess {
public:
    explicit ReparseEntries(std::map<std::wstring, DWORD> tags) : tags_(std::move(tags)) {}

    HANDLE FindFirst(const std::wstring& pattern, WIN32_FIND_DATAW& entry, DWORD& error) override {
        HANDLE listing = FileAccess::FindFirst(pattern, entry, error);
        if (listing != INVALID_HANDLE_VALUE) {
            std::lock_guard lock(mutex_);
            folders_[listing] = Plain(pattern.substr(0, pattern.find_last_of(L'\\') + 1));
            Mark(folders_[listing], entry);
        }
        return listing;
    }
    bool FindNext(HANDLE listing, WIN32_FIND_DATAW& entry, DWORD& error) override {
        if (!FileAccess::FindNext(listing, entry, error))
            return false;
        std::lock_guard lock(mutex_);
        Mark(folders_[listing], entry);
        return true;
    }
    bool ReadInfo(const std::wstring& path, FileInfo& info, DWORD& error) override {
        if (!FileAccess::ReadInfo(path, info, error))
            return false;
        if (tags_.contains(Plain(path)))
            info.attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
        return true;
    }
    using FileAccess::ReadInfo;

private:
    static std::wstring Plain(const std::wstring& path) {
        return path.starts_with(L"\\\\?\\") ? path.substr(4) : path;
    }
    void Mark(const std::wstring& folder, WIN32_FIND_DATAW& entry) const {
        if (const auto tag = tags_.find(folder + entry.cFileName); tag != tags_.end()) {
            entry.dwFileAttributes |= FILE_ATTRIBUTE_REPARSE_POINT;
            entry.dwReserved0 = tag->second;
        }
    }
    std::map<std::wstring, DWORD> tags_;
    std::mutex mutex_;
    std::map<HANDLE, std::wstring> folders_;
};

constexpr DWORD kCloudPlaceholderTag = 0x9000601A; // a OneDrive file not yet downloaded

TEST_F(Worker, FileLinksAreLeftOutOnTheHostAndRefusedWhereTheCopyWritesPlaceholdersAreFiles) {
    ASSERT_TRUE(WriteFileAt(H + L"docs\\a.txt", "a"));
    ASSERT_TRUE(WriteFileAt(H + L"docs\\link.txt", "behind a link"));
    ASSERT_TRUE(WriteFileAt(H + L"docs\\cloud.txt", "placeholder"));
    ASSERT_TRUE(WriteFileAt(H + L"docs\\e.txt", "new e"));
    ASSERT_TRUE(WriteFileAt(B + L"docs\\e.txt", "link e"));
    // Backup: a host file link is left out and counted, a link under a destination's name is
    // not written through, a cloud placeholder is a file like any other.
    ReparseEntries backupView({{H + L"docs\\link.txt", IO_REPARSE_TAG_SYMLINK},
                               {H + L"docs\\cloud.txt", kCloudPlaceholderTag},
                               {B + L"docs\\e.txt", IO_REPARSE_TAG_SYMLINK}});
    auto backup = Make(H + L"docs\\", false, true);
    backup->SetFileAccess(backupView);
    std::vector<Handled> handled = Run(*backup);
    std::sort(handled.begin(), handled.end(),
              [](const Handled& x, const Handled& y) { return x.source < y.source; });
    ASSERT_EQ(handled.size(), 3u);
    EXPECT_EQ(handled[0].source, H + L"docs\\a.txt");
    EXPECT_EQ(handled[0].result, CopyDone);
    EXPECT_EQ(handled[1].source, H + L"docs\\cloud.txt");
    EXPECT_EQ(handled[1].result, CopyDone);
    EXPECT_EQ(handled[2].result, CopyLinkNotFollowed);
    EXPECT_EQ(handled[2].destination, B + L"docs\\e.txt");
    EXPECT_EQ(ReadBytes(B + L"docs\\e.txt"), "link e");
    EXPECT_FALSE(FileExists(B + L"docs\\link.txt"));
    EXPECT_EQ(backup->LinksSkipped(), 1u);

    // Restore: a file link in the enclosure's tree is reported and not read; a host file link
    // under a destination's name is not written through.
    ASSERT_TRUE(WriteFileAt(B + L"docs\\link.txt", "from a link"));
    ASSERT_TRUE(WriteFileAt(B + L"docs\\a.txt", "restored a"));
    ReparseEntries restoreView({{B + L"docs\\link.txt", IO_REPARSE_TAG_SYMLINK},
                                {H + L"docs\\e.txt", IO_REPARSE_TAG_SYMLINK}});
    auto restore = Make(B + L"docs\\", false, false);
    restore->SetFileAccess(restoreView);
    handled = Run(*restore);
    std::vector<std::wstring> refused;
    for (const Handled& h : handled) {
        if (h.result == CopyLinkNotFollowed)
            refused.push_back(h.destination);
        else
            EXPECT_EQ(h.result, CopyDone) << h.source;
    }
    std::sort(refused.begin(), refused.end());
    std::vector<std::wstring> expected{B + L"docs\\link.txt", H + L"docs\\e.txt"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(refused, expected);
    EXPECT_EQ(ReadBytes(H + L"docs\\a.txt"), "restored a");
    EXPECT_EQ(ReadBytes(H + L"docs\\link.txt"), "behind a link");
    EXPECT_EQ(ReadBytes(H + L"docs\\e.txt"), "new e");
    EXPECT_EQ(restore->LinksSkipped(), 0u);
}

// The versions tree is on the enclosure too: an earlier copy is never moved, nor a folder made,
// through a link there. The earlier copy stays in the backup, and the file gets its line.
TEST_F(Worker, AnEarlierCopyIsNeverKeptThroughALinkInTheVersionsTree) {
    const std::wstring outside = dir / L"outside";
    ASSERT_TRUE(::CreateDirectoryW(outside.c_str(), nullptr));
    ASSERT_TRUE(WriteFileAt(H + L"docs\\a.txt", "the new content"));
    ASSERT_TRUE(WriteFileAt(B + L"docs\\a.txt", "old"));
    if (!MakeFolderLink(R + L"Backup Versions", outside))
        GTEST_SKIP() << "folder links cannot be made here";
    auto worker = Make(H + L"docs\\", false, true);
    worker->SetEarlierVersions(std::make_shared<EarlierVersions>(R, LocalNowStamp()));
    const std::vector<Handled> handled = Run(*worker);
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].result, CopyLinkNotFollowed);
    EXPECT_EQ(handled[0].destination, R + L"Backup Versions\\");
    EXPECT_EQ(ReadBytes(B + L"docs\\a.txt"), "old");
    EXPECT_TRUE(Snapshot(outside).empty()) << "written through the link";
}

} // namespace

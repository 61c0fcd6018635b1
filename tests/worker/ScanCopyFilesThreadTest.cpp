// The worker as the job window drives it: real files below two drive letters mapped to a fresh
// folder per test, H: standing for the host and R: for the enclosure.
#include "worker/ScanCopyFilesThread.h"
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
    // Only the new file: neither the ancestor behind "up" nor the enclosure's Backup folder,
    // reached directly or through the enclosure's root, is walked again.
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].source, H + L"tree\\sub\\c.txt");
    EXPECT_EQ(second->FilesFound(), 3u);
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

} // namespace

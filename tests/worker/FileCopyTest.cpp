// The copy routines on real files in a fresh folder per test. Where Wine cannot show a
// behaviour (it stores no creation time; no read or write can be made to fail part-way through
// a file), a stand-in at the file access boundary takes the file system's part, and the test
// says so.
#include "worker/FileCopy.h"

#include "worker/CopyResult.h"
#include "worker/CopyState.h"

#include "TempDir.h"
#include "WorkerTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <thread>
#include <vector>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

constexpr std::uint64_t kSomeTime = 132'000'000'000'000'000ull; // a day in 2019

class FileCopy : public testing::Test {
protected:
    void SetUp() override {
        CopyBusy = false;
        CopyPaused = false;
        CopyCancelled = false;
    }
    TempDir dir;
};

TEST_F(FileCopy, CompareFilesAnswersTheFirstDifference) {
    const std::wstring source = dir / L"s.txt";
    const std::wstring copy = dir / L"d.txt";
    ASSERT_TRUE(WriteBytes(source, "abc"));
    ASSERT_TRUE(SetWriteTimeAndAttributes(source, kSomeTime, FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(CompareFiles(dir / L"gone.txt", copy), CompareSourceUnreadable);
    EXPECT_EQ(CompareFiles(source, copy), CompareDestinationMissing);

    ASSERT_TRUE(WriteBytes(copy, "abc"));
    ASSERT_TRUE(SetWriteTimeAndAttributes(copy, kSomeTime, FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(CompareFiles(source, copy), CompareIdentical);
    ASSERT_TRUE(SetWriteTimeAndAttributes(copy, kSomeTime + 10'000'000, FILE_ATTRIBUTE_ARCHIVE));
    // Wine reports the last-write time as the creation time, so a changed write time shows as a
    // changed creation time here; 105 alone is shown below with a stand-in.
    EXPECT_NE(CompareFiles(source, copy), CompareIdentical);
    ASSERT_TRUE(SetWriteTimeAndAttributes(copy, kSomeTime, FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(CompareFiles(source, copy), CompareAttributesDiffer);
    ASSERT_TRUE(WriteBytes(copy, "abcd"));
    ASSERT_TRUE(SetWriteTimeAndAttributes(copy, kSomeTime, FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(CompareFiles(source, copy), CompareSizesDiffer);
}

TEST_F(FileCopy, CopiesDataTimesAndAttributesIntoNewFolders) {
    const std::wstring source = dir / L"s.bin";
    const std::wstring destination = dir / L"new\\deeper\\d.bin";
    const std::string data = Pattern(2'500'001, 1); // several chunks and a short last block
    ASSERT_TRUE(WriteBytes(source, data));
    ASSERT_TRUE(SetWriteTimeAndAttributes(source, kSomeTime, FILE_ATTRIBUTE_ARCHIVE));

    EXPECT_EQ(RunFileCopy(source, destination), CopyDone);
    EXPECT_EQ(ReadBytes(destination), data);
    EXPECT_EQ(CopyPercent.load(), 100);
    EXPECT_FALSE(CopyBusy.load());
    EXPECT_EQ(CompareFiles(source, destination), CompareIdentical);
    EXPECT_TRUE(TemporaryFilesIn(dir / L"new\\deeper").empty());
}

TEST_F(FileCopy, EmptySourceGivesEmptyDestinationWithItsTimesAndAttributes) {
    const std::wstring source = dir / L"empty";
    const std::wstring destination = dir / L"out\\empty";
    ASSERT_TRUE(WriteBytes(source, ""));
    ASSERT_TRUE(SetWriteTimeAndAttributes(source, kSomeTime, FILE_ATTRIBUTE_HIDDEN));
    CopyPercent = 42;
    EXPECT_EQ(RunFileCopy(source, destination), CopyDone);
    EXPECT_TRUE(FileExists(destination));
    EXPECT_EQ(InfoOf(destination).size, 0u);
    EXPECT_EQ(CopyPercent.load(), 100);
    EXPECT_EQ(CompareFiles(source, destination), CompareIdentical);
}

TEST_F(FileCopy, ReadOnlyHiddenSystemDestinationIsReplacedAndGetsTheSourcesAttributes) {
    const std::wstring source = dir / L"s.txt";
    const std::wstring destination = dir / L"d.txt";
    constexpr DWORD kAll = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE;
    ASSERT_TRUE(WriteBytes(destination, "an earlier backup"));
    ASSERT_TRUE(SetWriteTimeAndAttributes(destination, kSomeTime, kAll));
    ASSERT_TRUE(WriteBytes(source, "the new content"));
    ASSERT_TRUE(SetWriteTimeAndAttributes(source, kSomeTime + 1, kAll));

    EXPECT_EQ(RunFileCopy(source, destination), CopyDone);
    EXPECT_EQ(ReadBytes(destination), "the new content");
    EXPECT_EQ(InfoOf(destination).attributes, kAll);
    EXPECT_EQ(CompareFiles(source, destination), CompareIdentical);
}

// The codes each failure gives, with what stays at the destination afterwards.
TEST_F(FileCopy, MissingSourceGivesThree) {
    EXPECT_EQ(RunFileCopy(dir / L"gone.txt", dir / L"d.txt"), CopySourceInfoFailed);
    EXPECT_FALSE(FileExists(dir / L"d.txt"));
}

TEST_F(FileCopy, FolderThatCannotBeCreatedGivesEight) {
    // A file stands where a folder of the destination's path should be.
    ASSERT_TRUE(WriteBytes(dir / L"s.txt", "x"));
    ASSERT_TRUE(WriteBytes(dir / L"blocker", "a file"));
    EXPECT_EQ(RunFileCopy(dir / L"s.txt", dir / L"blocker\\sub\\d.txt"), CopyFolderCreateFailed);
    EXPECT_EQ(ReadBytes(dir / L"blocker"), "a file");
}

TEST_F(FileCopy, FolderInPlaceOfTheDestinationGivesNine) {
    ASSERT_TRUE(WriteBytes(dir / L"s.txt", "x"));
    ASSERT_TRUE(::CreateDirectoryW((dir / L"d.txt").c_str(), nullptr));
    EXPECT_EQ(RunFileCopy(dir / L"s.txt", dir / L"d.txt"), CopyDestinationWriteFailed);
    EXPECT_TRUE(InfoOf(dir / L"d.txt").attributes & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(TemporaryFilesIn(dir.Path()).empty());
}

TEST_F(FileCopy, DestinationInUseGivesNineAndKeepsTheEarlierFile) {
    // Another program holds the earlier copy open: the new data was written whole, but it may
    // not take the file's place, and the earlier copy stays as it was.
    ASSERT_TRUE(WriteBytes(dir / L"s.txt", Pattern(3'000'000, 2)));
    ASSERT_TRUE(WriteBytes(dir / L"d.txt", "earlier"));
    ASSERT_TRUE(SetWriteTimeAndAttributes(dir / L"d.txt", kSomeTime, FILE_ATTRIBUTE_READONLY));
    {
        win::FileHandle holder(::CreateFileW((dir / L"d.txt").c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.Valid());
        EXPECT_EQ(RunFileCopy(dir / L"s.txt", dir / L"d.txt"), CopyDestinationWriteFailed);
    }
    EXPECT_EQ(ReadBytes(dir / L"d.txt"), "earlier");
    const Info info = InfoOf(dir / L"d.txt");
    EXPECT_EQ(info.lastWrite, kSomeTime);
    EXPECT_TRUE(info.attributes & FILE_ATTRIBUTE_READONLY); // put back after the refusal
    EXPECT_TRUE(TemporaryFilesIn(dir.Path()).empty());
}

// Held open with no sharing at all: the copy fails as above, and nothing but the earlier file
// stays in the folder (Wine's replacement call would leave its own backup file beside it).
TEST_F(FileCopy, DestinationLockedLeavesOnlyTheEarlierFile) {
    ASSERT_TRUE(WriteBytes(dir / L"s.txt", Pattern(200'000, 3)));
    ASSERT_TRUE(WriteBytes(dir / L"d.txt", "earlier"));
    {
        win::FileHandle holder(::CreateFileW((dir / L"d.txt").c_str(), GENERIC_READ, 0, nullptr,
                                             OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.Valid());
        EXPECT_EQ(RunFileCopy(dir / L"s.txt", dir / L"d.txt"), CopyDestinationWriteFailed);
    }
    EXPECT_EQ(ReadBytes(dir / L"d.txt"), "earlier");
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    win::FindHandle listing(::FindFirstFileW((dir / L"*").c_str(), &entry));
    ASSERT_TRUE(listing.Valid());
    do {
        if (entry.cFileName != std::wstring(L".") && entry.cFileName != std::wstring(L".."))
            names.push_back(entry.cFileName);
    } while (::FindNextFileW(listing.Get(), &entry));
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"d.txt", L"s.txt"}));
}

// Another program holds the source in a way that excludes the copy: locked without any sharing,
// or open for writing (a mail store, a running virtual disk) with every sharing a writer usually
// grants. Either way the file is in use, and the earlier copy stays as it was.
TEST_F(FileCopy, ASourceAnotherProgramHoldsIsInUseAndTheEarlierCopyStays) {
    struct Case {
        const char* name;
        DWORD access, share;
    };
    const Case cases[] = {
        {"locked, shared with nobody", GENERIC_READ, 0},
        {"open for writing, shared for reading and writing", GENERIC_WRITE,
         FILE_SHARE_READ | FILE_SHARE_WRITE},
        {"open for appending, shared with everyone", FILE_APPEND_DATA,
         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        ASSERT_TRUE(WriteBytes(folder / L"s.txt", Pattern(40'000, 1)));
        ASSERT_TRUE(WriteBytes(folder / L"d.txt", "earlier"));
        ASSERT_TRUE(
            SetWriteTimeAndAttributes(folder / L"d.txt", kSomeTime, FILE_ATTRIBUTE_ARCHIVE));
        win::FileHandle holder(::CreateFileW((folder / L"s.txt").c_str(), c.access, c.share,
                                             nullptr, OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(holder.Valid());
        EXPECT_EQ(RunFileCopy(folder / L"s.txt", folder / L"d.txt"), CopySourceInUse);
        EXPECT_EQ(ReadBytes(folder / L"d.txt"), "earlier");
        EXPECT_EQ(InfoOf(folder / L"d.txt").lastWrite, kSomeTime);
        EXPECT_TRUE(TemporaryFilesIn(folder.Path()).empty());
        // Nor is a new destination made.
        EXPECT_EQ(RunFileCopy(folder / L"s.txt", folder / L"new.txt"), CopySourceInUse);
        EXPECT_FALSE(FileExists(folder / L"new.txt"));
    }
}

// A reader that shares reading only is no writer: the copy goes ahead.
TEST_F(FileCopy, ASourceOpenForReadingIsCopied) {
    ASSERT_TRUE(WriteBytes(dir / L"s.txt", "content"));
    win::FileHandle reader(::CreateFileW((dir / L"s.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                         nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(reader.Valid());
    EXPECT_EQ(RunFileCopy(dir / L"s.txt", dir / L"d.txt"), CopyDone);
    EXPECT_EQ(ReadBytes(dir / L"d.txt"), "content");
}

// What another program can still do to a source while it is copied, where sharing does not
// stop it (a Linux program under Wine, a file on a network share, a program that held the file
// mapped), played by a stand-in: once the copy has read its first chunk, the source grows,
// shrinks, or is rewritten with its last-write time set back (only its change time shows it).
class SourceChangesMidCopy : public FileAccess {
public:
    enum class Change { None, Grows, Shrinks, RewrittenWithItsOldTime };
    SourceChangesMidCopy(Change change, std::wstring source)
        : change_(change), source_(std::move(source)) {}

    HANDLE Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) override {
        HANDLE file = FileAccess::Open(path, access, share, disposition, flags);
        if (path.ends_with(source_))
            input_ = file;
        return file;
    }
    bool Read(HANDLE file, void* buffer, DWORD size, DWORD& got) override {
        if (file != input_)
            return FileAccess::Read(file, buffer, size, got);
        got = 0;
        if (change_ == Change::Shrinks && read_ >= kShrunkTo)
            return true; // the end of a file cut short
        const DWORD wanted =
            change_ == Change::Shrinks
                ? static_cast<DWORD>(std::min<std::uint64_t>(size, kShrunkTo - read_))
                : size;
        const bool ok = FileAccess::Read(file, buffer, wanted, got);
        read_ += got;
        return ok;
    }
    bool ReadInfo(HANDLE file, FileInfo& info) override {
        if (!FileAccess::ReadInfo(file, info))
            return false;
        if (file != input_ || read_ == 0)
            return true;
        switch (change_) {
        case Change::None:
            break;
        case Change::Grows:
            info.size += 100'000;
            info.lastWriteTime += 10'000'000;
            info.changeTime += 10'000'000;
            break;
        case Change::Shrinks:
            info.size = kShrunkTo;
            info.lastWriteTime += 10'000'000;
            info.changeTime += 10'000'000;
            break;
        case Change::RewrittenWithItsOldTime:
            info.changeTime += 10'000'000;
            break;
        }
        return true;
    }
    using FileAccess::ReadInfo;

private:
    static constexpr std::uint64_t kShrunkTo = 1'500'000;
    Change change_;
    std::wstring source_;
    HANDLE input_ = INVALID_HANDLE_VALUE;
    std::uint64_t read_ = 0;
};

TEST_F(FileCopy, ASourceThatChangesDuringTheCopyNeverTakesTheEarlierCopysPlace) {
    using Change = SourceChangesMidCopy::Change;
    struct Case {
        const char* name;
        Change change;
        int result;
    };
    const Case cases[] = {
        {"unchanged", Change::None, CopyDone},
        {"grows", Change::Grows, CopySourceChanged},
        {"shrinks", Change::Shrinks, CopySourceChanged},
        {"rewritten with its old time", Change::RewrittenWithItsOldTime, CopySourceChanged},
    };
    for (const Case& c : cases) {
        for (const bool earlier : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (earlier ? ", over an earlier copy" : ", new"));
            TempDir folder;
            const std::wstring source = folder / L"s.bin";
            const std::wstring destination = folder / L"d.bin";
            const std::string data = Pattern(3'000'000, 1); // several chunks
            ASSERT_TRUE(WriteBytes(source, data));
            ASSERT_TRUE(SetWriteTimeAndAttributes(source, kSomeTime, FILE_ATTRIBUTE_ARCHIVE));
            if (earlier) {
                ASSERT_TRUE(WriteBytes(destination, "earlier"));
                ASSERT_TRUE(SetWriteTimeAndAttributes(destination, kSomeTime - 10'000'000,
                                                      FILE_ATTRIBUTE_ARCHIVE));
            }
            SourceChangesMidCopy changing(c.change, L"\\s.bin");
            EXPECT_EQ(RunFileCopy(source, destination, changing), c.result);
            EXPECT_TRUE(TemporaryFilesIn(folder.Path()).empty());
            if (c.result == CopyDone) {
                EXPECT_TRUE(ReadBytes(destination) == data);
            } else if (earlier) {
                EXPECT_EQ(ReadBytes(destination), "earlier");
                EXPECT_EQ(InfoOf(destination).lastWrite, kSomeTime - 10'000'000);
            } else {
                EXPECT_FALSE(FileExists(destination));
            }
        }
    }
}

TEST_F(FileCopy, SecondCopyWhileOneRunsGivesOne) {
    // A copy held inside its file keeps CopyBusy; a second one is refused and touches nothing.
    const std::string data = Pattern(3'000'000, 3);
    ASSERT_TRUE(WriteBytes(dir / L"big.bin", data));
    ASSERT_TRUE(WriteBytes(dir / L"other.txt", "x"));
    GatedFileAccess gated(1'024'000);
    int first = -1;
    std::thread copier([&] { first = RunFileCopy(dir / L"big.bin", dir / L"big.out", gated); });
    ASSERT_TRUE(gated.WaitReached());
    EXPECT_TRUE(CopyBusy.load());
    EXPECT_EQ(RunFileCopy(dir / L"other.txt", dir / L"other.out"), CopyBusyElsewhere);
    EXPECT_FALSE(FileExists(dir / L"other.out"));
    gated.Open();
    copier.join();
    EXPECT_EQ(first, CopyDone);
    EXPECT_EQ(ReadBytes(dir / L"big.out"), data);
}

TEST_F(FileCopy, CancelInsideANewFileLeavesNoFile) {
    // No earlier copy: the file is still written under a temporary name, never as a half file
    // under its own, and removed on cancel.
    ASSERT_TRUE(WriteBytes(dir / L"big.bin", Pattern(3'000'000, 6)));
    GatedFileAccess gated(1'024'000);
    int code = -1;
    std::thread copier([&] { code = RunFileCopy(dir / L"big.bin", dir / L"out\\big.bin", gated); });
    ASSERT_TRUE(gated.WaitReached());
    EXPECT_FALSE(FileExists(dir / L"out\\big.bin"));
    EXPECT_EQ(TemporaryFilesIn(dir / L"out").size(), 1u);
    CopyCancelled = true;
    gated.Open();
    copier.join();
    EXPECT_EQ(code, CopyCancelledMidFile);
    EXPECT_FALSE(FileExists(dir / L"out\\big.bin"));
    EXPECT_TRUE(TemporaryFilesIn(dir / L"out").empty());
}

// Wine cannot fail a read or a write in the middle of a file; the stand-in does, at a chosen
// byte. The earlier destination must come through byte for byte, and nothing of the new data
// may stay behind.
struct FailureCase {
    FailingFileAccess::What what;
    int expected;
};

class FileCopyFailure : public FileCopy, public testing::WithParamInterface<FailureCase> {};

TEST_P(FileCopyFailure, LeavesTheEarlierDestinationAsItWas) {
    const std::string earlier = Pattern(1'500'000, 4);
    ASSERT_TRUE(WriteBytes(dir / L"s.bin", Pattern(3'000'000, 5)));
    ASSERT_TRUE(WriteBytes(dir / L"d.bin", earlier));
    ASSERT_TRUE(SetWriteTimeAndAttributes(dir / L"d.bin", kSomeTime, FILE_ATTRIBUTE_ARCHIVE));
    FailingFileAccess failing(GetParam().what, 2'000'000);
    EXPECT_EQ(RunFileCopy(dir / L"s.bin", dir / L"d.bin", failing), GetParam().expected);
    EXPECT_EQ(ReadBytes(dir / L"d.bin"), earlier);
    EXPECT_EQ(InfoOf(dir / L"d.bin").lastWrite, kSomeTime);
    EXPECT_TRUE(TemporaryFilesIn(dir.Path()).empty());
}

INSTANTIATE_TEST_SUITE_P(
    ReadAndWrite, FileCopyFailure,
    testing::Values(FailureCase{FailingFileAccess::What::Reads, CopySourceReadFailed},
                    FailureCase{FailingFileAccess::What::Writes, CopyDestinationWriteFailed},
                    // The data did not surely reach the disk: it must not replace the earlier copy.
                    FailureCase{FailingFileAccess::What::Flushes, CopyDestinationWriteFailed}));

// Wine stores no creation time, so this stand-in keeps one per file as NTFS would, and lets a
// test make the attribute step fail.
class CreationTimeStore : public FileAccess {
public:
    std::map<std::wstring, std::uint64_t> creation; // by path
    std::uint64_t openSourceCreation = 0;
    std::wstring appliedTo;
    std::uint64_t sizeWhenApplied = 0;
    bool refuseApply = false;
    DWORD refuseReadWith = 0;

    bool ReadInfo(const std::wstring& path, FileInfo& info, DWORD& error) override {
        if (refuseReadWith != 0) {
            error = refuseReadWith;
            return false;
        }
        if (!FileAccess::ReadInfo(path, info, error))
            return false;
        if (auto it = creation.find(path); it != creation.end())
            info.creationTime = it->second;
        return true;
    }
    bool ReadInfo(HANDLE file, FileInfo& info) override {
        if (!FileAccess::ReadInfo(file, info))
            return false;
        info.creationTime = openSourceCreation;
        return true;
    }
    bool ApplyInfo(HANDLE file, const std::wstring& path, const FileInfo& info) override {
        appliedTo = path;
        sizeWhenApplied = InfoOf(path).size; // the copy holds the file open
        if (refuseApply)
            return false;
        creation[path] = info.creationTime;
        return FileAccess::ApplyInfo(file, path, info);
    }
};

TEST_F(FileCopy, CreationTimeGoesToTheFinalFileAndMakesThePairIdentical) {
    const std::wstring source = dir / L"s.txt";
    const std::wstring destination = dir / L"d.txt";
    ASSERT_TRUE(WriteBytes(source, "content"));
    ASSERT_TRUE(SetWriteTimeAndAttributes(source, kSomeTime, FILE_ATTRIBUTE_ARCHIVE));
    CreationTimeStore store;
    store.creation[source] = store.openSourceCreation = kSomeTime - 5'000'000'000;

    EXPECT_EQ(RunFileCopy(source, destination, store), CopyDone);
    // Applied through the destination's own name, after the data was in place: a creation time
    // tunnelled to the new file by the rename is overwritten.
    EXPECT_EQ(store.appliedTo, destination);
    EXPECT_EQ(store.sizeWhenApplied, 7u);
    EXPECT_EQ(store.creation[destination], kSomeTime - 5'000'000'000);
    EXPECT_EQ(CompareFiles(source, destination, store), CompareIdentical);

    // Same attributes, size and write time, another creation time: 103, the copy is redone.
    store.creation[destination] += 1;
    EXPECT_EQ(CompareFiles(source, destination, store), CompareCreationTimesDiffer);
    // Same creation time, another write time: 105.
    store.creation[destination] -= 1;
    ASSERT_TRUE(SetWriteTimeAndAttributes(destination, kSomeTime + 1, FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(CompareFiles(source, destination, store), CompareLastWriteTimesDiffer);
}

TEST_F(FileCopy, RefusedTimesGiveOneHundredSixAndKeepTheData) {
    ASSERT_TRUE(WriteBytes(dir / L"s.txt", "whole data"));
    CreationTimeStore store;
    store.refuseApply = true;
    EXPECT_EQ(RunFileCopy(dir / L"s.txt", dir / L"d.txt", store), CopyApplyInfoFailed);
    EXPECT_EQ(ReadBytes(dir / L"d.txt"), "whole data");
    EXPECT_TRUE(TemporaryFilesIn(dir.Path()).empty());
}

TEST_F(FileCopy, CopyFileInfoCodes) {
    ASSERT_TRUE(WriteBytes(dir / L"s.txt", "x"));
    ASSERT_TRUE(SetWriteTimeAndAttributes(dir / L"s.txt", kSomeTime,
                                          FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(WriteBytes(dir / L"d.txt", "x"));
    ASSERT_TRUE(SetWriteTimeAndAttributes(dir / L"d.txt", kSomeTime + 99, FILE_ATTRIBUTE_READONLY));

    EXPECT_EQ(CopyFileInfo(dir / L"d.txt", dir / L"s.txt"), CopyDone);
    EXPECT_EQ(CompareFiles(dir / L"s.txt", dir / L"d.txt"), CompareIdentical);
    EXPECT_EQ(CopyFileInfo(dir / L"d.txt", dir / L"gone.txt"), CopySourceInfoFailed);
    EXPECT_EQ(CopyFileInfo(dir / L"d.txt", dir / L"nofolder\\gone.txt"), CopySourceInfoFailed);
    EXPECT_EQ(CopyFileInfo(dir / L"missing.txt", dir / L"s.txt"), CopyApplyInfoFailed);
    // A source that exists but cannot be read for another reason; Wine gives no such file.
    CreationTimeStore store;
    store.refuseReadWith = ERROR_ACCESS_DENIED;
    EXPECT_EQ(CopyFileInfo(dir / L"d.txt", dir / L"s.txt", store), CopySourceInfoLateFailed);
}

// Records the steps that decide what a cut cable can leave behind.
class StepRecorder : public FileAccess {
public:
    std::vector<std::string> steps;
    bool Flush(HANDLE file) override {
        steps.push_back("flush");
        return FileAccess::Flush(file);
    }
    bool Replace(const std::wstring& destination, const std::wstring& replacement,
                 DWORD& error) override {
        steps.push_back("replace");
        return FileAccess::Replace(destination, replacement, error);
    }
    bool ApplyInfo(HANDLE file, const std::wstring& path, const FileInfo& info) override {
        steps.push_back("times");
        return FileAccess::ApplyInfo(file, path, info);
    }
};

TEST_F(FileCopy, DataReachesTheDiskBeforeItReplacesTheEarlierFileOrGetsItsTimes) {
    struct Case {
        const char* name;
        bool earlier;
        std::vector<std::string> steps;
    };
    const Case cases[] = {
        {"a new file", false, {"flush", "times"}},
        {"a replaced file", true, {"flush", "replace", "times"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        ASSERT_TRUE(WriteBytes(folder / L"s.txt", "new"));
        if (c.earlier) {
            ASSERT_TRUE(WriteBytes(folder / L"d.txt", "earlier"));
        }
        StepRecorder recorder;
        EXPECT_EQ(RunFileCopy(folder / L"s.txt", folder / L"d.txt", recorder), CopyDone);
        EXPECT_EQ(recorder.steps, c.steps);
    }
}

// A volume too full for a second copy beside the earlier one: a temporary file takes at most
// `free` bytes before its writes fail with "disk full", and the volume reports `free` bytes free.
// Each removal of an old version (the plan's makeRoom) gives back `freedPerRemoval` bytes, until
// `removable` folders are gone. It can also cancel when the copy beside fails. Wine's own disks
// under test are never that full; the end-to-end tests fill a small one for real.
class FullVolume : public FileAccess {
public:
    std::uint64_t free = 0; // what the volume reports
    std::uint64_t room = 0; // what a temporary file can really take
    std::uint64_t freedPerRemoval = 0;
    int removable = 0;
    int removed = 0;
    bool cancelWhenFull = false;

    explicit FullVolume(std::uint64_t freeBytes) : free(freeBytes), room(freeBytes) {}
    bool MakeRoom() {
        if (removed == removable)
            return false;
        ++removed;
        free += freedPerRemoval;
        room += freedPerRemoval;
        return true;
    }
    HANDLE Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) override {
        if (disposition == CREATE_NEW)
            written_ = 0; // a new temporary file: the last one was discarded
        return FileAccess::Open(path, access, share, disposition, flags);
    }
    bool Write(HANDLE file, const void* data, DWORD size, DWORD& put) override {
        put = 0;
        const DWORD fits = static_cast<DWORD>(std::min<std::uint64_t>(size, room - written_));
        if (fits == 0) {
            if (cancelWhenFull)
                CopyCancelled = true;
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        const bool ok = FileAccess::Write(file, data, fits, put);
        written_ += put;
        return ok;
    }
    bool FreeSpace(const std::wstring&, std::uint64_t& bytes) override {
        bytes = free;
        return true;
    }

private:
    std::uint64_t written_ = 0;
};

// The earlier copy is never emptied or written over to make room: old versions are removed
// until the new data fits beside it, or the earlier copy stays and the file fails.
TEST_F(FileCopy, NoRoomBesideTheEarlierFileNeverEmptiesIt) {
    constexpr std::uint64_t kMiB = 1024 * 1024;
    struct Case {
        const char* name;
        bool plan; // a backup's plan, which keeps the earlier copy and can make room
        std::uint64_t free, freedPerRemoval;
        int removable;
        bool cancelWhenFull;
        int result;
        int removed;
        bool fresh; // the destination holds the new data, the earlier copy lies in its version
    };
    // The new data is 50,000 bytes; a file needs 1 MiB of room beyond its data.
    const Case cases[] = {
        {"fits after one old version is removed", true, 40'000, 2 * kMiB, 3, false, CopyDone, 1,
         true},
        {"fits after two", true, 40'000, kMiB / 2 + 10'000, 3, false, CopyDone, 2, true},
        {"nothing old enough to remove", true, 40'000, kMiB, 0, false, CopyNoRoomToKeepEarlierCopy,
         0, false},
        {"not enough even with every old version gone", true, 40'000, 1000, 2, false,
         CopyNoRoomToKeepEarlierCopy, 2, false},
        // The volume had room for the new data: "disk full" meant something else, and removing
        // versions would not help.
        {"the volume says it fits", true, 40'000 + 2 * kMiB, kMiB, 3, false,
         CopyDestinationWriteFailed, 0, false},
        {"no plan (a restore): the user's file is kept", false, 40'000, kMiB, 3, false,
         CopyDestinationWriteFailed, 0, false},
        {"cancelled when the copy beside fails", true, 40'000, 2 * kMiB, 3, true,
         CopyCancelledMidFile, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const std::wstring source = folder / L"s.bin";
        const std::wstring destination = folder / L"d.bin";
        const std::wstring version = folder / L"versions\\d.bin";
        const std::string fresh = Pattern(50'000, 1);
        const std::string earlier = Pattern(60'000, 2);
        ASSERT_TRUE(WriteBytes(source, fresh));
        ASSERT_TRUE(SetWriteTimeAndAttributes(source, kSomeTime, FILE_ATTRIBUTE_ARCHIVE));
        ASSERT_TRUE(WriteBytes(destination, earlier));
        constexpr DWORD kProtected = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
        ASSERT_TRUE(SetWriteTimeAndAttributes(destination, kSomeTime - 10'000'000,
                                              kProtected | FILE_ATTRIBUTE_ARCHIVE));
        FullVolume volume(c.free);
        volume.room = 40'000; // never enough for the 50,000 bytes
        volume.freedPerRemoval = c.freedPerRemoval;
        volume.removable = c.removable;
        volume.cancelWhenFull = c.cancelWhenFull;
        CopyPlan plan;
        if (c.plan) {
            plan.keepEarlierAt = version;
            plan.makeRoom = [&volume] { return volume.MakeRoom(); };
        }
        EXPECT_EQ(RunFileCopy(source, destination, volume, nullptr, &plan), c.result);
        EXPECT_EQ(volume.removed, c.removed);
        EXPECT_TRUE(TemporaryFilesIn(folder.Path()).empty());
        EXPECT_EQ(plan.earlierKept, c.fresh);
        // Wherever the earlier copy is, it is whole, with its time and its attributes.
        const std::wstring earlierAt = c.fresh ? version : destination;
        EXPECT_EQ(ReadBytes(earlierAt), earlier);
        EXPECT_EQ(InfoOf(earlierAt).lastWrite, kSomeTime - 10'000'000);
        EXPECT_EQ(InfoOf(earlierAt).attributes & kProtected, kProtected);
        if (c.fresh) {
            EXPECT_EQ(ReadBytes(destination), fresh);
            EXPECT_EQ(InfoOf(destination).lastWrite, kSomeTime);
        } else {
            EXPECT_FALSE(FileExists(version));
        }
    }
}

// A replaced file goes where the plan says, by a rename: the same bytes and times, and the new
// data in its place. Without a place the earlier file is replaced as before.
TEST_F(FileCopy, TheReplacedFileIsMovedWhereThePlanSaysWithItsTimes) {
    struct Case {
        const char* name;
        bool earlier;
        std::wstring keepAt; // relative; empty: none
    };
    const Case cases[] = {
        {"kept in a folder that does not exist yet", true, L"Backup Versions\\2026 x\\C\\d.txt"},
        {"kept beside, under another name", true, L"d (before restore).txt"},
        {"no place: replaced", true, L""},
        {"nothing to replace", false, L"Backup Versions\\2026 x\\C\\d.txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        ASSERT_TRUE(WriteBytes(folder / L"s.txt", "new content"));
        ASSERT_TRUE(
            SetWriteTimeAndAttributes(folder / L"s.txt", kSomeTime, FILE_ATTRIBUTE_ARCHIVE));
        if (c.earlier) {
            ASSERT_TRUE(WriteBytes(folder / L"d.txt", "earlier content"));
            ASSERT_TRUE(SetWriteTimeAndAttributes(folder / L"d.txt", kSomeTime - 70'000'000,
                                                  FILE_ATTRIBUTE_ARCHIVE));
        }
        CopyPlan plan;
        if (!c.keepAt.empty())
            plan.keepEarlierAt = folder / c.keepAt;
        ASSERT_EQ(
            RunFileCopy(folder / L"s.txt", folder / L"d.txt", SystemFileAccess(), nullptr, &plan),
            CopyDone);
        EXPECT_EQ(ReadBytes(folder / L"d.txt"), "new content");
        EXPECT_EQ(InfoOf(folder / L"d.txt").lastWrite, kSomeTime);
        EXPECT_EQ(plan.earlierKept, c.earlier && !c.keepAt.empty());
        if (plan.earlierKept) {
            EXPECT_EQ(ReadBytes(plan.keepEarlierAt), "earlier content");
            EXPECT_EQ(InfoOf(plan.keepEarlierAt).lastWrite, kSomeTime - 70'000'000);
        } else if (!c.keepAt.empty()) {
            EXPECT_FALSE(FileExists(plan.keepEarlierAt));
        }
        EXPECT_TRUE(TemporaryFilesIn(folder.Path()).empty());
    }
}

// A copy cut off at any step leaves under the destination's name either nothing or the earlier
// file, never part of the new data: the name is taken only by a whole, flushed file.
TEST_F(FileCopy, NoFileUnderTheRealNameIsEverHalfWritten) {
    const std::string fresh = Pattern(3'000'000, 7);
    for (const bool earlier : {false, true}) {
        // The copy reads in large blocks; each of these is where one begins.
        for (const std::uint64_t at : {0ull, 1'024'000ull, 2'048'000ull}) {
            SCOPED_TRACE(std::string(earlier ? "replacing" : "new") + " at " + std::to_string(at));
            TempDir folder;
            const std::wstring destination = folder / L"d.bin";
            ASSERT_TRUE(WriteBytes(folder / L"s.bin", fresh));
            if (earlier) {
                ASSERT_TRUE(WriteBytes(destination, "earlier"));
            }
            GatedFileAccess gated(at);
            int code = -1;
            std::thread copier([&] { code = RunFileCopy(folder / L"s.bin", destination, gated); });
            // The moment a crash or a pulled cable would freeze.
            if (gated.WaitReached(60'000)) {
                if (earlier)
                    EXPECT_EQ(ReadBytes(destination), "earlier");
                else
                    EXPECT_FALSE(FileExists(destination));
            } else {
                ADD_FAILURE() << "the copy never reached the byte";
            }
            gated.Open();
            copier.join();
            EXPECT_EQ(code, CopyDone);
            EXPECT_TRUE(ReadBytes(destination) == fresh);
        }
    }
}

// How a replace can fail on Windows, played out on real files: Wine's own ReplaceFileW leaves
// the earlier file in place when it fails, so these come from a stand-in.
class ReplaceFaults : public FileAccess {
public:
    enum class Fault {
        Refused,        // 1175: nothing was changed
        Removes,        // 1176 without a backup name: the earlier file is deleted
        MovesAway,      // 1177: the earlier file is under another name
        DeletedMidCopy, // another program deletes the earlier file while the copy runs
        MoveRefused,    // 1176, and the new data cannot be moved to the name either
    };
    ReplaceFaults(Fault fault, std::wstring destination, std::wstring movedAway)
        : fault_(fault), destination_(std::move(destination)), movedAway_(std::move(movedAway)) {}

    bool Write(HANDLE file, const void* data, DWORD size, DWORD& put) override {
        if (fault_ == Fault::DeletedMidCopy)
            ::DeleteFileW(destination_.c_str());
        return FileAccess::Write(file, data, size, put);
    }
    bool Replace(const std::wstring& destination, const std::wstring& replacement,
                 DWORD& error) override {
        switch (fault_) {
        case Fault::Refused:
            error = ERROR_UNABLE_TO_REMOVE_REPLACED;
            return false;
        case Fault::Removes:
        case Fault::MoveRefused:
            ::DeleteFileW(destination.c_str());
            error = ERROR_UNABLE_TO_MOVE_REPLACEMENT;
            return false;
        case Fault::MovesAway:
            ::MoveFileW(destination.c_str(), movedAway_.c_str());
            error = ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
            return false;
        case Fault::DeletedMidCopy:
            break;
        }
        return FileAccess::Replace(destination, replacement, error);
    }
    bool Move(const std::wstring& from, const std::wstring& to, DWORD& error) override {
        if (fault_ != Fault::MoveRefused)
            return FileAccess::Move(from, to, error);
        error = ERROR_SHARING_VIOLATION; // a virus scanner holds the new file
        return false;
    }

private:
    Fault fault_;
    std::wstring destination_;
    std::wstring movedAway_;
};

TEST_F(FileCopy, AFailedReplaceNeverLosesTheEarlierFileAndTheNewDataBoth) {
    using Fault = ReplaceFaults::Fault;
    enum class Holds { Fresh, Earlier, Nothing };
    struct Case {
        const char* name;
        Fault fault;
        int result;
        Holds destination;
        bool kept; // the new data stays under its temporary name
    };
    const Case cases[] = {
        {"refused: the earlier file is kept", Fault::Refused, CopyDestinationWriteFailed,
         Holds::Earlier, false},
        {"the earlier file removed", Fault::Removes, CopyDone, Holds::Fresh, false},
        {"the earlier file moved away", Fault::MovesAway, CopyDone, Holds::Fresh, false},
        {"the earlier file deleted during the copy", Fault::DeletedMidCopy, CopyDone, Holds::Fresh,
         false},
        {"the move by name refused too", Fault::MoveRefused, CopyKeptUnderTemporaryName,
         Holds::Nothing, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const std::wstring source = folder / L"s.bin";
        const std::wstring destination = folder / L"d.bin";
        const std::string fresh = Pattern(30'000, 1);
        const std::string earlier = Pattern(20'000, 2);
        ASSERT_TRUE(WriteBytes(source, fresh));
        ASSERT_TRUE(SetWriteTimeAndAttributes(source, kSomeTime, FILE_ATTRIBUTE_ARCHIVE));
        ASSERT_TRUE(WriteBytes(destination, earlier));
        ReplaceFaults faults(c.fault, destination, folder / L"elsewhere.bin");
        std::wstring keptPath;
        EXPECT_EQ(RunFileCopy(source, destination, faults, &keptPath), c.result);
        switch (c.destination) {
        case Holds::Fresh:
            EXPECT_EQ(ReadBytes(destination), fresh);
            EXPECT_EQ(InfoOf(destination).lastWrite, kSomeTime);
            break;
        case Holds::Earlier:
            EXPECT_EQ(ReadBytes(destination), earlier);
            break;
        case Holds::Nothing:
            EXPECT_FALSE(FileExists(destination));
            break;
        }
        const std::vector<std::wstring> temporary = TemporaryFilesIn(folder.Path());
        if (c.kept) {
            ASSERT_EQ(temporary.size(), 1u);
            EXPECT_EQ(keptPath, folder / temporary.front());
            EXPECT_EQ(ReadBytes(keptPath), fresh);
        } else {
            EXPECT_TRUE(temporary.empty());
            EXPECT_TRUE(keptPath.empty());
        }
    }
}

// A really full volume: the earlier copy is never emptied to make room. Without a way to make
// room the file fails and the earlier copy stays; a plan that frees space (here by deleting a
// filler file, as removing an old version folder does) lets it through, the earlier copy kept.
TEST_F(FileCopy, AReallyFullVolumeKeepsTheEarlierCopy) {
    const std::wstring volume = dir / L"small";
    ASSERT_TRUE(::CreateDirectoryW(volume.c_str(), nullptr));
    SmallVolume small(volume, 8u << 20);
    if (!small.Mounted())
        GTEST_SKIP() << "a small RAM file system cannot be mounted here (it needs Wine as root)";
    const std::wstring source = dir / L"s.bin";
    const std::wstring destination = volume + L"\\d.bin";
    const std::wstring filler = volume + L"\\old version.bin";
    const std::string earlier = Pattern(3u << 20, 1);
    const std::string fresh = Pattern(5u << 19, 2); // 2.5 MiB: not beside 3 + 2 MiB in 8 MiB
    ASSERT_TRUE(WriteBytes(source, fresh));
    ASSERT_TRUE(WriteBytes(destination, earlier));
    ASSERT_TRUE(WriteBytes(filler, Pattern(3u << 20, 3)));
    EXPECT_EQ(RunFileCopy(source, destination), CopyDestinationWriteFailed);
    EXPECT_TRUE(ReadBytes(destination) == earlier);
    EXPECT_TRUE(TemporaryFilesIn(volume).empty());

    CopyPlan plan;
    plan.keepEarlierAt = volume + L"\\versions\\d.bin";
    plan.makeRoom = [] { return false; };
    EXPECT_EQ(RunFileCopy(source, destination, SystemFileAccess(), nullptr, &plan),
              CopyNoRoomToKeepEarlierCopy);
    EXPECT_TRUE(ReadBytes(destination) == earlier);

    int removals = 0;
    plan.makeRoom = [&] { return ++removals == 1 && ::DeleteFileW(filler.c_str()); };
    EXPECT_EQ(RunFileCopy(source, destination, SystemFileAccess(), nullptr, &plan), CopyDone);
    EXPECT_TRUE(ReadBytes(destination) == fresh);
    EXPECT_TRUE(ReadBytes(plan.keepEarlierAt) == earlier);
    EXPECT_TRUE(TemporaryFilesIn(volume).empty());
}

// ReplaceFileW keeps the replaced file's named streams that the new file has none of; the copy
// removes them, so a copy carries its source's streams and no others.
TEST_F(FileCopy, ReplacingLeavesOnlyTheSourcesNamedStreams) {
    const std::wstring source = dir / L"s.txt";
    const std::wstring destination = dir / L"d.txt";
    ASSERT_TRUE(WriteBytes(source, "new content"));
    ASSERT_TRUE(WriteBytes(destination, "old"));
    // A file system without named streams either refuses the name or makes a file of that name.
    if (!WriteBytes(destination + L":tag", "earlier") ||
        ReadBytes(destination + L":tag") != "earlier" || Snapshot(dir.Path()).size() != 2)
        GTEST_SKIP() << "this file system has no named streams (Wine keeps none)";
    ASSERT_TRUE(WriteBytes(source + L":Zone.Identifier", "zone"));
    ASSERT_EQ(RunFileCopy(source, destination), CopyDone);
    EXPECT_EQ(ReadBytes(destination), "new content");
    EXPECT_EQ(ReadBytes(destination + L":Zone.Identifier"), "zone");
    EXPECT_EQ(SystemFileAccess().NamedStreams(destination),
              (std::vector<std::wstring>{L":Zone.Identifier"}));
}

// A copy keeps the source's named streams, the mark a browser puts on a download among them:
// lost on a backup and a restore, it would turn a downloaded program into one Windows trusts.
// Wine keeps no named streams on Linux folders, so a stand-in keeps them as files beside.
TEST_F(FileCopy, NamedStreamsGoWithTheDataUnlessTheVolumeCannotKeepThem) {
    const std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\n";
    struct Case {
        const char* name;
        bool earlier, volumeKeepsThem, sourceHasStreams, keepEarlier;
    };
    const Case cases[] = {
        {"a new file", false, true, true, false},
        {"a replaced file", true, true, true, false},
        {"a replaced file kept as an earlier version", true, true, true, true},
        {"a replaced file, the source without streams", true, true, false, true},
        {"a volume without streams", true, false, true, false},
        {"a source without streams", false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        StreamsBeside streams;
        const std::wstring source = folder / L"setup.exe";
        const std::wstring destination = folder / L"copy.exe";
        ASSERT_TRUE(WriteBytes(source, Pattern(30'000, 1)));
        if (c.sourceHasStreams) {
            ASSERT_TRUE(WriteBytes(StreamsBeside::Beside(source + L":Zone.Identifier"), zone));
            ASSERT_TRUE(WriteBytes(StreamsBeside::Beside(source + L":tag"), ""));
        }
        if (c.earlier) {
            ASSERT_TRUE(WriteBytes(destination, "earlier"));
            // The earlier file's own mark, which the new copy must not take over.
            if (c.volumeKeepsThem) {
                ASSERT_TRUE(WriteBytes(StreamsBeside::Beside(destination + L":old"), "mark"));
            }
        }
        CopyPlan plan;
        if (c.keepEarlier)
            plan.keepEarlierAt = folder / L"versions\\copy.exe";
        StreamCopy outcome{c.volumeKeepsThem};
        EXPECT_EQ(RunFileCopy(source, destination, streams, nullptr, &plan, &outcome), CopyDone);
        if (c.keepEarlier) {
            EXPECT_EQ(ReadBytes(plan.keepEarlierAt), "earlier");
            EXPECT_EQ(ReadBytes(StreamsBeside::Beside(plan.keepEarlierAt + L":old")), "mark");
        }
        EXPECT_TRUE(ReadBytes(destination) == ReadBytes(source));
        EXPECT_EQ(outcome.dropped, c.sourceHasStreams && !c.volumeKeepsThem);
        std::vector<std::wstring> copied = streams.NamedStreams(destination);
        std::sort(copied.begin(), copied.end());
        if (c.sourceHasStreams && c.volumeKeepsThem) {
            EXPECT_EQ(copied, (std::vector<std::wstring>{L":Zone.Identifier", L":tag"}));
            EXPECT_EQ(ReadBytes(StreamsBeside::Beside(destination + L":Zone.Identifier")), zone);
        } else {
            EXPECT_TRUE(copied.empty());
        }
        EXPECT_TRUE(TemporaryFilesIn(folder.Path()).empty());
    }
}

} // namespace

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
    // No earlier copy: the file is written under its own name, and removed on cancel.
    ASSERT_TRUE(WriteBytes(dir / L"big.bin", Pattern(3'000'000, 6)));
    GatedFileAccess gated(1'024'000);
    int code = -1;
    std::thread copier([&] { code = RunFileCopy(dir / L"big.bin", dir / L"out\\big.bin", gated); });
    ASSERT_TRUE(gated.WaitReached());
    EXPECT_TRUE(FileExists(dir / L"out\\big.bin"));
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

// A volume too full for a second copy beside the earlier one: writing into a temporary file fails
// with "disk full" once `room` bytes of it are written, and the volume reports `free` bytes free.
// It can also cancel at a chosen moment, fail the in-place rewrite, refuse the truncating open,
// and report a smaller allocated size for the earlier file (compressed or sparse). Wine's own
// disks under test are never that full; the end-to-end tests fill a small one for real.
class FullVolume : public FileAccess {
public:
    enum class Cancel { Never, WhenTheCopyBesideFails, DuringTheRewrite };
    std::uint64_t free = 0;
    std::uint64_t room = 0;
    std::uint64_t allocated = 0; // 0: the file system's own answer
    Cancel cancel = Cancel::Never;
    bool rewriteFails = false;
    bool truncateRefused = false;

    explicit FullVolume(std::uint64_t freeBytes) : free(freeBytes) {}
    bool Write(HANDLE file, const void* data, DWORD size, DWORD& put) override {
        put = 0;
        if (!IsTemporary(file)) { // the earlier file itself, emptied
            if (cancel == Cancel::DuringTheRewrite)
                CopyCancelled = true;
            if (rewriteFails) {
                ::SetLastError(ERROR_IO_DEVICE);
                return false;
            }
            return FileAccess::Write(file, data, size, put);
        }
        const DWORD fits = static_cast<DWORD>(std::min<std::uint64_t>(size, room - written_));
        if (fits == 0) {
            if (cancel == Cancel::WhenTheCopyBesideFails)
                CopyCancelled = true;
            ::SetLastError(ERROR_DISK_FULL);
            return false;
        }
        const bool ok = FileAccess::Write(file, data, fits, put);
        written_ += put;
        return ok;
    }
    HANDLE Open(const std::wstring& path, DWORD access, DWORD share, DWORD disposition,
                DWORD flags) override {
        if (truncateRefused && disposition == TRUNCATE_EXISTING) {
            ::SetLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
        return FileAccess::Open(path, access, share, disposition, flags);
    }
    bool FreeSpace(const std::wstring&, std::uint64_t& bytes) override {
        bytes = free;
        return true;
    }
    bool AllocatedSize(const std::wstring& path, std::uint64_t& bytes) override {
        if (allocated == 0)
            return FileAccess::AllocatedSize(path, bytes);
        bytes = allocated;
        return true;
    }

private:
    static bool IsTemporary(HANDLE file) {
        wchar_t name[1024] = {};
        ::GetFinalPathNameByHandleW(file, name, 1023, FILE_NAME_NORMALIZED);
        return std::wstring(name).find(L"~snapkeep-") != std::wstring::npos;
    }
    std::uint64_t written_ = 0;
};

TEST_F(FileCopy, NoRoomBesideTheEarlierFileRewritesItInPlaceOnlyWhenThatFits) {
    // What the earlier destination holds afterwards.
    enum class Left { Fresh, Earlier, Nothing };
    using Cancel = FullVolume::Cancel;
    struct Case {
        const char* name;
        size_t source;
        std::uint64_t free, room, allocated;
        Cancel cancel;
        bool rewriteFails, truncateRefused;
        int result;
        Left left;
    };
    // The earlier file holds 60,000 bytes.
    const Case cases[] = {
        {"fits only in the earlier file's place", 50'000, 40'000, 0, 0, Cancel::Never, false, false,
         CopyDone, Left::Fresh},
        {"fails for space part-way", 50'000, 40'000, 20'000, 0, Cancel::Never, false, false,
         CopyDone, Left::Fresh},
        // The volume had room for the new data: "disk full" meant something else (FAT refuses a
        // file past 4 GiB that way), and a rewrite would fail at the same place.
        {"the volume says it fits beside", 50'000, 60'000, 20'000, 0, Cancel::Never, false, false,
         CopyDestinationWriteFailed, Left::Earlier},
        {"fits nowhere", 200'000, 100'000, 0, 0, Cancel::Never, false, false,
         CopyDestinationWriteFailed, Left::Earlier},
        // Emptying a sparse or compressed file frees only what it takes on the disk.
        {"the earlier file takes less than its size", 50'000, 40'000, 0, 8'192, Cancel::Never,
         false, false, CopyDestinationWriteFailed, Left::Earlier},
        {"cancelled before the earlier file is emptied", 50'000, 40'000, 20'000, 0,
         Cancel::WhenTheCopyBesideFails, false, false, CopyCancelledMidFile, Left::Earlier},
        {"cancelled during the rewrite", 50'000, 40'000, 0, 0, Cancel::DuringTheRewrite, false,
         false, CopyDone, Left::Fresh},
        {"the rewrite fails", 50'000, 40'000, 0, 0, Cancel::Never, true, false,
         CopyDestinationWriteFailed, Left::Nothing},
        {"cancelled during a rewrite that fails", 50'000, 40'000, 0, 0, Cancel::DuringTheRewrite,
         true, false, CopyDestinationWriteFailed, Left::Nothing},
        {"the truncating open is refused", 50'000, 40'000, 0, 0, Cancel::Never, false, true,
         CopyDestinationWriteFailed, Left::Earlier},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const std::wstring source = folder / L"s.bin";
        const std::wstring destination = folder / L"d.bin";
        const std::string fresh = Pattern(c.source, 1);
        const std::string earlier = Pattern(60'000, 2);
        ASSERT_TRUE(WriteBytes(source, fresh));
        ASSERT_TRUE(SetWriteTimeAndAttributes(source, kSomeTime, FILE_ATTRIBUTE_ARCHIVE));
        ASSERT_TRUE(WriteBytes(destination, earlier));
        // An earlier read-only, hidden copy is rewritten all the same, and one that is kept
        // keeps both.
        constexpr DWORD kProtected = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
        ASSERT_TRUE(SetWriteTimeAndAttributes(destination, kSomeTime - 10'000'000,
                                              kProtected | FILE_ATTRIBUTE_ARCHIVE));
        FullVolume volume(c.free);
        volume.room = c.room;
        volume.allocated = c.allocated;
        volume.cancel = c.cancel;
        volume.rewriteFails = c.rewriteFails;
        volume.truncateRefused = c.truncateRefused;
        EXPECT_EQ(RunFileCopy(source, destination, volume), c.result);
        EXPECT_TRUE(TemporaryFilesIn(folder.Path()).empty());
        if (c.left == Left::Nothing) {
            EXPECT_FALSE(FileExists(destination));
            continue;
        }
        const bool rewritten = c.left == Left::Fresh;
        EXPECT_EQ(ReadBytes(destination), rewritten ? fresh : earlier);
        const Info info = InfoOf(destination);
        EXPECT_EQ(info.lastWrite, rewritten ? kSomeTime : kSomeTime - 10'000'000);
        EXPECT_EQ(info.attributes & kProtected, rewritten ? 0u : kProtected);
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

TEST_F(FileCopy, AReallyFullVolumeTakesTheNewDataInTheEarlierFilesPlace) {
    const std::wstring volume = dir / L"small";
    ASSERT_TRUE(::CreateDirectoryW(volume.c_str(), nullptr));
    SmallVolume small(volume, 4u << 20);
    if (!small.Mounted())
        GTEST_SKIP() << "a small RAM file system cannot be mounted here (it needs Wine as root)";
    const std::wstring source = dir / L"s.bin";
    const std::wstring destination = volume + L"\\d.bin";
    const std::string earlier = Pattern(3u << 20, 1);
    const std::string fresh = Pattern(5u << 19, 2); // 2.5 MiB: not beside 3 MiB in 4 MiB
    ASSERT_TRUE(WriteBytes(source, fresh));
    ASSERT_TRUE(WriteBytes(destination, earlier));
    EXPECT_EQ(RunFileCopy(source, destination), CopyDone);
    EXPECT_TRUE(ReadBytes(destination) == fresh);
    EXPECT_TRUE(TemporaryFilesIn(volume).empty());

    // Larger than the whole volume: the earlier file is kept.
    ASSERT_TRUE(WriteBytes(source, Pattern(5u << 20, 3)));
    EXPECT_EQ(RunFileCopy(source, destination), CopyDestinationWriteFailed);
    EXPECT_TRUE(ReadBytes(destination) == fresh);
    EXPECT_TRUE(TemporaryFilesIn(volume).empty());
}

TEST_F(FileCopy, ReplacingKeepsTheEarlierFilesNamedStreams) {
    const std::wstring source = dir / L"s.txt";
    const std::wstring destination = dir / L"d.txt";
    ASSERT_TRUE(WriteBytes(source, "new content"));
    ASSERT_TRUE(WriteBytes(destination, "old"));
    // A named stream, as a download's zone mark or another program's tag is kept.
    // A file system without them either refuses the name or makes a file of that name.
    if (!WriteBytes(destination + L":tag", "kept") || ReadBytes(destination + L":tag") != "kept" ||
        Snapshot(dir.Path()).size() != 2)
        GTEST_SKIP() << "this file system has no named streams (Wine keeps none)";
    ASSERT_EQ(RunFileCopy(source, destination), CopyDone);
    EXPECT_EQ(ReadBytes(destination), "new content");
    EXPECT_EQ(ReadBytes(destination + L":tag"), "kept");
}

// A copy keeps the source's named streams, the mark a browser puts on a download among them:
// lost on a backup and a restore, it would turn a downloaded program into one Windows trusts.
// Wine keeps no named streams on Linux folders, so a stand-in keeps them as files beside.
TEST_F(FileCopy, NamedStreamsGoWithTheDataUnlessTheVolumeCannotKeepThem) {
    const std::string zone = "[ZoneTransfer]\r\nZoneId=3\r\n";
    struct Case {
        const char* name;
        bool earlier, volumeKeepsThem, sourceHasStreams;
    };
    const Case cases[] = {
        {"a new file", false, true, true},
        {"a replaced file", true, true, true},
        {"a volume without streams", true, false, true},
        {"a source without streams", false, false, false},
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
        }
        StreamCopy outcome{c.volumeKeepsThem};
        EXPECT_EQ(RunFileCopy(source, destination, streams, nullptr, &outcome), CopyDone);
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

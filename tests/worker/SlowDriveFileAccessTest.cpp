// The slow drives of the simulated enclosures, on real files of a mapped drive letter: a copy
// there takes at least the time its disk's speed gives it, a disk given a capacity fills up at
// it, and a disk that has gone refuses everything while other letters go on as before.
#include "worker/FileCopy.h"
#include "worker/SlowDriveFileAccess.h"

#include "TempDir.h"
#include "WorkerTestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

class SlowDriveFileAccessTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(drive_.Valid()); }
    char Letter() const { return static_cast<char>(drive_.Letter()); }

    TempDir host_;
    TempDir enclosure_;
    MappedDrive drive_{enclosure_.Path()};
    SlowDriveFileAccess files_{PlainFileAccess()};
};

TEST_F(SlowDriveFileAccessTest, ACopyToTheSlowLetterTakesItsBytesOverTheSpeedAndItsOpening) {
    const std::wstring source = host_ / L"big.bin";
    ASSERT_TRUE(WriteFileAt(source, Pattern(3'000'000, 7)));
    files_.SetDrives({{Letter(), DriveSpeed{20, 0, 150, true}}});
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(RunFileCopy(source, drive_.Root() + L"big.bin", files_), 0);
    const auto took = std::chrono::steady_clock::now() - start;
    // 3 MB at 20 MB/s and one opening; less the catch-up a disk's clock allows.
    EXPECT_GE(took, std::chrono::milliseconds(150 + 150 - 20));
    EXPECT_EQ(Snapshot(host_.Path()).at(L"big.bin").checksum,
              Snapshot(enclosure_.Path()).at(L"big.bin").checksum);
}

TEST_F(SlowDriveFileAccessTest, AnUnpluggedDiskRefusesEverythingAndOtherLettersGoOn) {
    const std::wstring source = host_ / L"a.txt";
    ASSERT_TRUE(WriteFileAt(source, Pattern(5000, 1)));
    ASSERT_TRUE(WriteFileAt(drive_.Root() + L"old.txt", Pattern(5000, 2)));
    files_.SetDrives({{Letter(), DriveSpeed{0, 0, 0, true}}});
    HANDLE open =
        files_.Open(drive_.Root() + L"old.txt", GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, 0);
    ASSERT_NE(open, INVALID_HANDLE_VALUE);
    win::FileHandle held(open);

    files_.SetDrives({{Letter(), DriveSpeed{0, 0, 0, false}}});
    char buffer[100];
    DWORD got = 1;
    EXPECT_FALSE(files_.Read(held.Get(), buffer, sizeof buffer, got)) << "a file open before";
    EXPECT_EQ(got, 0u);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(files_.Open(drive_.Root() + L"new.txt", GENERIC_WRITE, 0, CREATE_NEW, 0),
              INVALID_HANDLE_VALUE);
    FileInfo info;
    DWORD error = 0;
    EXPECT_FALSE(files_.ReadInfo(drive_.Root() + L"old.txt", info, error));
    WIN32_FIND_DATAW entry;
    EXPECT_EQ(files_.FindFirst(drive_.Root() + L"*", entry, error), INVALID_HANDLE_VALUE);
    EXPECT_NE(RunFileCopy(source, drive_.Root() + L"a.txt", files_), 0);
    EXPECT_TRUE(TemporaryFilesIn(enclosure_.Path()).empty());

    // The host's own files are untouched by it.
    EXPECT_EQ(RunFileCopy(source, host_ / L"b.txt", files_), 0);
    EXPECT_TRUE(files_.ReadInfo(host_ / L"b.txt", info, error));
}

TEST_F(SlowDriveFileAccessTest, ADiskOfAGivenCapacityFillsUpAndItsFreeSpaceFollowsItsFiles) {
    // Files already there count, wherever they came from; what a link leads to does not.
    ASSERT_TRUE(WriteFileAt(drive_.Root() + L"old\\kept.bin", Pattern(600'000, 1)));
    ASSERT_TRUE(WriteFileAt(host_ / L"elsewhere\\big.bin", Pattern(5'000'000, 2)));
    const bool linked = MakeFolderLink(drive_.Root() + L"link", host_ / L"elsewhere");
    files_.SetDrives({{Letter(), DriveSpeed{0, 0, 0, true, 2}}}); // 2,000,000 bytes
    std::uint64_t free = 0;
    ASSERT_TRUE(files_.FreeSpace(drive_.Root(), free));
    EXPECT_EQ(free, 1'400'000u) << (linked ? "with a link to 5 MB" : "no link could be made");

    // Blocks written until the disk is full: the last that fits fills it to the byte, the next
    // is refused whole.
    win::FileHandle out(files_.Open(drive_.Root() + L"new.bin", GENERIC_WRITE, 0, CREATE_NEW, 0));
    ASSERT_TRUE(out.Valid());
    const std::string block = Pattern(100'000, 3);
    const auto write = [&](DWORD& put) {
        put = 12345;
        return files_.Write(out.Get(), block.data(), static_cast<DWORD>(block.size()), put);
    };
    DWORD put = 0;
    for (int i = 0; i < 14; ++i)
        ASSERT_TRUE(write(put)) << "block " << i;
    EXPECT_FALSE(write(put));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_EQ(put, 0u);
    EXPECT_EQ(InfoOf(drive_.Root() + L"new.bin").size, 1'400'000u);
    ASSERT_TRUE(files_.FreeSpace(drive_.Root(), free));
    EXPECT_EQ(free, 0u);
    // A whole copy that does not fit leaves nothing behind.
    ASSERT_TRUE(WriteFileAt(host_ / L"more.bin", Pattern(300'000, 4)));
    EXPECT_NE(RunFileCopy(host_ / L"more.bin", drive_.Root() + L"more.bin", files_), 0);
    EXPECT_TRUE(TemporaryFilesIn(enclosure_.Path()).empty());
    EXPECT_FALSE(FileExists(drive_.Root() + L"more.bin"));

    // A file deleted by another program gives its room back, to the writes and to the count.
    ASSERT_TRUE(::DeleteFileW((drive_.Root() + L"old\\kept.bin").c_str()));
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(write(put)) << "block " << i << " after the deletion";
    EXPECT_FALSE(write(put));
    ASSERT_TRUE(files_.FreeSpace(drive_.Root(), free));
    EXPECT_EQ(free, 0u);
    out.Reset();
    ASSERT_TRUE(::DeleteFileW((drive_.Root() + L"new.bin").c_str()));
    ASSERT_TRUE(files_.FreeSpace(drive_.Root(), free));
    EXPECT_EQ(free, 2'000'000u);
    EXPECT_EQ(RunFileCopy(host_ / L"more.bin", drive_.Root() + L"more.bin", files_), 0);
    ASSERT_TRUE(files_.FreeSpace(drive_.Root(), free));
    EXPECT_EQ(free, 1'700'000u);

    // Without a capacity, the folder's own volume answers.
    files_.SetDrives({{Letter(), DriveSpeed{0, 0, 0, true, 0}}});
    ASSERT_TRUE(files_.FreeSpace(drive_.Root(), free));
    EXPECT_GT(free, 2'000'000u);
    // The link alone goes (a folder link is removed as a folder, a Linux one as a file).
    const std::wstring link = drive_.Root() + L"link";
    if (linked && !::RemoveDirectoryW(link.c_str()))
        ::DeleteFileW(link.c_str());
}

} // namespace

#include "win/Files.h"
#include "win/Handle.h"

#include "TempDir.h"
#include "Wait.h"
#include "WorkerTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <thread>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

TEST(Files, ReplaceWritesWholeContentAndLeavesNoTemporaryFile) {
    TempDir dir;
    const std::wstring path = dir / L"Host.txt";
    ASSERT_TRUE(WriteBytes(path, "old content that is longer"));
    ASSERT_TRUE(win::ReplaceFileContent(path, std::string("new\0bytes", 9)));
    EXPECT_EQ(ReadBytes(path), std::string("new\0bytes", 9));
    EXPECT_FALSE(FileExists(path + L".snapkeep-new"));
    EXPECT_EQ(win::ReadWholeFile(path), std::string("new\0bytes", 9));
    EXPECT_FALSE(win::ReadWholeFile(dir / L"missing.txt").has_value());
}

TEST(Files, FailedReplaceKeepsTheOldFile) {
    TempDir dir;
    // A missing folder: nothing can be created, and nothing is reported but the result.
    EXPECT_FALSE(win::ReplaceFileContent(dir / L"NoFolder\\Host.txt", "x"));
    // Folders standing under every name the temporary file may take: the old file stays as it
    // was.
    const std::wstring path = dir / L"Device.txt";
    ASSERT_TRUE(WriteBytes(path, "old"));
    for (int n = 1; n <= 99; ++n)
        ASSERT_TRUE(::CreateDirectoryW(
            (path + L".snapkeep-new" + (n > 1 ? std::to_wstring(n) : L"")).c_str(), nullptr));
    EXPECT_FALSE(win::ReplaceFileContent(path, "new"));
    EXPECT_EQ(ReadBytes(path), "old");
}

// A reader that holds the file for a moment (an editor opening the history) does not cost the
// save: the replace is tried again until the reader lets go. One that never lets go leaves the
// old file as it was and no temporary file.
TEST(Files, AReplaceWaitsForAReaderThatHoldsTheFileForAMoment) {
    TempDir dir;
    const std::wstring path = dir / L"History.txt";
    ASSERT_TRUE(WriteBytes(path, "old"));
    auto hold = [&] {
        return ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
    };
    {
        HANDLE reader = hold();
        ASSERT_NE(reader, INVALID_HANDLE_VALUE);
        // Only a system that refuses to replace a file held this way shows the wait.
        const bool refused =
            WriteBytes(dir / L"probe.txt", "p") &&
            !::MoveFileExW((dir / L"probe.txt").c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING);
        ::CloseHandle(reader);
        if (!refused)
            GTEST_SKIP() << "this system replaces a file another program holds open";
    }
    HANDLE reader = hold();
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    std::thread release([reader] {
        ::Sleep(400); // the reader's moment: shorter than the save's patience
        ::CloseHandle(reader);
    });
    EXPECT_TRUE(win::ReplaceFileContent(path, "new"));
    release.join();
    EXPECT_EQ(ReadBytes(path), "new");

    win::FileHandle stubborn(hold());
    ASSERT_TRUE(stubborn.Valid());
    EXPECT_FALSE(win::ReplaceFileContent(path, "newer"));
    stubborn.Reset();
    EXPECT_EQ(ReadBytes(path), "new");
    EXPECT_FALSE(FileExists(path + L".snapkeep-new"));
}

// The temporary sibling is always created new: whatever holds its name (a file left by a save
// that was cut short, a folder, or a link placed there by anyone who may write into the data
// folder) is passed by and left alone, never written through. Under Wine a Linux symbolic link
// to a file is an ordinary file name that opens its target, which is just what an open over an
// existing name would write into.
TEST(Files, TheTemporarySiblingIsCreatedNewWhateverHoldsItsName) {
    TempDir dir;
    TempDir outside;
    const std::wstring target = outside / L"System.ini";
    ASSERT_TRUE(WriteBytes(target, "not yours"));
    struct Case {
        const char* name;
        std::function<bool(const std::wstring& temp)> place;
    };
    const Case cases[] = {
        {"a file left behind", [](const std::wstring& temp) { return WriteBytes(temp, "torn"); }},
        {"a folder",
         [](const std::wstring& temp) {
             return ::CreateDirectoryW(temp.c_str(), nullptr) != FALSE;
         }},
        {"a link to another file",
         [&](const std::wstring& temp) {
             if (!UnderWine())
                 return ::CreateSymbolicLinkW(temp.c_str(), target.c_str(),
                                              SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) !=
                        FALSE;
             return RunUnixCommand({L"/bin/ln", L"-s", UnixPath(target), UnixPath(temp)}) &&
                    WaitUntil([&] {
                        return ::GetFileAttributesW(temp.c_str()) != INVALID_FILE_ATTRIBUTES;
                    });
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring path = dir / (L"Host" + std::to_wstring(&c - cases) + L".txt");
        ASSERT_TRUE(WriteBytes(path, "old"));
        if (!c.place(path + L".snapkeep-new"))
            GTEST_SKIP() << "the fixture cannot be made here: " << c.name;
        EXPECT_TRUE(win::ReplaceFileContent(path, "new"));
        EXPECT_EQ(ReadBytes(path), "new");
        EXPECT_EQ(ReadBytes(target), "not yours") << "written through the link";
        // The next name was taken instead and is gone with the rename; the first is as it was.
        EXPECT_NE(::GetFileAttributesW((path + L".snapkeep-new").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_FALSE(FileExists(path + L".snapkeep-new2"));
    }
}

} // namespace

#include "win/Files.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <windows.h>

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
    // A folder standing where the temporary file would go: the old file stays as it was.
    const std::wstring path = dir / L"Device.txt";
    ASSERT_TRUE(WriteBytes(path, "old"));
    ASSERT_TRUE(::CreateDirectoryW((path + L".snapkeep-new").c_str(), nullptr));
    EXPECT_FALSE(win::ReplaceFileContent(path, "new"));
    EXPECT_EQ(ReadBytes(path), "old");
}

} // namespace

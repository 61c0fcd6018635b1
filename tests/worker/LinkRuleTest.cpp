#include "worker/LinkRule.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {

TEST(LinkRule, JunctionsMountPointsAndSymbolicLinksAreLinksOtherReparsePointsAreNot) {
    constexpr std::uint32_t kFolder = kAttributeDirectory;
    constexpr std::uint32_t kFile = 0x20;
    constexpr std::uint32_t kReparse = kAttributeReparsePoint;
    struct Case {
        const char* what;
        std::uint32_t attributes;
        std::uint32_t tag;
        bool link;
    };
    const Case cases[] = {
        {"plain folder", kFolder, 0, false},
        {"plain file", kFile, 0, false},
        {"junction or mounted volume", kFolder | kReparse, kReparseTagMountPoint, true},
        {"folder symbolic link", kFolder | kReparse, kReparseTagSymlink, true},
        {"file symbolic link", kFile | kReparse, kReparseTagSymlink, true},
        {"Wine's Linux folder link", kFolder | kReparse, 0, true},
        {"file with the tag 0", kFile | kReparse, 0, false},
        {"OneDrive placeholder folder", kFolder | kReparse, 0x9000701A, false},
        {"OneDrive placeholder file", kFile | kReparse, 0x9000601A, false},
        {"deduplicated file", kFile | kReparse, 0x80000013, false},
        {"a link tag without the reparse attribute", kFolder, kReparseTagMountPoint, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsLink(c.attributes, c.tag), c.link) << c.what;
}

} // namespace

#include "worker/TypeMatch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using snapkeep::MatchFileType;

namespace {

struct Case {
    const char* path;
    std::vector<const char*> types;
    bool expected;
};

class TypeMatch : public testing::TestWithParam<Case> {};

TEST_P(TypeMatch, JudgesTheExtensionAfterTheLastDotOfTheWholePath) {
    const Case& c = GetParam();
    EXPECT_EQ(MatchFileType(c.path, c.types.data(), static_cast<int>(c.types.size())), c.expected)
        << c.path;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TypeMatch,
    testing::Values(
        // No entries: nothing matches.
        Case{"C:\\a\\photo.jpg", {}, false},
        // "<all>" first: everything, also files without an extension.
        Case{"C:\\a\\readme", {"<all>"}, true}, Case{"C:\\a\\photo.jpg", {"<all>"}, true},
        // "<all>" anywhere but first is only an entry that no extension equals.
        Case{"C:\\a\\photo.jpg", {"txt", "<all>"}, false},
        // The candidate is lowered; entries are compared as written.
        Case{"C:\\a\\photo.JPG", {"jpg"}, true}, Case{"C:\\a\\photo.jpg", {"jpg"}, true},
        Case{"C:\\a\\photo.jpeg", {"jpg"}, false}, Case{"C:\\a\\photo.jpg", {"JPG"}, false},
        Case{"C:\\a\\Photo.JpG", {"png", "jpg"}, true},
        // Files without a dot match "<none>"; a trailing dot gives an empty candidate.
        Case{"C:\\a\\readme", {"<none>"}, true}, Case{"C:\\a\\notes.", {"<none>"}, false},
        Case{"C:\\a\\notes.", {"txt", ""}, true}, Case{"C:\\a\\readme.txt", {"<none>"}, false},
        // The last dot decides.
        Case{"C:\\a\\archive.tar.gz", {"gz"}, true}, Case{"C:\\a\\archive.tar.gz", {"tar"}, false},
        // A dot in a folder name counts when the file has none.
        Case{"C:\\my.docs\\readme", {"<none>"}, false},
        Case{"C:\\my.docs\\readme", {"docs\\readme"}, true},
        // Bytes beyond ASCII keep their value: only A-Z are lowered.
        Case{"C:\\a\\f.\xC4X", {"\xC4x"}, true}, Case{"C:\\a\\f.\xC4X", {"\xE4x"}, false}));

TEST(TypeMatchCount, OnlyTheFirstTypeCountEntriesAreLookedAt) {
    const char* types[] = {"txt", "jpg"};
    EXPECT_FALSE(MatchFileType("C:\\a\\photo.jpg", types, 1));
    EXPECT_TRUE(MatchFileType("C:\\a\\photo.jpg", types, 2));
    EXPECT_FALSE(MatchFileType("C:\\a\\photo.jpg", nullptr, 0));
}

} // namespace

#include "worker/FileInfo.h"

#include "worker/CopyResult.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {

// Creation times are compared here with made-up values: Wine, where the Windows tests run,
// stores no creation time (it reports the last-write time instead).
FileInfo Sample() {
    FileInfo info;
    info.attributes = 0x20;
    info.creationTime = 132000000000000000ull;
    info.lastAccessTime = 133000000000000000ull;
    info.lastWriteTime = 132500000000000000ull;
    info.size = 0x1'0000'0400ull; // both 32-bit halves in use
    return info;
}

struct Case {
    const char* what;
    void (*change)(FileInfo&);
    int expected;
};

class CompareFileInfoTest : public testing::TestWithParam<Case> {};

TEST_P(CompareFileInfoTest, TheFirstDifferenceDecides) {
    FileInfo copy = Sample();
    GetParam().change(copy);
    EXPECT_EQ(CompareFileInfo(Sample(), copy), GetParam().expected) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CompareFileInfoTest,
    testing::Values(
        Case{"identical", [](FileInfo&) {}, CompareIdentical},
        Case{"only the last access differs", [](FileInfo& f) { f.lastAccessTime = 1; },
             CompareIdentical},
        Case{"read-only added", [](FileInfo& f) { f.attributes |= 1; }, CompareAttributesDiffer},
        Case{"low half of the size", [](FileInfo& f) { f.size += 1; }, CompareSizesDiffer},
        Case{"high half of the size", [](FileInfo& f) { f.size -= 0x1'0000'0000ull; },
             CompareSizesDiffer},
        Case{"creation time", [](FileInfo& f) { f.creationTime += 1; }, CompareCreationTimesDiffer},
        Case{"creation time, high bits only",
             [](FileInfo& f) { f.creationTime ^= 0x0100'0000'0000'0000ull; },
             CompareCreationTimesDiffer},
        Case{"last-write time", [](FileInfo& f) { f.lastWriteTime -= 1; },
             CompareLastWriteTimesDiffer},
        Case{"attributes and size: attributes first",
             [](FileInfo& f) {
                 f.attributes = 0x22;
                 f.size = 0;
             },
             CompareAttributesDiffer},
        Case{"size and times: size first",
             [](FileInfo& f) {
                 f.size = 1;
                 f.creationTime = 0;
                 f.lastWriteTime = 0;
             },
             CompareSizesDiffer},
        Case{"both times: creation first",
             [](FileInfo& f) {
                 f.creationTime = 0;
                 f.lastWriteTime = 0;
             },
             CompareCreationTimesDiffer}));

} // namespace

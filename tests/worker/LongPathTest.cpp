#include "worker/LongPath.h"

#include <gtest/gtest.h>

using snapkeep::ExtendedLengthPath;

namespace {

TEST(LongPath, OnlyLongFullPathsGetTheExtendedForm) {
    const std::u16string folder(250, u'a');
    EXPECT_EQ(ExtendedLengthPath(u"C:\\short\\f.txt"), u"C:\\short\\f.txt");
    EXPECT_EQ(ExtendedLengthPath(u"C:\\" + folder), u"\\\\?\\C:\\" + folder);
    EXPECT_EQ(ExtendedLengthPath(u"\\\\server\\share\\" + folder),
              u"\\\\?\\UNC\\server\\share\\" + folder);
    // Already extended, or not a full path: as it was.
    EXPECT_EQ(ExtendedLengthPath(u"\\\\?\\C:\\" + folder), u"\\\\?\\C:\\" + folder);
    EXPECT_EQ(ExtendedLengthPath(u"rel\\" + folder), u"rel\\" + folder);
}

} // namespace

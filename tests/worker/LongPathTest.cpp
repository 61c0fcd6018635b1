#include "worker/LongPath.h"

#include <gtest/gtest.h>

using snapkeep::ExtendedLengthPath;

namespace {

TEST(LongPath, FullPathsGetTheExtendedFormWhateverTheirLength) {
    const std::u16string folder(250, u'a');
    // Short ones too: only the extended form keeps a trailing dot or blank of a name.
    EXPECT_EQ(ExtendedLengthPath(u"C:\\short\\a."), u"\\\\?\\C:\\short\\a.");
    EXPECT_EQ(ExtendedLengthPath(u"C:\\" + folder), u"\\\\?\\C:\\" + folder);
    EXPECT_EQ(ExtendedLengthPath(u"\\\\server\\share\\f "), u"\\\\?\\UNC\\server\\share\\f ");
    // Already extended, or not a full path: as it was.
    EXPECT_EQ(ExtendedLengthPath(u"\\\\?\\C:\\" + folder), u"\\\\?\\C:\\" + folder);
    EXPECT_EQ(ExtendedLengthPath(u"rel\\" + folder), u"rel\\" + folder);
}

} // namespace

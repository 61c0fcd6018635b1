#include "app/DeviceFolders.h"

#include <gtest/gtest.h>

#include <set>

using namespace snapkeep;

namespace {

// The folders a volume holds, below its root, letters compared without case.
struct Volume {
    std::set<std::u16string> folders;
    bool operator()(std::u16string_view below) const {
        for (const std::u16string& folder : folders)
            if (SameFolderAscii(folder, below))
                return true;
        return false;
    }
};

std::vector<std::u16string> ShownTexts(const DeviceFolders& list) {
    std::vector<std::u16string> texts;
    for (const size_t known : list.Shown())
        texts.push_back((list.Row(known).Checked ? u"[x] " : u"[ ] ") + list.Row(known).Path);
    return texts;
}

} // namespace

TEST(DeviceRows, BelowTheRoot) {
    struct Case {
        std::u16string_view row;
        std::optional<std::u16string> below;
    };
    const Case cases[] = {
        {u"E:\\Backup\\C\\Users\\Ann\\", u"Backup\\C\\Users\\Ann\\"},
        {u"f:\\backup\\d\\Photos", u"backup\\d\\Photos\\"},
        {u"E:\\Backup\\UNC\\server\\share\\", u"Backup\\UNC\\server\\share\\"},
        {u"E:\\Backup\\", std::nullopt},
        {u"E:\\Photos\\", std::nullopt},
        {u"\\\\server\\Backup\\C\\", std::nullopt},
        {u"E:Backup\\C\\", std::nullopt},
        {u"1:\\Backup\\C\\", std::nullopt},
        {u"E:\\Backup\\C\\..\\..\\Windows\\", std::nullopt},
        {u"", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(RowBelowRoot(c.row), c.below) << std::string(c.row.begin(), c.row.end());
}

// The enclosure comes back as F: (a stick took E:): every row of a folder it holds is shown with
// F:, the folders of its index join unticked, rows whose folder is not there are not shown but
// stay, and duplicates in any letter case are one row whose tick survives.
TEST(DeviceRows, TheEnclosureOnAnotherLetter) {
    DeviceFolders list(SameFolderAscii);
    list.Load({{true, u"E:\\Backup\\C\\Users\\Ann\\Documents\\"},
               {false, u"E:\\Backup\\C\\Old\\"},
               {false, u"e:\\BACKUP\\c\\users\\ann\\documents\\"},
               {true, u"\\\\server\\odd\\"}});
    EXPECT_EQ(ShownTexts(list),
              (std::vector<std::u16string>{u"[x] E:\\Backup\\C\\Users\\Ann\\Documents\\",
                                           u"[ ] E:\\Backup\\C\\Old\\", u"[x] \\\\server\\odd\\"}));

    const Volume f{{u"Backup\\C\\Users\\Ann\\Documents\\", u"Backup\\C\\Users\\Ann\\Pictures\\"}};
    list.Show(u"F:\\",
              {u"backup\\c\\users\\ann\\documents\\", u"Backup\\C\\Users\\Ann\\Pictures\\"}, f);
    EXPECT_EQ(ShownTexts(list),
              (std::vector<std::u16string>{u"[x] F:\\Backup\\C\\Users\\Ann\\Documents\\",
                                           u"[ ] F:\\Backup\\C\\Users\\Ann\\Pictures\\"}));
    // Saved: every row, the shown ones with the letter they are shown with.
    EXPECT_EQ(list.Rows(),
              (std::vector<FolderRow>{{true, u"F:\\Backup\\C\\Users\\Ann\\Documents\\"},
                                      {false, u"E:\\Backup\\C\\Old\\"},
                                      {true, u"\\\\server\\odd\\"},
                                      {false, u"F:\\Backup\\C\\Users\\Ann\\Pictures\\"}}));

    // The tick follows its folder across a rescan that lists the folders in another order.
    list.SetChecked(list.Shown()[1], true);
    list.Show(u"F:\\", {u"Backup\\C\\Users\\Ann\\Pictures\\"}, f);
    EXPECT_EQ(ShownTexts(list),
              (std::vector<std::u16string>{u"[x] F:\\Backup\\C\\Users\\Ann\\Documents\\",
                                           u"[x] F:\\Backup\\C\\Users\\Ann\\Pictures\\"}));

    // No enclosure: every row as last saved.
    list.Show(u"", {}, Volume{});
    EXPECT_EQ(list.Shown().size(), 4u);
}

TEST(DeviceRows, ABackupAddsItsFolderOnce) {
    DeviceFolders list(SameFolderAscii);
    list.Load({{true, u"E:\\Backup\\C\\Docs\\"}, {false, u"E:\\Backup\\D\\"}});
    list.Show(u"E:\\", {}, Volume{{u"Backup\\C\\Docs\\"}}); // D: not on this enclosure
    ASSERT_EQ(list.Shown().size(), 1u);

    EXPECT_EQ(list.Add(u"E:\\Backup\\C\\Docs\\"), std::nullopt);  // shown already: nothing to add
    const std::optional<size_t> d = list.Add(u"E:\\Backup\\D\\"); // known, now shown at the end
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(*d, 1u);
    const std::optional<size_t> e = list.Add(u"E:\\Backup\\E\\Music\\"); // new, unticked
    ASSERT_TRUE(e.has_value());
    EXPECT_EQ(ShownTexts(list),
              (std::vector<std::u16string>{u"[x] E:\\Backup\\C\\Docs\\", u"[ ] E:\\Backup\\D\\",
                                           u"[ ] E:\\Backup\\E\\Music\\"}));
    EXPECT_EQ(list.Add(u"E:\\Backup\\e\\music\\"), std::nullopt);
}

#include "job/TypeList.h"

#include <gtest/gtest.h>

using namespace snapkeep;

namespace {

using Boxes = std::array<bool, kFileTypeCount>;

Boxes Only(std::initializer_list<FileType> ticked) {
    Boxes boxes{};
    for (FileType type : ticked)
        boxes[static_cast<size_t>(type)] = true;
    return boxes;
}

using Entries = std::vector<std::string_view>;

TEST(TypeList, AllWinsOverEveryOtherBox) {
    TypeList list;
    list.Build(Only({FileType::All, FileType::Picture, FileType::Others}), "abc");
    EXPECT_EQ(list.View(), (Entries{"<all>"}));
    EXPECT_EQ(list.Count(), 1);
}

TEST(TypeList, NoBoxGivesAnEmptyList) {
    TypeList list;
    list.Build(Only({}), "abc");
    EXPECT_EQ(list.Count(), 0);
}

TEST(TypeList, CategoriesInTheirFixedOrder) {
    TypeList list;
    // Ticked out of order: the list still follows the boxes' order.
    list.Build(Only({FileType::Image, FileType::Audio}), "");
    EXPECT_EQ(list.View(), (Entries{"mp3", "wma", "ape", "wav", "iso", "nrg"}));
    list.Build(Only({FileType::Picture, FileType::Audio, FileType::Video, FileType::Data,
                     FileType::Compress, FileType::Image}),
               "");
    EXPECT_EQ(list.Count(), 34);
    EXPECT_EQ(list.View().front(), "bmp");
    EXPECT_EQ(list.View()[18], "txt");
    EXPECT_EQ(list.View().back(), "nrg");
}

TEST(TypeList, OthersPiecesAreSplitAndLowered) {
    TypeList list;
    list.Build(Only({FileType::Others}), " JPG;;Mp3 ,x\t");
    EXPECT_EQ(list.View(), (Entries{"jpg", "mp3", "x"}));
    // A leading dot stays: such a piece matches nothing, and nothing is removed as a duplicate.
    list.Build(Only({FileType::Picture, FileType::Others}), ".png jpg");
    EXPECT_EQ(list.Count(), 8);
    EXPECT_EQ(list.View()[6], ".png");
    EXPECT_EQ(list.View()[7], "jpg");
}

TEST(TypeList, OthersFillOnlyTheFreeSlots) {
    // The longest text the command lets through, 127 characters of one-letter pieces, with all
    // six categories: 34 + 64 entries.
    std::string others;
    for (int i = 0; i < 64; ++i)
        others += std::string(1, static_cast<char>('a' + i % 26)) + (i < 63 ? " " : "");
    ASSERT_EQ(others.size(), 127u);
    TypeList list;
    list.Build(Only({FileType::Picture, FileType::Audio, FileType::Video, FileType::Data,
                     FileType::Compress, FileType::Image, FileType::Others}),
               others);
    EXPECT_EQ(list.Count(), 98);

    // Pieces beyond the 128 slots are dropped without a word.
    std::string many;
    for (int i = 0; i < 200; ++i) {
        many += 'e';
        many += std::to_string(i);
        many += ',';
    }
    list.Build(Only({FileType::Picture, FileType::Others}), many);
    EXPECT_EQ(list.Count(), TypeList::kCapacity);
    EXPECT_EQ(list.View().back(), "e121");
}

TEST(TypeList, EntriesStayPutForTheWorkers) {
    TypeList list;
    list.Build(Only({FileType::Others}), "a b c");
    const char* const* entries = list.Entries();
    const char* first = entries[0];
    EXPECT_STREQ(first, "a");
    EXPECT_EQ(entries[3], nullptr) << "unused slots are empty";
}

} // namespace

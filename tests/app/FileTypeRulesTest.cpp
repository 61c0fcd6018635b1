#include "app/FileTypeRules.h"

#include <gtest/gtest.h>

#include <string>

using namespace snapkeep;

namespace {

// Renders the eight boxes as a string, All first: "A......." means only All ticked.
std::string State(const FileTypeRules& rules) {
    const char names[] = "APAVDCIO";
    std::string s;
    for (int i = 0; i < kFileTypeCount; ++i)
        s += rules.Checked(static_cast<FileType>(i)) ? names[i] : '.';
    return s;
}

// A click toggles the box, as the user's click does.
void Click(FileTypeRules& rules, FileType box) {
    rules.SetChecked(box, !rules.Checked(box));
}

TEST(FileTypeRules, UserClicks) {
    FileTypeRules rules;
    EXPECT_EQ(State(rules), "A.......");
    Click(rules, FileType::All); // clearing the last ticked box is undone
    EXPECT_EQ(State(rules), "A.......");
    Click(rules, FileType::Picture);
    EXPECT_EQ(State(rules), ".P......");
    Click(rules, FileType::Picture);
    EXPECT_EQ(State(rules), ".P......");
    Click(rules, FileType::Audio);
    EXPECT_EQ(State(rules), ".PA.....");
    Click(rules, FileType::Audio);
    EXPECT_EQ(State(rules), ".P......");
    Click(rules, FileType::Audio);
    Click(rules, FileType::All);
    EXPECT_EQ(State(rules), "A.......");
    Click(rules, FileType::Others);
    EXPECT_EQ(State(rules), ".......O");
}

TEST(FileTypeRules, ReportsEveryChangeInOrder) {
    FileTypeRules rules;
    rules.SetChecked(FileType::Picture, true);
    rules.SetChecked(FileType::Video, true);
    std::string log;
    rules.OnChanged = [&](FileType box, bool checked) {
        log += std::to_string(static_cast<int>(box)) + (checked ? "+" : "-") + " ";
    };
    rules.SetChecked(FileType::All, true);
    EXPECT_EQ(log, "0+ 1- 3- ");
    log.clear();
    rules.SetChecked(FileType::All, true); // no change, no rule
    EXPECT_EQ(log, "");
}

TEST(FileTypeRules, LoadingOrderDecidesTheOutcome) {
    // The loader sets All first, then each category; each change runs its rule at once.
    auto load = [](std::array<bool, 8> stored) {
        FileTypeRules rules;
        for (int i = 0; i < kFileTypeCount; ++i)
            rules.SetChecked(static_cast<FileType>(i), stored[i]);
        return State(rules);
    };
    EXPECT_EQ(load({true, true, false, false, false, false, false, false}), ".P......");
    EXPECT_EQ(load({false, false, false, false, false, false, false, false}), "A.......");
    EXPECT_EQ(load({true, false, false, false, false, false, false, false}), "A.......");
    EXPECT_EQ(load({false, false, true, false, true, false, false, true}), "..A.D..O");
}

} // namespace

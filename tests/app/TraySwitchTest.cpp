#include "app/TraySwitch.h"

#include <gtest/gtest.h>

using namespace snapkeep;

TEST(TraySwitch, FoundAsAWordOfItsOwnInAnyCase) {
    const struct {
        const char16_t* arguments;
        bool tray;
    } cases[] = {
        {u"", false},
        {u"/tray", true},
        {u"/TRAY", true},
        {u"-Tray", true},
        {u"\"/tray\"", true},
        {u"  /tray  ", true},
        {u"\t/tray", true},
        {u"/other /tray", true},
        {u"/tray /other", true},
        {u"/trays", false},
        {u"/tra", false},
        {u"tray", false},
        {u"x/tray", false},
        {u"\"/tray x\"", false}, // one quoted word
        {u"\"C:\\Program Files\\/tray\"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(HasTraySwitch(c.arguments), c.tray) << std::string(
            c.arguments, c.arguments + std::char_traits<char16_t>::length(c.arguments));
}

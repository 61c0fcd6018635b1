#include "job/ProtectedPath.h"

#include <gtest/gtest.h>

using namespace snapkeep;

TEST(ProtectedPath, SystemProgramAndStartupFolders) {
    const std::vector<std::u16string> folders = {u"C:\\Windows", u"C:\\Program Files\\",
                                                 u"C:\\Program Files (x86)"};
    struct Case {
        std::u16string_view path;
        bool refused;
    };
    const Case cases[] = {
        {u"C:\\Windows\\System32\\evil.dll", true},
        {u"c:\\WINDOWS\\win.ini", true},
        {u"C:\\Windows", true},
        {u"\\\\?\\C:\\Windows\\System32\\", true},
        {u"C:\\Program Files\\App\\a.exe", true},
        {u"C:\\Program Files (x86)\\App\\", true},
        {u"C:\\Users\\Ann\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\"
         u"run.lnk",
         true},
        {u"D:\\Users\\Bob\\AppData\\Roaming\\microsoft\\windows\\start menu\\programs\\startup\\x",
         true},
        {u"C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\", true},
        {u"\\\\?\\UNC\\pc\\c$\\Users\\A\\Microsoft\\Windows\\Start Menu\\Programs\\Startup\\x",
         true},
        // Names that only begin like a protected folder, and the folders around them.
        {u"C:\\Windows.old\\a.txt", false},
        {u"C:\\WindowsApps2\\a.txt", false},
        {u"C:\\Program Files Old\\a.txt", false},
        {u"C:\\Users\\Ann\\Windows\\a.txt", false},
        {u"D:\\Windows\\a.txt", false},
        {u"C:\\Users\\Ann\\Start Menu\\Programs\\Startup\\a.txt", false},
        {u"C:\\Users\\Ann\\Microsoft\\Windows\\Start Menu\\Programs\\Startup Items\\a", false},
        {u"C:\\Users\\Ann\\Documents\\a.txt", false},
        {u"C:\\", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LiesInProtectedFolder(c.path, folders, SameFolderAscii), c.refused)
            << std::string(c.path.begin(), c.path.end());
}

#pragma once
// The real programs started in a fresh data folder whose product configuration gives each test
// a caption of its own, so that tests never meet each other's single-instance mutex or windows.
#include "ProcessDriver.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace snapkeep::test {

class ProgramTest : public testing::Test {
protected:
    void SetUp() override {
        caption_ = L"Snapkeep test " + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                   std::to_wstring(counter_++);
        ASSERT_TRUE(::CreateDirectoryW((dir_ / L"SnapData").c_str(), nullptr));
        WriteConfig(dir_.Path());
    }
    void WriteConfig(const std::wstring& folder) {
        const std::string caption(caption_.begin(), caption_.end());
        ::CreateDirectoryW((folder + L"\\SnapData").c_str(), nullptr);
        ASSERT_TRUE(WriteProductConfig(folder + L"\\SnapData\\qconfig.inis",
                                       "Model=ALL\r\nMainFormCaption=" + caption + "\r\n"));
    }
    std::wstring Data(const std::wstring& name) const { return dir_ / (L"SnapData\\" + name); }
    // Opens the tray icon's menu with a right click and chooses an item by its mnemonic.
    static bool ChooseTrayCommand(const ChildProcess& program, wchar_t mnemonic) {
        HWND tray = WaitForTopWindow(L"TTrayIconWindow", L"", program.Id());
        if (!tray)
            return false;
        ::PostMessageW(tray, WM_APP + 1, 0, WM_RBUTTONUP);
        HWND menu = WaitForTopWindow(L"#32768", L"", program.Id());
        if (!menu)
            return false;
        ::PostMessageW(menu, WM_KEYDOWN, mnemonic, 0);
        return true;
    }
    // Snapkeep.exe reads the SnapData beside its own file: each test starts its own copy of the
    // program placed in the folder whose data it means.
    static std::wstring Product(const std::wstring& folder) {
        const std::wstring copy = ProgramCopyIn(folder);
        EXPECT_FALSE(copy.empty()) << "the program could not be copied";
        return copy;
    }
    HWND WaitForMainWindow(const ChildProcess& program) {
        return WaitForTopWindow(L"TMainForm", caption_, program.Id());
    }

    TempDir dir_;
    std::wstring caption_;
    static inline int counter_ = 0;
};

// A folder-list file as the program writes it: the UTF-16 little-endian mark and the text.
inline std::string ListFile(const std::wstring& text) {
    std::string out("\xFF\xFE", 2);
    for (wchar_t c : text) {
        out.push_back(static_cast<char>(c & 0xFF));
        out.push_back(static_cast<char>(c >> 8));
    }
    return out;
}

} // namespace snapkeep::test

// What Windows loads for the programs before their first instruction. A DLL that is not a
// known DLL is looked for beside the program first, so one planted in a download folder would
// run with the program's administrator rights: the programs may import known DLLs only, plus
// comctl32, which their manifest binds to the system's side-by-side copy.
#include "PeImage.h"
#include "ProcessDriver.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>

using namespace snapkeep::test;

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The DLLs of `image` that Windows may look for beside the program.
std::vector<std::string> UnknownDlls(const PeImage& image) {
    std::vector<std::string> unknown;
    for (const std::string& dll : image.Imports) {
        const std::string name = Lower(dll);
        if (name != "comctl32.dll" &&
            std::find(KnownDlls().begin(), KnownDlls().end(), name) == KnownDlls().end())
            unknown.push_back(dll);
    }
    // A delay-loaded DLL is looked for when first used, wherever the search then points.
    unknown.insert(unknown.end(), image.DelayImports.begin(), image.DelayImports.end());
    return unknown;
}

std::optional<PeImage> Image(const wchar_t* program) {
    return ReadPeImage(ReadBytes(BuildProgram(program)));
}

TEST(ImportTable, TheProgramsImportOnlyKnownDlls) {
    for (const wchar_t* program : {L"Snapkeep.exe", L"SnapkeepSim.exe"}) {
        SCOPED_TRACE(std::string(program, program + wcslen(program)));
        const std::optional<PeImage> image = Image(program);
        ASSERT_TRUE(image) << "not a readable 64-bit image";
        EXPECT_FALSE(image->Imports.empty());
        EXPECT_EQ(UnknownDlls(*image), std::vector<std::string>{});
        // The loader then resolves the dependents' imports from the system folder too.
        ASSERT_TRUE(image->DependentLoadFlags) << "no load configuration";
        EXPECT_EQ(*image->DependentLoadFlags & LOAD_LIBRARY_SEARCH_SYSTEM32,
                  LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

TEST(ImportTable, AProgramImportingVersionDllIsCaught) {
    // The planted-DLL test's plain program imports version.dll as the program once did, and
    // has no load configuration.
    const std::optional<PeImage> image = Image(L"planted_dll_importer.exe");
    ASSERT_TRUE(image);
    std::vector<std::string> unknown = UnknownDlls(*image);
    for (std::string& dll : unknown)
        dll = Lower(dll);
    EXPECT_EQ(unknown, (std::vector<std::string>{"dwmapi.dll", "version.dll"}));
    EXPECT_FALSE(image->DependentLoadFlags);
}

TEST(ImportTable, ATruncatedImageIsNotRead) {
    const std::string bytes = ReadBytes(BuildProgram(L"Snapkeep.exe"));
    ASSERT_GT(bytes.size(), 4096u);
    EXPECT_FALSE(ReadPeImage(bytes.substr(0, 1024)));
    EXPECT_FALSE(ReadPeImage("MZ"));
}

} // namespace

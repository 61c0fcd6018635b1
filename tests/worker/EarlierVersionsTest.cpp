// The versions tree on real folders: which version folders go to make room, in which order, and
// that removing one never reaches through a link.
#include "worker/EarlierVersions.h"

#include "worker/RecycleBin.h"

#include "TempDir.h"
#include "WorkerTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

// The local time `days` days (and `minutes` minutes) before now, as a version folder's name.
std::wstring NameDaysAgo(int days, int minutes = 0) {
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    FILETIME time{};
    ::SystemTimeToFileTime(&now, &time);
    ULARGE_INTEGER value{};
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    value.QuadPart -= (std::uint64_t(days) * 86400 + std::uint64_t(minutes) * 60) * 10'000'000;
    time.dwLowDateTime = value.LowPart;
    time.dwHighDateTime = value.HighPart;
    SYSTEMTIME then{};
    ::FileTimeToSystemTime(&time, &then);
    const LocalStamp stamp{then.wYear, then.wMonth,  then.wDay,
                           then.wHour, then.wMinute, then.wSecond};
    const std::u16string name = VersionFolderName(stamp);
    return std::wstring(name.begin(), name.end());
}

bool MakeFolder(const std::wstring& path) {
    return ::CreateDirectoryW(path.c_str(), nullptr) != FALSE;
}

} // namespace

// Oldest first, one whole folder per call; never the running job's, one younger than 14 days, a
// name of another form, or a link with a version's name. A link inside a removed folder goes,
// and what it points to stays.
TEST(EarlierVersions, RoomIsMadeFromTheOldestFoldersOnlyAndNeverThroughALink) {
    TempDir enclosure;
    TempDir outside;
    ASSERT_TRUE(WriteBytes(outside / L"precious.txt", "not the backup's"));
    const std::wstring tree = enclosure / L"Backup Versions";
    ASSERT_TRUE(MakeFolder(tree));

    const std::wstring days30 = NameDaysAgo(30), days25 = NameDaysAgo(25), days20 = NameDaysAgo(20),
                       days14 = NameDaysAgo(14, 5), days13 = NameDaysAgo(13),
                       days40 = NameDaysAgo(40);
    for (const std::wstring& name : {days30, days25, days20, days14, days13}) {
        ASSERT_TRUE(MakeFolder(tree + L"\\" + name));
        ASSERT_TRUE(MakeFolder(tree + L"\\" + name + L"\\C"));
        ASSERT_TRUE(WriteBytes(tree + L"\\" + name + L"\\C\\report.docx", "a version"));
    }
    ASSERT_TRUE(MakeFolder(tree + L"\\notes"));
    // A folder of 25 days holds a link to a folder outside; a link of 40 days' name leads there.
    const bool links = MakeFolderLink(tree + L"\\" + days25 + L"\\C\\elsewhere", outside.Path()) &&
                       MakeFolderLink(tree + L"\\" + days40, outside.Path());

    EarlierVersions versions(enclosure.Path() + L"\\", LocalNowStamp());
    ASSERT_TRUE(MakeFolder(versions.FolderPath())); // the running job's, made just now
    int removals = 0;
    while (versions.RemoveOldest())
        ASSERT_LT(++removals, 10);
    const std::vector<std::wstring> expected = {days30, days25, days20, days14};
    EXPECT_EQ(versions.Removed(), expected);
    for (const std::wstring& gone : {days30, days20, days14})
        EXPECT_EQ(::GetFileAttributesW((tree + L"\\" + gone).c_str()), INVALID_FILE_ATTRIBUTES)
            << std::string(gone.begin(), gone.end());
    // The folder that held a link: its files are gone, and so is the link where the system can
    // remove one (Wine 8 cannot remove a Linux link to a folder by any call: the link then
    // stays, the only thing left, and never what it points to).
    EXPECT_FALSE(FileExists(tree + L"\\" + days25 + L"\\C\\report.docx"));
    if (::GetFileAttributesW((tree + L"\\" + days25).c_str()) != INVALID_FILE_ATTRIBUTES) {
        EXPECT_TRUE(links);
        EXPECT_NE(::GetFileAttributesW((tree + L"\\" + days25 + L"\\C\\elsewhere").c_str()) &
                      FILE_ATTRIBUTE_REPARSE_POINT,
                  0u);
    }
    EXPECT_TRUE(FileExists(tree + L"\\" + days13 + L"\\C\\report.docx"));
    EXPECT_NE(::GetFileAttributesW((tree + L"\\notes").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(::GetFileAttributesW(versions.FolderPath().c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadBytes(outside / L"precious.txt"), "not the backup's");
    if (!links)
        GTEST_SKIP() << "folder links cannot be made here; the link rows did not run";
    EXPECT_NE(::GetFileAttributesW((tree + L"\\" + days40).c_str()), INVALID_FILE_ATTRIBUTES);
}

// A versions tree that is itself a link leads off the enclosure: nothing there is removed.
TEST(EarlierVersions, AVersionsTreeThatIsALinkIsLeftAlone) {
    TempDir enclosure;
    TempDir outside;
    const std::wstring old = NameDaysAgo(60);
    ASSERT_TRUE(MakeFolder(outside / old));
    ASSERT_TRUE(WriteBytes(outside / (old + L"\\keep.txt"), "kept"));
    if (!MakeFolderLink(enclosure / L"Backup Versions", outside.Path()))
        GTEST_SKIP() << "folder links cannot be made here";
    EarlierVersions versions(enclosure.Path() + L"\\", LocalNowStamp());
    EXPECT_FALSE(versions.RemoveOldest());
    EXPECT_EQ(ReadBytes(outside / (old + L"\\keep.txt")), "kept");
}

TEST(EarlierVersions, AFileKeepsItsPathBelowTheJobsFolder) {
    EarlierVersions versions(L"E:\\", {2026, 12, 11, 1, 48, 10});
    EXPECT_EQ(versions.FolderPath(), L"E:\\Backup Versions\\2026-12-11 014810\\");
    EXPECT_EQ(versions.PathFor(L"E:\\Backup\\C\\Users\\a.txt"),
              L"E:\\Backup Versions\\2026-12-11 014810\\C\\Users\\a.txt");
    EXPECT_EQ(versions.PathFor(L"C:\\Users\\a.txt"), L"");
}

namespace {

// A Recycle Bin that says what the test wants and records what it was sent.
class StandInBin : public RecycleBin {
public:
    bool known = true;
    RecycleBinFacts facts{true, false, 1u << 20};
    bool refuses = false;
    std::vector<std::wstring> sent;

    bool ReadFacts(const std::wstring&, RecycleBinFacts& out) override {
        out = facts;
        return known;
    }
    bool Recycle(const std::wstring& path) override {
        sent.push_back(path);
        return !refuses && ::DeleteFileW(path.c_str());
    }
};

} // namespace

// A moved-aside host file goes to the Recycle Bin only where the bin is sure to keep it, and
// stays beside the restored file otherwise: never deleted outright.
TEST(ReplacedHostFile, GoesToTheRecycleBinOnlyWhereTheBinKeepsIt) {
    struct Case {
        const char* name;
        bool known;
        RecycleBinFacts facts;
        bool refuses;
        std::uint64_t size;
        ReplacedFileFate fate;
        bool offered;
    };
    const RecycleBinFacts bin{true, false, 1u << 20};
    const Case cases[] = {
        {"a bin with room", true, bin, false, 10, ReplacedFileFate::Recycled, true},
        {"no bin (a removable or network drive)",
         true,
         {false, false, 0},
         false,
         10,
         ReplacedFileFate::KeptBeside,
         false},
        {"the bin switched off",
         true,
         {true, true, 1u << 20},
         false,
         10,
         ReplacedFileFate::KeptBeside,
         false},
        {"too large for the bin", true, bin, false, 2u << 20, ReplacedFileFate::KeptBeside, false},
        {"settings unreadable", false, bin, false, 10, ReplacedFileFate::KeptBeside, false},
        {"the bin refuses it", true, bin, true, 10, ReplacedFileFate::KeptBeside, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir folder;
        const std::wstring aside = folder / L"report (before restore 2026-12-11 0148).docx";
        ASSERT_TRUE(WriteBytes(aside, "Tuesday's report"));
        StandInBin standIn;
        standIn.known = c.known;
        standIn.facts = c.facts;
        standIn.refuses = c.refuses;
        EXPECT_EQ(PutReplacedFileAway(standIn, aside, c.size), c.fate);
        EXPECT_EQ(standIn.sent.size(), c.offered ? 1u : 0u);
        if (c.fate == ReplacedFileFate::KeptBeside) {
            EXPECT_EQ(ReadBytes(aside), "Tuesday's report");
        }
    }
}

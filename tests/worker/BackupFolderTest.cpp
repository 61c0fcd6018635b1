// The enclosure's Backup folder: made so that only administrators can change what is in it.
#include "worker/BackupFolder.h"

#include "TempDir.h"
#include "WorkerTestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <string>

using namespace snapkeep;
using namespace snapkeep::test;

namespace {

// The folder's permissions in the system's text form; empty when they cannot be read.
std::wstring PermissionsOf(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (::GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                                nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return {};
    wchar_t* text = nullptr;
    std::wstring result;
    if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        result = text;
        ::LocalFree(text);
    }
    ::LocalFree(descriptor);
    return result;
}

// The same text form of the permissions the program asks for, as this system writes it.
std::wstring Wanted() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorW(
            kBackupFolderSecurity, SDDL_REVISION_1, &descriptor, nullptr))
        return {};
    wchar_t* text = nullptr;
    std::wstring result;
    if (::ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
        result = text;
        ::LocalFree(text);
    }
    ::LocalFree(descriptor);
    return result;
}

TEST(BackupFolder, OnAVolumeThatKeepsPermissionsOnlyAdministratorsAndSystemMayChangeIt) {
    TempDir dir;
    wchar_t root[MAX_PATH] = {};
    DWORD flags = 0;
    ASSERT_TRUE(::GetVolumePathNameW(dir.Path().c_str(), root, MAX_PATH));
    ASSERT_TRUE(::GetVolumeInformationW(root, nullptr, 0, nullptr, nullptr, &flags, nullptr, 0));
    if (!(flags & FILE_PERSISTENT_ACLS))
        GTEST_SKIP() << "this volume keeps no permissions";
    const std::wstring folder = dir / L"Backup";
    ASSERT_TRUE(CreateBackupFolder(folder + L"\\"));
    const std::wstring wanted = Wanted();
    ASSERT_FALSE(wanted.empty());
    // Protected: nothing inherited from the drive's root, where every user may write.
    EXPECT_TRUE(wanted.starts_with(L"D:P")) << wanted;
    const std::wstring made = PermissionsOf(folder);
    // Wine 8 keeps nothing of the permissions a folder is made with: it reads them back from
    // the Linux mode bits (SYSTEM and the user, full control, inherited).
    if (made != wanted && UnderWine())
        GTEST_SKIP() << "Wine keeps no permissions given when a folder is made: "
                     << std::string(made.begin(), made.end());
    EXPECT_EQ(made, wanted);

    // A folder that is already there is left as it is, and counts as made.
    const std::wstring plain = dir / L"Plain";
    ASSERT_TRUE(::CreateDirectoryW(plain.c_str(), nullptr));
    const std::wstring before = PermissionsOf(plain);
    EXPECT_TRUE(CreateBackupFolder(plain));
    EXPECT_EQ(PermissionsOf(plain), before);
    EXPECT_NE(before, wanted);
}

TEST(BackupFolder, AFileInTheWayIsNoFolder) {
    TempDir dir;
    ASSERT_TRUE(WriteBytes(dir / L"Backup", "a file"));
    EXPECT_FALSE(CreateBackupFolder(dir / L"Backup"));
    EXPECT_FALSE(CreateBackupFolder(dir / L"missing\\Backup"));
}

} // namespace

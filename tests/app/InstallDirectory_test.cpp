// The installation directory's rules: the default built from the drives,
// and the directory composed from a folder chosen in the folder browser.
#include "app/InstallDirectory.h"

#include <gtest/gtest.h>

#include "support/TestPaths.h"

namespace {

stDriveInfo Drive(const wchar_t* root, bool system)
{
    stDriveInfo drive;
    drive.root = root;
    drive.system = system;
    return drive;
}

TEST(InstallDirectory, DefaultTakesTheRoomiestDriveButPrefersAnotherToTheSystemDrive)
{
    const std::wstring perUser = L"C:\\users\\u\\AppData\\Local\\Corvel";
    struct Case {
        const char* what;
        std::vector<stDriveInfo> drives;  // most free space first
        std::wstring expected;
    };
    const Case cases[] = {
        {"system first, another there", {Drive(L"C:", true), Drive(L"D:", false), Drive(L"E:", false)},
         L"D:\\Program Files (x86)\\Notes\\专业版"},
        {"other first", {Drive(L"E:", false), Drive(L"C:", true)}, L"E:\\Program Files (x86)\\Notes\\专业版"},
        {"system only", {Drive(L"C:", true)}, perUser},
        // No drive could be read: an empty root, which is no system drive.
        {"no drives", {}, L"\\Program Files (x86)\\Notes\\专业版"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(DefaultInstallDir(c.drives, perUser, L"Notes", L"专业版"), c.expected);
    }
}

TEST(InstallDirectory, ChosenFolderGetsProductAndPackageEvenAfterADriveRoot)
{
    EXPECT_EQ(ComposeChosenInstallDir(L"C:\\", L"Notes", L"Std"), L"C:\\\\Notes\\Std");
    EXPECT_EQ(ComposeChosenInstallDir(L"D:\\Apps", L"Notes", L"专业版"), L"D:\\Apps\\Notes\\专业版");
    EXPECT_EQ(ComposeChosenInstallDir(L"\\\\server\\share", L"Notes", L"Std"), L"\\\\server\\share\\Notes\\Std");
}

TEST(InstallDirectory, OnlyAnExistingFolderCountsAsOne)
{
    testsupport::ScratchDir scratch(L"instdir");
    ASSERT_TRUE(testsupport::WriteFileBytes(scratch.File(L"file"), "x"));
    EXPECT_TRUE(IsExistingFolder(scratch.Path()));
    EXPECT_TRUE(IsExistingFolder(scratch.Path() + L"\\"));
    EXPECT_FALSE(IsExistingFolder(scratch.File(L"file")));
    EXPECT_FALSE(IsExistingFolder(scratch.File(L"missing")));
    EXPECT_FALSE(IsExistingFolder(L""));
}

} // namespace

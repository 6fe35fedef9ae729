#include "app/DriveList.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "support/Text.h"

using testsupport::Narrow;

namespace {

constexpr uint64_t kGiB = 1024ull * 1024 * 1024;

stDriveInfo Drive(const wchar_t* root, uint32_t freeMiB)
{
    stDriveInfo d;
    d.root = root;
    d.free = freeMiB;
    return d;
}

} // namespace

TEST(DriveList, LargestFreeSpaceFirst)
{
    std::vector<stDriveInfo> drives = {Drive(L"C:", 20 * 1024), Drive(L"D:", 100 * 1024), Drive(L"E:", 0),
                                       Drive(L"F:", 0xFFFFFFFFu)};
    SortDrivesByFreeSpace(drives);
    ASSERT_EQ(drives.size(), 4u);
    EXPECT_EQ(drives[0].root, L"F:"); // compared unsigned
    EXPECT_EQ(drives[1].root, L"D:");
    EXPECT_EQ(drives[2].root, L"C:");
    EXPECT_EQ(drives[3].root, L"E:");
}

TEST(DriveList, BytesBecomeWholeMiB)
{
    EXPECT_EQ(BytesToMiB(0), 0u);
    EXPECT_EQ(BytesToMiB(1048575), 0u);
    EXPECT_EQ(BytesToMiB(100 * kGiB + 1048575), 100u * 1024);
    EXPECT_EQ(BytesToMiB(UINT64_MAX), UINT32_MAX); // not wrapped
}

// The test prefix has c: as a fixed disk and z: (the host's root) marked as
// a network drive.
TEST(DriveList, OnlyFixedDrivesAreOffered)
{
    const std::vector<stDriveInfo> drives = GetDriveList();
    bool sawSystem = false;
    for (size_t i = 0; i < drives.size(); ++i) {
        const stDriveInfo& d = drives[i];
        SCOPED_TRACE(Narrow(d.root));
        ASSERT_EQ(d.root.size(), 2u);
        EXPECT_EQ(GetDriveTypeW((d.root + L"\\").c_str()), static_cast<UINT>(DRIVE_FIXED));
        EXPECT_NE(d.root, L"Z:");
        EXPECT_LE(d.free, d.total);
        if (i > 0) {
            EXPECT_GE(drives[i - 1].free, d.free);
        }
        sawSystem = sawSystem || d.system;
        EXPECT_EQ(d.system, d.root == L"C:");
    }
    EXPECT_TRUE(sawSystem);
    EXPECT_EQ(GetDriveTypeW(L"Z:\\"), static_cast<UINT>(DRIVE_REMOTE)) << "the prefix should mark z: as network";
    // Cached: the same list again.
    const std::vector<stDriveInfo> again = GetDriveList();
    ASSERT_EQ(again.size(), drives.size());
    for (size_t i = 0; i < drives.size(); ++i)
        EXPECT_EQ(again[i].root, drives[i].root);
}

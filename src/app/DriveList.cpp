#include "app/DriveList.h"

#include <windows.h>

#include <algorithm>

namespace {

constexpr double kBytesPerMiB = 1048576.0;
constexpr int kDriveLetters = 26;
// "C:" of the Windows folder's path.
constexpr size_t kDriveRootLength = 2;

std::vector<stDriveInfo> cachedDrives;

std::wstring SystemDriveRoot()
{
    wchar_t windows[MAX_PATH] = {};
    const UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return std::wstring();
    return std::wstring(windows).substr(0, kDriveRootLength);
}

std::vector<stDriveInfo> ProbeFixedDrives()
{
    const DWORD mask = GetLogicalDrives();
    const std::wstring systemRoot = SystemDriveRoot();
    std::vector<stDriveInfo> drives;
    for (int i = 0; i < kDriveLetters; ++i) {
        if (!(mask & (1u << i)))
            continue;
        stDriveInfo drive;
        drive.root = std::wstring(1, static_cast<wchar_t>(L'A' + i)) + L":";
        if (GetDriveTypeW((drive.root + L"\\").c_str()) != DRIVE_FIXED)
            continue;
        ULARGE_INTEGER available = {}, total = {};
        if (!GetDiskFreeSpaceExW(drive.root.c_str(), &available, &total, nullptr))
            continue;
        drive.total = BytesToMiB(total.QuadPart);
        drive.free = BytesToMiB(available.QuadPart);
        drive.system = drive.root == systemRoot;
        drives.push_back(drive);
    }
    return drives;
}

} // namespace

uint32_t BytesToMiB(uint64_t bytes)
{
    const double mib = static_cast<double>(bytes) / kBytesPerMiB;
    return mib >= static_cast<double>(UINT32_MAX) ? UINT32_MAX : static_cast<uint32_t>(mib);
}

void SortDrivesByFreeSpace(std::vector<stDriveInfo>& drives)
{
    std::sort(drives.begin(), drives.end(),
              [](const stDriveInfo& a, const stDriveInfo& b) { return a.free > b.free; });
}

std::vector<stDriveInfo> GetDriveList()
{
    if (cachedDrives.empty()) {
        cachedDrives = ProbeFixedDrives();
        SortDrivesByFreeSpace(cachedDrives);
    }
    return cachedDrives;
}

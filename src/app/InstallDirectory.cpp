#include "app/InstallDirectory.h"

#include <utility>

#include "app/PathUtil.h"

namespace {

constexpr const wchar_t* kRunAsVerb = L"runas";
// The option that marks the elevated relaunch.
constexpr const wchar_t* kSelfOption = L"-self";

std::function<std::vector<stDriveInfo>()> g_drivesForTesting;
std::function<BOOL(SHELLEXECUTEINFOW&)> g_launchForTesting;

} // namespace

std::wstring DefaultInstallDir(const std::vector<stDriveInfo>& drives, const std::wstring& perUserFolder,
                               const std::wstring& productFolder, const std::wstring& packageFolder)
{
    stDriveInfo chosen;
    if (!drives.empty())
        chosen = drives[0].system && drives.size() > 1 ? drives[1] : drives[0];
    if (chosen.system)
        return perUserFolder;
    return chosen.root + kProgramFilesFolder + productFolder + L"\\" + packageFolder;
}

std::wstring ComposeChosenInstallDir(const std::wstring& chosen, const std::wstring& productFolder,
                                     const std::wstring& packageFolder)
{
    return chosen + L"\\" + productFolder + L"\\" + packageFolder;
}

bool IsExistingFolder(const std::wstring& path)
{
    if (path.empty())
        return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<stDriveInfo> InstallDriveList()
{
    return g_drivesForTesting ? g_drivesForTesting() : GetDriveList();
}

void SetInstallDrivesForTesting(std::function<std::vector<stDriveInfo>()> drives)
{
    g_drivesForTesting = std::move(drives);
}

bool RelaunchElevated()
{
    const std::wstring self = GetModulePath();
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = kRunAsVerb;
    info.lpFile = self.c_str();
    info.lpParameters = kSelfOption;
    info.nShow = SW_SHOWNORMAL;
    const BOOL launched = g_launchForTesting ? g_launchForTesting(info) : ShellExecuteExW(&info);
    // Nobody waits for the new instance: its handle is only a leak here.
    if (info.hProcess)
        CloseHandle(info.hProcess);
    return launched != FALSE;
}

void SetElevatedLaunchForTesting(std::function<BOOL(SHELLEXECUTEINFOW&)> launch)
{
    g_launchForTesting = std::move(launch);
}

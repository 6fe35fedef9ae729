// Where the product is installed: the default directory built from the
// drives, the one composed from a folder the user chose, and the elevated
// relaunch when a directory cannot be created. The composing functions are
// pure; the rest runs on the UI thread.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "app/DriveList.h"

// Under a drive that is not the system drive the product goes below this.
constexpr wchar_t kProgramFilesFolder[] = L"\\Program Files (x86)\\";

// The default directory: on the drive with the most free space (`drives`
// as GetDriveList orders them), or the second one when the first is the
// system drive and there is another. The system drive gives `perUserFolder`
// itself; any other drive root + kProgramFilesFolder + product + "\" +
// package. No drive at all counts as a drive with an empty root that is not
// the system drive.
std::wstring DefaultInstallDir(const std::vector<stDriveInfo>& drives, const std::wstring& perUserFolder,
                               const std::wstring& productFolder, const std::wstring& packageFolder);

// A folder chosen in the folder browser + "\" + product + "\" + package; the
// backslash is added even after a drive root ("C:\" gives "C:\\product...").
std::wstring ComposeChosenInstallDir(const std::wstring& chosen, const std::wstring& productFolder,
                                     const std::wstring& packageFolder);

// True when `path` names an existing folder (a file of that name is not one).
bool IsExistingFolder(const std::wstring& path);

// The drives DefaultInstallDir chooses from: GetDriveList, or the test's.
std::vector<stDriveInfo> InstallDriveList();
// Null restores GetDriveList.
void SetInstallDrivesForTesting(std::function<std::vector<stDriveInfo>()> drives);

// Starts the running executable again with "runas" and "-self" (the user is
// asked to allow the elevation) and closes the process handle it gets. False
// when the launch failed or was refused.
bool RelaunchElevated();
// Tests observe the launch instead of starting a process: the hook gets the
// filled request and answers as ShellExecuteExW would; a process handle it
// puts in hProcess is closed by RelaunchElevated. Null restores
// ShellExecuteExW.
void SetElevatedLaunchForTesting(std::function<BOOL(SHELLEXECUTEINFOW&)> launch);

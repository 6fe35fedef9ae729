// Paths of the installer and folder removal. The caches are filled on first
// use without a lock: call GetModulePath and GetAppDataDir first on the main
// thread during start-up.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// Full path of `module` (null: the executable); the first call's answer is
// kept in modulePath and returned by every later call.
std::wstring GetModulePath(HMODULE module = nullptr);

// The per-user folder: local application data + "\" + `name` (no "\" +
// name when it is empty), created with its parents when missing. Fixed by
// the first call; later calls return it whatever name they pass.
std::wstring GetAppDataDir(const std::wstring& name);

// Deletes the files of `folder` and its subfolders, except entries whose
// name matches one of `keep` (case-insensitive); a folder that held a kept
// entry stays, other emptied folders are removed. Links and junctions are
// removed without entering them, so nothing outside `folder` is touched.
// Returns the full paths of files that could not be deleted; a file named
// like "uninstall.exe" is never listed.
std::vector<std::wstring> DeleteFolderTree(const std::wstring& folder, const std::vector<std::wstring>& keep);

// DeleteFolderTree, run again after 1 s while files remain, at most three
// more times. True when the last run left nothing. Blocks; not for the UI
// thread.
bool DeletePathsWithRetry(const std::wstring& folder, const std::vector<std::wstring>& keep);

// A path of at most 20 characters for display: longer ones keep as much of
// their last element as fits behind "...".
std::wstring ShortenPathForDisplay(const std::wstring& path);

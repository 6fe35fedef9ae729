// Removal of the installer when the service orders it: the desktop link to
// the installer and the per-user folder go at once, the installer file
// itself by a command that runs after this process has ended.
//
// Runs on the UI thread after its message loop has ended (CAppModel posts
// WM_QUIT there when the order arrives); the caller then ends the process
// with exit code 0 by returning from wWinMain, without any further window.
#pragma once

#include <string>

// Echoes the delayed command sends to 127.0.0.1 before it deletes the
// installer file: one a second, the first at once, so 2 gives the process
// about a second to end and let go of its file.
constexpr int kSelfDeletePings = 2;

struct stRemovalPlan {
    std::wstring installerPath;    // the one file the delayed command deletes
    std::wstring desktopDir;       // holds "<productName>.lnk"
    std::wstring localAppDataDir;  // the per-user folder is this + "\" + productName
    std::wstring productName;      // must be one file name as it is (ReduceToFileName), else the link and folder stay
    int delayPings = kSelfDeletePings;
};

// The plan for this process: its own executable, the user's desktop and
// local application-data folders.
stRemovalPlan MakeRemovalPlan(const std::wstring& productName);

struct stRemovalResult {
    bool productNameUsable = false;   // false: link and per-user folder were left alone
    bool linkRemoved = false;         // the link existed and is gone
    bool folderCleared = false;       // nothing of the per-user folder was left
    bool commandStarted = false;      // the delayed delete is on its way
};

// Removes the link and the per-user folder (DeletePathsWithRetry: links and
// junctions inside it are removed, never followed) and starts the delayed
// delete of exactly installerPath when it is a plain file. Returns; the
// caller ends the process.
stRemovalResult RunRemovalRoad(const stRemovalPlan& plan);

// The arguments of cmd.exe for the delayed delete of path: a few pings,
// then del /q of that one file (never /s, which also deletes same-named
// files in subfolders). Empty when path cannot be given to cmd.exe
// literally: cmd.exe expands %NAME% in its command line (and Wine's expands
// the result again), so a path with '%' goes by its short name, and without
// a short name free of '%' the file is left in place.
std::wstring SelfDeleteCommandLine(int delayPings, const std::wstring& path);

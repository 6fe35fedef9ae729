// The frame of the installer's process: the UI library and the skin archive
// around the installer's own start-up and shutdown, the timer period, the
// thread priority and the main loop. Main thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// Resource of the skin archive: type "ZIPRES", id 104.
constexpr const wchar_t* kSkinResourceType = L"ZIPRES";
constexpr WORD kSkinResourceId = 104;

// The installer's own objects, built between the UI library's start-up and
// the loop and released after it (report queue, InitApplication, model,
// fetch threads, main window). They belong to the main window's code; the
// entry only calls them in order. Either may be empty.
struct InstallerStages {
    std::function<void(HINSTANCE, const std::wstring&)> startUp;
    std::function<void()> shutDown;
};

// Opens the skin archive from the executable's resources unless one is
// already open. A missing or empty resource leaves none (the first window
// that needs its skin reports it). True when an archive is open afterwards.
bool LoadSkinArchiveResource(HINSTANCE instance);

// The whole life of the process after the entry point: UI library, skin,
// `stages.startUp`, 1 ms timer period and the highest thread priority, the
// main loop until WM_QUIT, then the timer period restored,
// `stages.shutDown` and the UI library's shutdown. Returns 0.
int RunInstallerEntry(HINSTANCE instance, const std::wstring& commandLine, const InstallerStages& stages);

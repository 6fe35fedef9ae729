// The installer's own start-up and shutdown around the main loop: the
// event-report queue, the application values, the product model with its
// fetch threads and the main window, and at exit the advertisement. Main
// (UI) thread only; RunInstallerEntry (AppEntry.h) calls the two stages.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/AppEntry.h"
#include "app/ServiceApi.h"

class CMainWnd;

// What the stages build and keep between start-up and shutdown.
struct InstallerRun {
    InstallerRun();
    ~InstallerRun();
    InstallerRun(const InstallerRun&) = delete;
    InstallerRun& operator=(const InstallerRun&) = delete;

    std::unique_ptr<CMainWnd> mainWindow;  // null when it was never built
    bool adShown = false;                  // the exit advertisement ran
};

// Start-up, in order: report queue, InitApplication, the start-up report,
// the model and its fetch threads, the network cache folder, the main window
// created and shown. `endpoint` null: the endpoint InitApplication's values
// give (tests pass one to reach their own service).
void StartInstaller(InstallerRun& run, HINSTANCE instance, const std::wstring& commandLine,
                    const stServiceEndpoint* endpoint = nullptr);

// Shutdown, in order: the exit advertisement when the product enables one
// with a picture (never on the removal road), the report queue, the model,
// the main window. Then, when the service ordered it, the removal road.
void ShutDownInstaller(InstallerRun& run);

// The two stages bound to `run` for RunInstallerEntry.
InstallerStages MakeInstallerStages(InstallerRun& run);

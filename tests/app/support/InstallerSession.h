// The installer's start-up and shutdown run inside a test process against
// the demo service: the UI library and the installer's skin (the test
// executable carries it, like the installer), InitApplication, report queue,
// model, fetch threads and main window, and a pump that drives them.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "app/InstallerRun.h"
#include "app/ServiceApi.h"
#include "support/Pixels.h"

namespace apptest {

// Bounded waits for the window and the service.
constexpr DWORD kUiWaitMs = 10000;

// Runs messages (through the UI library's pre-translate hook) and idle ticks
// until `done` answers true or `ms` passed; true when done. A WM_QUIT taken
// on the way is counted in quitCount.
bool PumpUntil(const std::function<bool()>& done, DWORD ms = kUiWaitMs);
void PumpFor(DWORD ms);
// Like PumpUntil, but asks `done` after every message: reports that arrive
// faster than a drained queue would show them (the extraction's current
// file) are each seen.
bool PumpEachUntil(const std::function<bool()>& done, DWORD ms = kUiWaitMs);
int QuitCount();

// Starts the installer on `baseUrl` (the demo service's tag URL or a
// service that is down) with the test identity; the destructor shuts it
// down as the process would, when the test has not already.
class InstallerSession {
public:
    explicit InstallerSession(const std::wstring& baseUrl, const std::wstring& commandLine = L"");
    // The UI library and the installer's skin from this executable's
    // resources, once per process, as the installer's entry does.
    static void EnsureUiLibraryForTesting();
    ~InstallerSession();
    InstallerSession(const InstallerSession&) = delete;
    InstallerSession& operator=(const InstallerSession&) = delete;

    InstallerRun& Run() { return m_run; }
    CMainWnd& Window() { return *m_run.mainWindow; }
    HWND Hwnd() const;
    // Closes with the close button's code and pumps until the window is
    // gone and the main loop's WM_QUIT arrived; true when both happened.
    bool CloseAndWait();
    // The shutdown stage (advertisement, queue, model, window).
    void ShutDown();

private:
    InstallerRun m_run;
    bool m_shutDown = false;
};

// What the screen shows of the window (window pixels, row 0 at the top).
testsupport::PixelImage WindowScreenPixels(HWND window);

// Writes what the window shows to artifacts/<name>.png; true when written.
bool SaveWindowScreenshot(HWND window, const std::wstring& name);

} // namespace apptest

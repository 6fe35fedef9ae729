// The installer's entry point: the UI library and skin, the installer's own
// start-up, the main loop, then shutdown (AppEntry.h, InstallerRun.h).
#include <windows.h>

#include <string>

#include "app/AppEntry.h"
#include "app/CrashDump.h"
#include "app/InstallerRun.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int)
{
    // The crash filter is in place before this runs (CrashDump.cpp's static
    // initialiser); calling it here keeps that file linked in.
    InstallCrashDumpFilter();
    InstallerRun run;
    return RunInstallerEntry(instance, commandLine ? commandLine : L"", MakeInstallerStages(run));
}

// The process-wide crash handler: any unhandled exception, on any thread,
// writes a mini-dump beside the executable ("<folder>\<exe name>.<seconds
// since 1970>.dmp") and ends the process with a non-zero exit code (the
// exception code). Installed by a static initialiser of CrashDump.cpp before
// the entry point runs; linking anything of this file installs it.
#pragma once

#include <windows.h>

// The filter itself. Returns only EXCEPTION_CONTINUE_SEARCH, when no token
// can be opened (the system's own handling then ends the process);
// otherwise it terminates the process.
LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* exception);

// Installs CrashDumpFilter (again); the static initialiser already did.
void InstallCrashDumpFilter();

// The exit code of a crashed process: the exception code, or 1 when there
// is none.
UINT CrashExitCode(const EXCEPTION_POINTERS* exception);

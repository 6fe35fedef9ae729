// Child processes for the installer's tests: a test runs one case of its own
// executable (or a command) in a separate process to watch what ends a
// process, starts one or opens a link.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace apptest {

// Waits are bounded: a child still running after this is ended.
constexpr DWORD kChildWaitMs = 10000;

// Full path of the running test executable.
std::wstring ThisExecutable();

// True in the child flavour of a test: the command line holds `flag`.
bool IsChildRun(const wchar_t* flag);

// Runs `commandLine` without a window and waits for it; its exit code, or
// nullopt when it could not start or did not end within `waitMs` (then it
// is ended).
std::optional<DWORD> RunChild(const std::wstring& commandLine, DWORD waitMs = kChildWaitMs);

// The command line that runs one test of `exe` in the child flavour.
std::wstring ChildTestCommand(const std::wstring& exe, const wchar_t* testName, const wchar_t* flag);

} // namespace apptest

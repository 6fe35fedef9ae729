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
// The exit code of a child a test ended with TerminateProcess.
constexpr UINT kKilledExitCode = 0xDEAD;

// Full path of the running test executable.
std::wstring ThisExecutable();

// True in the child flavour of a test: the command line holds `flag`.
bool IsChildRun(const wchar_t* flag);

// Runs `commandLine` without a window and waits for it; its exit code, or
// nullopt when it could not start or did not end within `waitMs` (then it
// is ended).
std::optional<DWORD> RunChild(const std::wstring& commandLine, DWORD waitMs = kChildWaitMs);

// A child started without waiting for it, for tests that end it midway
// (TerminateProcess) or wait for it themselves. The destructor ends a child
// still running and waits for it.
class RunningChild {
public:
    // Starts `commandLine` without a window; Started() tells whether it did.
    explicit RunningChild(const std::wstring& commandLine);
    ~RunningChild();
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

    bool Started() const { return m_process != nullptr; }
    // True while the child runs.
    bool Running() const;
    // Waits up to waitMs for the child to end; its exit code, or nullopt
    // when it still runs (it is left running).
    std::optional<DWORD> Wait(DWORD waitMs);
    // Ends the child at once, as a crash or a kill would, and waits until
    // it is gone; true when it is.
    bool Kill();

private:
    HANDLE m_process = nullptr;
};

// The command line that runs one test of `exe` in the child flavour.
std::wstring ChildTestCommand(const std::wstring& exe, const wchar_t* testName, const wchar_t* flag);

} // namespace apptest

#include "ChildProcess.h"

namespace apptest {

std::wstring ThisExecutable()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

bool IsChildRun(const wchar_t* flag)
{
    return std::wstring(GetCommandLineW()).find(flag) != std::wstring::npos;
}

std::optional<DWORD> RunChild(const std::wstring& commandLine, DWORD waitMs)
{
    std::wstring command = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
        return std::nullopt;
    CloseHandle(process.hThread);
    std::optional<DWORD> result;
    if (WaitForSingleObject(process.hProcess, waitMs) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result = code;
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hProcess);
    return result;
}

RunningChild::RunningChild(const std::wstring& commandLine)
{
    std::wstring command = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &process))
        return;
    CloseHandle(process.hThread);
    m_process = process.hProcess;
}

RunningChild::~RunningChild()
{
    if (!m_process)
        return;
    Kill();
    CloseHandle(m_process);
}

bool RunningChild::Running() const
{
    return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> RunningChild::Wait(DWORD waitMs)
{
    if (!m_process || WaitForSingleObject(m_process, waitMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    return code;
}

bool RunningChild::Kill()
{
    if (!m_process)
        return false;
    if (Running())
        TerminateProcess(m_process, kKilledExitCode);
    return WaitForSingleObject(m_process, kChildWaitMs) == WAIT_OBJECT_0;
}

std::wstring ChildTestCommand(const std::wstring& exe, const wchar_t* testName, const wchar_t* flag)
{
    return L"\"" + exe + L"\" --gtest_filter=" + testName + L" " + flag;
}

} // namespace apptest

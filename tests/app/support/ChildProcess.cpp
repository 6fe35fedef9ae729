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

std::wstring ChildTestCommand(const std::wstring& exe, const wchar_t* testName, const wchar_t* flag)
{
    return L"\"" + exe + L"\" --gtest_filter=" + testName + L" " + flag;
}

} // namespace apptest

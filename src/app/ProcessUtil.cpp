#include "app/ProcessUtil.h"

#include <windows.h>

#include <cstdlib>

#include "app/PathUtil.h"

namespace {

// Echo requests of the ping that delays the delete, one second apart.
constexpr int kDelayPings = 2;

} // namespace

std::wstring SelfDeleteCommand(const std::wstring& exePath)
{
    // "del /s" would also delete every file of that name in the folders
    // below the executable's (a Downloads folder, for one).
    return L"cmd.exe /c \"ping -n " + std::to_wstring(kDelayPings) + L" 127.0.0.1 > nul & del /q \"" + exePath +
           L"\"\"";
}

void SelfDelete()
{
    std::wstring command = SelfDeleteCommand(GetModulePath());
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, nullptr, &startup,
                       &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    exit(0);
}

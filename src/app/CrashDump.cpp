#include "app/CrashDump.h"

#include <dbghelp.h>

#include <cstdint>
#include <cwchar>
#include <ctime>

namespace {

constexpr size_t kPathUnits = MAX_PATH;
// Exit code when the crash carries no exception code of its own: anything
// but 0, which would report the crash as a clean exit.
constexpr UINT kCrashWithoutCode = 1;

using MiniDumpWriteDumpProc = BOOL(WINAPI*)(HANDLE, DWORD, HANDLE, MINIDUMP_TYPE, PMINIDUMP_EXCEPTION_INFORMATION,
                                            PMINIDUMP_USER_STREAM_INFORMATION, PMINIDUMP_CALLBACK_INFORMATION);

// Scratch state filled before any crash: the filter allocates nothing.
struct CrashScratch {
    EXCEPTION_POINTERS* exception = nullptr;
    wchar_t dumpPath[kPathUnits] = {};
    wchar_t exePath[kPathUnits] = {};
    wchar_t exeName[kPathUnits] = {};
};
CrashScratch scratch;
// Serialises dumps of threads that crash at the same time.
CRITICAL_SECTION dumpLock;

HANDLE OpenOwnToken()
{
    HANDLE token = nullptr;
    const DWORD rights = TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY;
    if (OpenThreadToken(GetCurrentThread(), rights, TRUE, &token))
        return token;
    if (GetLastError() == ERROR_NO_TOKEN && OpenProcessToken(GetCurrentProcess(), rights, &token))
        return token;
    return nullptr;
}

// Splits the executable path into its folder (trailing backslash kept) in
// exePath and its file name in exeName.
void SplitExecutablePath()
{
    const DWORD n = GetModuleFileNameW(nullptr, scratch.exePath, kPathUnits);
    scratch.exePath[n < kPathUnits ? n : kPathUnits - 1] = L'\0';
    wchar_t* slash = wcsrchr(scratch.exePath, L'\\');
    wcsncpy(scratch.exeName, slash ? slash + 1 : scratch.exePath, kPathUnits - 1);
    if (slash)
        slash[1] = L'\0';
    else
        scratch.exePath[0] = L'\0';
}

HMODULE LoadDbgHelp()
{
    wchar_t local[kPathUnits];
    swprintf(local, kPathUnits, L"%lsDBGHELP.DLL", scratch.exePath);
    HMODULE dbghelp = LoadLibraryW(local);
    return dbghelp ? dbghelp : LoadLibraryW(L"DBGHELP.DLL");
}

// Enables SeDebugPrivilege; true (with the previous state) when it is now on.
bool EnableDebugPrivilege(HANDLE token, TOKEN_PRIVILEGES& previous)
{
    TOKEN_PRIVILEGES wanted = {};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueW(nullptr, SE_DEBUG_NAME, &wanted.Privileges[0].Luid))
        return false;
    DWORD size = sizeof(previous);
    return AdjustTokenPrivileges(token, FALSE, &wanted, sizeof(previous), &previous, &size) &&
           GetLastError() != ERROR_NOT_ALL_ASSIGNED;
}

void WriteDump(HANDLE token, MiniDumpWriteDumpProc writeDump)
{
    swprintf(scratch.dumpPath, kPathUnits, L"%ls%ls.%ld.dmp", scratch.exePath, scratch.exeName,
             static_cast<long>(static_cast<uint32_t>(time(nullptr))));
    HANDLE file = CreateFileW(scratch.dumpPath, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    TOKEN_PRIVILEGES previous = {};
    const bool raised = EnableDebugPrivilege(token, previous);
    MINIDUMP_EXCEPTION_INFORMATION info = {};
    info.ThreadId = GetCurrentThreadId();
    info.ExceptionPointers = scratch.exception;
    info.ClientPointers = FALSE;
    EnterCriticalSection(&dumpLock);
    writeDump(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &info, nullptr, nullptr);
    LeaveCriticalSection(&dumpLock);
    if (raised)
        AdjustTokenPrivileges(token, FALSE, &previous, 0, nullptr, nullptr);
    CloseHandle(file);
}

struct FilterInstaller {
    FilterInstaller()
    {
        InitializeCriticalSection(&dumpLock);
        InstallCrashDumpFilter();
    }
};
FilterInstaller installer;

} // namespace

UINT CrashExitCode(const EXCEPTION_POINTERS* exception)
{
    const DWORD code = exception && exception->ExceptionRecord ? exception->ExceptionRecord->ExceptionCode : 0;
    return code != 0 ? static_cast<UINT>(code) : kCrashWithoutCode;
}

void InstallCrashDumpFilter()
{
    SetUnhandledExceptionFilter(CrashDumpFilter);
}

LONG WINAPI CrashDumpFilter(EXCEPTION_POINTERS* exception)
{
    scratch.exception = exception;
    HANDLE token = OpenOwnToken();
    if (!token)
        return EXCEPTION_CONTINUE_SEARCH;
    SplitExecutablePath();
    HMODULE dbghelp = LoadDbgHelp();
    const auto writeDump = dbghelp ? reinterpret_cast<MiniDumpWriteDumpProc>(reinterpret_cast<void*>(
                                         GetProcAddress(dbghelp, "MiniDumpWriteDump")))
                                   : nullptr;
    if (writeDump)
        WriteDump(token, writeDump);
    CloseHandle(token);
    TerminateProcess(GetCurrentProcess(), CrashExitCode(exception));
    return EXCEPTION_CONTINUE_SEARCH; // not reached
}

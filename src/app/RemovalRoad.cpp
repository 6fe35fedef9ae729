#include "app/RemovalRoad.h"

#include "app/PathSafety.h"
#include "app/PathUtil.h"

#include <windows.h>
#include <shlobj.h>

namespace {

bool IsReparsePoint(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsDirectory(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// The name exactly as given is one file name: nothing reduced, nothing refused.
bool IsOneFileName(const std::wstring& name)
{
    const SafeFileName safe = ReduceToFileName(name);
    return safe.IsValid() && safe.name == name;
}

std::wstring KnownFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::wstring();
    return path;
}

// path as cmd.exe must see it to take it literally: without '%', or by its
// short name when that has none; empty when neither.
std::wstring LiteralPathForCmd(const std::wstring& path)
{
    if (path.empty() || path.find(L'"') != std::wstring::npos)
        return std::wstring();
    if (path.find(L'%') == std::wstring::npos)
        return path;
    std::wstring shortPath(MAX_PATH, L'\0');
    DWORD n = GetShortPathNameW(path.c_str(), &shortPath[0], static_cast<DWORD>(shortPath.size()));
    if (n >= shortPath.size()) {
        shortPath.resize(n);
        n = GetShortPathNameW(path.c_str(), &shortPath[0], static_cast<DWORD>(shortPath.size()));
    }
    if (n == 0 || n >= shortPath.size())
        return std::wstring();
    shortPath.resize(n);
    return shortPath.find(L'%') == std::wstring::npos ? shortPath : std::wstring();
}

// Only a plain file: del given a folder would empty it.
bool IsPlainFile(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !IsDirectory(attributes) && !IsReparsePoint(attributes);
}

bool StartDelayedDelete(const std::wstring& installerPath, int delayPings)
{
    if (!IsPlainFile(installerPath))
        return false;
    wchar_t system[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(system, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    const std::wstring arguments = SelfDeleteCommandLine(delayPings, installerPath);
    if (arguments.empty())
        return false;
    const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    std::wstring line = L"\"" + cmd + L"\" " + arguments;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(cmd.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr, system,
                        &startup, &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace

std::wstring SelfDeleteCommandLine(int delayPings, const std::wstring& path)
{
    const std::wstring literal = LiteralPathForCmd(path);
    if (literal.empty())
        return std::wstring();
    // /d: no AutoRun commands from the registry; /v:off: "!" is plain text.
    // Inside the quotes & | < > ^ are plain text too.
    const int pings = delayPings < 1 ? 1 : delayPings;
    return L"/d /v:off /c \"ping -n " + std::to_wstring(pings) + L" 127.0.0.1 > nul & del /q \"" + literal + L"\"\"";
}

stRemovalPlan MakeRemovalPlan(const std::wstring& productName)
{
    stRemovalPlan plan;
    plan.installerPath = GetModulePath();
    plan.desktopDir = KnownFolder(CSIDL_DESKTOPDIRECTORY);
    plan.localAppDataDir = KnownFolder(CSIDL_LOCAL_APPDATA);
    plan.productName = productName;
    return plan;
}

stRemovalResult RunRemovalRoad(const stRemovalPlan& plan)
{
    stRemovalResult result;
    // An empty or unsafe name would make the "per-user folder" the whole
    // application-data folder, or one outside it: both stay untouched.
    result.productNameUsable = IsOneFileName(plan.productName);
    if (result.productNameUsable && !plan.desktopDir.empty()) {
        const std::wstring link = plan.desktopDir + L"\\" + plan.productName + L".lnk";
        result.linkRemoved = IsPlainFile(link) && DeleteFileW(link.c_str()) != 0;
    }
    if (result.productNameUsable && !plan.localAppDataDir.empty())
        result.folderCleared = DeletePathsWithRetry(plan.localAppDataDir + L"\\" + plan.productName, {});
    result.commandStarted = StartDelayedDelete(plan.installerPath, plan.delayPings);
    return result;
}

#include "app/RemovalRoad.h"

#include "app/PathSafety.h"

#include <windows.h>
#include <shlobj.h>

#include <cwctype>
#include <vector>

namespace {

// A file another process still holds gets this long to be let go, this
// many more times, before it is left behind.
constexpr DWORD kDeleteRetryWaitMs = 1000;
constexpr int kDeleteExtraRuns = 3;

bool IsReparsePoint(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

bool IsDirectory(DWORD attributes)
{
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteOneFile(const std::wstring& path, DWORD attributes)
{
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFileW(path.c_str()) != 0;
}

// A junction or a directory symbolic link: RemoveDirectoryW takes the link
// away and leaves its target alone.
bool RemoveLink(const std::wstring& path, DWORD attributes)
{
    return IsDirectory(attributes) ? RemoveDirectoryW(path.c_str()) != 0 : DeleteOneFile(path, attributes);
}

// One pass over the tree; the number of entries left behind.
size_t DeletePass(const std::wstring& folder)
{
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return 0;
    if (IsReparsePoint(attributes) || !IsDirectory(attributes))
        return RemoveLink(folder, attributes) ? 0 : 1;
    size_t left = 0;
    WIN32_FIND_DATAW found = {};
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring path = folder + L"\\" + name;
            if (IsReparsePoint(found.dwFileAttributes))
                left += RemoveLink(path, found.dwFileAttributes) ? 0 : 1;
            else if (IsDirectory(found.dwFileAttributes))
                left += DeletePass(path);
            else
                left += DeleteOneFile(path, found.dwFileAttributes) ? 0 : 1;
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    if (!RemoveDirectoryW(folder.c_str()) && GetFileAttributesW(folder.c_str()) != INVALID_FILE_ATTRIBUTES)
        ++left;
    return left;
}

std::wstring KnownFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return std::wstring();
    return path;
}

std::wstring ExecutablePath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0)
            return std::wstring();
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

bool SameVariableName(const wchar_t* entry, const wchar_t* name)
{
    for (; *name; ++entry, ++name) {
        if (std::towupper(*entry) != std::towupper(*name))
            return false;
    }
    return *entry == L'=';
}

// This process's environment with name=value set: the block CreateProcessW
// takes (entries ended by NUL, one more NUL at the end).
std::vector<wchar_t> EnvironmentWith(const wchar_t* name, const std::wstring& value)
{
    std::vector<wchar_t> block;
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1) {
            if (!SameVariableName(entry, name))
                block.insert(block.end(), entry, entry + wcslen(entry) + 1);
        }
        FreeEnvironmentStringsW(strings);
    }
    const std::wstring own = std::wstring(name) + L"=" + value;
    block.insert(block.end(), own.c_str(), own.c_str() + own.size() + 1);
    block.push_back(L'\0');
    return block;
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
    const std::wstring cmd = std::wstring(system) + L"\\cmd.exe";
    std::wstring line = L"\"" + cmd + L"\" " + SelfDeleteCommandLine(delayPings);
    std::vector<wchar_t> environment = EnvironmentWith(kRemovalTargetVariable, installerPath);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(cmd.c_str(), &line[0], nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE | CREATE_UNICODE_ENVIRONMENT, environment.data(), system, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

} // namespace

bool DeleteTreeNoFollow(const std::wstring& folder)
{
    if (folder.empty())
        return true;
    for (int run = 0;; ++run) {
        if (DeletePass(folder) == 0)
            return true;
        if (run == kDeleteExtraRuns)
            return false;
        Sleep(kDeleteRetryWaitMs);
    }
}

std::wstring SelfDeleteCommandLine(int delayPings)
{
    // /d: no AutoRun commands from the registry; /v:off: "!" is plain text.
    const int pings = delayPings < 1 ? 1 : delayPings;
    return L"/d /v:off /c \"ping -n " + std::to_wstring(pings) + L" 127.0.0.1 > nul & del /q \"%" +
           kRemovalTargetVariable + L"%\"\"";
}

stRemovalPlan MakeRemovalPlan(const std::wstring& productName)
{
    stRemovalPlan plan;
    plan.installerPath = ExecutablePath();
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
    result.productNameUsable = IsSafePathComponent(plan.productName);
    if (result.productNameUsable && !plan.desktopDir.empty()) {
        const std::wstring link = plan.desktopDir + L"\\" + plan.productName + L".lnk";
        result.linkRemoved = IsPlainFile(link) && DeleteFileW(link.c_str()) != 0;
    }
    if (result.productNameUsable && !plan.localAppDataDir.empty())
        result.folderCleared = DeleteTreeNoFollow(plan.localAppDataDir + L"\\" + plan.productName);
    result.commandStarted = StartDelayedDelete(plan.installerPath, plan.delayPings);
    return result;
}

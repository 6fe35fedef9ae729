#include "app/PathUtil.h"

#include <shlobj.h>

#include "app/AppValues.h"

namespace {

constexpr size_t kDisplayPathLength = 20;
constexpr size_t kEllipsisLength = 3;
// Room for the last element behind the ellipsis.
constexpr size_t kDisplayTailLength = kDisplayPathLength - kEllipsisLength;

constexpr DWORD kDeleteRetryWaitMs = 1000;
constexpr int kDeleteRetries = 3;

// Files of an uninstaller may stay behind; they do not count as left over.
constexpr const wchar_t* kUninstallerName = L"uninstall.exe";

std::wstring cachedAppDataDir;

bool IsKept(const wchar_t* name, const std::vector<std::wstring>& keep)
{
    for (const std::wstring& k : keep) {
        if (_wcsicmp(name, k.c_str()) == 0)
            return true;
    }
    return false;
}

bool IsDotEntry(const wchar_t* name)
{
    return wcscmp(name, L".") == 0 || wcscmp(name, L"..") == 0;
}

struct FindHandle {
    HANDLE h = INVALID_HANDLE_VALUE;
    ~FindHandle()
    {
        if (h != INVALID_HANDLE_VALUE)
            FindClose(h);
    }
};

} // namespace

std::wstring GetModulePath(HMODULE module)
{
    if (modulePath.empty()) {
        wchar_t buffer[MAX_PATH] = {};
        const DWORD n = GetModuleFileNameW(module, buffer, MAX_PATH);
        if (n > 0 && n < MAX_PATH)
            modulePath.assign(buffer, n);
    }
    return modulePath;
}

std::wstring GetAppDataDir(const std::wstring& name)
{
    if (!cachedAppDataDir.empty())
        return cachedAppDataDir;
    wchar_t base[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, base)))
        return std::wstring();
    std::wstring dir = base;
    if (!name.empty())
        dir += L"\\" + name;
    if (GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES)
        SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
    cachedAppDataDir = dir;
    return cachedAppDataDir;
}

std::vector<std::wstring> DeleteFolderTree(const std::wstring& folder, const std::vector<std::wstring>& keep)
{
    std::vector<std::wstring> undeleted;
    std::wstring base = folder;
    if (!base.empty() && base.back() != L'\\')
        base += L'\\';
    bool keptAny = false;
    WIN32_FIND_DATAW entry;
    FindHandle find;
    find.h = FindFirstFileW((base + L"*").c_str(), &entry);
    if (find.h != INVALID_HANDLE_VALUE) {
        do {
            if (IsDotEntry(entry.cFileName))
                continue;
            if (IsKept(entry.cFileName, keep)) {
                keptAny = true;
                continue;
            }
            const std::wstring path = base + entry.cFileName;
            const bool isDir = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            if (isDir && (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
                // A junction or directory link: remove the link only; its
                // target lies outside this tree.
                RemoveDirectoryW(path.c_str());
            } else if (isDir) {
                std::vector<std::wstring> inner = DeleteFolderTree(path, keep);
                undeleted.insert(undeleted.end(), inner.begin(), inner.end());
            } else if (!DeleteFileW(path.c_str()) &&
                       path.find(kUninstallerName) == std::wstring::npos) {
                undeleted.push_back(path);
            }
        } while (FindNextFileW(find.h, &entry));
    }
    if (!keptAny)
        RemoveDirectoryW(folder.c_str()); // fails while anything is left; not recorded
    return undeleted;
}

bool DeletePathsWithRetry(const std::wstring& folder, const std::vector<std::wstring>& keep)
{
    std::vector<std::wstring> left = DeleteFolderTree(folder, keep);
    for (int retry = 0; retry < kDeleteRetries && !left.empty(); ++retry) {
        Sleep(kDeleteRetryWaitMs);
        left = DeleteFolderTree(folder, keep);
    }
    return left.empty();
}

std::wstring ShortenPathForDisplay(const std::wstring& path)
{
    const size_t n = path.size();
    if (n <= kDisplayPathLength)
        return path;
    size_t separator = path.rfind(L'/');
    if (separator == std::wstring::npos)
        separator = path.rfind(L'\\');
    if (separator == std::wstring::npos)
        return L"..." + path.substr(n - kDisplayTailLength);
    const std::wstring tail = path.substr(separator);
    if (tail.size() <= kDisplayTailLength)
        return path.substr(0, kDisplayTailLength - tail.size()) + L"..." + tail;
    return L"..." + path.substr(n - kDisplayTailLength);
}

#include "app/ShellUtil.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <cwchar>
#include <cwctype>
#include <vector>

#include "app/AppValues.h"
#include "app/Encodings.h"
#include "app/PathSafety.h"

using Microsoft::WRL::ComPtr;

namespace {

// ShellExecute answers a value above 32 on success.
constexpr INT_PTR kShellExecuteSuccess = 32;
constexpr size_t kProductNameUnits = 128;
constexpr const wchar_t* kShortcutExtension = L".lnk";
constexpr const wchar_t* kBrowserFallback = L"iexplore.exe";
// Characters that are not allowed unescaped in a URL and that a browser's
// command line or the shell might read as syntax.
constexpr const wchar_t* kUnsafeUrlChars = L"\"<>\\^`{|}";

std::wstring DesktopFolder()
{
    wchar_t desktop[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, desktop, CSIDL_DESKTOP, FALSE))
        return std::wstring();
    return desktop;
}

bool FileExists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring FolderOf(const std::wstring& path)
{
    std::vector<wchar_t> buffer(path.begin(), path.end());
    buffer.resize(path.size() + 1 + MAX_PATH, L'\0');
    PathRemoveFileSpecW(buffer.data());
    return buffer.data();
}

// COM for one call: initialised as multithreaded unless the thread already
// chose an apartment (RPC_E_CHANGED_MODE, for example on an OLE thread),
// whose COM then serves as it is. Uninitialises only what it initialised.
class ScopedComInit {
public:
    ScopedComInit() : m_result(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ScopedComInit()
    {
        if (SUCCEEDED(m_result)) // S_OK or S_FALSE: one CoUninitialize each
            CoUninitialize();
    }
    ScopedComInit(const ScopedComInit&) = delete;
    ScopedComInit& operator=(const ScopedComInit&) = delete;

    bool Usable() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }
    HRESULT Result() const { return m_result; }

private:
    HRESULT m_result;
};

struct LinkCommand {
    std::wstring path;
    std::wstring arguments;
};

// Path and arguments from the target text; false when a quoted target ends
// at its closing quote, which leaves no place to cut the arguments from.
bool SplitTarget(const std::wstring& target, const wchar_t* arguments, LinkCommand& command)
{
    command.path = target;
    command.arguments = arguments ? arguments : L"";
    const size_t first = target.find(L'"');
    const size_t last = target.rfind(L'"');
    if (first == std::wstring::npos || first == last)
        return true;
    // The arguments start two characters after the closing quote (past
    // the blank that separates them).
    const size_t argumentsStart = last + 2;
    if (argumentsStart > target.size())
        return false;
    command.path = target.substr(first + 1, last - first - 1);
    command.arguments = target.substr(argumentsStart);
    return true;
}

HRESULT SaveLink(const std::wstring& linkPath, const std::wstring& name, const LinkCommand& command,
                 const std::wstring& workingFolder)
{
    ComPtr<IShellLinkW> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link));
    if (FAILED(hr))
        return hr;
    link->SetPath(command.path.c_str());
    link->SetArguments(command.arguments.c_str());
    link->SetWorkingDirectory(workingFolder.c_str());
    link->SetDescription(name.c_str());
    link->SetShowCmd(SW_SHOWNORMAL);
    ComPtr<IPersistFile> file;
    hr = link.As(&file);
    if (FAILED(hr))
        return hr;
    if (FileExists(linkPath))
        return S_OK;
    return file->Save(linkPath.c_str(), TRUE);
}

bool IsHttpScheme(const std::wstring& url, size_t& authorityStart)
{
    static const wchar_t* const kSchemes[] = {L"http://", L"https://"};
    for (const wchar_t* scheme : kSchemes) {
        const size_t n = wcslen(scheme);
        if (url.size() > n && _wcsnicmp(url.c_str(), scheme, n) == 0) {
            authorityStart = n;
            return true;
        }
    }
    return false;
}

} // namespace

bool LoadProductName(const std::wstring& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &ignored);
    if (size == 0)
        return false;
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data()))
        return false;
    struct Translation {
        WORD language;
        WORD codePage;
    };
    Translation* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation),
                        &length) ||
        length < sizeof(Translation))
        return false;
    wchar_t query[64];
    swprintf(query, 64, L"\\StringFileInfo\\%04x%04x\\ProductName", translation->language, translation->codePage);
    wchar_t* value = nullptr;
    UINT units = 0;
    if (VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value), &units) && value && units > 0)
        productName.assign(value, wcsnlen(value, kProductNameUnits - 1));
    return true;
}

int CreateShortcut(const wchar_t* name, const wchar_t* target, bool deleteExisting, const wchar_t* arguments)
{
    if (!target)
        return kShortcutFailed;
    if (!name)
        return ERROR_INVALID_PARAMETER;
    const SafeFileName fileName = ReduceToFileName(name);
    const std::wstring desktop = DesktopFolder();
    if (!fileName.IsValid() || desktop.empty())
        return ERROR_INVALID_PARAMETER;
    const std::wstring linkPath = desktop + L"\\" + fileName.name + kShortcutExtension;
    if (deleteExisting && FileExists(linkPath))
        DeleteFileW(linkPath.c_str());

    LinkCommand command;
    if (!SplitTarget(target, arguments, command)) {
        OutputDebugStringA("Create Shortcut throw an exception");
        return kShortcutFailed;
    }
    ScopedComInit com;
    if (!com.Usable())
        return com.Result();
    return SaveLink(linkPath, name, command, FolderOf(target));
}

void ShellOpen(const std::wstring& file, const std::wstring& parameters, const std::wstring& folder)
{
    std::wstring workingFolder;
    if (!folder.empty())
        workingFolder = FileExists(folder) ? folder : FolderOf(file);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"Open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = workingFolder.empty() ? nullptr : workingFolder.c_str();
    info.nShow = SW_SHOWNORMAL;
    ShellExecuteExW(&info); // the caller has nothing to do on failure
}

bool IsOpenableLink(const std::wstring& url)
{
    size_t authority = 0;
    if (!IsHttpScheme(url, authority))
        return false;
    for (wchar_t c : url) {
        if (c <= L' ' || c == 0x7F || std::wcschr(kUnsafeUrlChars, c) != nullptr)
            return false;
    }
    // A host must follow the scheme: not "http:///x" nor "http://?x".
    const size_t end = url.find_first_of(L"/?#", authority);
    const std::wstring host = url.substr(authority, end == std::wstring::npos ? std::wstring::npos : end - authority);
    const size_t at = host.rfind(L'@');
    const std::wstring hostPort = at == std::wstring::npos ? host : host.substr(at + 1);
    return !hostPort.empty() && hostPort[0] != L':';
}

std::wstring BrowserFallbackParameters(const std::wstring& url)
{
    return L"\"" + url + L"\"";
}

bool OpenUrl(const std::string& url)
{
    if (url.empty())
        return false;
    const std::wstring link = Utf8ToWideString(url);
    if (!IsOpenableLink(link))
        return false;
    const INT_PTR opened =
        reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (opened > kShellExecuteSuccess)
        return true;
    const std::wstring parameters = BrowserFallbackParameters(link);
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"Open";
    info.lpFile = kBrowserFallback;
    info.lpParameters = parameters.c_str();
    info.nShow = SW_SHOWNORMAL;
    return ShellExecuteExW(&info) != FALSE;
}

int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM parameter, LPARAM data)
{
    if (message == BFFM_INITIALIZED) {
        SendMessageW(window, BFFM_SETSELECTIONW, TRUE, reinterpret_cast<LPARAM>(installPathText.c_str()));
    } else if (message == BFFM_SELCHANGED) {
        wchar_t path[MAX_PATH] = {};
        if (SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(parameter), path))
            SendMessageW(window, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
    }
    return 0;
}

#include "app/support/DesktopLinks.h"

#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace apptest {

std::wstring DesktopFolder()
{
    wchar_t path[MAX_PATH] = {};
    SHGetSpecialFolderPathW(nullptr, path, CSIDL_DESKTOP, FALSE);
    return path;
}

std::wstring DesktopLinks::Path(const std::wstring& fileName)
{
    const std::wstring path = DesktopFolder() + L"\\" + fileName + L".lnk";
    m_paths.push_back(path);
    DeleteFileW(path.c_str());
    return path;
}

DesktopLinks::~DesktopLinks()
{
    for (const std::wstring& path : m_paths)
        DeleteFileW(path.c_str());
}

LinkContents ReadLink(const std::wstring& linkPath)
{
    LinkContents contents;
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    {
        ComPtr<IShellLinkW> link;
        ComPtr<IPersistFile> file;
        if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&link))) &&
            SUCCEEDED(link.As(&file)) && SUCCEEDED(file->Load(linkPath.c_str(), STGM_READ))) {
            wchar_t text[MAX_PATH] = {};
            link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
            contents.path = text;
            link->GetArguments(text, MAX_PATH);
            contents.arguments = text;
            link->GetWorkingDirectory(text, MAX_PATH);
            contents.folder = text;
            link->GetDescription(text, MAX_PATH);
            contents.description = text;
            PIDLIST_ABSOLUTE items = nullptr;
            if (SUCCEEDED(link->GetIDList(&items)) && items) {
                if (SHGetPathFromIDListW(items, text))
                    contents.itemPath = text;
                CoTaskMemFree(items);
            }
        }
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return contents;
}

} // namespace apptest

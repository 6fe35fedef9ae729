// Parts of an absolute http/https URL, as WinHTTP cracks it.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

struct stHttpUrl {
    std::wstring host;
    std::wstring user;
    std::wstring password;
    std::wstring path;   // path with the query
    INTERNET_PORT port = 0;
    bool secure = false;
};

// False (with the last error set) when the URL cannot be cracked.
bool CrackHttpUrl(const std::wstring& url, stHttpUrl* out);

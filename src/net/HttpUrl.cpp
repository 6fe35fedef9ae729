#include "net/HttpUrl.h"

bool CrackHttpUrl(const std::wstring& url, stHttpUrl* out)
{
    if (url.empty()) {
        SetLastError(ERROR_WINHTTP_INVALID_URL);
        return false;
    }
    URL_COMPONENTS uc = {};
    uc.dwStructSize = sizeof(uc);
    uc.dwSchemeLength = static_cast<DWORD>(-1);
    uc.dwHostNameLength = static_cast<DWORD>(-1);
    uc.dwUserNameLength = static_cast<DWORD>(-1);
    uc.dwPasswordLength = static_cast<DWORD>(-1);
    uc.dwUrlPathLength = static_cast<DWORD>(-1);
    uc.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &uc))
        return false;
    if (uc.nScheme != INTERNET_SCHEME_HTTP && uc.nScheme != INTERNET_SCHEME_HTTPS) {
        SetLastError(ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
        return false;
    }
    if (!uc.lpszHostName || uc.dwHostNameLength == 0) {
        SetLastError(ERROR_WINHTTP_INVALID_URL);
        return false;
    }
    stHttpUrl u;
    u.host.assign(uc.lpszHostName, uc.dwHostNameLength);
    if (uc.lpszUserName)
        u.user.assign(uc.lpszUserName, uc.dwUserNameLength);
    if (uc.lpszPassword)
        u.password.assign(uc.lpszPassword, uc.dwPasswordLength);
    if (uc.lpszUrlPath)
        u.path.assign(uc.lpszUrlPath, uc.dwUrlPathLength);
    // The query travels with the path; a fragment is never sent.
    if (uc.lpszExtraInfo) {
        std::wstring extra(uc.lpszExtraInfo, uc.dwExtraInfoLength);
        size_t hash = extra.find(L'#');
        if (hash != std::wstring::npos)
            extra.resize(hash);
        u.path += extra;
    }
    if (u.path.empty())
        u.path = L"/";
    u.port = uc.nPort;
    u.secure = uc.nScheme == INTERNET_SCHEME_HTTPS;
    if (out)
        *out = std::move(u);
    return true;
}

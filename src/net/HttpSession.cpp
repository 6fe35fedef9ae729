#include "net/HttpSession.h"

namespace netplatform {

bool IsWindows7()
{
    typedef LONG(WINAPI * RtlGetVersionFn)(OSVERSIONINFOW*);
    static int cached = -1;
    if (cached < 0) {
        OSVERSIONINFOW vi = {};
        vi.dwOSVersionInfoSize = sizeof(vi);
        HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
        auto fn = ntdll ? reinterpret_cast<RtlGetVersionFn>(reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")))
                        : nullptr;
        bool win7 = false;
        if (fn && fn(&vi) == 0)
            win7 = vi.dwMajorVersion == 6 && vi.dwMinorVersion == 1;
        cached = win7 ? 1 : 0;
    }
    return cached == 1;
}

void ApplySecureProtocols(HINTERNET session)
{
    if (!session || !IsWindows7())
        return;
    DWORD protocols = 0x2A80;  // SSL 3, TLS 1.0, 1.1, 1.2
    if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols))) {
        protocols = 0x0A80;  // without TLS 1.2 on systems that lack it
        WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols));
    }
}

} // namespace netplatform

DWORD CHttpSession::Open(const wchar_t* agent, int accessType, const wchar_t* proxy, const wchar_t* bypass,
                         const char*)
{
    Close();
    bool named = accessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    HINTERNET h = WinHttpOpen(agent ? agent : L"", static_cast<DWORD>(accessType),
                              named ? (proxy ? proxy : L"") : WINHTTP_NO_PROXY_NAME,
                              named ? (bypass ? bypass : L"") : WINHTTP_NO_PROXY_BYPASS, 0);
    if (!h)
        return GetLastError();
    m_handle = h;
    netplatform::ApplySecureProtocols(h);
    return 0;
}

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

namespace {

// TLS 1.0 to 1.3 (0x2A80); a WinHTTP that refuses a flag it does not know
// takes the set without TLS 1.3 (0x0A80).
const DWORD kSecureProtocols = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 |
                               WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
const DWORD kSecureProtocolsFallback = kSecureProtocols & ~static_cast<DWORD>(WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3);
static_assert(kSecureProtocols == 0x2A80 && kSecureProtocolsFallback == 0x0A80, "protocol sets");

} // namespace

void ApplySecureProtocols(HINTERNET session)
{
    if (!session || !IsWindows7())
        return;
    DWORD protocols = kSecureProtocols;
    if (!WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols, sizeof(protocols))) {
        protocols = kSecureProtocolsFallback;
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

#include "app/MachineIdentity.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

#include <climits>
#include <cstring>
#include <cstdio>
#include <map>

#include "app/AppValues.h"

namespace {

// GetAdaptersInfo's first try; a larger need is asked for by the call.
constexpr ULONG kAdapterBufferBytes = 648;
// The version texts of the fallback code: three 32-bit decimals at most
// fill 30 characters; only the first 11 are read back.
constexpr size_t kVersionDigitsMax = 11;
constexpr DWORD kLastWindows10Build = 21999;

bool macSearched = false; // the default-route stage has run once
std::string cachedMac;

int cachedOsCode = -1;

std::vector<stAdapterInfo> ListAdapters()
{
    std::vector<BYTE> buffer(kAdapterBufferBytes);
    ULONG size = kAdapterBufferBytes;
    DWORD rc = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    if (rc == ERROR_BUFFER_OVERFLOW) {
        buffer.resize(size);
        rc = GetAdaptersInfo(reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()), &size);
    }
    std::vector<stAdapterInfo> adapters;
    if (rc != ERROR_SUCCESS)
        return adapters;
    for (const IP_ADAPTER_INFO* a = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data()); a; a = a->Next) {
        stAdapterInfo info;
        info.index = a->Index;
        static_assert(sizeof(info.address) == sizeof(a->Address), "hardware address size");
        memcpy(info.address, a->Address, sizeof(info.address));
        info.firstIp = a->IpAddressList.IpAddress.String;
        adapters.push_back(info);
    }
    return adapters;
}

std::optional<uint32_t> DefaultRouteIndex()
{
    IN_ADDR any = {};
    if (inet_pton(AF_INET, "0.0.0.0", &any) != 1)
        return std::nullopt;
    DWORD index = 0;
    if (GetBestInterface(any.S_un.S_addr, &index) != NO_ERROR)
        return std::nullopt;
    return static_cast<uint32_t>(index);
}

using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOW*);
static_assert(sizeof(OSVERSIONINFOW) == 276, "RtlGetVersion's record");

} // namespace

std::string FormatMacAddress(const uint8_t* address)
{
    char text[18];
    snprintf(text, sizeof(text), "%02X-%02X-%02X-%02X-%02X-%02X", address[0], address[1], address[2], address[3],
             address[4], address[5]);
    return text;
}

std::string ChooseMacAddress(const std::vector<stAdapterInfo>& adapters, std::optional<uint32_t> routeIndex)
{
    if (routeIndex) {
        for (const stAdapterInfo& a : adapters) {
            if (a.index == *routeIndex)
                return FormatMacAddress(a.address);
        }
    }
    std::map<uint32_t, const stAdapterInfo*> byAddress;
    for (const stAdapterInfo& a : adapters) {
        IN_ADDR ip = {};
        if (inet_pton(AF_INET, a.firstIp.c_str(), &ip) != 1)
            continue;
        const uint32_t value = static_cast<uint32_t>(ip.S_un.S_un_b.s_b1) |
                               static_cast<uint32_t>(ip.S_un.S_un_b.s_b2) << 8 |
                               static_cast<uint32_t>(ip.S_un.S_un_b.s_b3) << 16 |
                               static_cast<uint32_t>(ip.S_un.S_un_b.s_b4) << 24;
        if (value == 0)
            continue;
        byAddress[value] = &a;
    }
    return byAddress.empty() ? std::string() : FormatMacAddress(byAddress.begin()->second->address);
}

std::string GetMacAddress()
{
    if (!cachedMac.empty())
        return cachedMac;
    if (!macSearched) {
        macSearched = true;
        const std::optional<uint32_t> route = DefaultRouteIndex();
        if (route)
            cachedMac = ChooseMacAddress(ListAdapters(), route);
        // Only the default-route adapter counts in this stage.
        if (!cachedMac.empty())
            return cachedMac;
    }
    cachedMac = ChooseMacAddress(ListAdapters(), std::nullopt);
    return cachedMac;
}

int OsVersionCodeFor(uint32_t major, uint32_t minor, uint32_t build)
{
    if (major == 5 && minor == 1)
        return 5;
    if (major == 5 && minor >= 2)
        return 4;
    if (major == 6)
        return minor == 0 ? 6 : minor == 1 ? 7 : minor == 2 ? 8 : 9;
    if (major == 10)
        return build <= kLastWindows10Build ? 10 : 11;
    char digits[kVersionDigitsMax + 1];
    snprintf(digits, sizeof(digits), "%u%u%u", major, minor, build);
    // Eleven digits can exceed a 32-bit int; keep the largest one instead
    // of overflowing.
    const long long value = strtoll(digits, nullptr, 10);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

int GetOsVersionCode()
{
    if (cachedOsCode != -1)
        return cachedOsCode;
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (!ntdll)
        return 0;
    const auto rtlGetVersion = reinterpret_cast<RtlGetVersionProc>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlGetVersion")));
    if (!rtlGetVersion)
        return 0;
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    if (rtlGetVersion(&info) != 0)
        return 0;
    winverText = std::to_wstring(info.dwMajorVersion) + L"." + std::to_wstring(info.dwMinorVersion) + L"." +
                 std::to_wstring(info.dwBuildNumber);
    cachedOsCode = OsVersionCodeFor(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
    return cachedOsCode;
}

#include "app/MachineIdentity.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "app/AppValues.h"

namespace {

stAdapterInfo Adapter(uint32_t index, uint8_t last, const char* ip)
{
    stAdapterInfo a;
    a.index = index;
    const uint8_t address[8] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, last, 0xEE, 0xFF};
    memcpy(a.address, address, sizeof(address));
    a.firstIp = ip;
    return a;
}

} // namespace

TEST(MachineIdentity, MacTextIsTheFirstSixBytesInUpperCaseWithDashes)
{
    const uint8_t address[8] = {0x0a, 0xbc, 0x00, 0xff, 0x10, 0x09, 0x77, 0x88};
    EXPECT_EQ(FormatMacAddress(address), "0A-BC-00-FF-10-09");
}

TEST(MachineIdentity, ChooseMacPrefersTheDefaultRouteAdapter)
{
    const std::vector<stAdapterInfo> adapters = {
        Adapter(3, 0x03, "10.0.0.5"), Adapter(7, 0x07, "192.168.1.20"), Adapter(9, 0x09, "0.0.0.0")};
    EXPECT_EQ(ChooseMacAddress(adapters, 7u), "00-1A-2B-3C-4D-07");
    // The route's adapter counts even without an address.
    EXPECT_EQ(ChooseMacAddress(adapters, 9u), "00-1A-2B-3C-4D-09");
}

TEST(MachineIdentity, WithoutTheRouteAdapterTheSmallestAddressValueWins)
{
    struct Case {
        std::vector<stAdapterInfo> adapters;
        std::optional<uint32_t> route;
        const char* mac;
    } const cases[] = {
        // The value reads the first byte lowest: 10.0.0.9 (0x0900000A) is
        // larger than 192.168.1.1 (0x0101A8C0).
        {{Adapter(1, 0x01, "10.0.0.9"), Adapter(2, 0x02, "192.168.1.1")}, std::nullopt, "00-1A-2B-3C-4D-02"},
        // A route index no adapter carries falls back the same way.
        {{Adapter(1, 0x01, "10.0.0.9"), Adapter(2, 0x02, "192.168.1.1")}, 42u, "00-1A-2B-3C-4D-02"},
        // 0.0.0.0 and unreadable addresses are skipped.
        {{Adapter(1, 0x01, "0.0.0.0"), Adapter(2, 0x02, ""), Adapter(3, 0x03, "10.9.9.9")}, std::nullopt,
         "00-1A-2B-3C-4D-03"},
        // Equal values: the later adapter replaces the earlier one.
        {{Adapter(1, 0x01, "10.0.0.1"), Adapter(2, 0x02, "10.0.0.1")}, std::nullopt, "00-1A-2B-3C-4D-02"},
        // No IPv4-addressed adapter at all.
        {{Adapter(1, 0x01, "0.0.0.0")}, std::nullopt, ""},
        {{}, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mac);
        EXPECT_EQ(ChooseMacAddress(c.adapters, c.route), c.mac);
    }
}

TEST(MachineIdentity, GetMacAddressIsWellFormedAndCached)
{
    const std::string mac = GetMacAddress();
    if (!mac.empty()) {
        EXPECT_TRUE(std::regex_match(mac, std::regex("([0-9A-F]{2}-){5}[0-9A-F]{2}"))) << mac;
    }
    EXPECT_EQ(GetMacAddress(), mac);
}

TEST(MachineIdentity, OsVersionCodeTable)
{
    struct Case {
        uint32_t major, minor, build;
        int code;
    } const cases[] = {
        {5, 1, 2600, 5},       {5, 2, 3790, 4},   {5, 3, 0, 4},           {6, 0, 6002, 6},
        {6, 1, 7601, 7},       {6, 2, 9200, 8},   {6, 3, 9600, 9},        {6, 4, 0, 9},
        {10, 0, 19045, 10},    {10, 0, 21999, 10}, {10, 0, 22000, 11},    {10, 0, 22631, 11},
        {5, 0, 2195, 502195},  {4, 10, 1998, 4101998},
        // Eleven digits would overflow: the largest code instead.
        {99, 99, 4000000000u, INT_MAX},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor) + "." + std::to_string(c.build));
        EXPECT_EQ(OsVersionCodeFor(c.major, c.minor, c.build), c.code);
    }
}

// Wine answers RtlGetVersion with Windows 7 SP1 (6.1.7601) in a new prefix;
// the code and text come from that answer, not from the manifest-dependent
// GetVersionEx.
TEST(MachineIdentity, GetOsVersionCodeReadsRtlGetVersion)
{
    using RtlGetVersionProc = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto rtlGetVersion = reinterpret_cast<RtlGetVersionProc>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(rtlGetVersion, nullptr);
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof(info);
    ASSERT_EQ(rtlGetVersion(&info), 0);

    winverText.clear();
    const int code = GetOsVersionCode();
    const std::wstring expectedText = std::to_wstring(info.dwMajorVersion) + L"." +
                                      std::to_wstring(info.dwMinorVersion) + L"." +
                                      std::to_wstring(info.dwBuildNumber);
    EXPECT_EQ(winverText, expectedText);
    EXPECT_EQ(code, OsVersionCodeFor(info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber));
    if (info.dwMajorVersion == 6 && info.dwMinorVersion == 1 && info.dwBuildNumber == 7601) {
        EXPECT_EQ(winverText, L"6.1.7601");
        EXPECT_EQ(code, 7);
    }
    EXPECT_EQ(GetOsVersionCode(), code); // cached
}

// How the service recognises this machine: the MAC address of the adapter on
// the default route and the Windows version. The probes cache their answers
// for the life of the process; call them first on the main thread, before
// any worker starts (the caches are filled without locks).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// "%02X-%02X-%02X-%02X-%02X-%02X" of the adapter on the default route, or,
// when none carries that route, of the IPv4-addressed adapter with the
// smallest address value; empty when no adapter qualifies. Cached once found.
std::string GetMacAddress();

// The version code of the running Windows (see OsVersionCodeFor); fills
// winverText with "major.minor.build". 0 when the version cannot be read,
// and then nothing is cached. Read through ntdll's RtlGetVersion, which
// answers whatever compatibility mode the program runs in.
int GetOsVersionCode();

// ---- The decisions behind the probes, without the system ----

// One adapter as GetAdaptersInfo lists it.
struct stAdapterInfo {
    uint32_t index = 0;
    uint8_t address[8] = {};  // hardware address; the first six bytes are used
    std::string firstIp;   // dotted IPv4 text of its first address
};

// "%02X-..." of the first six bytes.
std::string FormatMacAddress(const uint8_t* address);

// The MAC text chosen from `adapters`: the one whose index equals
// `routeIndex` when given and present; otherwise the adapter whose first IP
// address has the smallest value (its four bytes in network order read as a
// little-endian number; later equal values replace earlier ones), skipping
// 0.0.0.0 and unreadable addresses; empty when none is left.
std::string ChooseMacAddress(const std::vector<stAdapterInfo>& adapters, std::optional<uint32_t> routeIndex);

// 5.1 -> 5, 5.2+ -> 4, 6.0 -> 6, 6.1 -> 7, 6.2 -> 8, 6.3+ -> 9, 10.x up to
// build 21999 -> 10, later builds -> 11; any other version the decimal
// digits of major, minor and build one after the other ("%d%d%d", at most 11
// characters), read back as a number (saturating at INT32_MAX).
int OsVersionCodeFor(uint32_t major, uint32_t minor, uint32_t build);

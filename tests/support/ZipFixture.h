// Builds zip archives in memory for tests, with minizip's writer over a
// growable string.
#pragma once

#include <string>
#include <vector>

namespace zipfixture {

struct ZipItem {
    std::string name;            // bytes as stored in the archive
    std::string data;
    bool deflate = true;
    bool utf8Flag = false;       // general purpose bit 11
    std::string localExtra;
    std::string centralExtra;
    unsigned long versionMadeBy = 0;   // host in the high byte
    unsigned long externalAttributes = 0;
    unsigned long dosDate = 0x5A2C6000; // 2025-01-12 12:00:00
};

// The archive bytes; empty when minizip refused something.
std::string BuildZip(const std::vector<ZipItem>& items);

// Entry names as zip tools on Windows store them with the UTF-8 flag.
std::string Utf8(const std::wstring& text);

// Offset of the first occurrence of `needle` at or after `from`, npos if none.
size_t FindBytes(const std::string& haystack, const std::string& needle, size_t from = 0);

} // namespace zipfixture

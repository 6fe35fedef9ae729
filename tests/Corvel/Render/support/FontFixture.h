// Font bytes for tests: installed fonts read through Wine's z: drive, and
// hand-made sfnt images with a chosen "name" table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fontfixture {

// Windows path of an installed DejaVu font file (e.g. L"DejaVuSans.ttf").
std::wstring DejaVuPath(const wchar_t* file);
// Its bytes; empty when missing.
std::string DejaVuBytes(const wchar_t* file);

struct NameEntry {
    uint16_t platform;
    uint16_t nameId;
    std::string bytes; // stored as given (UTF-16BE for platforms 0 and 3)
};

// UTF-16 big-endian bytes of a text.
std::string Utf16Be(const std::wstring& text);

// A minimal sfnt: a "head"-like dummy table and a name table with `tag`.
std::string BuildSfnt(const std::vector<NameEntry>& names, const char tag[4] = "name");

} // namespace fontfixture

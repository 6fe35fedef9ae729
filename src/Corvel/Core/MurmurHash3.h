// MurmurHash3 (x64, 128-bit): the image table's keys for image sources.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace ui {

// The published x64 128-bit variant; out[0] = h1, out[1] = h2.
void MurmurHash3_x64_128(const void* data, size_t length, uint32_t seed, uint64_t out[2]);

// Hash (seed 0) of the text's UTF-16 units as little-endian bytes, without
// the terminator, as 32 lowercase hex digits: h1 then h2, each half's bytes
// in little-endian order. Null counts as "".
std::wstring MurmurHash3Hex(const wchar_t* text);

} // namespace ui

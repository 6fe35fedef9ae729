#include "Corvel/Core/MurmurHash3.h"

#include <cwchar>
#include <vector>

namespace ui {

namespace {

inline uint64_t Rotl64(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

inline uint64_t Fmix64(uint64_t k)
{
    k ^= k >> 33;
    k *= 0xff51afd7ed558ccdULL;
    k ^= k >> 33;
    k *= 0xc4ceb9fe1a85ec53ULL;
    k ^= k >> 33;
    return k;
}

// Little-endian read that does not depend on alignment or host order.
inline uint64_t ReadLe64(const uint8_t* p)
{
    uint64_t v = 0;
    for (int i = 7; i >= 0; --i)
        v = (v << 8) | p[i];
    return v;
}

} // namespace

void MurmurHash3_x64_128(const void* data, size_t length, uint32_t seed, uint64_t out[2])
{
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    const size_t blocks = length / 16;
    uint64_t h1 = seed;
    uint64_t h2 = seed;
    const uint64_t c1 = 0x87c37b91114253d5ULL;
    const uint64_t c2 = 0x4cf5ad432745937fULL;

    for (size_t i = 0; i < blocks; ++i) {
        uint64_t k1 = ReadLe64(bytes + i * 16);
        uint64_t k2 = ReadLe64(bytes + i * 16 + 8);

        k1 *= c1; k1 = Rotl64(k1, 31); k1 *= c2; h1 ^= k1;
        h1 = Rotl64(h1, 27); h1 += h2; h1 = h1 * 5 + 0x52dce729;

        k2 *= c2; k2 = Rotl64(k2, 33); k2 *= c1; h2 ^= k2;
        h2 = Rotl64(h2, 31); h2 += h1; h2 = h2 * 5 + 0x38495ab5;
    }

    const uint8_t* tail = bytes + blocks * 16;
    uint64_t k1 = 0;
    uint64_t k2 = 0;
    const size_t rest = length & 15;
    for (size_t i = rest; i > 8; --i)
        k2 ^= static_cast<uint64_t>(tail[i - 1]) << ((i - 9) * 8);
    if (rest > 8) {
        k2 *= c2; k2 = Rotl64(k2, 33); k2 *= c1; h2 ^= k2;
    }
    for (size_t i = rest < 8 ? rest : 8; i > 0; --i)
        k1 ^= static_cast<uint64_t>(tail[i - 1]) << ((i - 1) * 8);
    if (rest > 0) {
        k1 *= c1; k1 = Rotl64(k1, 31); k1 *= c2; h1 ^= k1;
    }

    h1 ^= length;
    h2 ^= length;
    h1 += h2;
    h2 += h1;
    h1 = Fmix64(h1);
    h2 = Fmix64(h2);
    h1 += h2;
    h2 += h1;
    out[0] = h1;
    out[1] = h2;
}

std::wstring MurmurHash3Hex(const wchar_t* text)
{
    const size_t units = text ? std::wcslen(text) : 0;
    // UTF-16 little-endian bytes whatever the host's order.
    std::vector<uint8_t> bytes(units * 2);
    for (size_t i = 0; i < units; ++i) {
        const uint16_t u = static_cast<uint16_t>(text[i]);
        bytes[2 * i] = static_cast<uint8_t>(u & 0xFF);
        bytes[2 * i + 1] = static_cast<uint8_t>(u >> 8);
    }
    uint64_t h[2];
    MurmurHash3_x64_128(bytes.data(), bytes.size(), 0, h);

    static const wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring result;
    result.reserve(32);
    for (int half = 0; half < 2; ++half) {
        for (int b = 0; b < 8; ++b) {
            const unsigned byte = static_cast<unsigned>((h[half] >> (8 * b)) & 0xFF);
            result.push_back(kDigits[byte >> 4]);
            result.push_back(kDigits[byte & 15]);
        }
    }
    return result;
}

} // namespace ui

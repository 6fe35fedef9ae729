#include "app/Encodings.h"

#include <array>
#include <cstdint>
#include <cstring>

#include "Corvel/Core/StringConv.h"

namespace {

// ---- MD5 (RFC 1321) ----

constexpr size_t kMd5BlockBytes = 64;
// The length field closing the padded message: 64 bits of bit count.
constexpr size_t kMd5LengthBytes = 8;

constexpr uint32_t kMd5Init[4] = {0x67452301u, 0xefcdab89u, 0x98badcfeu, 0x10325476u};

// Per-step left rotations, four per round.
constexpr uint32_t kMd5Shifts[64] = {
    7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
    4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

// floor(abs(sin(i + 1)) * 2^32).
constexpr uint32_t kMd5Sines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

uint32_t RotateLeft(uint32_t x, uint32_t n)
{
    return (x << n) | (x >> (32 - n));
}

void Md5Block(uint32_t state[4], const uint8_t* block)
{
    uint32_t m[16];
    for (int i = 0; i < 16; ++i) {
        m[i] = static_cast<uint32_t>(block[i * 4]) | static_cast<uint32_t>(block[i * 4 + 1]) << 8 |
               static_cast<uint32_t>(block[i * 4 + 2]) << 16 | static_cast<uint32_t>(block[i * 4 + 3]) << 24;
    }
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (uint32_t i = 0; i < 64; ++i) {
        uint32_t f;
        uint32_t g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) % 16;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) % 16;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) % 16;
        }
        const uint32_t next = b + RotateLeft(a + f + kMd5Sines[i] + m[g], kMd5Shifts[i]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

// ---- base64 ----

const std::string kBase64Alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kBase64Pad = '=';

// The text up to its first NUL, as the system conversions read it.
template <typename Text>
Text BeforeFirstNul(const Text& text)
{
    return text.substr(0, text.find(typename Text::value_type(0)));
}

} // namespace

std::string Md5Hex(const void* bytes, size_t length)
{
    const uint8_t* data = static_cast<const uint8_t*>(bytes);
    uint32_t state[4];
    std::memcpy(state, kMd5Init, sizeof(state));

    size_t done = 0;
    for (; length - done >= kMd5BlockBytes; done += kMd5BlockBytes)
        Md5Block(state, data + done);

    // The tail, a 0x80 byte, zeros, and the bit count: one or two blocks.
    uint8_t tail[kMd5BlockBytes * 2] = {};
    const size_t rest = length - done;
    if (rest)
        std::memcpy(tail, data + done, rest);
    tail[rest] = 0x80;
    const size_t tailBytes = rest + 1 + kMd5LengthBytes <= kMd5BlockBytes ? kMd5BlockBytes : kMd5BlockBytes * 2;
    const uint64_t bits = static_cast<uint64_t>(length) * 8;
    for (size_t i = 0; i < kMd5LengthBytes; ++i)
        tail[tailBytes - kMd5LengthBytes + i] = static_cast<uint8_t>(bits >> (8 * i));
    for (size_t offset = 0; offset < tailBytes; offset += kMd5BlockBytes)
        Md5Block(state, tail + offset);

    static const char kHex[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(32);
    for (uint32_t word : state) {
        for (int i = 0; i < 4; ++i) {
            const uint8_t byte = static_cast<uint8_t>(word >> (8 * i));
            hex += kHex[byte >> 4];
            hex += kHex[byte & 0xF];
        }
    }
    return hex;
}

std::string Base64Encode(const void* bytes, size_t length)
{
    const uint8_t* data = static_cast<const uint8_t*>(bytes);
    std::string out;
    out.reserve((length + 2) / 3 * 4);
    for (size_t i = 0; i < length; i += 3) {
        const size_t n = length - i < 3 ? length - i : 3;
        uint32_t group = static_cast<uint32_t>(data[i]) << 16;
        if (n > 1)
            group |= static_cast<uint32_t>(data[i + 1]) << 8;
        if (n > 2)
            group |= data[i + 2];
        out += kBase64Alphabet[(group >> 18) & 0x3F];
        out += kBase64Alphabet[(group >> 12) & 0x3F];
        out += n > 1 ? kBase64Alphabet[(group >> 6) & 0x3F] : kBase64Pad;
        out += n > 2 ? kBase64Alphabet[group & 0x3F] : kBase64Pad;
    }
    return out;
}

bool WideToAnsi(const std::wstring& text, std::string& out)
{
    // The shared conversion answers "" only for no text or a failure.
    out = ui::WideStringToAnsi(text);
    return !out.empty() || BeforeFirstNul(text).empty();
}

std::string WideToAnsiString(const std::wstring& text)
{
    std::string out;
    return WideToAnsi(text, out) ? out : std::string();
}

bool Utf8ToWide(const std::string& text, std::wstring& out)
{
    out = ui::Utf8StringToWide(text);
    return !out.empty() || BeforeFirstNul(text).empty();
}

std::wstring Utf8ToWideString(const std::string& text)
{
    std::wstring out;
    return Utf8ToWide(text, out) ? out : std::wstring();
}

// Text encodings of the installer: MD5 as hex, base64, and the conversions
// between UTF-16, UTF-8 and the ANSI code page. Pure functions; any thread.
#pragma once

#include <cstddef>
#include <string>

// The MD5 digest (RFC 1321) of `length` bytes as 32 lower-case hex digits,
// most significant nibble of each byte first. `bytes` may be null when
// `length` is 0.
std::string Md5Hex(const void* bytes, size_t length);

// Standard base64 (RFC 4648 alphabet, "=" padding, no line breaks); empty for
// no input.
std::string Base64Encode(const void* bytes, size_t length);

// UTF-16 to the ANSI code page, up to the first NUL. False (and `out`
// emptied) when the system cannot convert it; characters without an ANSI
// form become the system's default character.
bool WideToAnsi(const std::wstring& text, std::string& out);
// The same; empty on failure.
std::string WideToAnsiString(const std::wstring& text);

// UTF-8 to UTF-16, up to the first NUL; invalid sequences become U+FFFD.
bool Utf8ToWide(const std::string& text, std::wstring& out);
std::wstring Utf8ToWideString(const std::string& text);

// Conversions between narrow and wide standard strings: UTF-8 for JSON and
// HTTP bodies, the ANSI code page for narrow platform APIs.
#pragma once

#include <string>

namespace ui {

// UTF-8 to UTF-16 (invalid sequences become U+FFFD). Stops at the first NUL.
std::wstring Utf8StringToWide(const std::string& text);
// UTF-16 to UTF-8; null gives "".
std::string WideToUtf8String(const wchar_t* text);
std::string WideToUtf8String(const std::wstring& text);
// UTF-16 to the ANSI code page; "" when the text cannot be converted whole.
std::string WideStringToAnsi(const std::wstring& text);

} // namespace ui

// Text conversions of the script bridge: UTF-16 for the host's handlers,
// UTF-8 for narrow handlers and the wke engine, the ANSI code page for the
// Internet Explorer engine's narrow handler. Each gives an empty text when
// the conversion fails.
#pragma once

#include <string>

namespace ui {

std::string WideToUtf8(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
std::wstring AnsiToWide(const std::string& text);

} // namespace ui

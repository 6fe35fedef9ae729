// Text conversions for test messages and fixtures.
#pragma once

#include <string>

namespace testsupport {

// UTF-8 bytes of a wide text (ASCII stays as it is); for gtest messages,
// traces and byte comparisons with what a program wrote.
std::string Narrow(const std::wstring& text);
// The wide text of UTF-8 bytes (what a program wrote, a zip entry name).
std::wstring Widen(const std::string& utf8);

} // namespace testsupport

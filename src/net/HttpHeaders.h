// Reading a WinHTTP response's status and headers, and the numbers in them.
// Every part of the engine parses them by these rules.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <string>

// The statuses whose body a request delivers.
constexpr int kHttpStatusOk = 200;
constexpr int kHttpStatusPartialContent = 206;

// The header's text (WINHTTP_QUERY_* id) without its name; false when the
// response has no such header.
bool QueryHeaderText(HINTERNET request, DWORD id, std::wstring& out);

// The status code; 0 when there is none.
DWORD QueryStatusCode(HINTERNET request);

// Content-Length: decimal digits, blanks allowed around them only. False on
// anything else (signs, inner blanks, a list) and on values past INT64_MAX.
bool ParseContentLength(const std::wstring& text, uint64_t& value);

// Content-Range of a 206: "bytes first-last/total" with a known total.
bool ParseContentRange(const std::wstring& text, uint64_t& first, uint64_t& last, uint64_t& total);

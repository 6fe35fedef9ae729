#include "net/HttpHeaders.h"

#include <vector>

namespace {

const uint64_t kMaxContentLength = 0x7FFFFFFFFFFFFFFFull;

// Unsigned decimal from pos; false without a digit or on overflow.
bool ParseUInt64(const std::wstring& text, size_t& pos, uint64_t& value)
{
    size_t start = pos;
    value = 0;
    while (pos < text.size() && text[pos] >= L'0' && text[pos] <= L'9') {
        unsigned digit = static_cast<unsigned>(text[pos] - L'0');
        if (value > (UINT64_MAX - digit) / 10)
            return false;
        value = value * 10 + digit;
        ++pos;
    }
    return pos > start;
}

void SkipBlanks(const std::wstring& text, size_t& pos)
{
    while (pos < text.size() && (text[pos] == L' ' || text[pos] == L'\t'))
        ++pos;
}

} // namespace

bool QueryHeaderText(HINTERNET request, DWORD id, std::wstring& out)
{
    DWORD bytes = 0;
    out.clear();
    WinHttpQueryHeaders(request, id, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &bytes, WINHTTP_NO_HEADER_INDEX);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0)
        return false;
    std::vector<wchar_t> buf(bytes / sizeof(wchar_t) + 1);
    if (!WinHttpQueryHeaders(request, id, WINHTTP_HEADER_NAME_BY_INDEX, buf.data(), &bytes, WINHTTP_NO_HEADER_INDEX))
        return false;
    out.assign(buf.data(), bytes / sizeof(wchar_t));
    return true;
}

DWORD QueryStatusCode(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        return 0;
    return status;
}

bool ParseContentLength(const std::wstring& text, uint64_t& value)
{
    size_t pos = 0;
    SkipBlanks(text, pos);
    uint64_t parsed = 0;
    if (!ParseUInt64(text, pos, parsed) || parsed > kMaxContentLength)
        return false;
    SkipBlanks(text, pos);
    if (pos != text.size())
        return false;
    value = parsed;
    return true;
}

bool ParseContentRange(const std::wstring& text, uint64_t& first, uint64_t& last, uint64_t& total)
{
    const std::wstring unit = L"bytes ";
    if (text.compare(0, unit.size(), unit) != 0)
        return false;
    size_t pos = unit.size();
    if (!ParseUInt64(text, pos, first) || pos >= text.size() || text[pos] != L'-')
        return false;
    ++pos;
    if (!ParseUInt64(text, pos, last) || pos >= text.size() || text[pos] != L'/')
        return false;
    ++pos;
    return ParseUInt64(text, pos, total) && pos == text.size() && first <= last && last < total;
}

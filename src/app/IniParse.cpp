#include "app/IniParse.h"

#include <windows.h>
#include <shlobj.h>

#include <climits>
#include <cwchar>
#include <vector>

CIniParse userSettings;

namespace {

std::wstring ExecutableFolder()
{
    std::vector<wchar_t> buf(MAX_PATH);
    for (;;) {
        DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0)
            return std::wstring();
        if (n < buf.size() - 1)
            break;
        buf.resize(buf.size() * 2);
    }
    std::wstring path(buf.data());
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

bool HasLineBreak(const std::wstring& s)
{
    return s.find_first_of(L"\r\n") != std::wstring::npos;
}

} // namespace

CIniParse::~CIniParse() = default;

bool CIniParse::Open(const std::wstring& name, const std::wstring& folder)
{
    if (name.empty())
        return false;
    std::wstring dir = folder.empty() ? ExecutableFolder() : folder;
    if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/')
        dir += L'\\';
    if (!dir.empty() && GetFileAttributesW(dir.c_str()) == INVALID_FILE_ATTRIBUTES)
        SHCreateDirectoryExW(nullptr, dir.c_str(), nullptr);
    m_path = dir + name;

    HANDLE h = CreateFileW(m_path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    // A UTF-16 byte-order mark makes the profile functions keep the file in
    // UTF-16; without it they store ANSI and lose characters such as
    // Chinese folder names outside the system code page.
    static const unsigned char bom[2] = {0xFF, 0xFE};
    DWORD written = 0;
    WriteFile(h, bom, sizeof(bom), &written, nullptr);
    CloseHandle(h);
    return true;
}

int64_t CIniParse::ParseInt64(const wchar_t* text)
{
    if (!text)
        return 0;
    const wchar_t* p = text;
    while (*p == L' ' || *p == L'\t')
        ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') {
        negative = *p == L'-';
        ++p;
    }
    // Accumulate as a magnitude and saturate: a wrapped value would turn a
    // huge stored count into a small or negative one.
    const uint64_t limit = negative ? static_cast<uint64_t>(INT64_MAX) + 1 : static_cast<uint64_t>(INT64_MAX);
    uint64_t magnitude = 0;
    bool saturated = false;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        unsigned digit = static_cast<unsigned>(*p - L'0');
        if (saturated || magnitude > (limit - digit) / 10) {
            saturated = true;
            continue;
        }
        magnitude = magnitude * 10 + digit;
    }
    if (saturated)
        magnitude = limit;
    if (negative)
        return magnitude == static_cast<uint64_t>(INT64_MAX) + 1 ? INT64_MIN : -static_cast<int64_t>(magnitude);
    return static_cast<int64_t>(magnitude);
}

int64_t CIniParse::ReadInt64(const wchar_t* section, const wchar_t* key) const
{
    if (m_path.empty())
        return 0;
    wchar_t buf[256] = {};
    DWORD n = GetPrivateProfileStringW(section, key, L"", buf, 256, m_path.c_str());
    if (n == 0)
        return 0;
    return ParseInt64(buf);
}

bool CIniParse::WriteInt64(const wchar_t* section, const wchar_t* key, int64_t value) const
{
    if (m_path.empty())
        return false;
    // Same text as "%lld".
    std::wstring text = std::to_wstring(static_cast<long long>(value));
    return WritePrivateProfileStringW(section, key, text.c_str(), m_path.c_str()) != FALSE;
}

std::wstring CIniParse::ReadText(const wchar_t* section, const wchar_t* key) const
{
    if (m_path.empty())
        return std::wstring();
    std::vector<wchar_t> buf(512);
    for (;;) {
        DWORD n = GetPrivateProfileStringW(section, key, L"", buf.data(), static_cast<DWORD>(buf.size()),
                                           m_path.c_str());
        // n == size - 1 means the value may have been cut: grow and retry.
        if (n + 1 < buf.size() || buf.size() >= (1u << 20))
            return std::wstring(buf.data(), n);
        buf.resize(buf.size() * 4);
    }
}

bool CIniParse::WriteText(const wchar_t* section, const wchar_t* key, const std::wstring& value) const
{
    // A line break would let the value start new keys or sections.
    if (m_path.empty() || HasLineBreak(value))
        return false;
    // Reading strips one pair of enclosing quotes (single or double) and
    // blanks at both ends; quoting the value keeps it exactly as given,
    // e.g. an ETag such as "v1".
    std::wstring quoted = L"\"" + value + L"\"";
    return WritePrivateProfileStringW(section, key, quoted.c_str(), m_path.c_str()) != FALSE;
}

std::wstring ReadUserSetting(const wchar_t* section, const wchar_t* key)
{
    if (!userSettings.IsBound())
        return std::wstring();
    wchar_t buf[512] = {};
    DWORD n = GetPrivateProfileStringW(section, key, L"", buf, 512, userSettings.Path().c_str());
    return std::wstring(buf, n);
}

bool WriteUserSetting(const wchar_t* section, const wchar_t* key, const std::wstring& value)
{
    if (!userSettings.IsBound() || HasLineBreak(value))
        return false;
    return WritePrivateProfileStringW(section, key, value.c_str(), userSettings.Path().c_str()) != FALSE;
}

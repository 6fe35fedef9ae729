#include "app/PathSafety.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <vector>

namespace {

// One path component may hold at most this many UTF-16 units (NTFS, FAT32).
constexpr size_t kMaxComponentLength = 255;
// Characters no Windows file name may hold besides the controls below the
// space; ":" and the separators are among them.
constexpr const wchar_t* kForbiddenChars = L"<>:\"/\\|?*";
constexpr wchar_t kFirstPrintable = L' ';
constexpr wchar_t kReplacement = L'_';

constexpr const wchar_t* kDeviceNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
// COM and LPT followed by one digit; the system also reads the superscript
// digits 1 to 3 as port numbers.
constexpr const wchar_t* kNumberedDevices[] = {L"COM", L"LPT"};
constexpr const wchar_t* kPortDigits = L"0123456789\u00B9\u00B2\u00B3";

// Prefixes of the system's device and literal namespaces (\\?\ and \\.\).
constexpr size_t kNamespacePrefixLength = 4;

bool IsBlankOrDot(wchar_t c)
{
    return c == L' ' || c == L'.';
}

bool IsReservedDeviceName(const std::wstring& name)
{
    // The device is reached whatever follows the first dot ("nul.txt"), and
    // blanks before that dot do not count ("CON .txt").
    std::wstring base = name.substr(0, name.find(L'.'));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (wchar_t& c : base)
        c = static_cast<wchar_t>(std::towupper(c));
    for (const wchar_t* device : kDeviceNames) {
        if (base == device)
            return true;
    }
    for (const wchar_t* prefix : kNumberedDevices) {
        if (base.size() == 4 && base.compare(0, 3, prefix) == 0 && std::wcschr(kPortDigits, base[3]) != nullptr)
            return true;
    }
    return false;
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool IsNamespacePath(const std::wstring& path)
{
    return path.size() >= kNamespacePrefixLength && IsSeparator(path[0]) && IsSeparator(path[1]) &&
           (path[2] == L'?' || path[2] == L'.') && IsSeparator(path[3]);
}

// "X:\..." or "\\server\share...", nothing else; no ":" after the drive.
bool IsPlainAbsolutePath(const std::wstring& path)
{
    if (path.find(L'\0') != std::wstring::npos || IsNamespacePath(path))
        return false;
    const bool drive = path.size() >= 3 && std::iswalpha(path[0]) && path[0] < 0x80 && path[1] == L':' &&
                       IsSeparator(path[2]);
    const bool unc = path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
    if (!drive && !unc)
        return false;
    return path.find(L':', drive ? 2 : 0) == std::wstring::npos;
}

// The path as the system resolves it when it opens it; empty on failure.
std::wstring ResolvePath(const std::wstring& path)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD n = GetFullPathNameW(path.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
        if (n == 0)
            return std::wstring();
        if (n < buffer.size())
            return std::wstring(buffer.data(), n);
        buffer.resize(n + 1);
    }
}

bool StartsWithIgnoringCase(const std::wstring& text, const std::wstring& prefix)
{
    return text.size() >= prefix.size() &&
           CompareStringOrdinal(text.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                                static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

SafeFileName ReduceToFileName(const std::wstring& name)
{
    std::wstring reduced;
    reduced.reserve(name.size());
    for (wchar_t c : name)
        reduced += (c < kFirstPrintable || std::wcschr(kForbiddenChars, c) != nullptr) ? kReplacement : c;

    const size_t first = reduced.find_first_not_of(L' ');
    reduced.erase(0, first == std::wstring::npos ? reduced.size() : first);
    while (!reduced.empty() && IsBlankOrDot(reduced.back()))
        reduced.pop_back();

    SafeFileName result;
    if (reduced.empty())
        result.verdict = FileNameVerdict::kEmpty;
    else if (IsReservedDeviceName(reduced))
        result.verdict = FileNameVerdict::kReservedDevice;
    else if (reduced.size() > kMaxComponentLength)
        result.verdict = FileNameVerdict::kTooLong;
    else {
        result.verdict = FileNameVerdict::kValid;
        result.name = std::move(reduced);
    }
    return result;
}

bool IsPathUnderFolder(const std::wstring& path, const std::wstring& folder)
{
    if (!IsPlainAbsolutePath(path) || !IsPlainAbsolutePath(folder))
        return false;
    const std::wstring resolvedPath = ResolvePath(path);
    std::wstring prefix = ResolvePath(folder);
    if (resolvedPath.empty() || prefix.empty() || IsNamespacePath(resolvedPath))
        return false;
    if (prefix.back() != L'\\')
        prefix += L'\\';
    return resolvedPath.size() > prefix.size() && StartsWithIgnoringCase(resolvedPath, prefix);
}

std::wstring JoinUnderFolder(const std::wstring& folder, const std::wstring& relative)
{
    if (relative.empty() || IsSeparator(relative[0]) || relative.find(L':') != std::wstring::npos)
        return std::wstring();
    std::wstring joined = folder;
    if (!joined.empty() && !IsSeparator(joined.back()))
        joined += L'\\';
    joined += relative;
    if (!IsPathUnderFolder(joined, folder))
        return std::wstring();
    return ResolvePath(joined);
}

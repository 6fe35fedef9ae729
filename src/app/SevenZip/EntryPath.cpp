#include "app/SevenZip/EntryPath.h"

#include <cwchar>
#include <cwctype>
#include <vector>

namespace sevenzip {
namespace {

// Characters no Windows file name may hold (besides ":" and the
// separators, handled on their own).
constexpr const wchar_t* kForbiddenChars = L"<>\"|?*";
// Control characters are those below the space.
constexpr wchar_t kFirstPrintable = L' ';

constexpr const wchar_t* kDeviceNames[] = {L"CON", L"PRN", L"AUX", L"NUL"};
// COM1..COM9 and LPT1..LPT9.
constexpr const wchar_t* kNumberedDevices[] = {L"COM", L"LPT"};

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

bool IsDeviceName(const std::wstring& component)
{
    // The device is reached whatever follows the first dot ("nul.txt").
    std::wstring base = Upper(component.substr(0, component.find(L'.')));
    while (!base.empty() && base.back() == L' ')
        base.pop_back();
    for (const wchar_t* name : kDeviceNames) {
        if (base == name)
            return true;
    }
    for (const wchar_t* prefix : kNumberedDevices) {
        if (base.size() == 4 && base.compare(0, 3, prefix) == 0 && base[3] >= L'1' && base[3] <= L'9')
            return true;
    }
    return false;
}

bool IsStorableComponent(const std::wstring& component)
{
    // Also covers "." and "..": Windows drops trailing dots and spaces.
    const wchar_t last = component.back();
    if (last == L'.' || last == L' ')
        return false;
    for (wchar_t c : component) {
        if (c < kFirstPrintable || std::wcschr(kForbiddenChars, c) != nullptr)
            return false;
    }
    return !IsDeviceName(component);
}

std::vector<std::wstring> SplitComponents(const std::wstring& name)
{
    std::vector<std::wstring> components;
    std::wstring current;
    for (wchar_t c : name) {
        if (c == L'\\' || c == L'/') {
            if (!current.empty())
                components.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        components.push_back(current);
    return components;
}

} // namespace

std::optional<std::wstring> SafeRelativePath(const std::wstring& entryName)
{
    if (entryName.empty() || entryName[0] == L'\\' || entryName[0] == L'/')
        return std::nullopt;
    if (entryName.find(L':') != std::wstring::npos)
        return std::nullopt;
    const std::vector<std::wstring> components = SplitComponents(entryName);
    if (components.empty())
        return std::nullopt;
    std::wstring path;
    for (const std::wstring& component : components) {
        if (!IsStorableComponent(component))
            return std::nullopt;
        if (!path.empty())
            path += L'\\';
        path += component;
    }
    return path;
}

} // namespace sevenzip

#include "app/PathSafety.h"

#include <cwctype>

namespace {

bool IsForbiddenChar(wchar_t c)
{
    return c < 32 || c == L'\\' || c == L'/' || c == L':' || c == L'*' || c == L'?' || c == L'"' || c == L'<' ||
           c == L'>' || c == L'|';
}

// CON, PRN, AUX, NUL, COM1-9 and LPT1-9 name devices whatever extension
// follows them and whatever their case.
bool IsDeviceName(const std::wstring& name)
{
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    for (wchar_t& c : stem)
        c = static_cast<wchar_t>(std::towupper(c));
    if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL")
        return true;
    return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
           stem[3] >= L'1' && stem[3] <= L'9';
}

bool EndsInDotOrBlank(const std::wstring& name)
{
    return !name.empty() && (name.back() == L'.' || name.back() == L' ');
}

} // namespace

bool IsSafePathComponent(const std::wstring& name)
{
    if (name.empty() || name.size() > kMaxPathComponent || name == L"." || name == L"..")
        return false;
    for (wchar_t c : name) {
        if (IsForbiddenChar(c))
            return false;
    }
    return !EndsInDotOrBlank(name) && !IsDeviceName(name);
}

std::wstring MakeSafePathComponent(const std::wstring& name)
{
    std::wstring out(name.c_str());  // a NUL ends the name
    for (wchar_t& c : out) {
        if (IsForbiddenChar(c))
            c = L'_';
    }
    if (out.size() > kMaxPathComponent)
        out.resize(kMaxPathComponent);
    while (EndsInDotOrBlank(out))
        out.pop_back();
    if (!out.empty() && IsDeviceName(out)) {
        out.insert(out.begin(), L'_');
        if (out.size() > kMaxPathComponent)
            out.resize(kMaxPathComponent);
    }
    return IsSafePathComponent(out) ? out : std::wstring();
}

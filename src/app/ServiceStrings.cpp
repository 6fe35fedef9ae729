#include "app/ServiceStrings.h"

std::wstring LoadStringEntry(HINSTANCE module, UINT id)
{
    wchar_t buffer[kStringEntryMaxUnits] = {};
    const int n = LoadStringW(module ? module : GetModuleHandleW(nullptr), id, buffer, kStringEntryMaxUnits);
    return n > 0 ? std::wstring(buffer, static_cast<size_t>(n)) : std::wstring();
}

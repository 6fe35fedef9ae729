#include "Corvel/Core/StringConv.h"

#include <windows.h>

#include <vector>

namespace ui {

std::wstring Utf8StringToWide(const std::string& text)
{
    // -1: up to and including the terminator.
    const int needed = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
    if (needed <= 0)
        return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, buffer.data(), needed);
    return std::wstring(buffer.data());
}

std::string WideToUtf8String(const wchar_t* text)
{
    if (!text)
        return std::string();
    const int needed = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(needed) + 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer.data(), needed, nullptr, nullptr);
    return std::string(buffer.data());
}

std::string WideToUtf8String(const std::wstring& text)
{
    return WideToUtf8String(text.c_str());
}

std::string WideStringToAnsi(const std::wstring& text)
{
    const int needed = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return std::string();
    std::vector<char> buffer(static_cast<size_t>(needed) + 1, '\0');
    const int written =
        WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, buffer.data(), needed, nullptr, nullptr);
    if (written != needed)
        return std::string();
    return std::string(buffer.data());
}

} // namespace ui

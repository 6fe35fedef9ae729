#include "app/SevenZip/ExtractError.h"

#include "Corvel/Core/StringConv.h"

#include <cstring>

namespace sevenzip {

ExtractError::ExtractError(const std::string& messageUtf8, HRESULT code)
    : std::runtime_error(messageUtf8), m_code(code)
{
}

ExtractError::ExtractError(const std::string& messageUtf8, const std::wstring& subject, HRESULT code)
    : std::runtime_error(messageUtf8 + ": " + ui::WideToUtf8String(subject)), m_code(code)
{
}

bool ExtractError::IsCancel() const
{
    return m_code == E_ABORT && std::strcmp(what(), kCancelMessage) == 0;
}

HRESULT LastErrorResult()
{
    const DWORD error = GetLastError();
    // A call that failed without setting an error still failed.
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}

} // namespace sevenzip

// The one exception of the extraction layer: loading the engine, opening an
// archive, refusing an entry, writing a file, a damaged archive and a
// cancellation all end in it.
#pragma once

#include <windows.h>

#include <stdexcept>
#include <string>

namespace sevenzip {

// what() is UTF-8 (paths and entry names inside it are converted from
// UTF-16). A cancellation carries exactly kCancelMessage and E_ABORT.
class ExtractError : public std::runtime_error {
public:
    ExtractError(const std::string& messageUtf8, HRESULT code);
    // message + the path or entry name, converted to UTF-8.
    ExtractError(const std::string& messageUtf8, const std::wstring& subject, HRESULT code);

    HRESULT Code() const { return m_code; }
    bool IsCancel() const;

private:
    HRESULT m_code;
};

constexpr const char* kCancelMessage = "cancel";

// The error of a failed system call, for ExtractError codes.
HRESULT LastErrorResult();

} // namespace sevenzip

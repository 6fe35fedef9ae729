// One reading of a failed WinHTTP call's error for the whole engine.
#pragma once

#include <windows.h>
#include <winhttp.h>

// Wine reports a timed-out socket as WSAETIMEDOUT where Windows reports
// ERROR_WINHTTP_TIMEOUT; callers see ERROR_WINHTTP_TIMEOUT either way.
const DWORD kWsaTimedOut = 10060;

inline DWORD NormalizeWinHttpError(DWORD error)
{
    return error == kWsaTimedOut ? static_cast<DWORD>(ERROR_WINHTTP_TIMEOUT) : error;
}

// GetLastError() after a failed WinHTTP call, normalised; fallback when the
// call left no error, so a failure is never reported as 0.
inline DWORD LastWinHttpError(DWORD fallback)
{
    DWORD error = NormalizeWinHttpError(GetLastError());
    return error ? error : fallback;
}

inline bool IsWinHttpTimeout(DWORD error)
{
    return NormalizeWinHttpError(error) == ERROR_WINHTTP_TIMEOUT;
}

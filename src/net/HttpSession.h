// A WinHTTP session.
#pragma once

#include "net/HttpHandle.h"

class CHttpSession : public CHttpHandle {
public:
    // WinHttpOpen with the given access type; proxy names are passed only for
    // a named proxy. expectedHash is accepted for callers that carry one: the
    // pin itself is checked per request (CHttpRequest::Execute).
    DWORD Open(const wchar_t* agent, int accessType, const wchar_t* proxy, const wchar_t* bypass,
               const char* expectedHash);
};

namespace netplatform {
// Windows 7 (6.1) only: WinHTTP there does not offer TLS 1.1/1.2 unless asked.
bool IsWindows7();
void ApplySecureProtocols(HINTERNET session);
} // namespace netplatform

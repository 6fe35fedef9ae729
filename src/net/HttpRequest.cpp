#include "net/HttpRequest.h"

#include "net/CertPin.h"
#include "net/HttpHeaders.h"
#include "net/HttpSession.h"
#include "net/HttpUrl.h"
#include "net/NetResHander.h"
#include "net/WinHttpError.h"

#include <cwchar>
#include <vector>

namespace {

// Any plain http URL of a public site: discovery only asks which proxy serves it.
const wchar_t kProxyProbeUrl[] = L"http://www.example.com/";

int LastErrorOr(int fallback)
{
    return static_cast<int>(LastWinHttpError(static_cast<DWORD>(fallback)));
}

} // namespace

CHttpRequest::CHttpRequest(HINTERNET session, HINTERNET request, bool secure)
    : IRequest(request), m_session(session), m_secure(secure)
{
}

void CALLBACK CHttpRequest::StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID, DWORD)
{
    if (status != WINHTTP_CALLBACK_STATUS_SENDING_REQUEST || !context)
        return;
    CHttpRequest* self = reinterpret_cast<CHttpRequest*>(context);
    if (self->m_expectedHash.empty())
        return;
    if (!netpin::RequestMatchesPin(handle, self->m_expectedHash)) {
        // Closing the request here stops the send on Windows; Execute also
        // checks the flag, so the request fails wherever it is honoured.
        self->m_pinFailed = true;
        if (self->m_handle == handle) {
            self->m_handle = nullptr;
            WinHttpCloseHandle(handle);
        }
    }
}

DWORD CHttpRequest::SetProxy(int type, const std::wstring& proxy, const std::wstring& bypass,
                             const std::wstring& user, const std::wstring& password)
{
    if (!m_handle)
        return ERROR_INVALID_HANDLE;
    WINHTTP_PROXY_INFO info = {};
    if (type == kProxyNone) {
        info.dwAccessType = WINHTTP_ACCESS_TYPE_NO_PROXY;
        return WinHttpSetOption(m_handle, WINHTTP_OPTION_PROXY, &info, sizeof(info)) ? 0 : GetLastError();
    }
    DWORD result = 0;
    if (type == kProxyAutoDetect) {
        WINHTTP_CURRENT_USER_IE_PROXY_CONFIG ie = {};
        if (!WinHttpGetIEProxyConfigForCurrentUser(&ie))
            return GetLastError();
        WINHTTP_AUTOPROXY_OPTIONS options = {};
        options.fAutoLogonIfChallenged = TRUE;
        if (ie.fAutoDetect) {
            options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
            options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
        } else {
            options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
            options.lpszAutoConfigUrl = ie.lpszAutoConfigUrl;
        }
        WINHTTP_PROXY_INFO found = {};
        BOOL discovered = (ie.fAutoDetect || ie.lpszAutoConfigUrl) &&
                          WinHttpGetProxyForUrl(m_session, kProxyProbeUrl, &options, &found);
        if (discovered && found.dwAccessType == WINHTTP_ACCESS_TYPE_NO_PROXY) {
            info.dwAccessType = WINHTTP_ACCESS_TYPE_NO_PROXY;
        } else if (discovered && found.lpszProxy) {
            // The proxy that discovery named for this URL.
            info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
            info.lpszProxy = found.lpszProxy;
            info.lpszProxyBypass = found.lpszProxyBypass;
        } else if (ie.lpszProxy) {
            info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
            info.lpszProxy = ie.lpszProxy;
            info.lpszProxyBypass = ie.lpszProxyBypass;
        } else {
            info.dwAccessType = WINHTTP_ACCESS_TYPE_NO_PROXY;
        }
        result = WinHttpSetOption(m_handle, WINHTTP_OPTION_PROXY, &info, sizeof(info)) ? 0 : GetLastError();
        if (found.lpszProxy)
            GlobalFree(found.lpszProxy);
        if (found.lpszProxyBypass)
            GlobalFree(found.lpszProxyBypass);
        if (ie.lpszAutoConfigUrl)
            GlobalFree(ie.lpszAutoConfigUrl);
        if (ie.lpszProxy)
            GlobalFree(ie.lpszProxy);
        if (ie.lpszProxyBypass)
            GlobalFree(ie.lpszProxyBypass);
    } else if (type == kProxyNamed) {
        info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        info.lpszProxy = const_cast<LPWSTR>(proxy.c_str());
        info.lpszProxyBypass = const_cast<LPWSTR>(bypass.c_str());
        result = WinHttpSetOption(m_handle, WINHTTP_OPTION_PROXY, &info, sizeof(info)) ? 0 : GetLastError();
    } else {
        info.dwAccessType = WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
        result = WinHttpSetOption(m_handle, WINHTTP_OPTION_PROXY, &info, sizeof(info)) ? 0 : GetLastError();
    }
    if (result != 0)
        return result;
    if (!WinHttpSetOption(m_handle, WINHTTP_OPTION_PROXY_USERNAME, const_cast<wchar_t*>(user.c_str()),
                          static_cast<DWORD>(user.size())))
        return GetLastError();
    if (!WinHttpSetOption(m_handle, WINHTTP_OPTION_PROXY_PASSWORD, const_cast<wchar_t*>(password.c_str()),
                          static_cast<DWORD>(password.size())))
        return GetLastError();
    return 0;
}

int CHttpRequest::Execute(stRequestTask* task)
{
    CNetResHander* sink = task->sink;
    auto report = [&](int error, int status) {
        if (sink)
            sink->OnError(error, status, task);
        return error;
    };
    if (!m_handle)
        return report(ERROR_INVALID_HANDLE, 0);

    // 1. Headers and cookie.
    if (task->headerStart < task->headers.size()) {
        std::wstring text = task->headers.substr(task->headerStart);
        while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
            text.pop_back();
        if (!text.empty())
            WinHttpAddRequestHeaders(m_handle, text.c_str(), static_cast<DWORD>(text.size()),
                                     WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON);
    }
    if (task->cookieStart < task->cookie.size()) {
        std::wstring line = L"Cookie: " + task->cookie.substr(task->cookieStart);
        WinHttpAddRequestHeaders(m_handle, line.c_str(), static_cast<DWORD>(line.size()),
                                 WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON);
    }

    // 2. Certificate pin: a malformed pin, or one on a plain connection,
    // refuses the task before anything is sent.
    m_expectedHash.clear();
    m_pinFailed = false;
    const bool pinned = !task->expectedCertHash.empty();
    if (pinned) {
        std::string pin;
        if (!netpin::NormalisePin(task->expectedCertHash, &pin))
            return report(ERROR_INVALID_PARAMETER, 0);
        if (!m_secure)
            return report(ERROR_WINHTTP_SECURE_FAILURE, 0);
        m_expectedHash = pin;
        if (WinHttpSetStatusCallback(m_handle, StatusCallback, WINHTTP_CALLBACK_STATUS_SENDING_REQUEST, 0) ==
            WINHTTP_INVALID_STATUS_CALLBACK)
            return report(LastErrorOr(ERROR_WINHTTP_SECURE_FAILURE), 0);
    }

    // 3. Send. A pinned request sends its body only after the certificate
    // has been checked.
    uint64_t total64 = static_cast<uint64_t>(task->bodyLength) + task->extraUploadLength;
    if (total64 > 0xFFFFFFFFull)
        return report(ERROR_INVALID_PARAMETER, 0);
    const DWORD total = static_cast<DWORD>(total64);
    const bool bodyLater = pinned && task->bodyLength > 0;
    BOOL sent = WinHttpSendRequest(m_handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                   bodyLater ? WINHTTP_NO_REQUEST_DATA : const_cast<uint8_t*>(task->body),
                                   bodyLater ? 0 : task->bodyLength, total, reinterpret_cast<DWORD_PTR>(this));
    if (m_pinFailed)
        return report(ERROR_WINHTTP_SECURE_FAILURE, 0);
    if (!sent)
        return report(LastErrorOr(ERROR_WINHTTP_INTERNAL_ERROR), 0);
    if (pinned && !netpin::RequestMatchesPin(m_handle, m_expectedHash))
        return report(ERROR_WINHTTP_SECURE_FAILURE, 0);
    if (bodyLater) {
        DWORD written = 0;
        if (!WinHttpWriteData(m_handle, task->body, task->bodyLength, &written) || written != task->bodyLength)
            return report(LastErrorOr(ERROR_WINHTTP_CONNECTION_ERROR), 0);
    }

    // 4. Further upload bytes from the handler.
    if (task->extraUploadLength != 0 && sink) {
        std::vector<uint8_t> chunk(64 * 1024);
        uint32_t left = task->extraUploadLength;
        for (;;) {
            uint32_t length = static_cast<uint32_t>(chunk.size());
            bool more = sink->ReadUploadChunk(task, chunk.data(), &length);
            if (length > chunk.size() || length > left)
                return report(ERROR_INVALID_DATA, 0);
            if (length > 0) {
                DWORD written = 0;
                if (!WinHttpWriteData(m_handle, chunk.data(), length, &written) || written != length)
                    return report(LastErrorOr(ERROR_WINHTTP_CONNECTION_ERROR), 0);
                left -= length;
            }
            if (!more)
                break;
        }
    }

    // 5. Response.
    if (!WinHttpReceiveResponse(m_handle, nullptr)) {
        int error = m_pinFailed ? ERROR_WINHTTP_SECURE_FAILURE : LastErrorOr(ERROR_WINHTTP_INTERNAL_ERROR);
        return report(error, -1);
    }
    // A redirect may have moved to another server: check the one that answered.
    if (pinned && (m_pinFailed || !netpin::RequestMatchesPin(m_handle, m_expectedHash)))
        return report(ERROR_WINHTTP_SECURE_FAILURE, 0);

    // 6. Raw header block (UTF-16).
    if (sink) {
        DWORD size = 0;
        WinHttpQueryHeaders(m_handle, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                            WINHTTP_NO_HEADER_INDEX);
        DWORD e = GetLastError();
        if (e != ERROR_INSUFFICIENT_BUFFER)
            return report(e ? static_cast<int>(e) : ERROR_WINHTTP_INTERNAL_ERROR, -1);
        std::vector<char> block(size + sizeof(wchar_t), 0);
        if (WinHttpQueryHeaders(m_handle, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                                block.data(), &size, WINHTTP_NO_HEADER_INDEX))
            sink->OnHeaders(block.data(), static_cast<int>(size), task);
    }

    // 7. Status.
    DWORD status = 0;
    DWORD statusSize = sizeof(status);
    if (!WinHttpQueryHeaders(m_handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &statusSize, WINHTTP_NO_HEADER_INDEX))
        return report(LastErrorOr(ERROR_WINHTTP_INVALID_SERVER_RESPONSE), 0);
    const int st = static_cast<int>(status);
    if (st != 200 && st != 206) {
        report(0, st);
        return 0;
    }

    // 8. Content length.
    // A missing or unreadable length is "not known" (-1).
    std::wstring lengthText;
    uint64_t parsedLength = 0;
    int64_t contentLength = -1;
    if (QueryHeaderText(m_handle, WINHTTP_QUERY_CONTENT_LENGTH, lengthText) &&
        ParseContentLength(lengthText, parsedLength))
        contentLength = static_cast<int64_t>(parsedLength);
    const uint64_t lengthBits = static_cast<uint64_t>(contentLength);
    void* context = sink ? sink->OnBegin(task, static_cast<uint32_t>(lengthBits),
                                         static_cast<uint32_t>(lengthBits >> 32), st)
                         : nullptr;
    auto abort = [&](int error) {
        if (sink)
            sink->OnAbort(context, task);
        task->resultCode = error;
        return report(error, st);
    };

    // 9. Body.
    std::vector<char> buffer;
    uint64_t received = 0;
    for (;;) {
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(m_handle, &available))
            return abort(LastErrorOr(kErrorShortBody));
        if (available == 0)
            break;
        DWORD want = available < (1u << 20) ? available : (1u << 20);
        if (buffer.size() < want)
            buffer.resize(want);
        DWORD got = 0;
        if (!WinHttpReadData(m_handle, buffer.data(), want, &got))
            return abort(LastErrorOr(kErrorShortBody));
        if (got == 0)
            break;
        received += got;
        if (sink && sink->OnData(buffer.data(), static_cast<int>(got), task, context) == -1)
            return abort(ERROR_CANCELLED);
    }
    if (contentLength >= 0 && received != static_cast<uint64_t>(contentLength))
        return abort(kErrorShortBody);

    // 10. The whole body is in.
    if (sink)
        sink->OnComplete(context, task);
    return 0;
}

static void ApplyTimeouts(HINTERNET handle, const stRequestTask* task)
{
    WinHttpSetTimeouts(handle, task->resolveTimeout, task->connectTimeout, task->sendTimeout,
                       task->receiveTimeout);
    // The wait for the status line is bounded by the receive timeout too.
    DWORD responseTimeout = static_cast<DWORD>(task->receiveTimeout);
    WinHttpSetOption(handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout, sizeof(responseTimeout));
}

int RunTaskOnConnection(HINTERNET session, HINTERNET connection, stRequestTask* task)
{
    auto report = [&](int error) {
        if (task->sink)
            task->sink->OnError(error, 0, task);
        return error;
    };
    stHttpUrl url;
    if (!CrackHttpUrl(task->url, &url))
        return report(LastErrorOr(ERROR_WINHTTP_INVALID_URL));
    HINTERNET h = WinHttpOpenRequest(connection, task->verb == kHttpVerbPost ? L"POST" : L"GET", url.path.c_str(),
                                     nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                     url.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!h)
        return report(LastErrorOr(ERROR_WINHTTP_INTERNAL_ERROR));
    CHttpRequest request(session, h, url.secure);
    ApplyTimeouts(h, task);
    DWORD proxyError = request.SetProxy(task->proxyType, task->proxy, task->proxyBypass, task->proxyUser,
                                        task->proxyPassword);
    if (proxyError != 0)
        return report(static_cast<int>(proxyError));
    return request.Execute(task);
}

int RunRequestSync(stRequestTask* task)
{
    stHttpUrl url;
    if (!CrackHttpUrl(task->url, &url)) {
        if (task->sink)
            task->sink->OnError(LastErrorOr(ERROR_WINHTTP_INVALID_URL), 0, task);
        return 1;
    }
    CHttpSession session;
    session.Open(task->userAgent.c_str(), task->proxyType, task->proxy.c_str(), task->proxyBypass.c_str(),
                 task->expectedCertHash.empty() ? nullptr : task->expectedCertHash.c_str());
    if (session)
        ApplyTimeouts(session.Handle(), task);
    CHttpHandle connection(session ? WinHttpConnect(session.Handle(), url.host.c_str(), url.port, 0) : nullptr);
    if (!connection) {
        int error = LastErrorOr(ERROR_WINHTTP_CANNOT_CONNECT);
        if (task->sink)
            task->sink->OnError(error, 0, task);
        return error;
    }
    return RunTaskOnConnection(session.Handle(), connection.Handle(), task);
}

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

// Further upload bytes are asked of the handler in pieces of this size.
const size_t kUploadChunkBytes = 64 * 1024;
// One read takes at most this much of what is available, so a fast link does
// not grow the buffer without bound.
const DWORD kMaxReadBytes = 1u << 20;

int LastErrorOr(int fallback)
{
    return static_cast<int>(LastWinHttpError(static_cast<DWORD>(fallback)));
}

} // namespace

CHttpRequest::CHttpRequest(HINTERNET session, HINTERNET request, bool secure, const std::atomic<bool>* stop)
    : IRequest(request), m_session(session), m_secure(secure), m_stop(stop)
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
        // Closing the request here stops the send on Windows. Wine sends on
        // (the next step fails with error 6), so Execute checks the flag too.
        self->m_pinFailed = true;
        if (self->m_handle == handle)
            self->Close();
    }
}

DWORD CHttpRequest::SetProxy(int type, const std::wstring& proxy, const std::wstring& bypass,
                             const std::wstring& user, const std::wstring& password)
{
    if (!m_handle)
        return ERROR_INVALID_HANDLE;
    WINHTTP_PROXY_INFO info = {};
    DWORD result = 0;
    if (type == kProxyNone) {
        info.dwAccessType = WINHTTP_ACCESS_TYPE_NO_PROXY;
        return SetProxyInfo(info);
    }
    if (type == kProxyAutoDetect) {
        result = SetDiscoveredProxy();
    } else if (type == kProxyNamed) {
        info.dwAccessType = WINHTTP_ACCESS_TYPE_NAMED_PROXY;
        info.lpszProxy = const_cast<LPWSTR>(proxy.c_str());
        info.lpszProxyBypass = const_cast<LPWSTR>(bypass.c_str());
        result = SetProxyInfo(info);
    } else {
        info.dwAccessType = WINHTTP_ACCESS_TYPE_DEFAULT_PROXY;
        result = SetProxyInfo(info);
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

DWORD CHttpRequest::SetProxyInfo(WINHTTP_PROXY_INFO& info)
{
    return WinHttpSetOption(m_handle, WINHTTP_OPTION_PROXY, &info, sizeof(info)) ? 0 : GetLastError();
}

// The user's settings: the proxy that discovery names for the probe URL, else
// the user's manual proxy, else none.
DWORD CHttpRequest::SetDiscoveredProxy()
{
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
    const bool discovered = (ie.fAutoDetect || ie.lpszAutoConfigUrl) &&
                            WinHttpGetProxyForUrl(m_session, kProxyProbeUrl, &options, &found);
    WINHTTP_PROXY_INFO info = {};
    if (discovered && found.dwAccessType == WINHTTP_ACCESS_TYPE_NO_PROXY) {
        info.dwAccessType = WINHTTP_ACCESS_TYPE_NO_PROXY;
    } else if (discovered && found.lpszProxy) {
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
    DWORD result = SetProxyInfo(info);
    // The texts WinHTTP returned are the caller's to free.
    for (LPWSTR text : {found.lpszProxy, found.lpszProxyBypass, ie.lpszAutoConfigUrl, ie.lpszProxy, ie.lpszProxyBypass})
        if (text)
            GlobalFree(text);
    return result;
}

int CHttpRequest::Execute(stRequestTask* task)
{
    if (!m_handle)
        return Fail(task, ERROR_INVALID_HANDLE, 0);
    AddHeadersAndCookie(task);
    int error = ArmPin(task);
    if (error == 0)
        error = Send(task);
    if (error == 0)
        error = UploadExtra(task);
    if (error == 0)
        error = Receive(task);
    if (error == 0)
        error = ReportHeaders(task);
    stResponse response;
    if (error == 0)
        error = ReadStatus(task, &response.status);
    if (error != 0)
        return error;
    if (response.status != kHttpStatusOk && response.status != kHttpStatusPartialContent) {
        // An HTTP error status is an answer: the handler sees it, the caller succeeds.
        Fail(task, 0, response.status);
        return 0;
    }
    response.contentLength = ContentLength();
    Begin(task, &response);
    error = ReadBody(task, response);
    if (error != 0)
        return error;
    Complete(task, response);
    return 0;
}

int CHttpRequest::Fail(stRequestTask* task, int error, int status)
{
    if (task->sink)
        task->sink->OnError(error, status, task);
    return error;
}

void CHttpRequest::AddHeadersAndCookie(const stRequestTask* task)
{
    // Failures are ignored: the request goes out without the line.
    const DWORD flags = WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_COALESCE_WITH_SEMICOLON;
    if (task->headerStart < task->headers.size()) {
        std::wstring text = task->headers.substr(task->headerStart);
        while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n'))
            text.pop_back();
        if (!text.empty())
            WinHttpAddRequestHeaders(m_handle, text.c_str(), static_cast<DWORD>(text.size()), flags);
    }
    if (task->cookieStart < task->cookie.size()) {
        std::wstring line = L"Cookie: " + task->cookie.substr(task->cookieStart);
        WinHttpAddRequestHeaders(m_handle, line.c_str(), static_cast<DWORD>(line.size()), flags);
    }
}

// A malformed pin, or one on a plain connection, refuses the task before
// anything is sent.
int CHttpRequest::ArmPin(stRequestTask* task)
{
    m_expectedHash.clear();
    m_pinFailed = false;
    if (task->expectedCertHash.empty())
        return 0;
    std::string pin;
    if (!netpin::NormalisePin(task->expectedCertHash, &pin))
        return Fail(task, ERROR_INVALID_PARAMETER, 0);
    if (!m_secure)
        return Fail(task, ERROR_WINHTTP_SECURE_FAILURE, 0);
    m_expectedHash = pin;
    if (WinHttpSetStatusCallback(m_handle, StatusCallback, WINHTTP_CALLBACK_STATUS_SENDING_REQUEST, 0) ==
        WINHTTP_INVALID_STATUS_CALLBACK)
        return Fail(task, LastErrorOr(ERROR_WINHTTP_SECURE_FAILURE), 0);
    return 0;
}

// A pinned request sends its body only after the certificate has been checked.
int CHttpRequest::Send(stRequestTask* task)
{
    const uint64_t total64 = static_cast<uint64_t>(task->bodyLength) + task->extraUploadLength;
    if (total64 > UINT32_MAX)
        return Fail(task, ERROR_INVALID_PARAMETER, 0);
    const bool pinned = !m_expectedHash.empty();
    const bool bodyLater = pinned && task->bodyLength > 0;
    BOOL sent = WinHttpSendRequest(m_handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                                   bodyLater ? WINHTTP_NO_REQUEST_DATA : const_cast<uint8_t*>(task->body),
                                   bodyLater ? 0 : task->bodyLength, static_cast<DWORD>(total64),
                                   reinterpret_cast<DWORD_PTR>(this));
    if (m_pinFailed)
        return Fail(task, ERROR_WINHTTP_SECURE_FAILURE, 0);
    if (!sent)
        return Fail(task, LastErrorOr(ERROR_WINHTTP_INTERNAL_ERROR), 0);
    if (pinned && !netpin::RequestMatchesPin(m_handle, m_expectedHash))
        return Fail(task, ERROR_WINHTTP_SECURE_FAILURE, 0);
    if (bodyLater) {
        DWORD written = 0;
        if (!WinHttpWriteData(m_handle, task->body, task->bodyLength, &written) || written != task->bodyLength)
            return Fail(task, LastErrorOr(ERROR_WINHTTP_CONNECTION_ERROR), 0);
    }
    return 0;
}

// Further upload bytes after the body, asked of the handler piece by piece.
int CHttpRequest::UploadExtra(stRequestTask* task)
{
    CNetResHander* sink = task->sink;
    if (task->extraUploadLength == 0 || !sink)
        return 0;
    std::vector<uint8_t> chunk(kUploadChunkBytes);
    uint32_t left = task->extraUploadLength;
    for (;;) {
        uint32_t length = static_cast<uint32_t>(chunk.size());
        bool more = sink->ReadUploadChunk(task, chunk.data(), &length);
        if (length > chunk.size() || length > left)
            return Fail(task, ERROR_INVALID_DATA, 0);
        if (length > 0) {
            DWORD written = 0;
            if (!WinHttpWriteData(m_handle, chunk.data(), length, &written) || written != length)
                return Fail(task, LastErrorOr(ERROR_WINHTTP_CONNECTION_ERROR), 0);
            left -= length;
        }
        if (!more)
            return 0;
    }
}

int CHttpRequest::Receive(stRequestTask* task)
{
    if (!WinHttpReceiveResponse(m_handle, nullptr)) {
        int error = m_pinFailed ? ERROR_WINHTTP_SECURE_FAILURE : LastErrorOr(ERROR_WINHTTP_INTERNAL_ERROR);
        return Fail(task, error, -1);
    }
    // A redirect may have moved to another server: check the one that answered.
    if (!m_expectedHash.empty() && (m_pinFailed || !netpin::RequestMatchesPin(m_handle, m_expectedHash)))
        return Fail(task, ERROR_WINHTTP_SECURE_FAILURE, 0);
    return 0;
}

// The raw header block (UTF-16) to the sink.
int CHttpRequest::ReportHeaders(stRequestTask* task)
{
    if (!task->sink)
        return 0;
    DWORD size = 0;
    WinHttpQueryHeaders(m_handle, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                        WINHTTP_NO_HEADER_INDEX);
    DWORD e = GetLastError();
    if (e != ERROR_INSUFFICIENT_BUFFER)
        return Fail(task, e ? static_cast<int>(e) : ERROR_WINHTTP_INTERNAL_ERROR, -1);
    std::vector<char> block(size + sizeof(wchar_t), 0);
    if (WinHttpQueryHeaders(m_handle, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, block.data(),
                            &size, WINHTTP_NO_HEADER_INDEX))
        task->sink->OnHeaders(block.data(), static_cast<int>(size), task);
    return 0;
}

int CHttpRequest::ReadStatus(stRequestTask* task, int* status)
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (!WinHttpQueryHeaders(m_handle, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &value, &size, WINHTTP_NO_HEADER_INDEX))
        return Fail(task, LastErrorOr(ERROR_WINHTTP_INVALID_SERVER_RESPONSE), 0);
    *status = static_cast<int>(value);
    return 0;
}

// A missing or unreadable Content-Length is "not known" (-1).
int64_t CHttpRequest::ContentLength()
{
    std::wstring text;
    uint64_t length = 0;
    if (QueryHeaderText(m_handle, WINHTTP_QUERY_CONTENT_LENGTH, text) && ParseContentLength(text, length))
        return static_cast<int64_t>(length);
    return -1;
}

void CHttpRequest::Begin(stRequestTask* task, stResponse* response)
{
    if (!task->sink)
        return;
    const uint64_t bits = static_cast<uint64_t>(response->contentLength);
    response->context =
        task->sink->OnBegin(task, static_cast<uint32_t>(bits), static_cast<uint32_t>(bits >> 32), response->status);
}

// Reads until the response ends. A stop is looked at before every read: a
// read blocked on a silent server ends only with the receive timeout.
int CHttpRequest::ReadBody(stRequestTask* task, const stResponse& response)
{
    std::vector<char> buffer;
    uint64_t received = 0;
    for (;;) {
        if (StopRequested())
            return AbortBody(task, response, ERROR_OPERATION_ABORTED);
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(m_handle, &available))
            return AbortBody(task, response, LastErrorOr(kErrorShortBody));
        if (available == 0)
            break;
        const DWORD want = available < kMaxReadBytes ? available : kMaxReadBytes;
        if (buffer.size() < want)
            buffer.resize(want);
        DWORD got = 0;
        if (!WinHttpReadData(m_handle, buffer.data(), want, &got))
            return AbortBody(task, response, LastErrorOr(kErrorShortBody));
        if (got == 0)
            break;
        received += got;
        if (task->sink && task->sink->OnData(buffer.data(), static_cast<int>(got), task, response.context) == -1)
            return AbortBody(task, response, ERROR_CANCELLED);
    }
    if (response.contentLength >= 0 && received != static_cast<uint64_t>(response.contentLength))
        return AbortBody(task, response, kErrorShortBody);
    return 0;
}

// The body broke off: the sink drops what it kept of it, then hears the error.
int CHttpRequest::AbortBody(stRequestTask* task, const stResponse& response, int error)
{
    if (task->sink)
        task->sink->OnAbort(response.context, task);
    task->resultCode = error;
    return Fail(task, error, response.status);
}

void CHttpRequest::Complete(stRequestTask* task, const stResponse& response)
{
    if (task->sink)
        task->sink->OnComplete(response.context, task);
}

static void ApplyTimeouts(HINTERNET handle, const stRequestTask* task)
{
    WinHttpSetTimeouts(handle, task->resolveTimeout, task->connectTimeout, task->sendTimeout,
                       task->receiveTimeout);
    // The wait for the status line is bounded by the receive timeout too.
    DWORD responseTimeout = static_cast<DWORD>(task->receiveTimeout);
    WinHttpSetOption(handle, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout, sizeof(responseTimeout));
}

int RunTaskOnConnection(HINTERNET session, HINTERNET connection, stRequestTask* task, const std::atomic<bool>* stop)
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
    CHttpRequest request(session, h, url.secure, stop);
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

// One WinHTTP request run for one stRequestTask, reporting every step to the
// task's sink.
#pragma once

#include "net/HttpHandle.h"
#include "net/RequestTask.h"

#include <atomic>
#include <cstdint>
#include <string>

class CNetResHander;

class IRequest : public CHttpHandle {
public:
    using CHttpHandle::CHttpHandle;
    virtual int Execute(stRequestTask* task) = 0;
};

class CHttpRequest : public IRequest {
public:
    // session: the session the request was opened on (proxy discovery needs
    // it), borrowed. request: owned from here on. stop: borrowed, may be null;
    // once it reads true the body loop ends before its next read.
    CHttpRequest(HINTERNET session, HINTERNET request, bool secure, const std::atomic<bool>* stop = nullptr);

    // Proxy settings of the task on this request; 0 = success.
    DWORD SetProxy(int type, const std::wstring& proxy, const std::wstring& bypass, const std::wstring& user,
                   const std::wstring& password);

    // Sends the task and delivers the response: 0 on success or an HTTP
    // error status (seen by OnError with error 0), else the Win32/WinHTTP
    // error, also reported through OnError. The body is complete or it is an
    // error: a short body, a broken read or a stop (ERROR_OPERATION_ABORTED)
    // never reaches OnComplete.
    int Execute(stRequestTask* task) override;

private:
    // The response being delivered: what the body phases share.
    struct stResponse {
        int status = 0;
        int64_t contentLength = -1;  // -1 = not given
        void* context = nullptr;     // the sink's, from OnBegin
    };

    static void CALLBACK StatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                        DWORD length);

    DWORD SetProxyInfo(WINHTTP_PROXY_INFO& info);
    DWORD SetDiscoveredProxy();
    int Fail(stRequestTask* task, int error, int status);
    void AddHeadersAndCookie(const stRequestTask* task);
    int ArmPin(stRequestTask* task);
    int Send(stRequestTask* task);
    int UploadExtra(stRequestTask* task);
    int Receive(stRequestTask* task);
    int ReportHeaders(stRequestTask* task);
    int ReadStatus(stRequestTask* task, int* status);
    int64_t ContentLength();
    void Begin(stRequestTask* task, stResponse* response);
    int ReadBody(stRequestTask* task, const stResponse& response);
    int AbortBody(stRequestTask* task, const stResponse& response, int error);
    void Complete(stRequestTask* task, const stResponse& response);
    bool StopRequested() const { return m_stop && m_stop->load(); }

    HINTERNET m_session;
    bool m_secure;
    const std::atomic<bool>* m_stop;
    std::string m_expectedHash;  // normalised pin, empty = none
    volatile bool m_pinFailed = false;
};

// Error of a body that ended before its Content-Length.
constexpr int kErrorShortBody = ERROR_WINHTTP_CONNECTION_ERROR;

// Opens a request for the task on a connection, applies its timeouts and
// proxy and runs it. Failures before the request runs reach OnError too.
// stop: as for CHttpRequest (a pooled connection's closing flag), may be null.
int RunTaskOnConnection(HINTERNET session, HINTERNET connection, stRequestTask* task,
                        const std::atomic<bool>* stop = nullptr);

// Runs a synchronous task on the calling thread with a session of its own:
// 0 = success, 1 = the URL cannot be cracked, else a Win32/WinHTTP error.
int RunRequestSync(stRequestTask* task);

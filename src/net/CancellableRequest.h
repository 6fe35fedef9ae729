// One WinHTTP request in asynchronous mode, driven step by step by one
// thread that may give up on any step at once.
//
// Wine's synchronous WinHTTP cannot be interrupted: closing the handles from
// another thread does not end a blocked name look-up, connect, wait for the
// response headers or read, and re-trying a timed-out read on the same
// response corrupts Wine's read buffer. Here each step is started
// asynchronously and waited for together with the caller's cancel events;
// a cancelled request is closed and left to end on WinHTTP's own threads,
// which own everything it may still write to (its state and read buffer).
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>
#include <vector>

#include "net/HttpHandle.h"

class CCancellableRequest {
public:
    // cancelEvents: borrowed; they must outlive the object. When any of them
    // is signalled, the step being waited for ends with
    // ERROR_WINHTTP_OPERATION_CANCELLED, and so does every later step.
    // readBufferBytes: the largest read (see Read).
    CCancellableRequest(std::vector<HANDLE> cancelEvents, size_t readBufferBytes);
    // Closes the request and its connection without waiting for a step in
    // flight.
    ~CCancellableRequest();
    CCancellableRequest(const CCancellableRequest&) = delete;
    CCancellableRequest& operator=(const CCancellableRequest&) = delete;

    // A GET of path on host:port over session, which must have been opened
    // with WINHTTP_FLAG_ASYNC. 0 or the Win32/WinHTTP error.
    DWORD Open(HINTERNET session, const std::wstring& host, INTERNET_PORT port, const std::wstring& path,
               bool secure);
    // The request handle, for options, request headers and, after Send,
    // the response headers. Null before a successful Open.
    HINTERNET Handle() const { return m_request.Handle(); }

    // Sends the request and waits for the response headers (name look-up,
    // connect, send and the header wait, each bounded by the request's
    // time-outs). 0, the error, or ERROR_WINHTTP_OPERATION_CANCELLED.
    DWORD Send();
    // Waits until body bytes are buffered (or the body has ended) and tells
    // how many can be read without waiting; *available 0: the body has
    // ended. 0, the error, or ERROR_WINHTTP_OPERATION_CANCELLED.
    DWORD QueryAvailable(DWORD* available);
    // Reads up to `bytes` (at most the buffer size less offset) into the
    // read buffer at `offset`; the read ends when it has them all or the
    // body ends. *got 0: the body has ended. 0, the error, or
    // ERROR_WINHTTP_OPERATION_CANCELLED.
    //
    // Wine completes a read on the calling thread when its receive buffer
    // already holds bytes, and then goes on receiving, blocked and beyond
    // any cancel, until all `bytes` are in. A read of more bytes than
    // QueryAvailable reported is therefore started only once the buffered
    // ones have been read: then it runs on WinHTTP's threads.
    DWORD Read(size_t offset, DWORD bytes, DWORD* got);
    // The read buffer: valid until the object is destroyed.
    const char* Data() const;
    size_t BufferSize() const;

private:
    struct stState;
    static void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void* info, DWORD length);
    DWORD Await(DWORD completion);

    std::vector<HANDLE> m_cancelEvents;
    CHttpHandle m_connect;
    CHttpHandle m_request;
    // Owned by this object until Open hands it to the request's status
    // callback, which frees it when WinHTTP closes the request; borrowed
    // from then on (valid while m_request is open).
    stState* m_state = nullptr;
    bool m_handedOver = false;
    bool m_cancelled = false;
};

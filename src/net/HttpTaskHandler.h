// Callback interface through which a request delivers its results. Handlers
// keep no request state of their own: results live behind task->userData.
#pragma once

#include "net/RequestTask.h"

#include <cstdint>

class CHttpTaskHandler {
public:
    virtual ~CHttpTaskHandler() = default;

    // error: Win32/WinHTTP code or 0; status: HTTP status, 0 or -1 when none.
    virtual bool OnError(int error, int status, stRequestTask* task) = 0;
    // Further upload bytes after the body: *length holds the buffer's capacity
    // on entry and the bytes supplied on return; true = ask again.
    virtual bool ReadUploadChunk(stRequestTask* task, void* buffer, uint32_t* length) = 0;
    // The raw response header block as UTF-16LE text; length in bytes.
    virtual void OnHeaders(const char* data, int length, stRequestTask* task) = 0;
    // Content length is -1 (both words all ones) when the server gave none.
    virtual void OnBegin(stRequestTask* task, uint32_t lengthLow, uint32_t lengthHigh, int status) = 0;
    // -1 cancels the transfer; any other value goes on.
    virtual int OnData(const char* data, int length, stRequestTask* task) = 0;
    // The whole body arrived; cachedPath is the cache file of the response or null.
    virtual void OnComplete(const wchar_t* cachedPath, stRequestTask* task) = 0;
    // Load a cached file as the whole body; false when it cannot be read whole.
    virtual bool OnCachedFile(const wchar_t* path, uint32_t size, stRequestTask* task) = 0;
};

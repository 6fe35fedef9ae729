// Stock handler that collects a response in memory (stHttpResponseData).
#pragma once

#include "net/HttpTaskHandler.h"

#include <cstdint>

// Result record of CHttpDefaultHandler, reached through task->userData.
struct stHttpResponseData {
    char* body = nullptr;          // heap (malloc)
    uint32_t bodyLength = 0;
    int64_t totalLength = 0;       // from OnBegin, -1 = unknown
    char* headers = nullptr;       // first header block, UTF-16LE bytes
    uint32_t headerLength = 0;
    int32_t ownsBuffers = 1;       // 1 = the record frees both buffers
    int32_t error = 0;
    int32_t status = 0;

    stHttpResponseData() = default;
    ~stHttpResponseData();
    stHttpResponseData(const stHttpResponseData&) = delete;
    stHttpResponseData& operator=(const stHttpResponseData&) = delete;

    void FreeBuffers();
};

class CHttpDefaultHandler : public CHttpTaskHandler {
public:
    // Keeps the first non-zero error (a later knock-on error does not hide
    // the cause) and the latest status.
    bool OnError(int error, int status, stRequestTask* task) override;
    bool ReadUploadChunk(stRequestTask* task, void* buffer, uint32_t* length) override;
    void OnHeaders(const char* data, int length, stRequestTask* task) override;
    void OnBegin(stRequestTask* task, uint32_t lengthLow, uint32_t lengthHigh, int status) override;
    int OnData(const char* data, int length, stRequestTask* task) override;
    void OnComplete(const wchar_t* cachedPath, stRequestTask* task) override;
    // Loads the file only when all of size bytes can be read; the record is
    // left untouched otherwise.
    bool OnCachedFile(const wchar_t* path, uint32_t size, stRequestTask* task) override;
};

#include "net/HttpDefaultHandler.h"

#include "net/FileHandle.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

stHttpResponseData::~stHttpResponseData()
{
    if (ownsBuffers)
        FreeBuffers();
}

void stHttpResponseData::FreeBuffers()
{
    free(body);
    body = nullptr;
    bodyLength = 0;
    free(headers);
    headers = nullptr;
    headerLength = 0;
}

static stHttpResponseData* ResponseOf(stRequestTask* task)
{
    return task ? static_cast<stHttpResponseData*>(task->userData) : nullptr;
}

bool CHttpDefaultHandler::OnError(int error, int status, stRequestTask* task)
{
    if (stHttpResponseData* r = ResponseOf(task)) {
        if (r->error == 0)
            r->error = error;
        r->status = status;
    }
    return true;
}

bool CHttpDefaultHandler::ReadUploadChunk(stRequestTask*, void*, uint32_t* length)
{
    if (length)
        *length = 0;
    return false;
}

void CHttpDefaultHandler::OnHeaders(const char* data, int length, stRequestTask* task)
{
    stHttpResponseData* r = ResponseOf(task);
    if (!r || r->headers || !data || length <= 0)
        return;
    char* copy = static_cast<char*>(malloc(static_cast<size_t>(length) + 2));
    if (!copy)
        return;
    memcpy(copy, data, static_cast<size_t>(length));
    copy[length] = copy[length + 1] = 0;
    r->headers = copy;
    r->headerLength = static_cast<uint32_t>(length);
}

void CHttpDefaultHandler::OnBegin(stRequestTask* task, uint32_t lengthLow, uint32_t lengthHigh, int status)
{
    if (stHttpResponseData* r = ResponseOf(task)) {
        r->totalLength = static_cast<int64_t>((static_cast<uint64_t>(lengthHigh) << 32) | lengthLow);
        r->status = status;
    }
}

int CHttpDefaultHandler::OnData(const char* data, int length, stRequestTask* task)
{
    stHttpResponseData* r = ResponseOf(task);
    if (length <= 0 || !data)
        return 0;
    if (!r)
        return length;
    uint64_t newLength = static_cast<uint64_t>(r->bodyLength) + static_cast<uint64_t>(length);
    if (newLength > UINT32_MAX)
        return -1;  // the record counts in 32 bits
    char* grown = static_cast<char*>(realloc(r->body, static_cast<size_t>(newLength)));
    if (!grown)
        return -1;
    memcpy(grown + r->bodyLength, data, static_cast<size_t>(length));
    r->body = grown;
    r->bodyLength = static_cast<uint32_t>(newLength);
    return length;
}

void CHttpDefaultHandler::OnComplete(const wchar_t*, stRequestTask*) {}

bool CHttpDefaultHandler::OnCachedFile(const wchar_t* path, uint32_t size, stRequestTask* task)
{
    stHttpResponseData* r = ResponseOf(task);
    if (!r || !path || size == 0)
        return false;
    CFileHandle file(
        CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    char* buffer = static_cast<char*>(malloc(size));
    uint32_t have = 0;
    while (buffer && have < size) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), buffer + have, size - have, &got, nullptr) || got == 0)
            break;
        have += got;
    }
    if (!buffer || have != size) {
        free(buffer);  // a short file is not the cached body
        return false;
    }
    free(r->body);
    r->body = buffer;
    r->bodyLength = size;
    r->totalLength = size;
    return true;
}

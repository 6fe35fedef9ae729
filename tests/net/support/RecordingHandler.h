// A task handler for tests that records every callback it receives.
#pragma once

#include "net/HttpTaskHandler.h"

#include <windows.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

class RecordingHandler : public CHttpTaskHandler {
public:
    struct Error {
        int error;
        int status;
    };

    RecordingHandler()
    {
        m_done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        m_data = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    }
    ~RecordingHandler() override
    {
        CloseHandle(m_done);
        CloseHandle(m_data);
    }

    // Extra upload bytes handed out through ReadUploadChunk, in pieces.
    std::string upload;
    size_t uploadPiece = 5;
    // OnData answers -1 once this many bytes arrived (-1 = never).
    long long cancelAfter = -1;
    // OnCachedFile answers false, as for a cached file that came up short.
    bool refuseCachedFile = false;

    bool OnError(int error, int status, stRequestTask*) override
    {
        std::lock_guard<std::mutex> g(m);
        errors.push_back({error, status});
        SetEvent(m_done);
        return true;
    }
    bool ReadUploadChunk(stRequestTask*, void* buffer, uint32_t* length) override
    {
        std::lock_guard<std::mutex> g(m);
        size_t n = upload.size() - uploadSent;
        if (n > uploadPiece)
            n = uploadPiece;
        if (n > *length)
            n = *length;
        memcpy(buffer, upload.data() + uploadSent, n);
        uploadSent += n;
        *length = static_cast<uint32_t>(n);
        return uploadSent < upload.size();
    }
    void OnHeaders(const char* data, int length, stRequestTask*) override
    {
        std::lock_guard<std::mutex> g(m);
        headerBlocks.push_back(std::wstring(reinterpret_cast<const wchar_t*>(data), length / 2));
    }
    void OnBegin(stRequestTask*, uint32_t lo, uint32_t hi, int status) override
    {
        std::lock_guard<std::mutex> g(m);
        ++begins;
        beginLength = static_cast<long long>((static_cast<unsigned long long>(hi) << 32) | lo);
        beginStatus = status;
    }
    int OnData(const char* data, int length, stRequestTask*) override
    {
        std::lock_guard<std::mutex> g(m);
        body.append(data, static_cast<size_t>(length));
        SetEvent(m_data);
        if (cancelAfter >= 0 && static_cast<long long>(body.size()) >= cancelAfter)
            return -1;
        return length;
    }
    void OnComplete(const wchar_t* cachedPath, stRequestTask*) override
    {
        std::lock_guard<std::mutex> g(m);
        ++completes;
        completePath = cachedPath ? cachedPath : L"";
        SetEvent(m_done);
    }
    bool OnCachedFile(const wchar_t* path, uint32_t size, stRequestTask*) override
    {
        std::lock_guard<std::mutex> g(m);
        ++cachedFiles;
        if (refuseCachedFile)
            return false;
        HANDLE f = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            return false;
        std::string bytes(size, '\0');
        DWORD got = 0;
        BOOL ok = size == 0 || ReadFile(f, &bytes[0], size, &got, nullptr);
        CloseHandle(f);
        if (!ok || got != size)
            return false;
        body = bytes;
        return true;
    }

    bool WaitDone(DWORD ms = 15000) { return WaitForSingleObject(m_done, ms) == WAIT_OBJECT_0; }
    // Until the first body chunk has arrived.
    bool WaitForData(DWORD ms = 10000) { return WaitForSingleObject(m_data, ms) == WAIT_OBJECT_0; }
    void ResetDone() { ResetEvent(m_done); }

    std::mutex m;
    std::vector<Error> errors;
    std::vector<std::wstring> headerBlocks;
    int begins = 0;
    long long beginLength = 0;
    int beginStatus = 0;
    std::string body;
    int completes = 0;
    std::wstring completePath;
    int cachedFiles = 0;
    size_t uploadSent = 0;

private:
    HANDLE m_done;
    HANDLE m_data;
};

// The sink through which the request engine reports a running request, and
// the network resource manager's public face.
#pragma once

#include "net/RequestTask.h"

#include <cstdint>

class CHttpTaskHandler;

class CNetResHander {
public:
    virtual ~CNetResHander() = default;

    virtual void OnError(int error, int status, stRequestTask* task) = 0;
    virtual bool ReadUploadChunk(stRequestTask* task, void* buffer, uint32_t* length) = 0;
    virtual void OnHeaders(const char* data, int length, stRequestTask* task) = 0;
    // Returns the context handed back to OnData / OnComplete / OnAbort.
    virtual void* OnBegin(stRequestTask* task, uint32_t lengthLow, uint32_t lengthHigh, int status) = 0;
    virtual int OnData(const char* data, int length, stRequestTask* task, void* context) = 0;
    // The body arrived whole.
    virtual void OnComplete(void* context, stRequestTask* task) = 0;
    virtual bool IsTaskCancelled(stRequestTask* task) = 0;
    // A transfer that began failed before its end: the context is freed and
    // nothing of it is kept. OnError follows.
    virtual void OnAbort(void* context, stRequestTask* task) = 0;
};

class INetResManager : public CNetResHander {
public:
    virtual bool AddTask(stRequestTask* task) = 0;
    virtual uint32_t HashUrl(const wchar_t* url) = 0;
    virtual void CancelHandler(CHttpTaskHandler* handler) = 0;
};

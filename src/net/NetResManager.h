// The network resource manager: answers from the disk cache, runs
// synchronous tasks on the caller's thread and queues the others; it is the
// sink of every request it runs.
#pragma once

#include "net/NetLock.h"
#include "net/NetResHander.h"

#include <windows.h>

#include "net/NetResEngine.h"

#include <cstdint>
#include <memory>
#include <vector>

class CHttpTaskHandler;
class NetResDiskCache;

class CNetResManager : public INetResManager {
public:
    // cacheFolder null: no disk cache (created when missing). The limits are
    // those of the queued engine.
    explicit CNetResManager(const wchar_t* cacheFolder, int maxConnections = NetResEngine::kMaxPooledConnections,
                            int maxWorkersPerConnection = NetResEngine::kMaxConnectionWorkers);
    // Shuts the engine down first: its tasks still end through this sink.
    ~CNetResManager() override;

    // Sink. Callbacks of a queued task reach its handler only while the
    // handler is pending, and run under the manager's lock, so once
    // CancelHandler returns no callback of that handler runs or will run.
    // Such callbacks must not wait for a thread that calls into the manager.
    void OnError(int error, int status, stRequestTask* task) override;
    bool ReadUploadChunk(stRequestTask* task, void* buffer, uint32_t* length) override;
    void OnHeaders(const char* data, int length, stRequestTask* task) override;
    void* OnBegin(stRequestTask* task, uint32_t lengthLow, uint32_t lengthHigh, int status) override;
    int OnData(const char* data, int length, stRequestTask* task, void* context) override;
    void OnComplete(void* context, stRequestTask* task) override;
    // A task without a handler is never cancelled.
    bool IsTaskCancelled(stRequestTask* task) override;
    void OnAbort(void* context, stRequestTask* task) override;

    // A fresh cache entry answers at once: OnCachedFile, then OnBegin(size,
    // 200) and OnComplete(path) when it loaded the file whole; otherwise the
    // task goes to the network, whose OnBegin is then the only one.
    // Synchronous task: false when it failed in WinHTTP (task->resultCode
    // holds the error); an HTTP error status is true and reaches OnError.
    bool AddTask(stRequestTask* task) override;
    // h = h * 31 + unit over the UTF-16 units; 0 for null/empty or without a cache.
    uint32_t HashUrl(const wchar_t* url) override;
    void CancelHandler(CHttpTaskHandler* handler) override;

    NetResDiskCache* DiskCacheForTesting() const { return m_cache.get(); }
    NetResEngine* EngineForTesting() const { return m_engine.get(); }

private:
    bool AnswerFromCache(stRequestTask* task);
    bool RunSync(stRequestTask* task);
    void Queue(stRequestTask* task);
    bool IsPendingLocked(CHttpTaskHandler* handler) const;
    template <class F>
    bool Forward(stRequestTask* task, F call);

    CNetLock m_lock;
    int32_t m_reserved[2] = {0, 0};
    std::shared_ptr<NetResDiskCache> m_cache;   // shared by every manager of the folder
    std::unique_ptr<NetResEngine> m_engine;
    std::vector<CHttpTaskHandler*> m_pending;
};

// Process-wide manager: created on the first acquire, destroyed at the last release.
struct stNetResModule {
    HMODULE module = nullptr;  // never loaded
    INetResManager* instance = nullptr;
    CNetResManager* (*create)(const wchar_t* cacheFolder) = nullptr;
    void (*destroy)(CNetResManager* manager) = nullptr;
};

bool AcquireNetResManager();
bool ReleaseNetResManager();
// The singleton's instance, or null when it was not acquired.
INetResManager* GetNetResManager();

CNetResManager* CreateNetResManager(const wchar_t* cacheFolder);
void DestroyNetResManager(CNetResManager* manager);

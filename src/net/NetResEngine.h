// Queued request engine: one dispatcher thread pools connections by host
// and port; each connection runs its tasks on its own workers.
#pragma once

#include "net/HttpHandle.h"
#include "net/KernelHandle.h"
#include "net/NetLock.h"
#include "net/RequestTask.h"

#include <windows.h>
#include <winhttp.h>

#include <concurrentqueue/concurrentqueue.h>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class CConnection;

class NetResEngine {
public:
    // At most this many pooled connections (one per host and port) at once,
    // each with at most this many worker threads.
    static constexpr int kMaxPooledConnections = 20;
    static constexpr int kMaxConnectionWorkers = 5;

    // Limits below 1 are taken as 1.
    explicit NetResEngine(int maxConnections = kMaxPooledConnections,
                          int maxWorkersPerConnection = kMaxConnectionWorkers);
    // Shuts down when Shutdown was not called.
    ~NetResEngine();
    NetResEngine(const NetResEngine&) = delete;
    NetResEngine& operator=(const NetResEngine&) = delete;

    // Any thread. Queues a copy of the task, starting the dispatcher on first
    // use. Every task ends in exactly one way: it runs, or its sink gets
    // OnError (ERROR_OPERATION_ABORTED for a task that arrives once Shutdown
    // has begun or is still queued when it ends).
    void Enqueue(const stRequestTask& task);
    // Any thread but the engine's own; a second call returns at once. Stops
    // the dispatcher and every connection: a transfer in progress ends at its
    // next read with OnError(ERROR_OPERATION_ABORTED) and nothing of it is
    // cached; queued tasks get OnError. On return no thread of the engine
    // runs and no callback of it is in progress.
    void Shutdown();

    size_t ConnectionCountForTesting();
    int ConnectionsMadeForTesting() const { return m_connectionsMade.load(); }
    // Runs on the enqueuing thread after a task was admitted and before it is
    // queued. Set before the first Enqueue.
    void SetEnqueueHookForTesting(std::function<void()> hook) { m_enqueueHookForTesting = std::move(hook); }

private:
    static DWORD WINAPI DispatcherThread(void* param);
    bool Admit(const stRequestTask& task);
    bool StartDispatcherLocked();
    void DispatchLoop();
    void Drain();
    void Dispatch(stRequestTask& task);
    CConnection* FindPooled(const std::wstring& host, INTERNET_PORT port);
    void OpenConnection(stRequestTask& task, const std::wstring& host, INTERNET_PORT port);
    bool AcquireSlot();
    void PruneIdle();
    bool BeginShutdown();
    void JoinThreads();
    void CloseConnections();
    void DropQueued(int error);

    CKernelHandle m_stop;   // manual-reset: Shutdown has begun
    CKernelHandle m_wake;   // auto-reset: tasks are queued
    CKernelHandle m_thread;
    CKernelHandle m_thread2;  // never started; joined when set
    CKernelHandle m_semaphore;  // one count per free pool slot
    // Guards the pool, the dispatcher start and the shutdown flag; tasks are
    // queued under it so that Shutdown's final drop sees every admitted task.
    CNetLock m_lock;
    std::vector<std::unique_ptr<CConnection>> m_pool;
    moodycamel::ConcurrentQueue<stRequestTask> m_queue;
    CHttpHandle m_session;  // opened by the dispatcher, closed by Shutdown
    int m_maxWorkers;
    bool m_shutdown = false;
    std::atomic<int> m_connectionsMade{0};
    std::function<void()> m_enqueueHookForTesting;
};

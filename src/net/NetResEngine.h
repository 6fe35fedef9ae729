// Queued request engine: one dispatcher thread pools connections by host
// and port; each connection runs its tasks on its own workers.
#pragma once

#include "net/NetLock.h"
#include "net/RequestTask.h"

#include <windows.h>
#include <winhttp.h>

#include <concurrentqueue/concurrentqueue.h>

#include <atomic>
#include <vector>

class CConnection;

class NetResEngine {
public:
    explicit NetResEngine(int maxConnections = 20, int maxWorkersPerConnection = 5);
    ~NetResEngine();
    NetResEngine(const NetResEngine&) = delete;
    NetResEngine& operator=(const NetResEngine&) = delete;

    // Queues a copy of the task, starting the dispatcher on first use. Any
    // task that is not run in the end gets OnError through its sink.
    void Enqueue(const stRequestTask& task);
    // Stops the dispatcher and every connection; queued tasks get OnError.
    void Shutdown();

    size_t ConnectionCount();
    int ConnectionsMade() const { return m_connectionsMade.load(); }

private:
    static DWORD WINAPI DispatcherThread(void* param);
    void DispatchLoop();
    void Drain();
    bool AcquireSlot();
    void PruneIdle();
    void DropQueued(int error);

    HANDLE m_stop = nullptr;
    HANDLE m_wake = nullptr;
    HANDLE m_thread = nullptr;
    HANDLE m_thread2 = nullptr;   // never started
    HANDLE m_semaphore = nullptr;
    CNetLock m_lock;
    std::vector<CConnection*> m_pool;
    moodycamel::ConcurrentQueue<stRequestTask> m_queue;
    HINTERNET m_session = nullptr;
    int m_maxWorkers;
    bool m_shutdown = false;
    std::atomic<int> m_connectionsMade{0};
};

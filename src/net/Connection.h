// A pooled WinHTTP connection to one host and port with its own worker
// threads, woken through an I/O completion port.
#pragma once

#include "net/HttpHandle.h"
#include "net/KernelHandle.h"
#include "net/NetLock.h"
#include "net/RequestTask.h"

#include <concurrentqueue/concurrentqueue.h>

#include <atomic>
#include <string>
#include <vector>

class CConnection : public CHttpHandle {
public:
    // session: borrowed; must outlive the connection. maxWorkers below 1 is 1.
    CConnection(HINTERNET session, const std::wstring& host, INTERNET_PORT port, int maxWorkers);
    // Closes (BeginClose), waits for the workers and hands every task still
    // queued its OnError(ERROR_OPERATION_ABORTED).
    ~CConnection() override;

    // WinHttpConnect on the session: 0 or the error.
    DWORD Connect();
    // Queues a copy of the task and wakes (or starts) a worker. A closing
    // connection refuses it through OnError.
    void Post(const stRequestTask& task);
    // Any thread. Refuses further tasks; a running transfer ends at its next
    // read (OnError(ERROR_OPERATION_ABORTED)) and no queued task starts.
    void BeginClose() { m_closing = true; }

    // No task queued or running.
    bool IsIdle() const { return m_outstanding.load() == 0; }
    const std::wstring& Host() const { return m_host; }
    INTERNET_PORT Port() const { return m_port; }

private:
    static DWORD WINAPI WorkerThread(void* param);
    void WorkerLoop();
    bool StartWorkerIfAllBusy();
    void StopWorkers();
    void DropQueued(int error);

    HINTERNET m_session;  // borrowed
    INTERNET_PORT m_port;
    std::atomic<bool> m_closing{false};
    std::wstring m_host;
    std::atomic<int32_t> m_busy{0};         // workers inside their task loop
    std::atomic<int32_t> m_outstanding{0};  // tasks posted and not yet finished
    CKernelHandle m_completionPort;
    CNetLock m_workerLock;                  // guards m_workers
    std::vector<CKernelHandle> m_workers;
    int m_maxWorkers;
    moodycamel::ConcurrentQueue<stRequestTask> m_queue;
};

// Completion keys on a connection's port.
enum : ULONG_PTR {
    kConnectionQuit = 0,
    kConnectionWork = 1,
};

// Hands a task that will not run its OnError (through its sink).
void DropRequestTask(stRequestTask& task, int error);

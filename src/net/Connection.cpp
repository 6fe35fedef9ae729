#include "net/Connection.h"

#include "net/HttpRequest.h"
#include "net/NetResHander.h"

void DropRequestTask(stRequestTask& task, int error)
{
    if (task.sink)
        task.sink->OnError(error, 0, &task);
}

CConnection::CConnection(HINTERNET session, const std::wstring& host, INTERNET_PORT port, int maxWorkers)
    : m_session(session), m_port(port), m_host(host), m_maxWorkers(maxWorkers > 0 ? maxWorkers : 1)
{
    m_completionPort = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0);
}

CConnection::~CConnection()
{
    m_closing = true;
    std::vector<HANDLE> workers;
    {
        CNetLockGuard guard(m_workerLock);
        workers = m_workers;
    }
    if (!workers.empty()) {
        for (size_t i = 0; i < workers.size(); ++i)
            PostQueuedCompletionStatus(m_completionPort, 0, kConnectionQuit, nullptr);
        // A worker may have eaten a quit meant for another while it finished
        // its task: keep offering quits until all have left.
        while (WaitForMultipleObjects(static_cast<DWORD>(workers.size()), workers.data(), TRUE, 100) == WAIT_TIMEOUT)
            PostQueuedCompletionStatus(m_completionPort, 0, kConnectionQuit, nullptr);
        for (HANDLE h : workers)
            CloseHandle(h);
    }
    DropQueued(ERROR_OPERATION_ABORTED);
    if (m_completionPort)
        CloseHandle(m_completionPort);
    Close();
}

DWORD CConnection::Connect()
{
    HINTERNET h = WinHttpConnect(m_session, m_host.c_str(), m_port, 0);
    if (!h)
        return GetLastError() ? GetLastError() : ERROR_WINHTTP_CANNOT_CONNECT;
    Attach(h);
    return 0;
}

int CConnection::WorkerCount()
{
    CNetLockGuard guard(m_workerLock);
    return static_cast<int>(m_workers.size());
}

void CConnection::DropQueued(int error)
{
    stRequestTask task;
    while (m_queue.try_dequeue(task)) {
        --m_outstanding;
        DropRequestTask(task, error);
    }
}

void CConnection::Post(const stRequestTask& task)
{
    if (m_closing || !m_completionPort || !m_handle) {
        stRequestTask copy = task;
        DropRequestTask(copy, ERROR_OPERATION_ABORTED);
        return;
    }
    ++m_outstanding;
    m_queue.enqueue(task);
    bool haveWorker = true;
    {
        CNetLockGuard guard(m_workerLock);
        // Another worker when every worker has a task already: a lone task
        // reuses the idle worker (and its connection), a burst spreads out.
        if (static_cast<int>(m_workers.size()) < m_maxWorkers &&
            m_outstanding.load() > static_cast<int32_t>(m_workers.size())) {
            HANDLE h = CreateThread(nullptr, 0, WorkerThread, this, 0, nullptr);
            if (h)
                m_workers.push_back(h);
        }
        haveWorker = !m_workers.empty();
    }
    if (!haveWorker) {
        DropQueued(ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    PostQueuedCompletionStatus(m_completionPort, 0, kConnectionWork, nullptr);
}

DWORD WINAPI CConnection::WorkerThread(void* param)
{
    static_cast<CConnection*>(param)->WorkerLoop();
    return 0;
}

void CConnection::WorkerLoop()
{
    for (;;) {
        DWORD bytes = 0;
        ULONG_PTR key = kConnectionQuit;
        LPOVERLAPPED overlapped = nullptr;
        if (!GetQueuedCompletionStatus(m_completionPort, &bytes, &key, &overlapped, INFINITE) ||
            key != kConnectionWork)
            return;
        ++m_busy;
        stRequestTask task;
        while (!m_closing && m_queue.try_dequeue(task)) {
            RunTaskOnConnection(m_session, m_handle, &task);
            --m_outstanding;
        }
        --m_busy;
    }
}

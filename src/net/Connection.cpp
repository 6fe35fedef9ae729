#include "net/Connection.h"

#include "net/HttpRequest.h"
#include "net/NetResHander.h"

namespace {

// A worker may eat a quit meant for another while it finishes its task; the
// destructor offers another quit this often until every worker has left.
const DWORD kQuitRetryMs = 100;

} // namespace

void DropRequestTask(stRequestTask& task, int error)
{
    if (task.sink)
        task.sink->OnError(error, 0, &task);
}

CConnection::CConnection(HINTERNET session, const std::wstring& host, INTERNET_PORT port, int maxWorkers)
    : m_session(session), m_port(port), m_host(host), m_maxWorkers(maxWorkers > 0 ? maxWorkers : 1)
{
    m_completionPort.Reset(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 0));
}

CConnection::~CConnection()
{
    BeginClose();
    StopWorkers();
    DropQueued(ERROR_OPERATION_ABORTED);
}

void CConnection::StopWorkers()
{
    std::vector<HANDLE> workers;
    {
        CNetLockGuard guard(m_workerLock);
        for (const CKernelHandle& w : m_workers)
            workers.push_back(w.Get());
    }
    if (workers.empty())
        return;
    for (size_t i = 0; i < workers.size(); ++i)
        PostQueuedCompletionStatus(m_completionPort.Get(), 0, kConnectionQuit, nullptr);
    while (WaitForMultipleObjects(static_cast<DWORD>(workers.size()), workers.data(), TRUE, kQuitRetryMs) ==
           WAIT_TIMEOUT)
        PostQueuedCompletionStatus(m_completionPort.Get(), 0, kConnectionQuit, nullptr);
    CNetLockGuard guard(m_workerLock);
    m_workers.clear();
}

DWORD CConnection::Connect()
{
    HINTERNET h = WinHttpConnect(m_session, m_host.c_str(), m_port, 0);
    if (!h)
        return GetLastError() ? GetLastError() : ERROR_WINHTTP_CANNOT_CONNECT;
    Attach(h);
    return 0;
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
    if (!StartWorkerIfAllBusy()) {
        DropQueued(ERROR_NOT_ENOUGH_MEMORY);
        return;
    }
    PostQueuedCompletionStatus(m_completionPort.Get(), 0, kConnectionWork, nullptr);
}

// Another worker when every worker has a task already: a lone task reuses
// the idle worker (and its connection), a burst spreads out. False when no
// worker exists at all.
bool CConnection::StartWorkerIfAllBusy()
{
    CNetLockGuard guard(m_workerLock);
    if (static_cast<int>(m_workers.size()) < m_maxWorkers &&
        m_outstanding.load() > static_cast<int32_t>(m_workers.size())) {
        CKernelHandle worker(CreateThread(nullptr, 0, WorkerThread, this, 0, nullptr));
        if (worker)
            m_workers.push_back(std::move(worker));
    }
    return !m_workers.empty();
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
        if (!GetQueuedCompletionStatus(m_completionPort.Get(), &bytes, &key, &overlapped, INFINITE) ||
            key != kConnectionWork)
            return;
        ++m_busy;
        stRequestTask task;
        while (!m_closing && m_queue.try_dequeue(task)) {
            RunTaskOnConnection(m_session, m_handle, &task, &m_closing);
            --m_outstanding;
        }
        --m_busy;
    }
}

#include "net/NetResEngine.h"

#include "net/Connection.h"
#include "net/HttpSession.h"
#include "net/HttpUrl.h"
#include "net/NetResHander.h"

namespace {

// While every pool slot is taken, the dispatcher prunes idle connections this
// often: a connection becomes idle when its last task ends, which releases
// no slot by itself.
const DWORD kSlotPollMs = 50;

} // namespace

NetResEngine::NetResEngine(int maxConnections, int maxWorkersPerConnection)
    : m_maxWorkers(maxWorkersPerConnection)
{
    if (maxConnections < 1)
        maxConnections = 1;
    m_stop.Reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    m_wake.Reset(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    m_semaphore.Reset(CreateSemaphoreW(nullptr, maxConnections, maxConnections, nullptr));
}

NetResEngine::~NetResEngine()
{
    Shutdown();
}

void NetResEngine::Enqueue(const stRequestTask& task)
{
    if (Admit(task))
        return;
    stRequestTask copy = task;
    DropRequestTask(copy, ERROR_OPERATION_ABORTED);
}

bool NetResEngine::Admit(const stRequestTask& task)
{
    // Shutdown raises its flag under this lock before its final drop and
    // closes the events after it: a task queued here is seen by that drop,
    // and the wake event is still open.
    CNetLockGuard guard(m_lock);
    if (m_shutdown || !StartDispatcherLocked())
        return false;
    if (m_enqueueHookForTesting)
        m_enqueueHookForTesting();
    m_queue.enqueue(task);
    SetEvent(m_wake.Get());
    return true;
}

bool NetResEngine::StartDispatcherLocked()
{
    if (!m_thread)
        m_thread.Reset(CreateThread(nullptr, 0, DispatcherThread, this, 0, nullptr));
    return static_cast<bool>(m_thread);
}

size_t NetResEngine::ConnectionCountForTesting()
{
    CNetLockGuard guard(m_lock);
    return m_pool.size();
}

DWORD WINAPI NetResEngine::DispatcherThread(void* param)
{
    static_cast<NetResEngine*>(param)->DispatchLoop();
    return 0;
}

void NetResEngine::DispatchLoop()
{
    m_session.Attach(
        WinHttpOpen(L"NetRes", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    netplatform::ApplySecureProtocols(m_session.Handle());
    for (;;) {
        HANDLE handles[2] = {m_stop.Get(), m_wake.Get()};
        if (WaitForMultipleObjects(2, handles, FALSE, INFINITE) != WAIT_OBJECT_0 + 1)
            break;
        Drain();
    }
    // The session stays open until the connections made on it are gone (Shutdown).
}

void NetResEngine::Drain()
{
    stRequestTask task;
    while (m_queue.try_dequeue(task))
        Dispatch(task);
    PruneIdle();
}

void NetResEngine::Dispatch(stRequestTask& task)
{
    if (WaitForSingleObject(m_stop.Get(), 0) == WAIT_OBJECT_0) {
        DropRequestTask(task, ERROR_OPERATION_ABORTED);
        return;
    }
    // A cancelled handler is not told (the sink swallows it).
    if (task.sink && task.sink->IsTaskCancelled(&task)) {
        DropRequestTask(task, ERROR_CANCELLED);
        return;
    }
    stHttpUrl url;
    if (!CrackHttpUrl(task.url, &url)) {
        int error = static_cast<int>(GetLastError());
        std::wstring line = L"URLCrack Failed[" + task.url + L"]\n";
        OutputDebugStringW(line.c_str());
        DropRequestTask(task, error ? error : ERROR_WINHTTP_INVALID_URL);
        return;
    }
    // The pool changes only on this thread (and in Shutdown after it has
    // ended), so a connection found here stays alive for the Post, which
    // runs outside the lock: a refused task's OnError may take other locks.
    if (CConnection* found = FindPooled(url.host, url.port)) {
        found->Post(task);
        return;
    }
    OpenConnection(task, url.host, url.port);
}

CConnection* NetResEngine::FindPooled(const std::wstring& host, INTERNET_PORT port)
{
    CNetLockGuard guard(m_lock);
    for (const auto& c : m_pool)
        if (c->Port() == port && c->Host() == host)
            return c.get();
    return nullptr;
}

void NetResEngine::OpenConnection(stRequestTask& task, const std::wstring& host, INTERNET_PORT port)
{
    if (!AcquireSlot()) {
        DropRequestTask(task, ERROR_OPERATION_ABORTED);
        return;
    }
    if (m_session)
        WinHttpSetTimeouts(m_session.Handle(), task.resolveTimeout, task.connectTimeout, task.sendTimeout,
                           task.receiveTimeout);
    auto connection = std::make_unique<CConnection>(m_session.Handle(), host, port, m_maxWorkers);
    DWORD error = m_session ? connection->Connect() : ERROR_INVALID_HANDLE;
    if (error != 0) {
        OutputDebugStringA("Abandon because of Connect Failed");
        connection.reset();
        ReleaseSemaphore(m_semaphore.Get(), 1, nullptr);
        DropRequestTask(task, static_cast<int>(error));
        return;
    }
    ++m_connectionsMade;
    connection->Post(task);
    CNetLockGuard guard(m_lock);
    m_pool.push_back(std::move(connection));
}

bool NetResEngine::AcquireSlot()
{
    if (WaitForSingleObject(m_semaphore.Get(), 0) == WAIT_OBJECT_0)
        return true;
    // Every slot is taken: idle connections give theirs back, busy ones
    // when their tasks end. Never wait blind on the semaphore.
    for (;;) {
        PruneIdle();
        HANDLE handles[2] = {m_stop.Get(), m_semaphore.Get()};
        DWORD w = WaitForMultipleObjects(2, handles, FALSE, kSlotPollMs);
        if (w == WAIT_OBJECT_0 + 1)
            return true;
        if (w != WAIT_TIMEOUT)
            return false;
    }
}

void NetResEngine::PruneIdle()
{
    std::vector<std::unique_ptr<CConnection>> idle;
    {
        CNetLockGuard guard(m_lock);
        for (size_t i = 0; i < m_pool.size();) {
            if (m_pool[i]->IsIdle()) {
                idle.push_back(std::move(m_pool[i]));
                m_pool.erase(m_pool.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }
    for (auto& c : idle) {
        c.reset();
        ReleaseSemaphore(m_semaphore.Get(), 1, nullptr);
    }
}

void NetResEngine::DropQueued(int error)
{
    stRequestTask task;
    while (m_queue.try_dequeue(task))
        DropRequestTask(task, error);
}

void NetResEngine::Shutdown()
{
    if (!BeginShutdown())
        return;
    SetEvent(m_stop.Get());
    JoinThreads();
    CloseConnections();
    // Admit queues only before the flag went up: this drop is the last.
    DropQueued(ERROR_OPERATION_ABORTED);
    m_session.Close();
    m_stop.Close();
    m_wake.Close();
    m_semaphore.Close();
}

bool NetResEngine::BeginShutdown()
{
    CNetLockGuard guard(m_lock);
    if (m_shutdown)
        return false;
    m_shutdown = true;
    return true;
}

void NetResEngine::JoinThreads()
{
    for (CKernelHandle* thread : {&m_thread, &m_thread2}) {
        if (*thread)
            WaitForSingleObject(thread->Get(), INFINITE);
        thread->Close();
    }
}

void NetResEngine::CloseConnections()
{
    std::vector<std::unique_ptr<CConnection>> pool;
    {
        CNetLockGuard guard(m_lock);
        pool.swap(m_pool);
    }
    // Every connection stops taking tasks and ends its transfer at the next
    // read before any is waited for, so they wind down together.
    for (auto& c : pool)
        c->BeginClose();
    pool.clear();
}

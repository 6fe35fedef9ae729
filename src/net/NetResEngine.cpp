#include "net/NetResEngine.h"

#include "net/Connection.h"
#include "net/HttpSession.h"
#include "net/HttpUrl.h"
#include "net/NetResHander.h"

#include <cwchar>

NetResEngine::NetResEngine(int maxConnections, int maxWorkersPerConnection)
    : m_maxWorkers(maxWorkersPerConnection)
{
    if (maxConnections < 1)
        maxConnections = 1;
    m_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    m_semaphore = CreateSemaphoreW(nullptr, maxConnections, maxConnections, nullptr);
}

NetResEngine::~NetResEngine()
{
    Shutdown();
}

void NetResEngine::Enqueue(const stRequestTask& task)
{
    bool refused = false;
    {
        CNetLockGuard guard(m_lock);
        if (m_shutdown) {
            refused = true;
        } else if (!m_thread) {
            m_thread = CreateThread(nullptr, 0, DispatcherThread, this, 0, nullptr);
            refused = m_thread == nullptr;
        }
    }
    if (refused) {
        stRequestTask copy = task;
        DropRequestTask(copy, ERROR_OPERATION_ABORTED);
        return;
    }
    m_queue.enqueue(task);
    SetEvent(m_wake);
}

size_t NetResEngine::ConnectionCount()
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
    m_session = WinHttpOpen(L"NetRes", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    netplatform::ApplySecureProtocols(m_session);
    for (;;) {
        HANDLE handles[2] = {m_stop, m_wake};
        DWORD w = WaitForMultipleObjects(2, handles, FALSE, INFINITE);
        if (w != WAIT_OBJECT_0 + 1)
            break;
        Drain();
    }
    // The session stays open until the connections made on it are gone (Shutdown).
}

bool NetResEngine::AcquireSlot()
{
    if (WaitForSingleObject(m_semaphore, 0) == WAIT_OBJECT_0)
        return true;
    // Every slot is taken: idle connections give theirs back, busy ones
    // when their tasks end. Never wait blind on the semaphore.
    for (;;) {
        PruneIdle();
        HANDLE handles[2] = {m_stop, m_semaphore};
        DWORD w = WaitForMultipleObjects(2, handles, FALSE, 50);
        if (w == WAIT_OBJECT_0 + 1)
            return true;
        if (w != WAIT_TIMEOUT)
            return false;
    }
}

void NetResEngine::Drain()
{
    stRequestTask task;
    while (m_queue.try_dequeue(task)) {
        if (WaitForSingleObject(m_stop, 0) == WAIT_OBJECT_0) {
            DropRequestTask(task, ERROR_OPERATION_ABORTED);
            continue;
        }
        // A cancelled handler is not told (the sink swallows it).
        if (task.sink && task.sink->IsTaskCancelled(&task)) {
            DropRequestTask(task, ERROR_CANCELLED);
            continue;
        }
        stHttpUrl url;
        if (!CrackHttpUrl(task.url, &url)) {
            int error = static_cast<int>(GetLastError());
            std::wstring line = L"URLCrack Failed[" + task.url + L"]\n";
            OutputDebugStringW(line.c_str());
            DropRequestTask(task, error ? error : ERROR_WINHTTP_INVALID_URL);
            continue;
        }
        // The pool changes only on this thread (and in Shutdown after it has
        // ended), so a connection found here stays alive for the Post, which
        // runs outside the lock: a refused task's OnError may take other locks.
        CConnection* found = nullptr;
        {
            CNetLockGuard guard(m_lock);
            for (CConnection* c : m_pool)
                if (c->Port() == url.port && c->Host() == url.host) {
                    found = c;
                    break;
                }
        }
        if (found) {
            found->Post(task);
            continue;
        }
        if (!AcquireSlot()) {
            DropRequestTask(task, ERROR_OPERATION_ABORTED);
            continue;
        }
        if (m_session)
            WinHttpSetTimeouts(m_session, task.resolveTimeout, task.connectTimeout, task.sendTimeout,
                               task.receiveTimeout);
        auto* connection = new CConnection(m_session, url.host, url.port, m_maxWorkers);
        DWORD error = m_session ? connection->Connect() : ERROR_INVALID_HANDLE;
        if (error != 0) {
            OutputDebugStringA("Abandon because of Connect Failed");
            delete connection;
            ReleaseSemaphore(m_semaphore, 1, nullptr);
            DropRequestTask(task, static_cast<int>(error));
            continue;
        }
        ++m_connectionsMade;
        connection->Post(task);
        CNetLockGuard guard(m_lock);
        m_pool.push_back(connection);
    }
    PruneIdle();
}

void NetResEngine::PruneIdle()
{
    std::vector<CConnection*> idle;
    {
        CNetLockGuard guard(m_lock);
        for (size_t i = 0; i < m_pool.size();) {
            if (m_pool[i]->IsIdle()) {
                idle.push_back(m_pool[i]);
                m_pool.erase(m_pool.begin() + static_cast<std::ptrdiff_t>(i));
            } else {
                ++i;
            }
        }
    }
    for (CConnection* c : idle) {
        delete c;
        ReleaseSemaphore(m_semaphore, 1, nullptr);
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
    {
        CNetLockGuard guard(m_lock);
        if (m_shutdown)
            return;
        m_shutdown = true;
    }
    SetEvent(m_stop);
    if (m_thread) {
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    if (m_thread2) {
        WaitForSingleObject(m_thread2, INFINITE);
        CloseHandle(m_thread2);
        m_thread2 = nullptr;
    }
    std::vector<CConnection*> pool;
    {
        CNetLockGuard guard(m_lock);
        pool.swap(m_pool);
    }
    for (CConnection* c : pool)
        delete c;
    DropQueued(ERROR_OPERATION_ABORTED);
    if (m_session) {
        WinHttpCloseHandle(m_session);
        m_session = nullptr;
    }
    CloseHandle(m_stop);
    CloseHandle(m_wake);
    CloseHandle(m_semaphore);
    m_stop = m_wake = m_semaphore = nullptr;
}

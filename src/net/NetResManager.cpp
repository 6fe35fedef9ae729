#include "net/NetResManager.h"

#include "net/HttpHeaders.h"
#include "net/HttpRequest.h"
#include "net/HttpTaskHandler.h"
#include "net/NetResDiskCache.h"
#include "net/NetResEngine.h"

#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <string>

CNetResManager::CNetResManager(const wchar_t* cacheFolder, int maxConnections, int maxWorkersPerConnection)
{
    if (cacheFolder && *cacheFolder) {
        if (!PathFileExistsW(cacheFolder))
            SHCreateDirectoryExW(nullptr, cacheFolder, nullptr);
        m_cache = NetResDiskCache::Open(cacheFolder);
    }
    m_engine = std::make_unique<NetResEngine>(maxConnections, maxWorkersPerConnection);
}

CNetResManager::~CNetResManager()
{
    // The engine goes first: tasks it still holds are told through this sink.
    m_engine.reset();
    m_cache.reset();
}

bool CNetResManager::IsPendingLocked(CHttpTaskHandler* handler) const
{
    return std::find(m_pending.begin(), m_pending.end(), handler) != m_pending.end();
}

template <class F>
bool CNetResManager::Forward(stRequestTask* task, F call)
{
    CHttpTaskHandler* handler = task ? task->handler : nullptr;
    if (!handler)
        return false;
    if (task->synchronous) {
        call(handler);
        return true;
    }
    CNetLockGuard guard(m_lock);
    if (!IsPendingLocked(handler))
        return false;
    call(handler);
    return true;
}

void CNetResManager::OnError(int error, int status, stRequestTask* task)
{
    Forward(task, [&](CHttpTaskHandler* h) { h->OnError(error, status, task); });
}

bool CNetResManager::ReadUploadChunk(stRequestTask* task, void* buffer, uint32_t* length)
{
    bool more = false;
    if (!Forward(task, [&](CHttpTaskHandler* h) { more = h->ReadUploadChunk(task, buffer, length); }) && length)
        *length = 0;
    return more;
}

void CNetResManager::OnHeaders(const char* data, int length, stRequestTask* task)
{
    // A cancelled handler may already be deleted: it is not called either.
    Forward(task, [&](CHttpTaskHandler* h) { h->OnHeaders(data, length, task); });
}

void* CNetResManager::OnBegin(stRequestTask* task, uint32_t lengthLow, uint32_t lengthHigh, int status)
{
    Forward(task, [&](CHttpTaskHandler* h) { h->OnBegin(task, lengthLow, lengthHigh, status); });
    // Only a whole 200 body is a cacheable copy of the URL.
    if (!m_cache || !task->useCache || status != kHttpStatusOk)
        return nullptr;
    return m_cache->BeginEntry(task->url, HashUrl(task->url.c_str()), task->cacheValidity).release();
}

int CNetResManager::OnData(const char* data, int length, stRequestTask* task, void* context)
{
    int result = 0;
    Forward(task, [&](CHttpTaskHandler* h) { result = h->OnData(data, length, task); });
    if (context && m_cache)
        m_cache->Write(static_cast<NetResCacheWrite*>(context), data, length);
    return result;
}

void CNetResManager::OnComplete(void* context, stRequestTask* task)
{
    std::unique_ptr<NetResCacheWrite> write(static_cast<NetResCacheWrite*>(context));
    std::wstring committed;
    if (write && m_cache) {
        std::wstring path = write->entry.path;
        if (m_cache->Commit(std::move(write)))
            committed = path;
    }
    const wchar_t* path = committed.empty() ? nullptr : committed.c_str();
    Forward(task, [&](CHttpTaskHandler* h) { h->OnComplete(path, task); });
}

void CNetResManager::OnAbort(void* context, stRequestTask*)
{
    std::unique_ptr<NetResCacheWrite> write(static_cast<NetResCacheWrite*>(context));
    if (write && m_cache)
        m_cache->Discard(std::move(write));
}

bool CNetResManager::IsTaskCancelled(stRequestTask* task)
{
    if (!task || !task->handler)
        return false;
    CNetLockGuard guard(m_lock);
    return !IsPendingLocked(task->handler);
}

uint32_t CNetResManager::HashUrl(const wchar_t* url)
{
    if (!url || !*url || !m_cache)
        return 0;
    // The cache's file names are this hash: its rule never changes.
    const uint32_t kMultiplier = 31;
    uint32_t h = 0;
    for (const wchar_t* p = url; *p; ++p)
        h = h * kMultiplier + static_cast<uint16_t>(*p);
    return h;
}

void CNetResManager::CancelHandler(CHttpTaskHandler* handler)
{
    CNetLockGuard guard(m_lock);
    auto it = std::find(m_pending.begin(), m_pending.end(), handler);
    if (it != m_pending.end())
        m_pending.erase(it);
}

bool CNetResManager::AddTask(stRequestTask* task)
{
    if (!task)
        return false;
    if (AnswerFromCache(task))
        return true;
    task->sink = this;
    if (!m_engine)
        return true;
    if (task->synchronous)
        return RunSync(task);
    Queue(task);
    return true;
}

// A hit is told only once the handler has the file: a cached file that
// cannot be read whole is a miss, and the network answers as if there had
// been none.
bool CNetResManager::AnswerFromCache(stRequestTask* task)
{
    CHttpTaskHandler* handler = task->handler;
    if (!m_cache || !task->useCache || !handler)
        return false;
    std::wstring path;
    uint32_t size = 0;
    if (!m_cache->Lookup(task->url, HashUrl(task->url.c_str()), &path, &size))
        return false;
    if (!handler->OnCachedFile(path.c_str(), size, task))
        return false;
    handler->OnBegin(task, size, 0, kHttpStatusOk);
    handler->OnComplete(path.c_str(), task);
    return true;
}

bool CNetResManager::RunSync(stRequestTask* task)
{
    int result = RunRequestSync(task);
    if (result == 0)
        return true;
    task->resultCode = result;
    return false;
}

void CNetResManager::Queue(stRequestTask* task)
{
    if (task->handler) {
        CNetLockGuard guard(m_lock);
        if (!IsPendingLocked(task->handler))
            m_pending.push_back(task->handler);
    }
    m_engine->Enqueue(*task);
}

// ---- process-wide instance ----

namespace {
stNetResModule* g_netResModule = nullptr;
std::atomic<int64_t> g_netResRefs{0};
} // namespace

CNetResManager* CreateNetResManager(const wchar_t* cacheFolder)
{
    return new CNetResManager(cacheFolder);
}

void DestroyNetResManager(CNetResManager* manager)
{
    delete manager;
}

bool AcquireNetResManager()
{
    if (!g_netResModule) {
        auto* module = new stNetResModule;
        module->create = &CreateNetResManager;
        module->destroy = &DestroyNetResManager;
        module->instance = module->create(nullptr);
        g_netResModule = module;
    }
    int64_t v = g_netResRefs.load();
    while (!g_netResRefs.compare_exchange_weak(v, v + 1)) {
    }
    return true;
}

bool ReleaseNetResManager()
{
    int64_t v = g_netResRefs.load();
    do {
        if (v <= 0)
            return true;  // an unbalanced release does not go below zero
    } while (!g_netResRefs.compare_exchange_weak(v, v - 1));
    if (v - 1 == 0 && g_netResModule) {
        stNetResModule* module = g_netResModule;
        g_netResModule = nullptr;
        if (module->destroy)
            module->destroy(static_cast<CNetResManager*>(module->instance));
        if (module->module)
            FreeLibrary(module->module);
        delete module;
    }
    return true;
}

INetResManager* GetNetResManager()
{
    return g_netResModule ? g_netResModule->instance : nullptr;
}

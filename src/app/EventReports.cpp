#include "app/EventReports.h"

#include "app/AppValues.h"
#include "net/NetResManager.h"

#include <system_error>
#include <thread>
#include <utility>

namespace {

// The start-up's share of the process's queue; reportQueue borrows it.
std::shared_ptr<CPushReportQueue> g_reportQueueOwner;

} // namespace

std::shared_ptr<CPushReportQueue> CPushReportQueue::Create(stServiceEndpoint endpoint)
{
    return std::shared_ptr<CPushReportQueue>(new CPushReportQueue(std::move(endpoint)));
}

CPushReportQueue::CPushReportQueue(stServiceEndpoint endpoint)
    : m_endpoint(std::move(endpoint)), m_wake(CreateEventW(nullptr, FALSE, FALSE, nullptr))
{
    AcquireNetResManager();
}

CPushReportQueue::~CPushReportQueue()
{
    ReleaseNetResManager();
}

void CPushReportQueue::Push(int32_t code)
{
    EnsureThread();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_codes.push_back(code);
    }
    if (m_wake)
        SetEvent(m_wake.Get());
}

void CPushReportQueue::Stop()
{
    m_stop.store(true);
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_codes.clear();
    }
    if (m_wake)
        SetEvent(m_wake.Get());
}

bool CPushReportQueue::ThreadStartedForTesting() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_threadStarted;
}

void CPushReportQueue::EnsureThread()
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_threadStarted || !m_wake)
        return;
    try {
        std::thread([self = shared_from_this()] { self->Run(); }).detach();
        m_threadStarted = true;
    } catch (const std::system_error&) {
        // No thread now: the code waits and the next push tries again.
    }
}

void CPushReportQueue::Run()
{
    while (!m_stop.load()) {
        WaitForSingleObject(m_wake.Get(), INFINITE);
        if (m_stop.load())
            return;
        int32_t code = kEventNone;
        if (TakeNext(code) && code != kEventNone)
            Send(code);
    }
}

// The front code, if any; while others remain the wake event is set again
// so that the next pass does not block.
bool CPushReportQueue::TakeNext(int32_t& code)
{
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_codes.empty())
        return false;
    code = m_codes.front();
    m_codes.pop_front();
    if (!m_codes.empty())
        SetEvent(m_wake.Get());
    return true;
}

void CPushReportQueue::Send(int32_t code) const
{
    Json::Value members(Json::objectValue);
    members["type"] = code;
    CallService(m_endpoint, kApiPushed, members);  // best-effort: the answer is not read
}

void PushEventReport(int32_t code)
{
    if (reportQueue)
        reportQueue->Push(code);
}

void CreateReportQueue(stServiceEndpoint endpoint)
{
    g_reportQueueOwner = CPushReportQueue::Create(std::move(endpoint));
    reportQueue = g_reportQueueOwner.get();
}

void ReleaseReportQueue()
{
    if (g_reportQueueOwner)
        g_reportQueueOwner->Stop();
    reportQueue = nullptr;
    g_reportQueueOwner.reset();
}

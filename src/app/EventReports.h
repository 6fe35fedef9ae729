// Event reports: integer event codes sent to the service one by one, in
// order, by one background thread, so that a report never holds up the UI.
// Delivery is best-effort: answers are ignored, failed reports are lost.
#pragma once

#include "app/ServiceApi.h"
#include "net/KernelHandle.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>

// Event codes the installer reports.
enum : int32_t {
    kEventNone = 0,      // never sent
    kEventStartUp = 1,   // right after the application values are set
};

// The queue and its thread. Shared: the thread holds the queue (and so the
// network resource manager reference and the endpoint) until it has ended,
// whenever its owner lets go.
class CPushReportQueue : public std::enable_shared_from_this<CPushReportQueue> {
public:
    // Acquires the network resource manager for the queue's lifetime.
    static std::shared_ptr<CPushReportQueue> Create(stServiceEndpoint endpoint);
    // Releases the network resource manager; runs after the thread has ended.
    ~CPushReportQueue();
    CPushReportQueue(const CPushReportQueue&) = delete;
    CPushReportQueue& operator=(const CPushReportQueue&) = delete;

    // Any thread: queues code and wakes the thread, starting it on first use
    // (when it cannot be started the code waits and the next call tries
    // again). Never blocks on the network.
    void Push(int32_t code);

    // Any thread: the thread ends at its next look at the flag; codes still
    // waiting are dropped. A report being sent at that moment may be lost.
    void Stop();

    bool ThreadStartedForTesting() const;

private:
    explicit CPushReportQueue(stServiceEndpoint endpoint);
    void EnsureThread();
    void Run();
    bool TakeNext(int32_t& code);
    void Send(int32_t code) const;

    const stServiceEndpoint m_endpoint;
    std::atomic<bool> m_stop{false};
    CKernelHandle m_wake;            // auto reset: one signal per queued code
    mutable std::mutex m_lock;       // guards the codes and the started flag
    std::deque<int32_t> m_codes;     // oldest first
    bool m_threadStarted = false;
};

// Start-up and shutdown of the process's queue, UI thread. CreateReportQueue
// builds it on endpoint and points reportQueue (AppValues.h, borrowed) at
// it; ReleaseReportQueue stops its thread, clears reportQueue and drops the
// start-up's share (the queue goes when its thread has ended).
void CreateReportQueue(stServiceEndpoint endpoint);
void ReleaseReportQueue();

// UI thread: queues code on reportQueue; nothing when there is none. Other
// threads push on a queue they hold a share of (CPushReportQueue::Push).
void PushEventReport(int32_t code);

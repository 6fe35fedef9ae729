#include "Corvel/Core/ThreadTimer.h"

#include <windows.h>

#include <atomic>
#include <system_error>
#include <vector>

namespace ui {

// Everything the timer thread reads lives here, shared with the thread, so
// that a timer stopped or deleted from its own callback leaves the thread
// nothing dangling to touch.
struct ThreadTimer::State {
    HANDLE stopEvent = nullptr; // manual-reset
    HANDLE wakeEvent = nullptr; // auto-reset, periodic mode only
    Callback callback;
    int initialDelay = 0;
    int period = 0;
    int repeat = -1;
    std::vector<int> delays;
    // Set by the thread as its last act, after its last callback returned.
    std::atomic<bool> finished{false};

    ~State()
    {
        if (stopEvent)
            CloseHandle(stopEvent);
        if (wakeEvent)
            CloseHandle(wakeEvent);
    }
};

namespace {

DWORD WaitTime(int ms) { return ms > 0 ? static_cast<DWORD>(ms) : 0; }

// A step list the thread can play: every delay 0 or more, and, when it
// passes endlessly, at least one that waits.
bool StepsCanPlay(const int* delays, int count, int repeat)
{
    if (!delays || count <= 0)
        return false;
    bool waits = false;
    for (int i = 0; i < count; ++i) {
        if (delays[i] < 0)
            return false;
        waits = waits || delays[i] > 0;
    }
    return waits || repeat >= 0;
}

} // namespace

ThreadTimer::~ThreadTimer()
{
    Stop();
    // Threads are left only when a callback destroys its timer: they end
    // when their callbacks return, and nobody is left to wait for them.
    std::lock_guard<std::mutex> lock(m_lock);
    for (Retired& r : m_retired)
        r.thread.detach();
}

ThreadTimer* ThreadTimer::Create(Callback callback, int period)
{
    if (period <= 0)
        return nullptr;
    auto timer = std::make_unique<ThreadTimer>();
    auto state = std::make_shared<State>();
    state->callback = std::move(callback);
    state->period = period;
    state->stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state->wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!state->stopEvent || !state->wakeEvent)
        return nullptr;
    {
        std::lock_guard<std::mutex> lock(timer->m_lock);
        if (!timer->Launch(std::move(state), true))
            return nullptr;
    }
    return timer.release();
}

bool ThreadTimer::Start(Callback callback, const int* delays, int count, int repeat)
{
    Stop();
    if (!StepsCanPlay(delays, count, repeat))
        return false;
    auto state = std::make_shared<State>();
    state->callback = std::move(callback);
    state->repeat = repeat;
    state->delays.assign(delays, delays + count);
    state->stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!state->stopEvent)
        return false;
    std::lock_guard<std::mutex> lock(m_lock);
    return Launch(std::move(state), false);
}

bool ThreadTimer::Launch(std::shared_ptr<State> state, bool periodic)
{
    // Another thread may have started the timer since our Stop.
    RetireCurrent();
    // A callback that restarts its timer on every tick leaves one thread
    // behind each time: those that have ended are joined here.
    JoinFinished();
    try {
        m_thread = std::thread(&ThreadTimer::Run, state, periodic);
    } catch (const std::system_error&) {
        return false;
    }
    m_state = std::move(state);
    m_running = true;
    return true;
}

void ThreadTimer::RetireCurrent()
{
    if (m_state)
        SetEvent(m_state->stopEvent);
    if (m_thread.joinable())
        m_retired.push_back(Retired{std::move(m_thread), m_state});
    m_state.reset();
    m_running = false;
}

void ThreadTimer::JoinFinished()
{
    for (auto it = m_retired.begin(); it != m_retired.end();) {
        if (it->state && it->state->finished) {
            it->thread.join(); // it only has to return
            it = m_retired.erase(it);
        } else {
            ++it;
        }
    }
}

bool ThreadTimer::IsOwnThread(std::thread::id id) const
{
    if (m_thread.get_id() == id)
        return true;
    for (const Retired& r : m_retired) {
        if (r.thread.get_id() == id)
            return true;
    }
    return false;
}

void ThreadTimer::Stop()
{
    // A callback still running on one of the joined threads may start the
    // timer again: go on until no thread is left.
    for (;;) {
        std::vector<Retired> joinable;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            const bool fromCallback = IsOwnThread(std::this_thread::get_id());
            RetireCurrent();
            // A timer thread cannot join itself, and joining a sibling that
            // may be joining it would never end: it only signals, and the
            // next Stop from outside waits for all of them.
            if (fromCallback)
                return;
            joinable.swap(m_retired);
        }
        if (joinable.empty())
            return;
        for (Retired& r : joinable)
            r.thread.join();
    }
}

void ThreadTimer::Destroy()
{
    delete this;
}

void ThreadTimer::Wake()
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_state && m_state->wakeEvent)
        SetEvent(m_state->wakeEvent);
}

void ThreadTimer::Run(std::shared_ptr<State> state, bool periodic)
{
    if (periodic)
        RunPeriodic(*state);
    else
        RunSteps(*state);
    state->finished = true;
}

void ThreadTimer::RunPeriodic(State& state)
{
    if (state.initialDelay > 0)
        Sleep(static_cast<DWORD>(state.initialDelay));
    const HANDLE events[2] = {state.stopEvent, state.wakeEvent};
    for (int n = 0;;) {
        const DWORD r = WaitForMultipleObjects(2, events, FALSE, WaitTime(state.period));
        if (r == WAIT_OBJECT_0 + 1)
            continue; // woken: the period starts again
        if (r != WAIT_TIMEOUT)
            return;
        if (!state.callback || !state.callback(n))
            return;
        ++n;
    }
}

void ThreadTimer::RunSteps(State& state)
{
    if (state.initialDelay > 0)
        Sleep(static_cast<DWORD>(state.initialDelay));
    const int count = static_cast<int>(state.delays.size());
    for (;;) {
        for (int i = 0; i < count; ++i) {
            if (WaitForSingleObject(state.stopEvent, WaitTime(state.delays[i])) != WAIT_TIMEOUT)
                return;
            if (!state.callback || !state.callback(i))
                return;
        }
        if (state.repeat < 0)
            continue;
        if (state.repeat == 0) {
            // A stop asked for during the last step wins over the end call.
            if (WaitForSingleObject(state.stopEvent, 0) == WAIT_TIMEOUT && state.callback)
                state.callback(-1);
            return;
        }
        --state.repeat;
    }
}

} // namespace ui

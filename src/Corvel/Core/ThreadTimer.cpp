#include "Corvel/Core/ThreadTimer.h"

#include <windows.h>

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

} // namespace

ThreadTimer::~ThreadTimer()
{
    Stop();
}

ThreadTimer* ThreadTimer::Create(Callback callback, int period)
{
    ThreadTimer* timer = new ThreadTimer();
    auto state = std::make_shared<State>();
    state->callback = std::move(callback);
    state->period = period;
    state->stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    state->wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!state->stopEvent || !state->wakeEvent || !timer->Launch(std::move(state), true)) {
        delete timer;
        return nullptr;
    }
    return timer;
}

bool ThreadTimer::Start(Callback callback, const int* delays, int count, int repeat)
{
    Stop();
    // An empty pass would loop without ever waiting on the stop event.
    if (!delays || count <= 0)
        return false;
    auto state = std::make_shared<State>();
    state->callback = std::move(callback);
    state->repeat = repeat;
    state->delays.assign(delays, delays + count);
    state->stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!state->stopEvent)
        return false;
    return Launch(std::move(state), false);
}

bool ThreadTimer::Launch(std::shared_ptr<State> state, bool periodic)
{
    try {
        m_thread = std::thread(periodic ? &ThreadTimer::RunPeriodic : &ThreadTimer::RunSteps, state);
    } catch (const std::system_error&) {
        return false;
    }
    m_state = std::move(state);
    m_running = true;
    return true;
}

void ThreadTimer::Stop()
{
    if (m_state)
        SetEvent(m_state->stopEvent);
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id())
            m_thread.detach(); // joining itself would deadlock
        else
            m_thread.join();
    }
    m_state.reset();
    m_running = false;
}

void ThreadTimer::Destroy()
{
    delete this;
}

void ThreadTimer::Wake()
{
    if (m_state && m_state->wakeEvent)
        SetEvent(m_state->wakeEvent);
}

void ThreadTimer::RunPeriodic(std::shared_ptr<State> state)
{
    if (state->initialDelay > 0)
        Sleep(static_cast<DWORD>(state->initialDelay));
    const HANDLE events[2] = {state->stopEvent, state->wakeEvent};
    for (int n = 0;;) {
        const DWORD r = WaitForMultipleObjects(2, events, FALSE, WaitTime(state->period));
        if (r == WAIT_OBJECT_0 + 1)
            continue; // woken: the period starts again
        if (r != WAIT_TIMEOUT)
            return;
        if (!state->callback || !state->callback(n))
            return;
        ++n;
    }
}

void ThreadTimer::RunSteps(std::shared_ptr<State> state)
{
    if (state->initialDelay > 0)
        Sleep(static_cast<DWORD>(state->initialDelay));
    const int count = static_cast<int>(state->delays.size());
    for (;;) {
        for (int i = 0; i < count; ++i) {
            if (WaitForSingleObject(state->stopEvent, WaitTime(state->delays[i])) != WAIT_TIMEOUT)
                return;
            if (!state->callback || !state->callback(i))
                return;
        }
        if (state->repeat < 0)
            continue;
        if (state->repeat == 0) {
            // A stop asked for during the last step wins over the end call.
            if (WaitForSingleObject(state->stopEvent, 0) == WAIT_TIMEOUT && state->callback)
                state->callback(-1);
            return;
        }
        --state->repeat;
    }
}

} // namespace ui

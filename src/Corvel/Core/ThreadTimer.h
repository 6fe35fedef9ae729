// A callback run on a thread of its own, either every `period` ms or through
// a list of per-step delays repeated a number of times. Callbacks run on the
// timer thread: they reach UI objects only through UI tasks.
#pragma once

#include <functional>
#include <memory>
#include <thread>

namespace ui {

class ThreadTimer {
public:
    // Called with the tick number (periodic) or the step index (step list;
    // -1 once after the last pass). Returning false ends the timer thread.
    using Callback = std::function<bool(int)>;

    ThreadTimer() = default;
    ~ThreadTimer(); // stops the timer
    ThreadTimer(const ThreadTimer&) = delete;
    ThreadTimer& operator=(const ThreadTimer&) = delete;

    // New timer calling `callback` every `period` ms (tick 0, 1, 2, ...);
    // null when its thread cannot be started. Owned by the caller.
    static ThreadTimer* Create(Callback callback, int period);

    // Stops any running thread, then runs through `delays[0..count-1]`
    // calling back with each step index; after a pass a negative `repeat`
    // passes again, 0 calls back with -1 and ends, a positive one counts
    // down (so N gives N + 1 passes). False when there are no delays or the
    // thread cannot be started.
    bool Start(Callback callback, const int* delays, int count, int repeat);

    // Signals the thread and waits for it. From the timer's own thread (a
    // callback stopping its timer) it only signals: the thread ends when the
    // callback returns.
    void Stop();
    // Stop, then delete. Safe from the timer's own callback too.
    void Destroy();

    // Periodic mode: restart the current wait without calling back.
    void Wake();

    bool IsRunning() const { return m_running; }

private:
    struct State;

    bool Launch(std::shared_ptr<State> state, bool periodic);
    static void RunPeriodic(std::shared_ptr<State> state);
    static void RunSteps(std::shared_ptr<State> state);

    bool m_running = false;
    std::shared_ptr<State> m_state; // shared with the thread
    std::thread m_thread;
};

} // namespace ui

using ui::ThreadTimer;

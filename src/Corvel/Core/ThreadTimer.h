// A callback run on a thread of its own, either every `period` ms or through
// a list of per-step delays repeated a number of times. Callbacks run on the
// timer thread: they reach UI objects only through UI tasks.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ui {

// Any thread may call Start, Stop, Wake and Destroy, the timer's own
// callbacks included; the calls are serialised by the timer.
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
    // null when the period is not positive (it would call back without ever
    // waiting) or its thread cannot be started. Owned by the caller.
    static ThreadTimer* Create(Callback callback, int period);

    // Stops any running thread, then runs through `delays[0..count-1]` (ms)
    // calling back with each step index; after a pass a negative `repeat`
    // passes again, 0 calls back with -1 and ends, a positive one counts
    // down (so N gives N + 1 passes). False when there are no delays, one is
    // negative, an endless list never waits (every delay 0), or the thread
    // cannot be started.
    bool Start(Callback callback, const int* delays, int count, int repeat);

    // Signals the timer's thread and waits for it, and for every earlier
    // thread of this timer still inside a callback (one whose callback
    // stopped or restarted its own timer): once Stop returns on a thread
    // that is not the timer's, no callback of this timer runs any more. From
    // a callback it only signals; its thread ends when the callback returns.
    void Stop();
    // Stop, then delete. Safe from the timer's own callback too.
    void Destroy();

    // Periodic mode: restart the current wait without calling back.
    void Wake();

    // Set by Create and Start, cleared by Stop (not when the thread ends on
    // its own).
    bool IsRunning() const { return m_running; }

private:
    struct State;

    // Under m_lock: retires the current thread and starts a new one.
    bool Launch(std::shared_ptr<State> state, bool periodic);
    // Under m_lock: signals the current thread to stop and moves it to the
    // threads still to be joined.
    void RetireCurrent();
    // Under m_lock: joins the retired threads that have ended.
    void JoinFinished();
    // Under m_lock: `id` is the current thread or a retired one.
    bool IsOwnThread(std::thread::id id) const;
    static void Run(std::shared_ptr<State> state, bool periodic);
    static void RunPeriodic(State& state);
    static void RunSteps(State& state);

    struct Retired {
        std::thread thread;
        std::shared_ptr<State> state;
    };

    std::mutex m_lock; // guards the three members below
    std::shared_ptr<State> m_state; // shared with the current thread
    std::thread m_thread;
    // Stopped threads not joined yet: a callback stopped or restarted its own
    // timer, so nobody could wait for its thread then.
    std::vector<Retired> m_retired;
    std::atomic<bool> m_running{false};
};

} // namespace ui

using ui::ThreadTimer;

#include "Corvel/Core/ThreadTimer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <functional>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using ui::ThreadTimer;

namespace {

// Records the values a timer calls back with; Wait blocks until a value
// (by default -1) arrives.
class Recorder {
public:
    Recorder() : m_done(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Recorder() { CloseHandle(m_done); }

    void Add(int v)
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_values.push_back(v);
        }
        if (v == m_until)
            SetEvent(m_done);
    }
    bool Wait(DWORD ms = 10000) { return WaitForSingleObject(m_done, ms) == WAIT_OBJECT_0; }
    void Signal() { SetEvent(m_done); }
    std::vector<int> Values()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_values;
    }
    size_t Count() { return Values().size(); }
    void Until(int v) { m_until = v; }

private:
    HANDLE m_done;
    std::mutex m_mutex;
    std::vector<int> m_values;
    std::atomic<int> m_until{-1};
};

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

} // namespace

TEST(ThreadTimer, PeriodicFalseOnFirstCallRunsOnce)
{
    Recorder rec;
    rec.Until(0);
    ThreadTimer* timer = ThreadTimer::Create([&](int n) { rec.Add(n); return false; }, 10);
    ASSERT_NE(nullptr, timer);
    EXPECT_TRUE(timer->IsRunning());
    ASSERT_TRUE(rec.Wait());
    SleepMs(100);
    EXPECT_EQ(std::vector<int>{0}, rec.Values());
    timer->Destroy();
}

TEST(ThreadTimer, PeriodicTicksCountUpUntilStopped)
{
    Recorder rec;
    rec.Until(4);
    std::atomic<DWORD> threadId{0};
    ThreadTimer* timer = ThreadTimer::Create([&](int n) {
        threadId = GetCurrentThreadId();
        rec.Add(n);
        return true;
    }, 5);
    ASSERT_NE(nullptr, timer);
    ASSERT_TRUE(rec.Wait());
    timer->Stop();
    EXPECT_FALSE(timer->IsRunning());
    EXPECT_NE(GetCurrentThreadId(), threadId.load()); // a thread of its own
    const std::vector<int> values = rec.Values();
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(static_cast<int>(i), values[i]);
    // Stop joined the thread: nothing more arrives.
    SleepMs(60);
    EXPECT_EQ(values.size(), rec.Count());
    timer->Stop(); // twice is harmless
    delete timer;
}

TEST(ThreadTimer, WakeRestartsThePeriod)
{
    Recorder rec;
    constexpr int kPeriodMs = 400;
    ThreadTimer* timer = ThreadTimer::Create([&](int n) { rec.Add(n); return true; }, kPeriodMs);
    ASSERT_NE(nullptr, timer);
    // A period between two wakes can only pass when this thread was held
    // up that long (a loaded machine): each such gap may give one tick.
    size_t fullPeriods = 0;
    ULONGLONG last = GetTickCount64();
    for (int i = 0; i < 16; ++i) {
        SleepMs(50);
        timer->Wake();
        const ULONGLONG now = GetTickCount64();
        if (now - last >= static_cast<ULONGLONG>(kPeriodMs))
            ++fullPeriods;
        last = now;
    }
    EXPECT_LE(rec.Count(), fullPeriods);
    timer->Destroy();
}

TEST(ThreadTimer, StepListPlaysOnceThenEnds)
{
    Recorder rec;
    ThreadTimer timer;
    const int delays[] = {5, 10, 5};
    ASSERT_TRUE(timer.Start([&](int i) { rec.Add(i); return true; }, delays, 3, 0));
    ASSERT_TRUE(rec.Wait());
    EXPECT_EQ((std::vector<int>{0, 1, 2, -1}), rec.Values());
}

TEST(ThreadTimer, StepListRepeats)
{
    Recorder rec;
    ThreadTimer timer;
    const int delays[] = {2, 2};
    ASSERT_TRUE(timer.Start([&](int i) { rec.Add(i); return true; }, delays, 2, 2));
    ASSERT_TRUE(rec.Wait());
    EXPECT_EQ((std::vector<int>{0, 1, 0, 1, 0, 1, -1}), rec.Values());

    // Negative: endless until stopped, and no end call.
    Recorder endless;
    ASSERT_TRUE(timer.Start([&](int i) { endless.Add(i); return true; }, delays, 2, -1));
    for (int waited = 0; endless.Count() < 8 && waited < 10000; waited += 10)
        SleepMs(10);
    timer.Stop();
    const std::vector<int> values = endless.Values();
    EXPECT_GE(values.size(), 6u);
    for (int v : values)
        EXPECT_NE(-1, v);
}

TEST(ThreadTimer, FalseEndsTheStepListWithoutEndCall)
{
    Recorder rec;
    rec.Until(1);
    ThreadTimer timer;
    const int delays[] = {1, 1, 1};
    ASSERT_TRUE(timer.Start([&](int i) { rec.Add(i); return i != 1; }, delays, 3, 5));
    ASSERT_TRUE(rec.Wait());
    SleepMs(60);
    EXPECT_EQ((std::vector<int>{0, 1}), rec.Values());
}

TEST(ThreadTimer, TimersThatCouldNotWaitAreRefused)
{
    std::atomic<int> calls{0};
    auto count = [&](int) { ++calls; return true; };

    // A period that is not positive would call back without ever waiting.
    for (int period : {-5, 0}) {
        ThreadTimer* timer = ThreadTimer::Create(count, period);
        EXPECT_EQ(nullptr, timer) << period;
        if (timer)
            timer->Destroy();
    }

    const int one[] = {1};
    const int negative[] = {5, -1};
    const int zeros[] = {0, 0};
    struct Case {
        const char* what;
        const int* delays;
        int count;
        int repeat;
    } refused[] = {
        {"no list", nullptr, 3, -1},
        {"empty list", one, 0, -1},
        {"a negative delay", negative, 2, 0},
        {"an endless list that never waits", zeros, 2, -1},
    };
    ThreadTimer timer;
    for (const Case& c : refused) {
        SCOPED_TRACE(c.what);
        EXPECT_FALSE(timer.Start(count, c.delays, c.count, c.repeat));
        EXPECT_FALSE(timer.IsRunning());
        timer.Stop();
    }
    EXPECT_EQ(0, calls.load());

    // Zero delays are fine when the passes come to an end.
    Recorder rec;
    ASSERT_TRUE(timer.Start([&](int i) { rec.Add(i); return true; }, zeros, 2, 1));
    ASSERT_TRUE(rec.Wait());
    EXPECT_EQ((std::vector<int>{0, 1, 0, 1, -1}), rec.Values());
}

TEST(ThreadTimer, RestartStopsTheOldThreadFirst)
{
    Recorder first;
    first.Until(0);
    Recorder second;
    ThreadTimer timer;
    const int delays[] = {2};
    ASSERT_TRUE(timer.Start([&](int i) { first.Add(i); SleepMs(5); return true; }, delays, 1, -1));
    ASSERT_TRUE(first.Wait());
    for (int waited = 0; first.Count() < 3 && waited < 10000; waited += 5)
        SleepMs(5);
    ASSERT_TRUE(timer.Start([&](int i) { second.Add(i); return true; }, delays, 1, 3));
    const size_t firstCount = first.Count();
    ASSERT_TRUE(second.Wait());
    SleepMs(30);
    EXPECT_EQ(firstCount, first.Count()); // the old thread was joined
    EXPECT_EQ((std::vector<int>{0, 0, 0, 0, -1}), second.Values());
}

TEST(ThreadTimer, StopFromItsOwnCallback)
{
    Recorder rec;
    rec.Until(2);
    ThreadTimer* timer = nullptr;
    std::atomic<bool> threw{false};
    timer = ThreadTimer::Create([&](int n) {
        rec.Add(n);
        if (n == 2) {
            try {
                timer->Stop(); // must neither deadlock nor throw
            } catch (...) {
                threw = true;
            }
        }
        return true; // the thread still ends: it was asked to stop
    }, 5);
    ASSERT_NE(nullptr, timer);
    ASSERT_TRUE(rec.Wait());
    SleepMs(80);
    EXPECT_FALSE(threw);
    EXPECT_EQ((std::vector<int>{0, 1, 2}), rec.Values());
    EXPECT_FALSE(timer->IsRunning());
    timer->Destroy();
}

TEST(ThreadTimer, DestroyFromItsOwnCallback)
{
    Recorder rec;
    rec.Until(0);
    ThreadTimer* timer = nullptr;
    HANDLE created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    timer = ThreadTimer::Create([&](int n) {
        WaitForSingleObject(created, INFINITE); // `timer` is assigned
        timer->Destroy();
        timer = nullptr;
        rec.Add(n);
        return true;
    }, 5);
    ASSERT_NE(nullptr, timer);
    SetEvent(created);
    ASSERT_TRUE(rec.Wait());
    SleepMs(60);
    EXPECT_EQ(std::vector<int>{0}, rec.Values());
    EXPECT_EQ(nullptr, timer);
    CloseHandle(created);
}

TEST(ThreadTimer, RestartFromItsOwnCallback)
{
    Recorder rec;
    ThreadTimer timer;
    const int first[] = {2};
    const int second[] = {2, 2};
    std::atomic<bool> restarted{false};
    rec.Until(99);
    std::function<bool(int)> next = [&](int i) { rec.Add(100 + i); return true; };
    ASSERT_TRUE(timer.Start([&](int i) {
        if (!restarted.exchange(true)) {
            EXPECT_TRUE(timer.Start(next, second, 2, 0));
        }
        return true;
    }, first, 1, -1));
    ASSERT_TRUE(rec.Wait());
    EXPECT_EQ((std::vector<int>{100, 101, 99}), rec.Values());
}

TEST(ThreadTimer, StopFromOutsideWaitsForACallbackThatStoppedOrRestartedItsTimer)
{
    enum class Inside { Stop, Restart };
    enum class Outside { Stop, Destroy };
    const struct Case {
        const char* what;
        Inside inside;
        Outside outside;
    } cases[] = {
        {"stopped inside, Stop outside", Inside::Stop, Outside::Stop},
        {"restarted inside, Stop outside", Inside::Restart, Outside::Stop},
        {"stopped inside, Destroy outside", Inside::Stop, Outside::Destroy},
        {"restarted inside, Destroy outside", Inside::Restart, Outside::Destroy},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto* timer = new ThreadTimer();
        HANDLE inside = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        std::atomic<int> calls{0};
        std::atomic<bool> firstReturned{false};
        const int delays[] = {2};
        ThreadTimer::Callback callback;
        callback = [&](int) {
            if (calls++ > 0)
                return true; // the restarted timer only counts
            if (c.inside == Inside::Stop)
                timer->Stop();
            else
                EXPECT_TRUE(timer->Start(callback, delays, 1, -1));
            SetEvent(inside);
            SleepMs(200); // still inside the callback
            firstReturned = true;
            return true;
        };
        ASSERT_TRUE(timer->Start(callback, delays, 1, -1));
        ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(inside, 10000));
        if (c.outside == Outside::Stop)
            timer->Stop();
        else
            timer->Destroy();
        EXPECT_TRUE(firstReturned) << "returned while a callback of the timer still ran";
        // Nothing runs once it returned.
        const int after = calls;
        SleepMs(60);
        EXPECT_EQ(after, calls.load());
        if (c.outside == Outside::Stop)
            delete timer;
        CloseHandle(inside);
    }
}

TEST(ThreadTimer, ACallbackRestartingItsTimerOnEveryTickStopsCleanly)
{
    ThreadTimer timer;
    std::atomic<int> calls{0};
    const int delays[] = {1};
    ThreadTimer::Callback callback;
    callback = [&](int) {
        if (++calls < 20) {
            EXPECT_TRUE(timer.Start(callback, delays, 1, -1));
        }
        return true;
    };
    ASSERT_TRUE(timer.Start(callback, delays, 1, -1));
    for (int waited = 0; calls < 20 && waited < 10000; waited += 5)
        SleepMs(5);
    timer.Stop();
    const int after = calls;
    EXPECT_GE(after, 20);
    SleepMs(60);
    EXPECT_EQ(after, calls.load());
}

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
    bool Wait(DWORD ms = 5000) { return WaitForSingleObject(m_done, ms) == WAIT_OBJECT_0; }
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
    ThreadTimer* timer = ThreadTimer::Create([&](int n) { rec.Add(n); return true; }, 400);
    ASSERT_NE(nullptr, timer);
    for (int i = 0; i < 16; ++i) {
        SleepMs(50);
        timer->Wake();
    }
    EXPECT_EQ(0u, rec.Count());
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
    for (int waited = 0; endless.Count() < 8 && waited < 5000; waited += 10)
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

TEST(ThreadTimer, StartWithoutStepsFails)
{
    ThreadTimer timer;
    const int delays[] = {1};
    EXPECT_FALSE(timer.Start([](int) { return true; }, nullptr, 3, -1));
    EXPECT_FALSE(timer.Start([](int) { return true; }, delays, 0, -1));
    EXPECT_FALSE(timer.IsRunning());
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
    for (int waited = 0; first.Count() < 3 && waited < 5000; waited += 5)
        SleepMs(5);
    ASSERT_TRUE(timer.Start([&](int i) { second.Add(i); return true; }, delays, 1, 3));
    const size_t firstCount = first.Count();
    ASSERT_TRUE(second.Wait(5000));
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

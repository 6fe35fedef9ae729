#include "net/ThreadPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>

namespace {

// A latch the test opens to let blocked tasks finish.
class Gate {
public:
    void Wait()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait(lock, [this]() { return m_open; });
    }
    void Open()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_open = true;
        }
        m_cv.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_open = false;
};

} // namespace

TEST(ThreadPool, RunsTasksAndReturnsTheirResults)
{
    ThreadPool pool(3);
    EXPECT_EQ(pool.ThreadCount(), 3u);
    std::vector<std::future<int>> results;
    for (int i = 0; i < 20; ++i)
        results.push_back(i % 2 ? pool.EnqueueSliceTask([i]() { return i * i; })
                                : pool.EnqueueMergeTask([i]() { return -i; }));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(results[i].get(), i % 2 ? i * i : -i);
}

TEST(ThreadPool, StopWaitsForRunningTasksThenDrainsTheQueue)
{
    ThreadPool pool(2);
    Gate gate;
    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    std::vector<std::future<int>> results;
    for (int i = 0; i < 2; ++i)
        results.push_back(pool.EnqueueSliceTask([&]() {
            ++started;
            gate.Wait();
            ++finished;
            return 1;
        }));
    for (int i = 0; i < 5; ++i)
        results.push_back(pool.EnqueueMergeTask([&]() {
            ++finished;
            return 2;
        }));
    while (started.load() < 2)
        std::this_thread::yield();
    EXPECT_EQ(pool.QueuedTasks(), 5u); // both workers busy, the rest waits

    std::thread opener([&]() {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        gate.Open();
    });
    pool.Stop();
    opener.join();
    EXPECT_EQ(finished.load(), 7); // queued tasks ran before the workers ended
    for (auto& r : results)
        EXPECT_EQ(r.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    pool.Stop(); // twice is harmless
}

TEST(ThreadPool, EnqueueAfterStopThrowsAndRunsNothing)
{
    ThreadPool pool(1);
    pool.Stop();
    std::atomic<bool> ran{false};
    for (int kind = 0; kind < 2; ++kind) {
        try {
            if (kind == 0)
                pool.EnqueueSliceTask([&]() { ran = true; return 0; });
            else
                pool.EnqueueMergeTask([&]() { ran = true; return 0; });
            ADD_FAILURE() << "no exception";
        } catch (const std::runtime_error& e) {
            EXPECT_STREQ(e.what(), "enqueue on stopped ThreadPool");
        }
    }
    EXPECT_EQ(pool.QueuedTasks(), 0u);
    EXPECT_FALSE(ran.load());
}

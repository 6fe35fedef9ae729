// A fixed set of worker threads sharing one task queue. Tasks return int
// through a future. Stopping runs every task already queued, then joins.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

class ThreadPool {
public:
    explicit ThreadPool(size_t threads);
    ~ThreadPool();
    ThreadPool(const ThreadPool&) = delete;
    ThreadPool& operator=(const ThreadPool&) = delete;

    // Both throw std::runtime_error("enqueue on stopped ThreadPool") once
    // the pool has been stopped.
    template <class F>
    std::future<int> EnqueueSliceTask(F&& task) { return Enqueue(std::forward<F>(task)); }
    template <class F>
    std::future<int> EnqueueMergeTask(F&& task) { return Enqueue(std::forward<F>(task)); }

    // Sets the stop flag, wakes every worker and joins them; tasks still
    // queued run first. Safe to call more than once.
    void Stop();

    size_t ThreadCount() const { return m_workers.size(); }
    size_t QueuedTasks();

private:
    template <class F>
    std::future<int> Enqueue(F&& task)
    {
        auto job = std::make_shared<std::packaged_task<int()>>(std::forward<F>(task));
        std::future<int> result = job->get_future();
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            if (m_stop)
                throw std::runtime_error("enqueue on stopped ThreadPool");
            m_tasks.emplace_back([job]() { (*job)(); });
        }
        m_cv.notify_one();
        return result;
    }

    void WorkerLoop();

    std::vector<std::thread> m_workers;
    std::deque<std::function<void()>> m_tasks;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_stop = false;
};

#include "net/ThreadPool.h"

ThreadPool::ThreadPool(size_t threads)
{
    m_workers.reserve(threads);
    for (size_t i = 0; i < threads; ++i)
        m_workers.emplace_back([this]() { WorkerLoop(); });
}

ThreadPool::~ThreadPool()
{
    Stop();
}

void ThreadPool::Stop()
{
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    for (std::thread& t : m_workers) {
        if (t.joinable())
            t.join();
    }
    std::unique_lock<std::mutex> lock(m_mutex);
    m_tasks.clear();
}

size_t ThreadPool::QueuedTasks()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_tasks.size();
}

void ThreadPool::WorkerLoop()
{
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cv.wait(lock, [this]() { return m_stop || !m_tasks.empty(); });
            if (m_stop && m_tasks.empty())
                return;
            task = std::move(m_tasks.front());
            m_tasks.pop_front();
        }
        task();
    }
}

// Watcher threads that find where a dragged-out file was dropped: one per
// fixed drive, each reading directory changes of its drive root. They run
// until the UI library shuts down.
#pragma once

#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace ui {

struct DropWatchThread {
    HANDLE directory = INVALID_HANDLE_VALUE; // drive root, opened for overlapped reads
    OVERLAPPED overlapped{};                 // its hEvent is the thread's wake-up event
    std::thread thread;
};

struct DropWatchThreads {
    std::atomic<bool> running{false};
    std::mutex lock;
    std::vector<std::unique_ptr<DropWatchThread>> records;
};

DropWatchThreads& GetDropWatchThreads();

// Clears the running flag, wakes every watcher, joins it and closes its
// handles. Safe to call when none was started, and more than once.
void StopDropWatchThreads();

} // namespace ui

#include "Corvel/Host/DropWatchThreads.h"

namespace ui {

DropWatchThreads& GetDropWatchThreads()
{
    static DropWatchThreads threads;
    return threads;
}

void StopDropWatchThreads()
{
    DropWatchThreads& all = GetDropWatchThreads();
    std::vector<std::unique_ptr<DropWatchThread>> records;
    {
        std::lock_guard<std::mutex> guard(all.lock);
        all.running = false;
        records.swap(all.records);
    }
    for (auto& r : records) {
        if (r->overlapped.hEvent)
            SetEvent(r->overlapped.hEvent);
        // A record whose thread never started, or a call from a watcher
        // itself, must not throw out of shutdown.
        if (r->thread.joinable()) {
            if (r->thread.get_id() == std::this_thread::get_id())
                r->thread.detach();
            else
                r->thread.join();
        }
        if (r->directory != INVALID_HANDLE_VALUE && r->directory) {
            // The read may still be pending: cancel it and let it finish
            // before its OVERLAPPED record goes away.
            DWORD ignored = 0;
            if (CancelIoEx(r->directory, &r->overlapped) || GetLastError() != ERROR_NOT_FOUND)
                GetOverlappedResult(r->directory, &r->overlapped, &ignored, TRUE);
            CloseHandle(r->directory);
            r->directory = INVALID_HANDLE_VALUE;
        }
        if (r->overlapped.hEvent) {
            CloseHandle(r->overlapped.hEvent);
            r->overlapped.hEvent = nullptr;
        }
    }
}

} // namespace ui

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Host/DropWatchThreads.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

std::atomic<int> g_exited{0};

// A watcher as the drag-and-drop code runs it: a pending directory read, then
// a wait on its event until shutdown.
void WatchLoop(ui::DropWatchThread* r)
{
    ui::DropWatchThreads& all = ui::GetDropWatchThreads();
    alignas(DWORD) char buffer[2048];
    while (all.running) {
        if (!ReadDirectoryChangesW(r->directory, buffer, sizeof(buffer), TRUE, FILE_NOTIFY_CHANGE_FILE_NAME,
                                   nullptr, &r->overlapped, nullptr))
            break;
        WaitForSingleObject(r->overlapped.hEvent, INFINITE);
        ResetEvent(r->overlapped.hEvent);
    }
    ++g_exited;
}

TEST(DropWatchThreads, ShutdownWakesJoinsAndClosesEveryWatcher)
{
    testsupport::ScratchDir dir(L"drop");
    InitUiLibrary(GetModuleHandleW(nullptr));
    ui::DropWatchThreads& all = ui::GetDropWatchThreads();
    all.running = true;
    g_exited = 0;
    for (int i = 0; i < 2; ++i) {
        auto r = std::make_unique<ui::DropWatchThread>();
        r->directory = CreateFileW(dir.Path().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, r->directory);
        r->overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        r->thread = std::thread(WatchLoop, r.get());
        std::lock_guard<std::mutex> guard(all.lock);
        all.records.push_back(std::move(r));
    }
    // A record whose thread never started is skipped, not an exception.
    {
        std::lock_guard<std::mutex> guard(all.lock);
        all.records.push_back(std::make_unique<ui::DropWatchThread>());
    }
    Sleep(50);
    // While a watcher holds the folder, nobody can open it exclusively.
    auto openExclusive = [&] {
        HANDLE h = CreateFileW(dir.Path().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return false;
        CloseHandle(h);
        return true;
    };
    EXPECT_FALSE(openExclusive());

    ShutdownUiLibrary();
    EXPECT_EQ(2, g_exited.load());
    EXPECT_FALSE(all.running);
    EXPECT_TRUE(all.records.empty());
    EXPECT_TRUE(openExclusive()) << "a watcher's folder handle was left open";
    ui::StopDropWatchThreads(); // nothing left: harmless
}

} // namespace

#include "app/MainLoop.h"

#include <gtest/gtest.h>
#include <mmsystem.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr UINT kTestMessage = WM_APP + 7;
constexpr WPARAM kExitCode = 42;

} // namespace

TEST(MainLoop, EveryMessageIsOfferedAndQuitEndsTheLoopAfterItsOffer)
{
    MSG warm;
    PeekMessageW(&warm, nullptr, 0, 0, PM_NOREMOVE); // this thread gets a queue
    PostThreadMessageW(GetCurrentThreadId(), kTestMessage, 1, 0);
    PostThreadMessageW(GetCurrentThreadId(), kTestMessage, 2, 0);
    PostQuitMessage(static_cast<int>(kExitCode));

    std::vector<UINT> offered;
    std::vector<WPARAM> values;
    MainLoopHooks hooks;
    hooks.idleTick = [] {};
    hooks.preTranslate = [&](const MSG& msg) {
        offered.push_back(msg.message);
        values.push_back(msg.wParam);
        return msg.message == kTestMessage; // consumed: never dispatched
    };
    EXPECT_EQ(RunMainLoop(hooks), kExitCode);
    ASSERT_EQ(offered.size(), 3u);
    EXPECT_EQ(offered[0], kTestMessage);
    EXPECT_EQ(values[0], 1u);
    EXPECT_EQ(values[1], 2u);
    EXPECT_EQ(offered[2], static_cast<UINT>(WM_QUIT));
}

TEST(MainLoop, IdleTickRunsBetweenMessagesAtMostEvery16Ms)
{
    MSG warm;
    PeekMessageW(&warm, nullptr, 0, 0, PM_NOREMOVE);
    const DWORD loopThread = GetCurrentThreadId();
    std::atomic<bool> stop{false};
    // A steady stream of messages, with gaps the loop can tick in.
    std::thread sender([&] {
        for (int i = 0; i < 100 && !stop; ++i) {
            PostThreadMessageW(loopThread, kTestMessage, 0, 0);
            Sleep(2);
        }
        PostThreadMessageW(loopThread, WM_QUIT, 0, 0);
    });

    std::vector<DWORD> ticks;
    int messages = 0;
    MainLoopHooks hooks;
    hooks.idleTick = [&] { ticks.push_back(timeGetTime()); };
    hooks.preTranslate = [&](const MSG& msg) {
        messages += msg.message == kTestMessage;
        return true;
    };
    RunMainLoop(hooks);
    stop = true;
    sender.join();

    EXPECT_EQ(messages, 100);
    ASSERT_GE(ticks.size(), 2u) << "no idle ticks while messages kept arriving";
    for (size_t i = 1; i < ticks.size(); ++i)
        EXPECT_GE(ticks[i] - ticks[i - 1], kIdleTickMs);
}

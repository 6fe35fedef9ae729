#include "Corvel/Core/TrayIcon.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using ui::ThreadTimer;
using ui::TrayIcon;

namespace {

// Limit for waits that end as soon as their condition holds.
constexpr int kConditionWaitMs = 10000;

void SleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Polls until `done` answers true or kConditionWaitMs have passed.
bool WaitUntil(const std::function<bool()>& done)
{
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kConditionWaitMs);
    while (!done()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        SleepMs(2);
    }
    return true;
}

// A plain hidden window to own the icon.
class HiddenWindow {
public:
    HiddenWindow()
    {
        m_hwnd = CreateWindowExW(0, L"STATIC", L"tray owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    ~HiddenWindow()
    {
        if (m_hwnd)
            DestroyWindow(m_hwnd);
    }
    HWND Get() const { return m_hwnd; }

private:
    HWND m_hwnd = nullptr;
};

// Adds the icon as a skinned window does; tray.shown tells whether the
// notification area took it.
void AddIcon(TrayIcon& tray, HWND hwnd)
{
    tray.icon = LoadIconW(nullptr, MAKEINTRESOURCEW(32512)); // IDI_APPLICATION
    tray.tipText = L"installer";
    NOTIFYICONDATAW& d = tray.data;
    d.cbSize = sizeof(d);
    d.hWnd = hwnd;
    d.uID = tray.instance;
    d.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    d.uCallbackMessage = tray.callbackMessage;
    d.hIcon = tray.icon;
    wcsncpy_s(d.szTip, tray.tipText.c_str(), _TRUNCATE);
    tray.shown = Shell_NotifyIconW(NIM_ADD, &d) != FALSE;
}

// Whether the icon a record names is still in the notification area.
bool IconPresent(const NOTIFYICONDATAW& added)
{
    NOTIFYICONDATAW d = added;
    d.uFlags = NIF_ICON;
    return Shell_NotifyIconW(NIM_MODIFY, &d) != FALSE;
}

} // namespace

TEST(TrayIcon, InstanceNumbersCountUp)
{
    TrayIcon a;
    TrayIcon b;
    EXPECT_GE(a.instance, 1u);
    EXPECT_EQ(a.instance + 1, b.instance);
    EXPECT_EQ(0x8006u, a.callbackMessage);
    EXPECT_EQ(nullptr, a.flashTimer);
}

TEST(TrayIcon, RemoveJoinsTheFlashingTimerBeforeDeletingTheIcon)
{
    HiddenWindow window;
    ASSERT_NE(nullptr, window.Get());
    TrayIcon tray;
    AddIcon(tray, window.Get()); // the flash ticks work with or without a notification area

    std::atomic<int> ticks{0};
    std::atomic<bool> inTick{false};
    std::atomic<bool> tickAfterRemove{false};
    std::atomic<bool> removed{false};
    tray.flashTimer = ThreadTimer::Create([&](int n) {
        inTick = true;
        if (removed)
            tickAfterRemove = true;
        // Flash: hide the icon on even ticks, show it on odd ones.
        NOTIFYICONDATAW d = tray.data;
        d.uFlags = NIF_ICON;
        d.hIcon = (n % 2) ? tray.icon : nullptr;
        Shell_NotifyIconW(NIM_MODIFY, &d);
        tray.restore = (n % 2) == 0;
        tray.iconState = static_cast<uint8_t>(n % 2);
        SleepMs(20); // keep the tick busy while Remove runs
        ++ticks;
        inTick = false;
        return true;
    }, 5);
    ASSERT_NE(nullptr, tray.flashTimer);
    ASSERT_TRUE(WaitUntil([&] { return ticks >= 3; }));

    tray.Remove();
    removed = true;
    EXPECT_FALSE(inTick); // the tick in progress finished before Remove returned
    EXPECT_EQ(nullptr, tray.flashTimer);
    const int ticksAtRemove = ticks;
    SleepMs(80); // shows that no tick follows
    EXPECT_EQ(ticksAtRemove, ticks.load());
    EXPECT_FALSE(tickAfterRemove);

    EXPECT_FALSE(tray.shown);
    EXPECT_FALSE(tray.restore);
    EXPECT_EQ(0, tray.iconState);
    EXPECT_EQ(0x8006u, tray.callbackMessage);
    EXPECT_TRUE(tray.tipText.empty());
    tray.Remove(); // again: nothing left to do
    EXPECT_EQ(nullptr, tray.flashTimer);
}

TEST(TrayIcon, RemoveTakesTheIconOutOfTheNotificationArea)
{
    HiddenWindow window;
    ASSERT_NE(nullptr, window.Get());
    TrayIcon tray;
    AddIcon(tray, window.Get());
    if (!tray.shown)
        GTEST_SKIP() << "no notification area on this desktop: Shell_NotifyIconW(NIM_ADD) failed (error "
                     << GetLastError() << ")";
    const NOTIFYICONDATAW added = tray.data;
    ASSERT_TRUE(IconPresent(added));

    tray.Remove();
    EXPECT_FALSE(tray.shown);
    EXPECT_FALSE(IconPresent(added));
    EXPECT_EQ(nullptr, tray.data.hWnd) << "a later Remove deletes nothing again";
}

TEST(TrayIcon, RemoveWithoutIconOrTimer)
{
    TrayIcon tray;
    tray.tipText = L"tip";
    tray.callbackMessage = 0x9000;
    tray.Remove();
    EXPECT_TRUE(tray.tipText.empty());
    EXPECT_EQ(0x8006u, tray.callbackMessage);
}

TEST(TrayIcon, DestructorRemoves)
{
    std::atomic<int> ticks{0};
    {
        TrayIcon tray;
        tray.flashTimer = ThreadTimer::Create([&](int) { ++ticks; return true; }, 2);
        ASSERT_NE(nullptr, tray.flashTimer);
        ASSERT_TRUE(WaitUntil([&] { return ticks >= 2; }));
    }
    const int after = ticks;
    SleepMs(40); // shows that no tick follows
    EXPECT_EQ(after, ticks.load());
}

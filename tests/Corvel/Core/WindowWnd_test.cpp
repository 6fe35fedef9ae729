#include "Corvel/Control/Box.h"
#include "Corvel/Core/WindowWnd.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/TimeLine.h"

#include <gtest/gtest.h>

#include <mmsystem.h>

#include <memory>

namespace {

using testsupport::TestWindow;

constexpr UINT kMsgAct = WM_APP + 11;
constexpr UINT_PTR kGiveUpTimer = 77;

class WindowWndTest : public ::testing::Test {
protected:
    void SetUp() override { SetCursorPos(1000, 750); }
    testsupport::UiLibraryScope lib;
};

// A plain wrapper with a class name of its own.
class PlainWnd : public ui::CWindowWnd {
public:
    explicit PlainWnd(const wchar_t* cls) { m_className = cls; }
    int ncDestroyed = 0;
    void OnNcDestroyed(HWND) override { ++ncDestroyed; }
};

TEST_F(WindowWndTest, ModalLoopReturnsTheCloseCodeAndReEnablesItsOwner)
{
    TestWindow owner;
    ASSERT_NE(nullptr, owner.CreatePopup(300, 200, nullptr, 0, 50, 50));
    ShowWindow(owner.GetHWND(), SW_SHOWNOACTIVATE);
    TestWindow modal;
    modal.root = new ui::Box();
    ASSERT_NE(nullptr, modal.CreatePopup(100, 80, owner.GetHWND(), 0, 60, 60));
    BOOL ownerEnabledInside = TRUE;
    modal.onMessage = [&](UINT msg, WPARAM, LPARAM, LRESULT&) {
        if (msg == kMsgAct) {
            ownerEnabledInside = IsWindowEnabled(owner.GetHWND());
            modal.Close(5);
            return true;
        }
        return false;
    };
    PostMessageW(modal.GetHWND(), kMsgAct, 0, 0);
    EXPECT_EQ(5, modal.RunModalLoop());
    EXPECT_FALSE(ownerEnabledInside) << "the owner is disabled while the loop runs";
    EXPECT_TRUE(IsWindowEnabled(owner.GetHWND()));
    EXPECT_EQ(nullptr, modal.GetHWND()) << "the modal window is destroyed";
    EXPECT_EQ(GetFocus(), owner.GetHWND()) << "the first parent gets the focus";
}

TEST(ModalLoopClock, DueTimesCompareAcrossTheClockWrap)
{
    struct Case {
        const char* name;
        DWORD now;
        DWORD due;
        bool atOrPast;
    };
    const Case cases[] = {
        {"due now", 1000, 1000, true},
        {"one millisecond early", 999, 1000, false},
        {"due at half the cycle, reached", 0x80000000u, 0x80000000u, true},
        {"due past half the cycle, not yet", 0x7FFFFFF0u, 0x80000005u, false},
        {"past half the cycle, due before it", 0x80000005u, 0x7FFFFFF0u, true},
        {"due before the wrap, now after it", 0x00000005u, 0xFFFFFFF0u, true},
        {"due after the wrap, now before it", 0xFFFFFFF0u, 0x00000005u, false},
        {"24.8 days late", 0x7FFFFFFFu, 0u, true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.atOrPast, ui::IsClockAtOrPast(c.now, c.due)) << c.name;
}

// The modal loop's clock moved to read a chosen value now and run on from
// there at the real pace, for as long as the scope lives.
DWORD g_clockShift = 0;
DWORD ShiftedClock() { return timeGetTime() + g_clockShift; }

struct ShiftedClockScope {
    explicit ShiftedClockScope(DWORD readsNow)
    {
        g_clockShift = readsNow - timeGetTime();
        ui::SetModalLoopClockForTesting(&ShiftedClock);
    }
    ~ShiftedClockScope() { ui::SetModalLoopClockForTesting(nullptr); }
};

TEST_F(WindowWndTest, ModalLoopTicksOnEitherSideOfTheClockWrap)
{
    struct Case {
        const char* name;
        DWORD clockAtStart;
    };
    // A value far from the wrap, a clock past half of its cycle, and clocks
    // that cross half of the cycle or the wrap while the loop runs.
    const Case cases[] = {
        {"early in the cycle", 0x00100000u},
        {"past half the cycle", 0x90000000u},
        {"crossing half the cycle", 0x7FFFFFC0u},
        {"crossing the wrap", 0xFFFFFFC0u},
    };
    constexpr int kTicks = 12;
    for (const Case& c : cases) {
        ShiftedClockScope clock(c.clockAtStart);
        TestWindow modal;
        modal.root = new ui::Box();
        ASSERT_NE(nullptr, modal.CreatePopup(100, 80));
        // Only a loop that stops ticking lets this timer end it.
        SetTimer(modal.GetHWND(), kGiveUpTimer, testsupport::kConditionWaitMs, nullptr);
        modal.onMessage = [&](UINT msg, WPARAM wParam, LPARAM, LRESULT&) {
            if (msg == WM_TIMER && wParam == kGiveUpTimer)
                modal.Close(2);
            return false;
        };
        ui::CTimeLine line;
        line.AddValue(L"t", 0.0f, 1.0f);
        int ticks = 0;
        ASSERT_TRUE(line.Start(&modal.core, [&](ui::CTimeLine*) {
            if (++ticks == kTicks)
                modal.Close(1);
            return true;
        }));
        EXPECT_EQ(1, modal.RunModalLoop()) << c.name << ": the idle tick stopped after " << ticks << " ticks";
        EXPECT_GE(ticks, kTicks) << c.name;
    }
}

TEST_F(WindowWndTest, AnOwnerDisabledBeforeTheLoopStaysDisabled)
{
    TestWindow owner;
    ASSERT_NE(nullptr, owner.CreatePopup(300, 200));
    EnableWindow(owner.GetHWND(), FALSE);
    TestWindow modal;
    ASSERT_NE(nullptr, modal.CreatePopup(100, 80, owner.GetHWND()));
    modal.Close(9);
    EXPECT_EQ(9, modal.RunModalLoop());
    EXPECT_FALSE(IsWindowEnabled(owner.GetHWND()));
}

TEST_F(WindowWndTest, AModalWindowDestroyedDirectlyReturnsTheStoredCode)
{
    TestWindow owner;
    ASSERT_NE(nullptr, owner.CreatePopup(300, 200));
    for (int stored : {0, 7}) {
        TestWindow modal;
        ASSERT_NE(nullptr, modal.CreatePopup(100, 80, owner.GetHWND()));
        modal.onMessage = [&](UINT msg, WPARAM, LPARAM, LRESULT&) {
            if (msg == kMsgAct) {
                DestroyWindow(modal.GetHWND());
                return true;
            }
            return false;
        };
        if (stored) {
            // A close code stored by Close whose WM_CLOSE never reaches the loop.
            modal.Close(stored);
            MSG drop;
            PeekMessageW(&drop, modal.GetHWND(), WM_CLOSE, WM_CLOSE, PM_REMOVE);
        }
        PostMessageW(modal.GetHWND(), kMsgAct, 0, 0);
        EXPECT_EQ(stored, modal.RunModalLoop());
        EXPECT_TRUE(IsWindowEnabled(owner.GetHWND()));
    }
}

TEST_F(WindowWndTest, CloseOfTheFirstParentOrQuitEndsTheLoopWithZero)
{
    {
        TestWindow owner;
        ASSERT_NE(nullptr, owner.CreatePopup(300, 200));
        int ownerCloses = 0;
        owner.onMessage = [&](UINT msg, WPARAM, LPARAM, LRESULT&) {
            if (msg == WM_CLOSE) {
                ++ownerCloses;
                return true; // the owner stays
            }
            return false;
        };
        TestWindow modal;
        ASSERT_NE(nullptr, modal.CreatePopup(100, 80, owner.GetHWND()));
        PostMessageW(owner.GetHWND(), WM_CLOSE, 0, 0);
        EXPECT_EQ(0, modal.RunModalLoop());
        EXPECT_EQ(1, ownerCloses);
        EXPECT_EQ(nullptr, modal.GetHWND());
        EXPECT_TRUE(IsWindowEnabled(owner.GetHWND()));
    }
    {
        TestWindow modal;
        ASSERT_NE(nullptr, modal.CreatePopup(100, 80));
        PostQuitMessage(3);
        EXPECT_EQ(0, modal.RunModalLoop());
        EXPECT_EQ(nullptr, modal.GetHWND());
        MSG msg{};
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit is passed on";
        EXPECT_EQ(3u, msg.wParam);
    }
}

TEST_F(WindowWndTest, CreateRegistersOnceAndPlacesAtTheParentCorner)
{
    PlainWnd parent(L"CorvelPlainWnd");
    ASSERT_NE(nullptr, parent.Create(nullptr, L"p", WS_POPUP, 0, 120, 90, 200, 150));
    PlainWnd child(L"CorvelPlainWnd");
    HWND h = child.Create(parent.GetHWND(), L"c", WS_POPUP, 0, CW_USEDEFAULT, CW_USEDEFAULT, 80, 60);
    ASSERT_NE(nullptr, h) << "a class registered twice still creates";
    RECT r{};
    GetWindowRect(h, &r);
    EXPECT_EQ(120, r.left);
    EXPECT_EQ(90, r.top);
    EXPECT_EQ(child.GetHWND(), h);
    EXPECT_EQ(parent.GetHWND(), child.GetParentHWND());

    PlainWnd tiny(L"CorvelPlainWnd");
    HWND t = tiny.Create(nullptr, L"t", static_cast<DWORD>(-1), 0, 0, 0, 20, 20);
    ASSERT_NE(nullptr, t);
    LONG style = GetWindowLongW(t, GWL_STYLE);
    EXPECT_EQ(0, style & WS_CAPTION & ~WS_BORDER) << "small windows get no caption";
    EXPECT_EQ(0, style & WS_THICKFRAME);
    tiny.SetMaximizeBox(false);
    EXPECT_FALSE(tiny.IsResizable());
    EXPECT_EQ(0, GetWindowLongW(t, GWL_STYLE) & WS_MAXIMIZEBOX);

    // Closing a live window posts WM_CLOSE with the code; a dead one stores nothing.
    EXPECT_TRUE(tiny.Close(4));
    EXPECT_EQ(4, tiny.GetCloseCode());
    DestroyWindow(t);
    EXPECT_EQ(nullptr, tiny.GetHWND()) << "WM_NCDESTROY unbinds";
    EXPECT_EQ(1, tiny.ncDestroyed);
    EXPECT_FALSE(tiny.Close(6));
    EXPECT_EQ(4, tiny.GetCloseCode());
    EXPECT_EQ(0, tiny.ProcessMessage(WM_USER, 0, 0)) << "a dead handle answers 0";
    EXPECT_EQ(0, GetWindowLongPtrW(h, GWLP_USERDATA) == 0 ? 1 : 0) << "the object is stored in the window";
}

TEST_F(WindowWndTest, CenterOverOwnerKeepsTheWindowInsideTheWorkArea)
{
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTONEAREST), &mi);
    const RECT work = mi.rcWork;

    PlainWnd owner(L"CorvelCenterWnd");
    ASSERT_NE(nullptr, owner.Create(nullptr, L"o", WS_POPUP, 0, 100, 100, 300, 200));
    PlainWnd w(L"CorvelCenterWnd");
    ASSERT_NE(nullptr, w.Create(owner.GetHWND(), L"w", WS_POPUP, 0, 0, 0, 100, 50));
    w.CenterOverOwner();
    RECT r{};
    GetWindowRect(w.GetHWND(), &r);
    EXPECT_EQ(250 - 50, r.left);
    EXPECT_EQ(200 - 25, r.top);

    // Wider than the work area: centred over an owner near the right edge it
    // ends with its right edge on the work area's right edge.
    const int workW = work.right - work.left;
    SetWindowPos(w.GetHWND(), nullptr, 0, 0, workW + 200, 50, SWP_NOZORDER | SWP_NOMOVE);
    SetWindowPos(owner.GetHWND(), nullptr, work.right - 200, 100, 200, 200, SWP_NOZORDER);
    w.CenterOverOwner();
    GetWindowRect(w.GetHWND(), &r);
    EXPECT_EQ(work.right - (workW + 200), r.left);
    // Over an owner at the left edge the left edge is clamped to the work area.
    SetWindowPos(owner.GetHWND(), nullptr, work.left, 100, 200, 200, SWP_NOZORDER);
    w.CenterOverOwner();
    GetWindowRect(w.GetHWND(), &r);
    EXPECT_EQ(work.left, r.left);
}

} // namespace

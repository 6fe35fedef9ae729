#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testsupport::PumpFor;
using testsupport::PumpUntil;
using testsupport::TestWindow;
using ui::Box;
using ui::Control;
using ui::RECTF;

// A Tab stop with a class of its own, as a button is.
class Stop : public Control {
public:
    const wchar_t* GetClassName() const override { return L"Button"; }
    int GetTraitFlags() const override { return 1; }
};

// An edit-like control that takes Tab itself when asked to.
class FakeEdit : public Control {
public:
    const wchar_t* GetClassName() const override { return L"Edit"; }
    int GetTraitFlags() const override { return 1; }
};

class WindowCoreMessagesTest : public ::testing::Test {
protected:
    void SetUp() override { SetCursorPos(1000, 750); }

    std::unique_ptr<TestWindow> Show(Control* root, int w = 200, int h = 200)
    {
        return testsupport::ShowTestWindow(root, w, h);
    }

    testsupport::UiLibraryScope lib;
};

TEST_F(WindowCoreMessagesTest, SpaceAndReturnPressAndClickTheFocusedControl)
{
    Box* root = new Box();
    Stop* btn = new Stop();
    root->AppendChild(btn);
    int clicks = 0;
    btn->SetClickHandler([&] { ++clicks; });
    auto win = Show(root);
    win->core.FocusControl(btn);
    ASSERT_EQ(btn, win->core.GetFocus());
    HWND h = win->GetHWND();
    SendMessageW(h, WM_KEYDOWN, VK_SPACE, 0);
    EXPECT_TRUE(btn->IsPushed());
    SendMessageW(h, WM_KEYUP, VK_SPACE, 0);
    EXPECT_FALSE(btn->IsPushed());
    EXPECT_EQ(1, clicks);
    SendMessageW(h, WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(h, WM_KEYUP, VK_RETURN, 0);
    EXPECT_EQ(2, clicks);
    SendMessageW(h, WM_KEYDOWN, 'A', 0);
    SendMessageW(h, WM_KEYUP, 'A', 0);
    EXPECT_EQ(2, clicks);
}

TEST_F(WindowCoreMessagesTest, EditWithNeedTabKeepsTabAndAltShortcutsActivate)
{
    Box* root = new Box();
    FakeEdit* edit = new FakeEdit();
    Control* label = new Control();
    label->SetShortcut(L'n');
    Stop* field = new Stop();
    field->SetName(L"field");
    root->AppendChild(edit);
    root->AppendChild(label);
    root->AppendChild(field);
    int clicks = 0;
    field->SetClickHandler([&] { ++clicks; });
    auto win = Show(root);
    HWND h = win->GetHWND();
    win->core.FocusControl(edit);
    MSG tab{};
    tab.hwnd = h;
    tab.message = WM_KEYDOWN;
    tab.wParam = VK_TAB;
    edit->SetNeedsTab(true);
    EXPECT_FALSE(ui::WindowCore::PreTranslateMessage(tab)) << "the edit takes Tab itself";
    EXPECT_EQ(edit, win->core.GetFocus());
    edit->SetNeedsTab(false);
    EXPECT_TRUE(ui::WindowCore::PreTranslateMessage(tab));
    EXPECT_EQ(field, win->core.GetFocus());

    // Alt+N: the label's shortcut focuses and clicks the next control.
    win->core.FocusControl(edit);
    MSG alt{};
    alt.hwnd = h;
    alt.message = WM_SYSCHAR;
    alt.wParam = L'N';
    EXPECT_TRUE(ui::WindowCore::PreTranslateMessage(alt));
    EXPECT_EQ(field, win->core.GetFocus());
    EXPECT_EQ(1, clicks);
    alt.wParam = L'Q';
    EXPECT_FALSE(ui::WindowCore::PreTranslateMessage(alt));
}

// Records the size every tool record claims on its way to a tooltip window
// of this thread, as the window procedure receives it.
class ToolRecordSizes {
public:
    ToolRecordSizes()
    {
        s_sizes = &sizes;
        m_hook = SetWindowsHookExW(WH_CALLWNDPROC, &Record, nullptr, GetCurrentThreadId());
    }
    ~ToolRecordSizes()
    {
        if (m_hook)
            UnhookWindowsHookEx(m_hook);
        s_sizes = nullptr;
    }
    bool Installed() const { return m_hook != nullptr; }

    std::vector<UINT> sizes;

private:
    static LRESULT CALLBACK Record(int code, WPARAM wParam, LPARAM lParam)
    {
        const CWPSTRUCT* cwp = reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && s_sizes && cwp->lParam &&
            (cwp->message == TTM_ADDTOOLW || cwp->message == TTM_SETTOOLINFOW || cwp->message == TTM_TRACKACTIVATE))
            s_sizes->push_back(reinterpret_cast<const TOOLINFOW*>(cwp->lParam)->cbSize);
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static std::vector<UINT>* s_sizes;
    HHOOK m_hook = nullptr;
};
std::vector<UINT>* ToolRecordSizes::s_sizes = nullptr;

TEST_F(WindowCoreMessagesTest, HoverSetsHoverAndShowsTheToolTip)
{
    Box* root = new Box();
    Control* c = new Control();
    c->SetToolTip(L"a tip");
    root->AppendChild(c);
    auto win = Show(root);
    HWND h = win->GetHWND();
    ToolRecordSizes records;
    ASSERT_TRUE(records.Installed());
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(50, 50));
    ASSERT_TRUE(c->IsHot());
    SendMessageW(h, WM_MOUSEHOVER, 0, MAKELPARAM(50, 50));
    EXPECT_TRUE(c->IsHover());
    HWND tip = FindWindowW(TOOLTIPS_CLASSW, nullptr);
    EXPECT_NE(nullptr, tip) << "the tooltip window exists after the first hover";

    // The common controls without a version-6 manifest take only records of
    // their own (version-5) size.
    ASSERT_GE(records.sizes.size(), 3u) << "add, set and activate";
    for (UINT size : records.sizes)
        EXPECT_EQ(static_cast<UINT>(TTTOOLINFOW_V2_SIZE), size);
    wchar_t text[80] = {0};
    TOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.lpszText = text;
    EXPECT_EQ(1, SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
    ASSERT_TRUE(SendMessageW(tip, TTM_ENUMTOOLSW, 0, reinterpret_cast<LPARAM>(&tool)));
    EXPECT_STREQ(L"a tip", text);
    EXPECT_EQ(h, tool.hwnd);

    // Leaving the window ends hover, hot and the click target.
    SendMessageW(h, WM_MOUSELEAVE, 0, 0);
    EXPECT_FALSE(c->IsHot());
    EXPECT_EQ(nullptr, win->core.GetHover());
}

TEST_F(WindowCoreMessagesTest, SizeMoveTimerPaintsAndShadowSetupIsPostedAfterTheFirstPaint)
{
    Box* root = new Box();
    auto win = std::make_unique<TestWindow>();
    win->root = root;
    win->core.ParseWindowShadow(L"true");
    ASSERT_NE(nullptr, win->CreatePopup(120, 80));
    ShowWindow(win->GetHWND(), SW_SHOWNOACTIVATE);
    EXPECT_TRUE(PumpUntil([&] { return win->shadowSetupCount == 1; }));
    PumpFor(120);
    EXPECT_EQ(1, win->shadowSetupCount) << "one-shot";
    ShowWindow(win->GetHWND(), SW_HIDE);
    ShowWindow(win->GetHWND(), SW_SHOWNOACTIVATE);
    EXPECT_TRUE(PumpUntil([&] { return win->shadowSetupCount == 2; })) << "armed again after a re-show";

    // While moving or sizing, timer 3066 runs the tick: the frame happens
    // inside the message.
    SendMessageW(win->GetHWND(), WM_ENTERSIZEMOVE, 0, 0);
    win->core.MarkDirty(RECTF(0, 0, 10, 10));
    ASSERT_FALSE(win->core.GetDirtyRectsForTesting().empty());
    SendMessageW(win->GetHWND(), WM_TIMER, ui::kTimerSizeMove, 0);
    EXPECT_TRUE(win->core.GetDirtyRectsForTesting().empty());
    SendMessageW(win->GetHWND(), WM_EXITSIZEMOVE, 0, 0);
}

TEST_F(WindowCoreMessagesTest, TrackingLimitsAndStartSize)
{
    auto win = std::make_unique<TestWindow>();
    ASSERT_NE(nullptr, win->CreatePopup(100, 100));
    ui::WindowCore& core = win->core;
    core.SetTrackingLimits(150, 0, 600, 400);
    MINMAXINFO mmi{};
    mmi.ptMinTrackSize = POINT{1, 2};
    mmi.ptMaxTrackSize = POINT{3000, 3000};
    SendMessageW(win->GetHWND(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi));
    EXPECT_EQ(150, mmi.ptMinTrackSize.x);
    EXPECT_EQ(2, mmi.ptMinTrackSize.y) << "0 = no limit";
    EXPECT_EQ(600, mmi.ptMaxTrackSize.x);
    EXPECT_EQ(400, mmi.ptMaxTrackSize.y);

    // No root yet: the start size moves and sizes the window, centred.
    core.SetStartSize(300, 200);
    RECT r{};
    GetWindowRect(win->GetHWND(), &r);
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    EXPECT_EQ(300, r.right - r.left);
    EXPECT_EQ((sw - 300) / 2, r.left);
    EXPECT_EQ((sh - 200) / 2, r.top);
    core.SetStartSize(sw + 500, 100);
    GetWindowRect(win->GetHWND(), &r);
    EXPECT_EQ(sw - 10, r.right - r.left) << "clamped to the screen minus 10 pixels";

    // Monitor-relative sizes: 1.0 is the whole monitor, 1.5 an absolute size.
    core.SetMonitorRelativeSize(1.0f, 0.5f, false);
    SIZE s = core.ComputeMonitorRelativeSize();
    MONITORINFO mi{};
    mi.cbSize = sizeof(mi);
    GetMonitorInfoW(MonitorFromWindow(win->GetHWND(), MONITOR_DEFAULTTONEAREST), &mi);
    EXPECT_EQ(mi.rcMonitor.right - mi.rcMonitor.left, s.cx);
    EXPECT_EQ((mi.rcMonitor.bottom - mi.rcMonitor.top) / 2, s.cy);
    core.SetMonitorRelativeSize(1.5f, 300.0f, false);
    s = core.ComputeMonitorRelativeSize();
    EXPECT_EQ(1, s.cx);
    EXPECT_EQ(300, s.cy);

    RECT box{2, 3, 12, 13};
    core.SetSizeBox(box);
    RECT scaled = core.GetScaledSizeBox();
    EXPECT_EQ(2, scaled.left);
    EXPECT_EQ(12, scaled.right);
}

TEST_F(WindowCoreMessagesTest, DisplayChangeAppliesTheMonitorRelativeSizeAgain)
{
    struct Case {
        const char* name;
        float fx, fy;
        bool maximised;
        bool resized;
    };
    const Case cases[] = {
        {"fractions of the monitor", 0.5f, 0.4f, false, true},
        {"absolute sizes", 600.0f, 300.0f, false, true},
        {"fractions of a maximised window", 0.5f, 0.4f, true, true},
        {"absolute sizes of a maximised window", 600.0f, 300.0f, true, false},
        {"the whole monitor (not smaller than it)", 1.0f, 1.0f, false, false},
        {"no monitor-relative size", 0.0f, 0.0f, false, false},
    };
    for (const Case& c : cases) {
        auto win = Show(new Box(), 300, 200);
        HWND h = win->GetHWND();
        MONITORINFO mi{};
        mi.cbSize = sizeof(mi);
        ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(h, MONITOR_DEFAULTTONEAREST), &mi));
        const RECT mon = mi.rcMonitor;
        const int mw = mon.right - mon.left, mh = mon.bottom - mon.top;
        // The rule is stored; the window keeps the size it has, as after a
        // change of the display's resolution.
        if (c.fx != 0)
            win->core.SetMonitorRelativeSize(c.fx, c.fy, false);
        if (c.maximised)
            ShowWindow(h, SW_MAXIMIZE);
        RECT before{};
        GetWindowRect(h, &before);

        SendMessageW(h, WM_DISPLAYCHANGE, 32, MAKELPARAM(mw, mh));
        RECT after{};
        GetWindowRect(h, &after);
        if (!c.resized) {
            EXPECT_TRUE(EqualRect(&before, &after)) << c.name;
            continue;
        }
        const int w = c.fx <= 1 ? static_cast<int>(c.fx * mw) : static_cast<int>(c.fx);
        const int hgt = c.fy <= 1 ? static_cast<int>(c.fy * mh) : static_cast<int>(c.fy);
        EXPECT_EQ(w, after.right - after.left) << c.name;
        EXPECT_EQ(hgt, after.bottom - after.top) << c.name;
        EXPECT_EQ(mon.left + (mw - w) / 2, after.left) << c.name << ": centred";
        EXPECT_EQ(mon.top + (mh - hgt) / 2, after.top) << c.name;
        EXPECT_EQ(w, win->core.GetRoot()->GetWidth()) << c.name << ": laid out at the new size";
    }
}

TEST_F(WindowCoreMessagesTest, SetCursorGoesToControlsThatAskForIt)
{
    Box* root = new Box();
    Control* plain = new Control();
    plain->SetPadding(0, 0, 100, 0);
    root->AppendChild(plain);
    int rootEvents = 0, plainEvents = 0;
    root->SetEventHandler(ui::kEventSetCursor, [&](ui::InputEvent*) {
        ++rootEvents;
        return true;
    });
    plain->SetEventHandler(ui::kEventSetCursor, [&](ui::InputEvent*) {
        ++plainEvents;
        return true;
    });
    auto win = Show(root, 200, 200);
    HWND h = win->GetHWND();
    auto setCursorAt = [h](int x, int y) {
        SetCursorPos(x, y);
        return SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    };
    setCursorAt(50, 50);
    EXPECT_EQ(0, plainEvents) << "a plain control does not ask for set-cursor events";
    root->SetNeedsCursor(true);
    EXPECT_EQ(TRUE, setCursorAt(150, 50));
    EXPECT_EQ(1, rootEvents) << "a box with needcursor chooses the cursor";
    setCursorAt(50, 50);
    EXPECT_EQ(0, plainEvents);
    EXPECT_EQ(1, rootEvents);
    SetCursorPos(1000, 750);
}

} // namespace

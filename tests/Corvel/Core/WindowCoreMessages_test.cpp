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

TEST_F(WindowCoreMessagesTest, HoverSetsHoverAndShowsTheToolTip)
{
    Box* root = new Box();
    Control* c = new Control();
    c->SetToolTip(L"a tip");
    root->AppendChild(c);
    auto win = Show(root);
    HWND h = win->GetHWND();
    SendMessageW(h, WM_MOUSEMOVE, 0, MAKELPARAM(50, 50));
    ASSERT_TRUE(c->IsHot());
    SendMessageW(h, WM_MOUSEHOVER, 0, MAKELPARAM(50, 50));
    EXPECT_TRUE(c->IsHover());
    HWND tip = FindWindowW(TOOLTIPS_CLASSW, nullptr);
    EXPECT_NE(nullptr, tip) << "the tooltip window exists after the first hover";
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

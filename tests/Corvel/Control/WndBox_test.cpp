// The foreign-window box with plain Win32 windows made by the test: moved
// and sized with the box and the skinned window, shown and hidden with it,
// and given back when the box detaches.
#include "Corvel/Control/WndBox.h"
#include "Corvel/Control/support/SkinnedWindow.h"
#include "Corvel/Core/WindowCore.h"

#include <gtest/gtest.h>

namespace {

using controltest::OpenSkinnedWindow;
using controltest::SkinnedWindow;
using testsupport::PumpFor;
using testsupport::PumpUntil;
using ui::WndBox;
using ui::WndBoxHosting;

const wchar_t kForeignClass[] = L"CorvelForeignTestWindow";

// A plain window of the test's own class.
HWND CreateForeign(HWND parent, DWORD style, int x, int y, int w, int h)
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kForeignClass;
        return RegisterClassW(&wc) != 0;
    }();
    EXPECT_TRUE(registered);
    return CreateWindowExW(0, kForeignClass, L"foreign", style, x, y, w, h, parent, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

RECT ClientRectOf(HWND window, HWND relativeTo)
{
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, relativeTo, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The box at (20, 30), 160 x 100, inside a box that can be hidden.
const wchar_t kBoxSkin[] = LR"(<Window size="300,200">
  <Box bkcolor="#FFFFFFFF">
    <Box name="holder">
      <WndBox name="box" pos="20,30,160,100" detachonclose="true"/>
    </Box>
  </Box>
</Window>)";

constexpr int kWindowX = 100, kWindowY = 100;

class WndBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win = OpenSkinnedWindow(kBoxSkin, 300, 200, kWindowX, kWindowY);
        ASSERT_NE(nullptr, win);
        box = win->Find<WndBox>(L"box");
        holder = win->FindControl(L"holder");
        ASSERT_TRUE(box && holder);
    }
    void TearDown() override
    {
        win.reset();
        if (foreign && IsWindow(foreign))
            DestroyWindow(foreign);
    }

    testsupport::UiLibraryScope lib;
    std::unique_ptr<SkinnedWindow> win;
    WndBox* box = nullptr;
    ui::Control* holder = nullptr;
    HWND foreign = nullptr;
};

TEST_F(WndBoxTest, AChildForeignWindowCoversTheBoxAndFollowsIt)
{
    foreign = CreateForeign(win->GetHWND(), WS_CHILD, 250, 150, 50, 40);
    ASSERT_NE(nullptr, foreign);
    EXPECT_FALSE(box->TakeOver(nullptr, WndBoxHosting{}));
    ASSERT_TRUE(box->TakeOver(foreign, WndBoxHosting{}));
    EXPECT_FALSE(box->TakeOver(foreign, WndBoxHosting{})) << "one window at a time";
    EXPECT_EQ(win->GetHWND(), GetParent(foreign));
    EXPECT_TRUE(IsWindowVisible(foreign)) << "shown with its first placement";
    RECT r = ClientRectOf(foreign, win->GetHWND());
    EXPECT_EQ(20, r.left);
    EXPECT_EQ(30, r.top);
    EXPECT_EQ(180, r.right);
    EXPECT_EQ(130, r.bottom);

    box->SetBounds(ui::RECTF{40, 50, 100, 90});
    r = ClientRectOf(foreign, win->GetHWND());
    EXPECT_EQ(40, r.left);
    EXPECT_EQ(50, r.top);
    EXPECT_EQ(100, r.right);
    EXPECT_EQ(90, r.bottom);
}

TEST_F(WndBoxTest, ATopLevelForeignWindowFollowsTheSkinnedWindowOnScreen)
{
    foreign = CreateForeign(nullptr, WS_POPUP, 500, 400, 50, 40);
    WndBoxHosting hosting;
    hosting.makeChild = false;
    ASSERT_TRUE(box->TakeOver(foreign, hosting));
    RECT r{};
    GetWindowRect(foreign, &r);
    EXPECT_EQ(kWindowX + 20, r.left);
    EXPECT_EQ(kWindowY + 30, r.top);
    // Dragging the skinned window moves it along (the window-moved event).
    SetWindowPos(win->GetHWND(), nullptr, kWindowX + 60, kWindowY + 25, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(PumpUntil([this, &r] {
        GetWindowRect(foreign, &r);
        return r.left == kWindowX + 80;
    }));
    EXPECT_EQ(kWindowY + 55, r.top);
    EXPECT_EQ(160, r.right - r.left);
    EXPECT_EQ(100, r.bottom - r.top);
}

TEST_F(WndBoxTest, TheWindowShowsOnlyWhileTheBoxShows)
{
    foreign = CreateForeign(nullptr, WS_POPUP, 500, 400, 50, 40);
    ASSERT_TRUE(box->TakeOver(foreign, WndBoxHosting{}));
    struct Step {
        const char* name;
        bool boxVisible;
        bool holderVisible;
        bool windowShown;
    } const steps[] = {
        {"box hidden", false, true, false},
        {"box shown", true, true, true},
        {"container hidden", true, false, false},
        // The box's own flag says shown, but its container is hidden.
        {"box shown again inside the hidden container", true, false, false},
        {"container shown", true, true, true},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        holder->SetVisible(s.holderVisible);
        box->SetVisible(!s.boxVisible);
        box->SetVisible(s.boxVisible);
        EXPECT_EQ(s.windowShown, IsWindowVisible(foreign) != FALSE);
        EXPECT_EQ(s.windowShown, box->IsVisible());
    }
}

TEST_F(WndBoxTest, AHostWindowCentresAWindowThatKeepsItsSize)
{
    foreign = CreateForeign(nullptr, WS_POPUP, 500, 400, 60, 40);
    WndBoxHosting hosting;
    hosting.useHostWindow = true;
    hosting.fit = false;
    ASSERT_TRUE(box->TakeOver(foreign, hosting));
    HWND host = box->GetHostWindow();
    ASSERT_NE(nullptr, host);
    wchar_t name[32] = {};
    GetClassNameW(host, name, 32);
    EXPECT_STREQ(L"WndBoxBound", name);
    EXPECT_EQ(host, GetParent(foreign));
    EXPECT_EQ(host, box->GetPlacedWindow());
    // The host takes the window's size and is centred in the box (20, 30,
    // 160 x 100); the window fills the host.
    EXPECT_TRUE(PumpUntil([this] { return IsWindowVisible(foreign) != FALSE; }));
    const RECT r = ClientRectOf(foreign, win->GetHWND());
    EXPECT_EQ(20 + (160 - 60) / 2, r.left);
    EXPECT_EQ(30 + (100 - 40) / 2, r.top);
    EXPECT_EQ(60, r.right - r.left);
    EXPECT_EQ(40, r.bottom - r.top);

    // A box without width in no-fit mode leaves the window where it was.
    const RECT before = ClientRectOf(host, win->GetHWND());
    box->SetBounds(ui::RECTF{50, 50, 50, 120});
    EXPECT_FALSE(box->UpdatePlacement());
    const RECT after = ClientRectOf(host, win->GetHWND());
    EXPECT_EQ(before.left, after.left);
    EXPECT_EQ(before.top, after.top);
}

TEST_F(WndBoxTest, ClosingTheWindowGivesTheForeignWindowBack)
{
    struct Case {
        const char* name;
        RECT start;
        bool centred;
    } const cases[] = {
        {"back to its rectangle", {30, 40, 90, 80}, false},
        {"centred on the screen without a rectangle", {0, 0, 0, 0}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!win)
            SetUp();
        foreign = CreateForeign(nullptr, WS_POPUP, c.start.left, c.start.top, c.start.right - c.start.left,
                                c.start.bottom - c.start.top);
        ASSERT_TRUE(box->TakeOver(foreign, WndBoxHosting{}));
        EXPECT_EQ(win->GetHWND(), GetParent(foreign));
        SendMessageW(win->GetHWND(), WM_CLOSE, 0, 0);
        EXPECT_TRUE(PumpUntil([this] { return GetParent(foreign) == nullptr; }));
        EXPECT_TRUE(IsWindow(foreign)) << "the box never destroys it";
        EXPECT_TRUE(IsWindowVisible(foreign));
        RECT r{};
        GetWindowRect(foreign, &r);
        if (c.centred) {
            EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2, r.left);
            EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2, r.top);
        } else {
            EXPECT_EQ(c.start.left, r.left);
            EXPECT_EQ(c.start.top, r.top);
            EXPECT_EQ(c.start.right, r.right);
            EXPECT_EQ(c.start.bottom, r.bottom);
        }
        PumpUntil([this] { return !IsWindow(win->GetHWND()); }, 2000);
        win.reset();
        DestroyWindow(foreign);
        foreign = nullptr;
    }
}

} // namespace

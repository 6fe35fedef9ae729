// A skinned window under real mouse input (SendInput from a helper thread,
// the test thread dispatching): the caption drags the window, each sizing
// border and corner resizes it within the skin's minimum and maximum sizes,
// and the caption buttons minimise, maximise, restore and close it, swapping
// the maximise and restore buttons.
#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/support/SkinTestWindow.h"

namespace {

using testsupport::MouseDriver;
using testsupport::SkinTestWindow;

// The window's place and size at the start of every case.
constexpr int kLeft = 200, kTop = 150, kWidth = 300, kHeight = 200;
// The skin's "min" and "max" sizes.
constexpr int kMinWidth = 200, kMinHeight = 150, kMaxWidth = 500, kMaxHeight = 400;

// A 30-pixel caption with a plain title in it, 6-pixel sizing borders and
// the four caption buttons (the restore button hidden in the maximise
// button's place).
const wchar_t kSkin[] = LR"(<Window size="300,200" caption="0,0,0,30" sizebox="6,6,6,6" min="200,150" max="500,400">
  <Box bkcolor="#FFFFFFFF">
    <Control name="Title" pos="10,5,80,20" text="Title"/>
    <TestButton name="SysMinBtn" pos="180,0,30,30" bkcolor="#FF8090A0"/>
    <TestButton name="SysMaxBtn" pos="210,0,30,30" bkcolor="#FF80A090"/>
    <TestButton name="SysRestoreBtn" pos="210,0,30,30" bkcolor="#FFA08090" visible="false"/>
    <TestButton name="SysCloseBtn" pos="260,0,30,30" bkcolor="#FFC04040"/>
  </Box>
</Window>)";

class WindowBaseInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        win = testsupport::OpenSkinWindow(kSkin, kLeft, kTop, kWidth, kHeight, 0, SW_SHOW);
        ASSERT_NE(nullptr, win);
    }
    void TearDown() override
    {
        mouse.Join();
        if (win && IsWindow(win->GetHWND()))
            DestroyWindow(win->GetHWND());
        testsupport::PumpFor(50);
    }

    RECT WindowRect() const
    {
        RECT r{};
        GetWindowRect(win->GetHWND(), &r);
        return r;
    }
    // A client point in screen coordinates.
    POINT Screen(int x, int y) const
    {
        POINT p{x, y};
        ClientToScreen(win->GetHWND(), &p);
        return p;
    }
    // Pumps until the helper thread sent everything and `done` holds, both
    // within the bounded wait.
    bool PumpUntilDriven(const std::function<bool()>& done = nullptr)
    {
        return testsupport::PumpUntil([&] { return mouse.Done() && (!done || done()); });
    }

    testsupport::UiLibraryScope lib;
    std::unique_ptr<SkinTestWindow> win;
    MouseDriver mouse;
};

TEST_F(WindowBaseInputTest, DraggingTheCaptionMovesTheWindow)
{
    const POINT from = Screen(50, 15);
    ASSERT_EQ(HTCAPTION, win->HitTestForTesting(50, 15));
    const POINT to{from.x + 120, from.y + 80};
    mouse.Drag(from, to);
    ASSERT_TRUE(PumpUntilDriven([&] { return WindowRect().left != kLeft; }));
    testsupport::PumpFor(100);  // the move loop ends on the release
    const RECT r = WindowRect();
    EXPECT_NEAR(kLeft + 120, r.left, 1);
    EXPECT_NEAR(kTop + 80, r.top, 1);
    EXPECT_EQ(kWidth, r.right - r.left) << "moving keeps the size";
    EXPECT_EQ(kHeight, r.bottom - r.top);
}

TEST_F(WindowBaseInputTest, DraggingAPlainButtonDoesNotMoveTheWindow)
{
    // The close button is an interactive control in the caption: a press on
    // it is the button's, not the caption's.
    ASSERT_EQ(HTCLIENT, win->HitTestForTesting(270, 15));
    mouse.Drag(Screen(270, 15), Screen(270 + 80, 15 + 60));
    ASSERT_TRUE(PumpUntilDriven());
    testsupport::PumpFor(100);
    EXPECT_EQ(kLeft, WindowRect().left);
    EXPECT_EQ(kTop, WindowRect().top);
    EXPECT_TRUE(IsWindow(win->GetHWND())) << "released outside the button: no click";
}

// Each border and corner, dragged by (dx, dy); the window's edges move by
// the expected amounts, the size kept within the skin's limits.
struct BorderCase {
    const char* what;
    int x, y;            // client point pressed
    LRESULT code;        // its hit-test code
    int dx, dy;          // drag
    RECT edges;          // expected change of left, top, right, bottom
};

const BorderCase kBorders[] = {
    {"right", 297, 100, HTRIGHT, 50, 0, {0, 0, 50, 0}},
    {"right up to the maximum width", 297, 100, HTRIGHT, 300, 0, {0, 0, kMaxWidth - kWidth, 0}},
    {"left", 2, 100, HTLEFT, -40, 0, {-40, 0, 0, 0}},
    {"left down to the minimum width", 2, 100, HTLEFT, 150, 0, {kWidth - kMinWidth, 0, 0, 0}},
    {"bottom", 150, 197, HTBOTTOM, 0, 60, {0, 0, 0, 60}},
    {"bottom up to the minimum height", 150, 197, HTBOTTOM, 0, -100, {0, 0, 0, kMinHeight - kHeight}},
    {"top", 150, 2, HTTOP, 0, -30, {0, -30, 0, 0}},
    {"top down to the minimum height", 150, 2, HTTOP, 0, 120, {0, kHeight - kMinHeight, 0, 0}},
    {"bottom down to the maximum height", 150, 197, HTBOTTOM, 0, 300, {0, 0, 0, kMaxHeight - kHeight}},
    {"bottom-right corner", 297, 197, HTBOTTOMRIGHT, 40, 30, {0, 0, 40, 30}},
    {"top-left corner", 2, 2, HTTOPLEFT, -20, -25, {-20, -25, 0, 0}},
    {"top-right corner, both limits", 297, 2, HTTOPRIGHT, 250, 100, {0, kHeight - kMinHeight, kMaxWidth - kWidth, 0}},
    {"bottom-left corner, both limits", 2, 197, HTBOTTOMLEFT, 200, 250,
     {kWidth - kMinWidth, 0, 0, kMaxHeight - kHeight}},
};

void PrintTo(const BorderCase& c, std::ostream* out) { *out << c.what; }

class WindowBaseBorderTest : public WindowBaseInputTest, public ::testing::WithParamInterface<BorderCase> {};

TEST_P(WindowBaseBorderTest, DraggingABorderResizesWithinTheLimits)
{
    const BorderCase& c = GetParam();
    ASSERT_EQ(c.code, win->HitTestForTesting(c.x, c.y));
    const POINT from = Screen(c.x, c.y);
    mouse.Drag(from, POINT{from.x + c.dx, from.y + c.dy});
    const RECT before = WindowRect();
    ASSERT_TRUE(PumpUntilDriven([&] {
        const RECT now = WindowRect();
        return !EqualRect(&before, &now);
    }));
    testsupport::PumpFor(100);
    const RECT r = WindowRect();
    EXPECT_NEAR(kLeft + c.edges.left, r.left, 1);
    EXPECT_NEAR(kTop + c.edges.top, r.top, 1);
    EXPECT_NEAR(kLeft + kWidth + c.edges.right, r.right, 1);
    EXPECT_NEAR(kTop + kHeight + c.edges.bottom, r.bottom, 1);
    EXPECT_GE(r.right - r.left, kMinWidth);
    EXPECT_LE(r.right - r.left, kMaxWidth);
    EXPECT_GE(r.bottom - r.top, kMinHeight);
    EXPECT_LE(r.bottom - r.top, kMaxHeight);

    // The tree follows the new size.
    ASSERT_TRUE(testsupport::PumpUntil([&] { return testsupport::IsSkinPainted(*win); }));
    const ui::RECTF root = win->Core().GetRoot()->GetBounds();
    EXPECT_EQ(static_cast<float>(r.right - r.left), root.right - root.left);
    EXPECT_EQ(static_cast<float>(r.bottom - r.top), root.bottom - root.top);
}

INSTANTIATE_TEST_SUITE_P(Borders, WindowBaseBorderTest, ::testing::ValuesIn(kBorders));

TEST_F(WindowBaseInputTest, CaptionButtonsMaximiseRestoreMinimiseAndClose)
{
    HWND hwnd = win->GetHWND();
    ui::Control* maxButton = win->MaxButton();
    ui::Control* restoreButton = win->RestoreButton();
    ASSERT_NE(nullptr, maxButton);
    ASSERT_NE(nullptr, restoreButton);
    ASSERT_NE(nullptr, win->MinButton());
    ASSERT_NE(nullptr, win->CloseButton());

    // Maximise: the press lands on the maximise button's hit-test code.
    ASSERT_EQ(HTMAXBUTTON, win->HitTestForTesting(225, 15));
    mouse.Click(Screen(225, 15));
    ASSERT_TRUE(PumpUntilDriven([&] { return IsZoomed(hwnd) != FALSE; })) << "the maximise button maximises";
    RECT maximised{}, client{};
    GetWindowRect(hwnd, &maximised);
    GetClientRect(hwnd, &client);
    EXPECT_GT(maximised.right - maximised.left, kWidth);
    EXPECT_EQ(maximised.right - maximised.left, client.right) << "the whole maximised window is client area";
    EXPECT_EQ(maximised.bottom - maximised.top, client.bottom);
    EXPECT_FALSE(maxButton->IsVisible());
    EXPECT_TRUE(restoreButton->IsVisible());
    ASSERT_TRUE(testsupport::PumpUntil([&] { return testsupport::IsSkinPainted(*win); }));

    // Restore, from the restore button now shown in the same place.
    ASSERT_EQ(HTMAXBUTTON, win->HitTestForTesting(225, 15));
    mouse.Click(Screen(225, 15));
    ASSERT_TRUE(PumpUntilDriven([&] { return !IsZoomed(hwnd); })) << "the restore button restores";
    EXPECT_TRUE(maxButton->IsVisible());
    EXPECT_FALSE(restoreButton->IsVisible());
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(kLeft, r.left);
    EXPECT_EQ(kWidth, r.right - r.left) << "restored to the size before";
    ASSERT_TRUE(testsupport::PumpUntil([&] { return testsupport::IsSkinPainted(*win); }));

    // Minimise.
    mouse.Click(Screen(195, 15));
    ASSERT_TRUE(PumpUntilDriven([&] { return IsIconic(hwnd) != FALSE; })) << "the minimise button minimises";
    EXPECT_TRUE(maxButton->IsVisible()) << "minimising is not maximising";
    ShowWindow(hwnd, SW_RESTORE);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !IsIconic(hwnd) && testsupport::IsSkinPainted(*win); }));

    // Close, with the close button's code.
    mouse.Click(Screen(275, 15));
    ASSERT_TRUE(PumpUntilDriven([&] { return !IsWindow(hwnd); })) << "the close button closes";
    EXPECT_EQ(IWindowBase::kCloseByUser, win->GetCloseCode());
}

} // namespace

// The drop shadow of a skinned window (the skin's "shadow" setting; Wine
// reports composition off, so the layered shadow window is used): made after
// the first paint, kept behind the window as it is moved, resized, dragged
// by its caption (SendInput from a helper thread) and moved to another DPI,
// hidden while the window is hidden.
#include <windows.h>

#include <gtest/gtest.h>

#include "Corvel/Core/support/SkinTestWindow.h"
#include "Corvel/Render/WndShadow.h"

namespace {

using testsupport::MouseDriver;

// shadow="true": size 10, offset 3,3.
const wchar_t kSkin[] = LR"(<Window size="300,200" caption="0,0,0,30" shadow="true">
  <Box bkcolor="#FFFFFFFF"><Control name="Title" pos="10,5,80,20"/></Box>
</Window>)";
constexpr int kLeft = 200, kTop = 150, kWidth = 300, kHeight = 200;

class WindowBaseShadowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetCursorPos(1000, 750);
        win = testsupport::OpenSkinWindow(kSkin, kLeft, kTop, kWidth, kHeight, 96, SW_SHOW);
        ASSERT_NE(nullptr, win);
        ASSERT_TRUE(testsupport::PumpUntil([&] { return ShadowWindow() && IsWindowVisible(ShadowWindow()); }))
            << "no shadow after the first paint";
    }
    void TearDown() override
    {
        mouse.Join();
        if (win && IsWindow(win->GetHWND()))
            DestroyWindow(win->GetHWND());
    }

    HWND ShadowWindow() const { return win->Shadow() ? win->Shadow()->GetHandle() : nullptr; }

    // Where the shadow belongs: the window's rectangle grown by the shadow's
    // size and moved by its offset.
    RECT ExpectedShadow() const
    {
        RECT r{};
        GetWindowRect(win->GetHWND(), &r);
        const CWndShadow& s = *win->Shadow();
        return RECT{r.left + s.ScaledX() - s.ScaledSize(), r.top + s.ScaledY() - s.ScaledSize(),
                    r.right + s.ScaledX() + s.ScaledSize(), r.bottom + s.ScaledY() + s.ScaledSize()};
    }
    bool ShadowInPlace() const
    {
        RECT actual{}, expected = ExpectedShadow();
        GetWindowRect(ShadowWindow(), &actual);
        return EqualRect(&actual, &expected) != FALSE;
    }
    void ExpectShadowInPlace(const char* what)
    {
        EXPECT_TRUE(testsupport::PumpUntil([&] { return ShadowInPlace(); })) << what;
        RECT actual{}, expected = ExpectedShadow();
        GetWindowRect(ShadowWindow(), &actual);
        EXPECT_EQ(expected.left, actual.left) << what;
        EXPECT_EQ(expected.top, actual.top) << what;
        EXPECT_EQ(expected.right, actual.right) << what;
        EXPECT_EQ(expected.bottom, actual.bottom) << what;
        EXPECT_TRUE(IsWindowVisible(ShadowWindow())) << what;
    }

    testsupport::UiLibraryScope lib;
    std::unique_ptr<testsupport::SkinTestWindow> win;
    MouseDriver mouse;
};

TEST_F(WindowBaseShadowTest, TheShadowFollowsTheWindow)
{
    ASSERT_EQ(10, win->Shadow()->ScaledSize());
    ASSERT_EQ(3, win->Shadow()->ScaledX());
    ExpectShadowInPlace("after the first paint");
    EXPECT_EQ(win->GetHWND(), GetWindow(ShadowWindow(), GW_OWNER)) << "owned by the window";

    HWND hwnd = win->GetHWND();
    SetWindowPos(hwnd, nullptr, 420, 260, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ExpectShadowInPlace("moved");

    SetWindowPos(hwnd, nullptr, 0, 0, 380, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ExpectShadowInPlace("grown");
    SetWindowPos(hwnd, nullptr, 300, 200, 250, 170, SWP_NOZORDER | SWP_NOACTIVATE);
    ExpectShadowInPlace("moved and shrunk");

    ShowWindow(hwnd, SW_HIDE);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return !IsWindowVisible(ShadowWindow()); })) << "hidden with the window";
    ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ExpectShadowInPlace("shown again");
}

TEST_F(WindowBaseShadowTest, TheShadowFollowsACaptionDrag)
{
    POINT from{50, 15};
    ClientToScreen(win->GetHWND(), &from);
    mouse.Drag(from, POINT{from.x + 150, from.y + 90});
    RECT before{};
    GetWindowRect(win->GetHWND(), &before);
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        RECT now{};
        GetWindowRect(win->GetHWND(), &now);
        return mouse.Done() && !EqualRect(&before, &now);
    }));
    testsupport::PumpFor(100);
    RECT r{};
    GetWindowRect(win->GetHWND(), &r);
    EXPECT_NEAR(kLeft + 150, r.left, 1);
    ExpectShadowInPlace("after the drag");
}

TEST_F(WindowBaseShadowTest, TheShadowTakesANewDpi)
{
    HWND hwnd = win->GetHWND();
    RECT suggested{kLeft, kTop, kLeft + kWidth * 3 / 2, kTop + kHeight * 3 / 2};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return testsupport::IsSkinPainted(*win); }));
    EXPECT_EQ(1.5f, win->Shadow()->Scale());
    EXPECT_EQ(15, win->Shadow()->ScaledSize());
    ExpectShadowInPlace("at 144 DPI");
}

} // namespace

// The tip control in a skinned window: its pop-up shows on hover (after the
// system's hover delay), on entering or on a click as "showon" asks, is
// centred on the middle of the tip's top edge, carries the text into its
// "tip" control and hides when the pointer leaves.
#include "Corvel/Control/Tip.h"
#include "Corvel/Control/support/SkinnedWindow.h"
#include "Corvel/Core/WindowCore.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using controltest::OpenSkinnedWindow;
using controltest::SkinnedWindow;
using testsupport::PumpFor;
using testsupport::PumpUntil;
using ui::Tip;

constexpr int kWindowX = 100, kWindowY = 100;

// The pop-up's skin: 80 x 30 with the text control (given to the tips by
// code: markup text as an attribute value would need escaping).
const wchar_t kPopupSkin[] =
    LR"(<Window size="80,30"><Box bkcolor="#FFFFFFE0"><Control name="tip"/></Box></Window>)";

// Three tips of 60 x 30 at (20, 20), (100, 20) and (180, 20), and a plain
// control below them.
std::wstring TipSkin()
{
    std::wstring skin = LR"(<Window size="300,200"><Box bkcolor="#FFFFFFFF">)";
    skin += LR"(<Tip name="hover" pos="20,20,60,30" tip="你好 hover" offset="10,4"/>)";
    skin += LR"(<Tip name="enter" pos="100,20,60,30" showon="enter" tip="on enter"/>)";
    skin += LR"(<Tip name="click" pos="180,20,60,30" showon="click" tip="on click"/>)";
    skin += LR"(<Control name="plain" pos="20,120,200,40"/></Box></Window>)";
    return skin;
}

class TipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetCursorPos(5, 5);
        skin = TipSkin();
        win = OpenSkinnedWindow(skin.c_str(), 300, 200, kWindowX, kWindowY);
        ASSERT_NE(nullptr, win);
        for (const wchar_t* name : {L"hover", L"enter", L"click"}) {
            Tip* tip = win->Find<Tip>(name);
            ASSERT_NE(nullptr, tip);
            tip->SetAttribute(L"xml", kPopupSkin);
        }
    }
    void TearDown() override
    {
        SetCursorPos(5, 5);
        win.reset();
    }

    // Puts the real pointer at a client point and tells the window, as a
    // move of the mouse would.
    void PointAt(int x, int y)
    {
        POINT p{x, y};
        ClientToScreen(win->GetHWND(), &p);
        SetCursorPos(p.x, p.y);
        SendMessageW(win->GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    }
    static bool IsShown(Tip* tip) { return tip->GetPopup() && IsWindowVisible(tip->GetPopup()->GetHWND()); }

    testsupport::UiLibraryScope lib;
    std::wstring skin;
    std::unique_ptr<SkinnedWindow> win;
};

TEST_F(TipTest, AttributesChooseTheModeTextAndOffset)
{
    struct Case {
        const wchar_t* showon;
        ui::TipShowMode mode;
    } const cases[] = {
        {L"enter", ui::TipShowMode::kOnEnter},
        {L"click", ui::TipShowMode::kOnClick},
        {L"hover", ui::TipShowMode::kOnHover},
        {L"Enter", ui::TipShowMode::kOnHover},  // exact names only
        {L"", ui::TipShowMode::kOnHover},
    };
    for (const Case& c : cases) {
        Tip tip;
        tip.SetAttribute(L"showon", c.showon);
        EXPECT_EQ(c.mode, tip.GetShowMode()) << c.showon;
    }
    Tip plain;
    EXPECT_EQ(ui::TipShowMode::kOnHover, plain.GetShowMode()) << "without showon";
    EXPECT_TRUE(plain.CastTo(L"Tip"));
    EXPECT_TRUE(plain.CastTo(L"Control"));
    EXPECT_FALSE(plain.CastTo(L"Box"));
}

TEST_F(TipTest, HoverShowsThePopupAfterTheDelayCentredOnTheTopEdge)
{
    Tip* tip = win->Find<Tip>(L"hover");
    ASSERT_NE(nullptr, tip);
    PointAt(50, 35);
    EXPECT_FALSE(IsShown(tip)) << "entering alone does not show it";
    ASSERT_TRUE(PumpUntil([tip] { return IsShown(tip); })) << "the pointer rests: hover";
    HWND popup = tip->GetPopup()->GetHWND();
    EXPECT_EQ(win->GetHWND(), GetWindow(popup, GW_OWNER));
    // Once its tree is laid out the pop-up takes the text and drops every
    // extended style.
    ASSERT_TRUE(PumpUntil([tip] { return tip->GetPopup()->TipControl() != nullptr; }));
    // (WS_EX_TOPMOST is not a style bit that SetWindowLongPtr can clear.)
    EXPECT_EQ(0, GetWindowLongPtrW(popup, GWL_EXSTYLE) & ~static_cast<LONG_PTR>(WS_EX_TOPMOST));
    EXPECT_STREQ(L"你好 hover", tip->GetPopup()->TipControl()->GetText().GetData());
    // Anchor: the middle of the top edge (50, 20) moved by the offset (10, 4).
    RECT r{};
    GetWindowRect(popup, &r);
    EXPECT_EQ(kWindowX + 60, (r.left + r.right) / 2);
    EXPECT_EQ(kWindowY + 24, (r.top + r.bottom) / 2);
    EXPECT_NE(popup, GetForegroundWindow()) << "never activated";
}

TEST_F(TipTest, LeavingHidesThePopup)
{
    struct Case {
        const char* name;
        POINT leaveTo;  // client point; outside the window when off it
    } const cases[] = {
        {"to another control", {100, 140}},
        {"out of the window", {-150, -150}},
    };
    Tip* tip = win->Find<Tip>(L"enter");
    ASSERT_NE(nullptr, tip);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PointAt(130, 35);
        ASSERT_TRUE(PumpUntil([tip] { return IsShown(tip); }));
        PointAt(c.leaveTo.x, c.leaveTo.y);
        EXPECT_TRUE(PumpUntil([tip] { return !IsShown(tip); }));
        PointAt(100, 140);
        PumpFor(50);
    }
}

TEST_F(TipTest, ClickModeShowsOnTheReleaseOnly)
{
    Tip* tip = win->Find<Tip>(L"click");
    ASSERT_NE(nullptr, tip);
    PointAt(210, 35);
    PumpFor(800);  // longer than the hover delay: still nothing
    EXPECT_FALSE(IsShown(tip));
    SendMessageW(win->GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(210, 35));
    EXPECT_FALSE(IsShown(tip));
    SendMessageW(win->GetHWND(), WM_LBUTTONUP, 0, MAKELPARAM(210, 35));
    EXPECT_TRUE(PumpUntil([tip] { return IsShown(tip); }));
}

} // namespace

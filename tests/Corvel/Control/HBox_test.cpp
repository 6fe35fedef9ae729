// Horizontal boxes in real windows built from skin markup: the flow of
// fixed, stretch, padded, hidden and floating children at 96 and 144 DPI,
// cross-axis alignment, measuring by children, and the separator dragged
// with the mouse.
#include "Corvel/Control/HBox.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Corvel/Control/support/ContentRecorder.h"
#include "Corvel/Control/support/MarkupWindow.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"

namespace {

using testsupport::MouseDown;
using testsupport::MouseMove;
using testsupport::MouseUp;
using testsupport::Named;
using testsupport::Settle;
using testsupport::ShowMarkupWindow;
using testsupport::TestWindow;
using ui::HBox;
using ui::RECTF;

struct Expected {
    const wchar_t* name;
    RECTF at96;
    // Empty: the 96-DPI rectangle times the scale.
    RECTF at144;
};

struct LayoutCase {
    const char* what;
    const wchar_t* rootAttributes;
    const wchar_t* children; // inside the root HBox
    std::vector<Expected> rects;
};

const LayoutCase kCases[] = {
    {"fixed children keep their width, the stretch child takes the rest", L"",
     LR"(<Control name="a" width="20"/><Control name="b"/><Control name="c" width="30"/>)",
     {{L"a", {0, 0, 20, 100}, {}}, {L"b", {20, 0, 170, 100}, {}}, {L"c", {170, 0, 200, 100}, {}}}},
    {"three stretch children share the width, the last takes the rounding", L"",
     LR"(<Control name="a"/><Control name="b"/><Control name="c"/>)",
     {{L"a", {0, 0, 66, 100}, {0, 0, 100, 150}},
      {L"b", {66, 0, 132, 100}, {100, 0, 200, 150}},
      {L"c", {132, 0, 200, 100}, {200, 0, 300, 150}}}},
    {"a minimum width holds a share and the last stretch child gives way", L"",
     LR"(<Control name="a" minwidth="150"/><Control name="b"/>)",
     {{L"a", {0, 0, 150, 100}, {}}, {L"b", {150, 0, 200, 100}, {}}}},
    {"the gap goes between children, paddings shift and shrink them", L"childpadding=\"10\"",
     LR"(<Control name="a" width="20" padding="4,5,6,5"/><Control name="b"/>)",
     {{L"a", {4, 5, 24, 95}, {}}, {L"b", {40, 0, 200, 100}, {}}}},
    {"hidden children take no space, a floating one is placed by its position", L"childpadding=\"10\"",
     LR"(<Control name="a" width="20"/><Control width="50" visible="false"/>
         <Control name="f" float="true" pos="30,10,40,20"/><Control name="b" width="20" maxheight="40"/>)",
     {{L"a", {0, 0, 20, 100}, {}}, {L"f", {30, 10, 70, 30}, {}}, {L"b", {30, 0, 50, 40}, {}}}},
    {"top alignment follows the top padding (\"up\")", L"",
     LR"(<HBox inset="0,50,0,0" itemalign="up"><Control name="a" width="20" height="20" padding="0,4,0,0"/></HBox>)",
     {{L"a", {0, 54, 20, 74}, {}}}},
    {"centre alignment centres in the inner height", L"",
     LR"(<HBox inset="0,50,0,0" itemalign="center"><Control name="a" width="20" height="20"/></HBox>)",
     {{L"a", {0, 65, 20, 85}, {}}}},
    {"bottom alignment written in capitals ignores the padding", L"",
     LR"(<HBox inset="0,50,0,0" itemalign="BOTTOM"><Control name="a" width="20" height="20" padding="0,3,0,3"/></HBox>)",
     {{L"a", {0, 80, 20, 100}, {}}}},
    {"a child-width box measures widths, paddings, gaps and inset", L"",
     LR"(<HBox name="inner" width="child" height="child" inset="2,1,3,1" childpadding="5">
            <Control width="20" height="10"/><Control width="30" height="40" maxheight="30" padding="1,0,1,0"/>
         </HBox><Control name="rest"/>)",
     // 20 + 30 + 2 (padding) + 5 (gap) + 5 (inset) wide; 30 + 2 high
     {{L"inner", {0, 0, 62, 32}, {0, 0, 93, 48}}, {L"rest", {62, 0, 200, 100}, {93, 0, 300, 150}}}},
};

class HBoxLayoutTest : public ::testing::TestWithParam<int> {
protected:
    testsupport::UiLibraryScope lib;
};

TEST_P(HBoxLayoutTest, ChildrenAlongTheWidth)
{
    const int dpi = GetParam();
    const float s = dpi / 96.0f;
    for (const LayoutCase& c : kCases) {
        SCOPED_TRACE(c.what);
        const std::wstring markup = std::wstring(L"<Window><HBox name=\"root\" ") + c.rootAttributes + L">" +
                                    c.children + L"</HBox></Window>";
        auto win = ShowMarkupWindow(markup.c_str(), dpi, 200, 100);
        for (const Expected& e : c.rects) {
            ui::Control* control = Named(*win, e.name);
            if (!control)
                continue;
            const RECTF want = (dpi == 144 && !(e.at144 == RECTF{}))
                                   ? e.at144
                                   : RECTF{e.at96.left * s, e.at96.top * s, e.at96.right * s, e.at96.bottom * s};
            EXPECT_EQ(want, control->GetBounds()) << std::string(e.name, e.name + wcslen(e.name)) << " at dpi " << dpi;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, HBoxLayoutTest, ::testing::Values(96, 144));

// --- separator drag ----------------------------------------------------

class HBoxSeparatorTest : public ::testing::Test {
protected:
    void Open(const wchar_t* boxAttributes, int dpi = 96)
    {
        const std::wstring markup = std::wstring(LR"(<Window><HBox name="root"><HBox name="box" width="100" )") +
                                    boxAttributes +
                                    LR"(><Control width="50"/></HBox><Control name="rest"/></HBox></Window>)";
        win = ShowMarkupWindow(markup.c_str(), dpi, 200, 200);
        box = static_cast<HBox*>(Named(*win, L"box"));
        rest = Named(*win, L"rest");
        ASSERT_TRUE(box && rest);
    }
    testsupport::UiLibraryScope lib;
    std::unique_ptr<TestWindow> win;
    HBox* box = nullptr;
    ui::Control* rest = nullptr;
};

TEST_F(HBoxSeparatorTest, ImmediateDragFollowsThePointerWithinTheLimits)
{
    Open(LR"(sepwidth="6" sepimm="true" minwidth="50" maxwidth="140")");
    struct Step {
        const char* what;
        int x;
        float width;
    } steps[] = {
        {"outward inside the strip's band counts", 99, 102},
        {"inward at or inside the edge", 90, 93},
        {"outward again from inside the band", 95, 98},
        {"past the maximum the edge stops at the maximum", 300, 140},
        {"back but outside the tracked edge: nothing", 190, 140},
        {"at the tracked edge it shrinks again", 140, 90},
        {"past the minimum the edge stops at the minimum", 0, 50},
    };
    MouseDown(*win, 97, 100);
    ASSERT_TRUE(box->IsDragging());
    for (const Step& step : steps) {
        MouseMove(*win, step.x, 100);
        ASSERT_TRUE(Settle(*win));
        EXPECT_EQ(step.width, box->GetBounds().Width()) << step.what;
        EXPECT_EQ(step.width, rest->GetBounds().left) << step.what << ": the parent lays out at every step";
    }
    MouseUp(*win, 0, 100);
    EXPECT_FALSE(box->IsDragging());
    EXPECT_EQ(50, box->GetRawFixedWidth());
}

TEST_F(HBoxSeparatorTest, TheStripKeepsItsSkinWidthAtHigherDpi)
{
    Open(LR"(sepwidth="6")", 144);
    ASSERT_EQ(150, box->GetBounds().Width());
    MouseDown(*win, 140, 100);
    EXPECT_FALSE(box->IsDragging()) << "a scaled strip would reach x 141";
    MouseUp(*win, 140, 100);
    MouseDown(*win, 144, 100);
    ASSERT_TRUE(box->IsDragging());
    MouseMove(*win, 174, 100);
    MouseUp(*win, 174, 100);
    ASSERT_TRUE(Settle(*win));
    EXPECT_EQ(180, box->GetBounds().Width()) << "applied on release";
    EXPECT_EQ(180, rest->GetBounds().left);
    EXPECT_EQ(120, box->GetRawFixedWidth()) << "stored unscaled";
}

TEST_F(HBoxSeparatorTest, LosingTheCaptureEndsTheDragAndTheStripShowsTheSizingCursor)
{
    Open(LR"(sepwidth="6")");
    MouseDown(*win, 97, 100);
    MouseMove(*win, 120, 100);
    ASSERT_TRUE(box->IsDragging());
    ReleaseCapture();
    EXPECT_FALSE(box->IsDragging());
    ASSERT_TRUE(Settle(*win));
    EXPECT_EQ(123, box->GetBounds().Width()) << "the box keeps the width tracked so far";
    MouseMove(*win, 180, 100);
    MouseUp(*win, 180, 100);
    ASSERT_TRUE(Settle(*win));
    EXPECT_EQ(123, box->GetBounds().Width());

    const HCURSOR sizing = LoadCursorW(nullptr, IDC_SIZEWE);
    struct Probe {
        int x;
        bool sizing;
    } probes[] = {{120, true}, {116, false}, {130, false}};
    for (const Probe& p : probes) {
        POINT screen{p.x, 100};
        ClientToScreen(win->GetHWND(), &screen);
        SetCursorPos(screen.x, screen.y);
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        SendMessageW(win->GetHWND(), WM_SETCURSOR, reinterpret_cast<WPARAM>(win->GetHWND()),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(p.sizing, GetCursor() == sizing) << "x " << p.x;
    }
}

} // namespace

namespace {

TEST(HBoxContentSize, NeededSizeGoesToTheScrollBars)
{
    struct Case {
        const char* what;
        const wchar_t* boxAttributes;
        std::vector<const wchar_t*> children;
        int neededWidth, neededHeight;
    } cases[] = {
        {"a last stretch child keeps its minimum and the content overflows", L"",
         {L"width=\"80\"", L"minwidth=\"150\""}, 230, 100},
        {"gaps only between laid-out children", L"childpadding=\"10\"",
         {L"width=\"20\" height=\"30\"", L"width=\"50\" visible=\"false\"", L"width=\"20\" height=\"10\" padding=\"0,2,0,3\""},
         50, 30},
        {"children all hidden need nothing", L"", {L"width=\"20\" visible=\"false\""}, 0, 0},
    };
    testsupport::UiLibraryScope lib;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::ContentRecorder<HBox> box;
        box.ApplyAttributeText(c.boxAttributes);
        for (const wchar_t* attributes : c.children)
            ASSERT_TRUE(box.AppendChild(testsupport::MakeChild(attributes)));
        box.SetBounds(0, 0, 200, 100);
        ASSERT_EQ(1u, box.calls.size());
        EXPECT_EQ(RECTF(0, 0, 200, 100), box.calls[0].rect);
        EXPECT_EQ(c.neededWidth, box.calls[0].neededWidth);
        EXPECT_EQ(c.neededHeight, box.calls[0].neededHeight);
    }
}

} // namespace

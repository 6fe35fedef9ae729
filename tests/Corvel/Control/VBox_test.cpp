// Vertical boxes in real windows built from skin markup: the flow of fixed,
// stretch, clamped, padded, hidden and floating children at 96 and 144 DPI,
// measuring by children, and the separator dragged with the mouse.
#include "Corvel/Control/VBox.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Corvel/Control/support/ContentRecorder.h"
#include "Corvel/Control/support/MarkupWindow.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "support/Pixels.h"

namespace {

using testsupport::MouseDown;
using testsupport::MouseMove;
using testsupport::MouseUp;
using testsupport::Named;
using testsupport::Settle;
using testsupport::ShowMarkupWindow;
using testsupport::TestWindow;
using ui::RECTF;
using ui::VBox;

// Window of the layout cases, in 96-DPI pixels.
constexpr int kWidth = 200;
constexpr int kHeight = 100;

struct Expected {
    const wchar_t* name;
    RECTF at96;
    // Empty: the 96-DPI rectangle times the scale.
    RECTF at144;
};

struct LayoutCase {
    const char* what;
    const wchar_t* children; // inside the root VBox
    std::vector<Expected> rects;
};

RECTF Scaled(const RECTF& r, float s) { return RECTF{r.left * s, r.top * s, r.right * s, r.bottom * s}; }

std::wstring RootedIn(const wchar_t* rootAttributes, const wchar_t* children)
{
    return std::wstring(L"<Window><VBox name=\"root\" ") + rootAttributes + L">" + children + L"</VBox></Window>";
}

const LayoutCase kLayoutCases[] = {
    {"fixed children keep their height, the stretch child takes the rest",
     LR"(<Control name="a" height="20"/><Control name="b"/><Control name="c" height="30"/>)",
     {{L"a", {0, 0, 200, 20}, {}}, {L"b", {0, 20, 200, 70}, {}}, {L"c", {0, 70, 200, 100}, {}}}},
    {"three stretch children share the height, the last takes the rounding",
     LR"(<Control name="a"/><Control name="b"/><Control name="c"/>)",
     {{L"a", {0, 0, 200, 33}, {0, 0, 300, 50}},
      {L"b", {0, 33, 200, 66}, {0, 50, 300, 100}},
      {L"c", {0, 66, 200, 100}, {0, 100, 300, 150}}}},
    {"a maximum cuts a share and the last stretch child takes the difference",
     LR"(<Control name="a" maxheight="20"/><Control name="b"/>)",
     {{L"a", {0, 0, 200, 20}, {}}, {L"b", {0, 20, 200, 100}, {}}}},
    {"a last stretch child keeps its minimum and the content overflows",
     LR"(<Control name="a" height="80"/><Control name="b" minheight="40"/>)",
     {{L"a", {0, 0, 200, 80}, {}}, {L"b", {0, 80, 200, 120}, {}}}},
    {"fixed children past the height leave nothing to a stretch child",
     LR"(<Control name="a" height="60"/><Control name="b" height="60"/><Control name="c"/>)",
     {{L"c", {0, 120, 200, 120}, {}}}},
    {"minimum and maximum widths clamp a stretched width",
     LR"(<Control name="a" height="10" maxwidth="50"/><Control name="b" height="10" width="20" minwidth="30"/>)",
     {{L"a", {0, 0, 50, 10}, {}}, {L"b", {0, 10, 30, 20}, {}}}},
};

const LayoutCase kSpacingCases[] = {
    {"the gap goes between children and paddings shift and shrink them",
     LR"(<Control name="a" height="20" padding="5,4,5,6"/><Control name="b"/>)",
     {{L"a", {5, 4, 195, 24}, {}}, {L"b", {0, 40, 200, 100}, {}}}},
    {"hidden children take no space and no gap",
     LR"(<Control name="a" height="20"/><Control height="50" visible="false"/><Control name="b" height="20"/>)",
     {{L"a", {0, 0, 200, 20}, {}}, {L"b", {0, 30, 200, 50}, {}}}},
    {"a floating child takes no space and is placed at its own position",
     LR"(<Control name="a" height="20"/><Control name="f" float="true" pos="10,10,50,30"/><Control name="b" height="20"/>)",
     {{L"a", {0, 0, 200, 20}, {}}, {L"f", {10, 10, 60, 40}, {}}, {L"b", {0, 30, 200, 50}, {}}}},
};

const LayoutCase kAlignCases[] = {
    {"left alignment follows the left padding",
     LR"(<VBox name="box" inset="100,0,0,0"><Control name="a" width="40" height="20" padding="10,0,0,0"/></VBox>)",
     {{L"a", {110, 0, 150, 20}, {}}}},
    {"centre alignment centres in the inner width",
     LR"(<VBox name="box" inset="100,0,0,0" itemalign="center"><Control name="a" width="40" height="20"/></VBox>)",
     {{L"a", {130, 0, 170, 20}, {}}}},
    {"right alignment written in capitals",
     LR"(<VBox name="box" inset="100,0,0,0" itemalign="RIGHT"><Control name="a" width="40" height="20" padding="9,0,9,0"/></VBox>)",
     {{L"a", {160, 0, 200, 20}, {}}}},
};

const LayoutCase kMeasureCases[] = {
    {"a child-height box measures its children, gaps and inset",
     LR"(<VBox name="inner" height="child" inset="0,2,0,3" childpadding="5">
            <Control height="20"/><Control height="30" padding="0,1,0,1"/><Control float="true" height="4"/>
         </VBox><Control name="rest"/>)",
     // 20 + 30 + 2 (padding) + 4 (the floating child counts) + 2 gaps + 5 (inset)
     // At 144 DPI the fixed sum is truncated to 106 while the box takes
     // 106.5: the last stretch child gets 44 and ends half a pixel low.
     {{L"inner", {0, 0, 200, 71}, {0, 0, 300, 106.5f}}, {L"rest", {0, 71, 200, 100}, {0, 106.5f, 300, 150.5f}}}},
    {"a child-height box with nothing visible measures as its inset, held at its minimum",
     LR"(<VBox name="inner" height="child" inset="0,2,0,3" minheight="8"><Control height="20" visible="false"/></VBox>
         <Control name="rest"/>)",
     {{L"inner", {0, 0, 200, 8}, {}}, {L"rest", {0, 8, 200, 100}, {}}}},
    {"a child-width box takes its widest child",
     LR"(<VBox name="inner" width="child" height="30" inset="1,0,3,0"><Control width="40" height="5"/><Control width="60" maxwidth="50" height="5"/></VBox>)",
     {{L"inner", {0, 0, 54, 30}, {}}}},
};

class VBoxLayoutTest : public ::testing::TestWithParam<int> {
protected:
    void Check(const LayoutCase& c, const wchar_t* rootAttributes)
    {
        SCOPED_TRACE(c.what);
        const int dpi = GetParam();
        const float s = dpi / 96.0f;
        auto win = ShowMarkupWindow(RootedIn(rootAttributes, c.children).c_str(), dpi, kWidth, kHeight);
        for (const Expected& e : c.rects) {
            ui::Control* control = Named(*win, e.name);
            if (!control)
                continue;
            const RECTF want = (dpi == 144 && !(e.at144 == RECTF{})) ? e.at144 : Scaled(e.at96, s);
            EXPECT_EQ(want, control->GetBounds()) << std::string(e.name, e.name + wcslen(e.name)) << " at dpi " << dpi;
        }
    }
    testsupport::UiLibraryScope lib;
};

TEST_P(VBoxLayoutTest, FixedStretchAndClampedChildren)
{
    for (const LayoutCase& c : kLayoutCases)
        Check(c, L"");
}

TEST_P(VBoxLayoutTest, GapsPaddingHiddenAndFloatingChildren)
{
    for (const LayoutCase& c : kSpacingCases)
        Check(c, L"childpadding=\"10\"");
}

TEST_P(VBoxLayoutTest, CrossAxisAlignment)
{
    for (const LayoutCase& c : kAlignCases)
        Check(c, L"");
}

TEST_P(VBoxLayoutTest, MeasuringByChildren)
{
    for (const LayoutCase& c : kMeasureCases)
        Check(c, L"");
}

INSTANTIATE_TEST_SUITE_P(Dpi, VBoxLayoutTest, ::testing::Values(96, 144));

TEST(VBoxAttributes, SeparatorAndAlignmentWords)
{
    struct Step {
        const wchar_t* name;
        const wchar_t* value;
        int separator;
        int align;
        bool immediate;
    } steps[] = {
        {L"sepheight", L"-6", -6, ui::kAlignNear, false},
        {L"sepheight", L"12px", 12, ui::kAlignNear, false},
        {L"sepheight", L"wide", 0, ui::kAlignNear, false},
        {L"ItemAlign", L"Center", 0, ui::kAlignCenter, false},
        {L"itemalign", L"middle", 0, ui::kAlignCenter, false},
        {L"itemalign", L"right", 0, ui::kAlignFar, false},
        {L"sepimm", L"true", 0, ui::kAlignFar, true},
        {L"sepimm", L"TRUE", 0, ui::kAlignFar, false},
    };
    VBox box;
    for (const Step& step : steps) {
        box.SetAttribute(step.name, step.value);
        EXPECT_EQ(step.separator, box.GetSeparatorSize()) << std::string(step.value, step.value + wcslen(step.value));
        EXPECT_EQ(step.align, box.GetItemAlign()) << std::string(step.value, step.value + wcslen(step.value));
        EXPECT_EQ(step.immediate, box.IsImmediate());
    }
    EXPECT_TRUE(box.CastTo(L"IBox"));
    EXPECT_EQ(&box, box.CastTo(L"VBox"));
    EXPECT_EQ(nullptr, box.CastTo(L"HBox"));
    EXPECT_TRUE(box.GetExtraAttribute(L"itemalign").IsEmpty()) << "an unknown word is not passed on";
}

// --- separator drag ----------------------------------------------------

// A 200 x 200 window: a resizable box of height 100 over a stretch
// control. The box's own child leaves its strip free.
std::wstring DragMarkup(const wchar_t* boxAttributes)
{
    return std::wstring(LR"(<Window><VBox name="root" bkcolor="#FFFFFFFF"><VBox name="box" height="100" )") +
           boxAttributes + LR"(><Control height="50"/></VBox><Control name="rest"/></VBox></Window>)";
}

class VBoxSeparatorTest : public ::testing::Test {
protected:
    float BoxHeight() { return box->GetBounds().Height(); }
    float RestTop() { return rest->GetBounds().top; }
    void Open(const wchar_t* attributes, int dpi = 96)
    {
        win = ShowMarkupWindow(DragMarkup(attributes).c_str(), dpi, 200, 200);
        box = static_cast<VBox*>(Named(*win, L"box"));
        rest = Named(*win, L"rest");
        ASSERT_TRUE(box && rest);
    }
    testsupport::UiLibraryScope lib;
    std::unique_ptr<TestWindow> win;
    VBox* box = nullptr;
    ui::Control* rest = nullptr;
};

TEST_F(VBoxSeparatorTest, ImmediateDragFollowsThePointerWithinTheLimits)
{
    Open(LR"(sepheight="6" sepimm="true" minheight="50" maxheight="140")");
    struct Step {
        const char* what;
        int y;
        float height;
    } steps[] = {
        {"a step inside the strip does not grow the box", 99, 100},
        {"a step a strip's height below the edge grows it by the step", 110, 111},
        {"upward at or above the edge shrinks it", 95, 96},
        {"past the maximum the edge stops at the maximum", 300, 140},
        {"back up but below the tracked edge: nothing", 190, 140},
        {"at the tracked edge it shrinks again", 140, 90},
        {"past the minimum the edge stops at the minimum", 0, 50},
    };
    MouseDown(*win, 100, 97);
    ASSERT_TRUE(box->IsDragging());
    for (const Step& step : steps) {
        MouseMove(*win, 100, step.y);
        ASSERT_TRUE(Settle(*win));
        EXPECT_EQ(step.height, BoxHeight()) << step.what;
        EXPECT_EQ(step.height, RestTop()) << step.what << ": the parent lays out at every step";
        EXPECT_EQ(step.height, box->GetFixedHeight()) << step.what;
    }
    MouseUp(*win, 100, 0);
    EXPECT_FALSE(box->IsDragging());
    MouseMove(*win, 100, 120);
    ASSERT_TRUE(Settle(*win));
    EXPECT_EQ(50, BoxHeight()) << "no drag after the release";
}

TEST_F(VBoxSeparatorTest, PressesOutsideTheStripStartNoDrag)
{
    Open(LR"(sepheight="6" sepimm="true")");
    const POINT misses[] = {{100, 93}, {100, 100}, {200, 97}};
    for (const POINT& p : misses) {
        MouseDown(*win, p.x, p.y);
        EXPECT_FALSE(box->IsDragging()) << p.x << "," << p.y;
        MouseUp(*win, p.x, p.y);
    }
    MouseDown(*win, 0, 94);
    EXPECT_TRUE(box->IsDragging()) << "the strip's top-left pixel counts";
    MouseUp(*win, 0, 94);

    box->SetEnabled(false);
    MouseDown(*win, 100, 97);
    EXPECT_FALSE(box->IsDragging()) << "a disabled box is not dragged";
    MouseUp(*win, 100, 97);
}

TEST(VBoxTopSeparator, GrowsUpwardAtHigherDpi)
{
    testsupport::UiLibraryScope lib;
    // At 144 DPI the strip is 9 pixels high; the steps still test the
    // unscaled 6, and the fixed height is stored unscaled. The box sits at
    // the bottom of its parent, so its top edge is the one that moves.
    auto win = ShowMarkupWindow(LR"(<Window><VBox><Control name="rest"/>
        <VBox name="box" height="100" sepheight="-6" sepimm="true"><Control height="50" padding="0,30,0,0"/></VBox>
        </VBox></Window>)",
                                144, 200, 200);
    ui::Control* box = Named(*win, L"box");
    ui::Control* rest = Named(*win, L"rest");
    ASSERT_TRUE(box && rest);
    ASSERT_EQ(RECTF(0, 150, 300, 300), box->GetBounds());
    struct Step {
        const char* what;
        int y;
        float top;
    } steps[] = {
        {"downward at or below the edge shrinks the box", 170, 165},
        {"upward counts only a strip's height above the edge", 160, 165},
        {"there it grows the box", 150, 155},
    };
    MouseDown(*win, 100, 155);
    ASSERT_TRUE(static_cast<VBox*>(box)->IsDragging());
    for (const Step& step : steps) {
        MouseMove(*win, 100, step.y);
        ASSERT_TRUE(Settle(*win));
        EXPECT_EQ(RECTF(0, step.top, 300, 300), box->GetBounds()) << step.what;
        EXPECT_EQ(step.top, rest->GetBounds().bottom) << step.what;
    }
    MouseUp(*win, 100, 150);
    EXPECT_EQ(145 / 1.5f, box->GetRawFixedHeight());
}

TEST_F(VBoxSeparatorTest, TrackingDragShowsATrackerAndLaysOutOnRelease)
{
    Open(LR"(sepheight="6" bkcolor="#FFFFFFFF")");
    MouseDown(*win, 100, 97);
    MouseMove(*win, 100, 130);
    ASSERT_TRUE(Settle(*win));
    EXPECT_EQ(100, BoxHeight()) << "the layout waits for the release";
    EXPECT_EQ(100, RestTop());
    testsupport::PixelImage px = testsupport::ReadCorePixels(win->core);
    ASSERT_GT(px.width, 0);
    const uint32_t tracker = px.RgbAt(100, 130);
    EXPECT_LT(tracker & 0xFF, 0x80u) << "dark tracker over the tracked strip";
    EXPECT_EQ(0xFFFFFFu, px.RgbAt(100, 110)) << "nothing between the box and the tracked strip";

    MouseUp(*win, 100, 130);
    ASSERT_TRUE(Settle(*win));
    EXPECT_EQ(133, BoxHeight());
    EXPECT_EQ(133, RestTop());
    px = testsupport::ReadCorePixels(win->core);
    EXPECT_EQ(0xFFFFFFu, px.RgbAt(100, 130)) << "the tracker is gone";
}

TEST_F(VBoxSeparatorTest, LosingTheCaptureEndsTheDrag)
{
    Open(LR"(sepheight="6")");
    MouseDown(*win, 100, 97);
    MouseMove(*win, 100, 130);
    ASSERT_TRUE(box->IsDragging());
    // Another window of the thread takes the mouse.
    TestWindow other;
    ASSERT_NE(nullptr, other.CreatePopup(10, 10));
    SetCapture(other.GetHWND());
    EXPECT_FALSE(box->IsDragging());
    ASSERT_TRUE(Settle(*win));
    EXPECT_EQ(133, BoxHeight()) << "the box keeps the size tracked so far";
    EXPECT_EQ(133, RestTop());
    ReleaseCapture();

    MouseMove(*win, 100, 180);
    MouseUp(*win, 100, 180);
    ASSERT_TRUE(Settle(*win));
    EXPECT_EQ(133, BoxHeight()) << "later moves and the release change nothing";
}

TEST_F(VBoxSeparatorTest, TheStripShowsTheSizingCursor)
{
    Open(LR"(sepheight="6")");
    const HCURSOR sizing = LoadCursorW(nullptr, IDC_SIZENS);
    struct Probe {
        int y;
        bool sizing;
    } probes[] = {{97, true}, {93, false}, {110, false}};
    for (const Probe& p : probes) {
        POINT screen{100, p.y};
        ClientToScreen(win->GetHWND(), &screen);
        SetCursorPos(screen.x, screen.y);
        SetCursor(LoadCursorW(nullptr, IDC_ARROW));
        SendMessageW(win->GetHWND(), WM_SETCURSOR, reinterpret_cast<WPARAM>(win->GetHWND()),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(p.sizing, GetCursor() == sizing) << "y " << p.y;
    }
}

} // namespace

namespace {

// What the layout hands to the scroll bars: the inner rectangle and the
// content size it needs.
TEST(VBoxContentSize, NeededSizeGoesToTheScrollBars)
{
    struct Case {
        const char* what;
        const wchar_t* boxAttributes;
        std::vector<const wchar_t*> children;
        RECTF inner;
        int neededWidth, neededHeight;
    } cases[] = {
        {"no children", L"inset=\"1,2,3,4\"", {}, {1, 2, 197, 96}, 0, 0},
        {"a last stretch child keeps its minimum and the content overflows", L"",
         {L"height=\"80\"", L"minheight=\"40\""}, {0, 0, 200, 100}, 200, 120},
        {"gaps only between laid-out children", L"childpadding=\"10\"",
         {L"height=\"20\"", L"height=\"50\" visible=\"false\"", L"height=\"20\"", L"float=\"true\" pos=\"0,0,500,500\""},
         {0, 0, 200, 100}, 200, 50},
        {"children all hidden need nothing", L"childpadding=\"10\"",
         {L"height=\"20\" visible=\"false\"", L"visible=\"false\""}, {0, 0, 200, 100}, 0, 0},
        {"paddings count and the widest child gives the width", L"",
         {L"height=\"20\" width=\"150\" padding=\"5,4,5,6\"", L"height=\"10\" width=\"40\""}, {0, 0, 200, 100}, 160,
         40},
    };
    testsupport::UiLibraryScope lib;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::ContentRecorder<VBox> box;
        box.ApplyAttributeText(c.boxAttributes);
        for (const wchar_t* attributes : c.children)
            ASSERT_TRUE(box.AppendChild(testsupport::MakeChild(attributes)));
        box.SetBounds(0, 0, 200, 100);
        ASSERT_EQ(1u, box.calls.size());
        EXPECT_EQ(c.inner, box.calls[0].rect);
        EXPECT_EQ(c.neededWidth, box.calls[0].neededWidth);
        EXPECT_EQ(c.neededHeight, box.calls[0].neededHeight);
    }
}

} // namespace

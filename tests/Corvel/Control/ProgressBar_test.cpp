#include "Corvel/Control/ProgressBar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Corvel/Control/Box.h"
#include "Corvel/Control/support/MarkupWindow.h"
#include "Corvel/Core/support/PoisonedStorage.h"

namespace {

using controltest::ImageFolder;
using controltest::MarkupWindow;
using testsupport::ArgbImage;
using testsupport::Rgb;
using ui::ProgressBar;
using ui::PropertyValue;
using ui::RECTF;

constexpr uint32_t kWindowColor = 0xFF202020u;
constexpr uint32_t kRed = 0xFFE02020u;
constexpr uint32_t kGreen = 0xFF20C020u;

class ProgressBarTest : public ::testing::Test {
protected:
    void SetUp() override { SetCursorPos(1500, 950); }
    testsupport::UiLibraryScope lib;
};

// A bar at (10, 10) - (210, 30) with `attributes`, and a label "lbl".
std::wstring BarSkin(const std::wstring& attributes)
{
    return L"<Window><Box bkcolor=\"#FF202020\"><Control name=\"lbl\" float=\"true\" pos=\"10,40,100,20\"/>"
           L"<ProgressBar name=\"bar\" float=\"true\" pos=\"10,10,200,20\" " +
           attributes + L"/></Box></Window>";
}

std::wstring TextOf(MarkupWindow& w, const wchar_t* name)
{
    ui::Control* c = w.win.core.FindControlByName(name);
    return c ? c->GetText().ToStdString() : L"<missing>";
}

TEST_F(ProgressBarTest, AnimatedValueMovesOnlyThroughItsStepsAndShowsEachInteger)
{
    MarkupWindow w(BarSkin(L"value=\"20\" valueui=\"lbl\" valuetext=\"{v}% ({v})\"").c_str(), 240, 80);
    ProgressBar* bar = w.Find<ProgressBar>(L"bar");
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(L"20% (20)", TextOf(w, L"lbl")) << "written once the tree is built";

    bar->SetValue(50, 400);
    EXPECT_EQ(20.0f, bar->GetValue()) << "the value changes only with the steps";
    std::vector<float> seen;
    std::vector<std::wstring> texts;
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        seen.push_back(bar->GetValue());
        texts.push_back(TextOf(w, L"lbl"));
        return bar->GetValue() == 50.0f;
    }));
    EXPECT_EQ(L"50% (50)", TextOf(w, L"lbl"));
    int between = 0;
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_GE(seen[i], seen[i - 1]) << "eased, never backwards";
        between += seen[i] > 20.0f && seen[i] < 50.0f;
    }
    EXPECT_GE(between, 3) << "the bar passed through intermediate values";
    bool intermediateText = false;
    for (const std::wstring& t : texts)
        intermediateText |= t != L"20% (20)" && t != L"50% (50)";
    EXPECT_TRUE(intermediateText);

    // Asked again at its value once the run has ended: nothing restarts.
    ui::CTimeLineTween* timeline = bar->GetValueTimelineForTesting();
    ASSERT_NE(nullptr, timeline);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !timeline->IsRunning(); }));
    bar->SetValue(50, 400);
    EXPECT_FALSE(timeline->IsRunning());
}

TEST_F(ProgressBarTest, ASecondAnimationStartsFromWhereTheFirstHasGot)
{
    MarkupWindow w(BarSkin(L"value=\"20\"").c_str(), 240, 80);
    ProgressBar* bar = w.Find<ProgressBar>(L"bar");
    ASSERT_NE(nullptr, bar);
    ui::CTimeLineTween* first = nullptr;
    bar->SetValue(50, 1500);
    first = bar->GetValueTimelineForTesting();
    ASSERT_TRUE(testsupport::PumpUntil([&] { return bar->GetValue() > 30.0f; }));
    const float reached = bar->GetValue();
    ASSERT_LT(reached, 50.0f);

    bar->SetValue(50, 400);
    EXPECT_EQ(first, bar->GetValueTimelineForTesting()) << "one timeline, reused";
    float lowest = reached;
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        lowest = std::min(lowest, bar->GetValue());
        return bar->GetValue() == 50.0f;
    }));
    EXPECT_GE(lowest, reached) << "no jump back to where the first run began";
}

TEST_F(ProgressBarTest, ImmediateValuesOutsideTheRangeAreIgnored)
{
    const struct {
        const char* name;
        const wchar_t* attributes;
        float value;
        float expected;
    } cases[] = {
        {"above the maximum", L"value=\"20\"", 150, 20},
        {"below the minimum", L"value=\"20\"", -5, 20},
        {"the maximum itself", L"value=\"20\"", 100, 100},
        {"a fraction", L"value=\"20\"", 37.5f, 37.5f},
        {"a negative range", L"min=\"-50\" max=\"0\"", -12.7f, -12.7f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MarkupWindow w(BarSkin(c.attributes).c_str(), 240, 80);
        ProgressBar* bar = w.Find<ProgressBar>(L"bar");
        ASSERT_NE(nullptr, bar);
        bar->SetValue(c.value, 0);
        EXPECT_EQ(c.expected, bar->GetValue());
    }
    MarkupWindow w(BarSkin(L"value=\"100\"").c_str(), 240, 80);
    EXPECT_EQ(100.0f, w.Find<ProgressBar>(L"bar")->GetValue()) << "a skin value is set at once";

    ProgressBar detached;
    detached.SetValue(50, 400);
    EXPECT_EQ(50.0f, detached.GetValue()) << "without a core no step would ever move it";
}

TEST_F(ProgressBarTest, AnImmediateValueStopsARunningAnimation)
{
    MarkupWindow w(BarSkin(L"value=\"10\"").c_str(), 240, 80);
    ProgressBar* bar = w.Find<ProgressBar>(L"bar");
    ASSERT_NE(nullptr, bar);
    bar->SetValue(90, 2000);
    testsupport::PumpFor(100);
    bar->SetValue(30, 0);
    EXPECT_EQ(30.0f, bar->GetValue());
    testsupport::PumpFor(300);
    EXPECT_EQ(30.0f, bar->GetValue()) << "the stopped run must not overwrite it";
}

TEST_F(ProgressBarTest, ValueTextReplacesEveryPlaceholderWithTheTruncatedValue)
{
    const struct {
        const wchar_t* attributes;
        float value;
        const wchar_t* text;
    } cases[] = {
        {L"valuetext=\"{v}/{v}\"", 37.9f, L"37/37"},
        {L"", 37.9f, L"37"},
        {L"min=\"-50\" valuetext=\"v={v}\"", -12.7f, L"v=-12"},
        {L"valuetext=\"{v}{v}{v}\"", 5.0f, L"555"},
        {L"valuetext=\"no placeholder\"", 5.0f, L"no placeholder"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        MarkupWindow w(BarSkin(std::wstring(c.attributes) + L" valueui=\"lbl\"").c_str(), 240, 80);
        ProgressBar* bar = w.Find<ProgressBar>(L"bar");
        ASSERT_NE(nullptr, bar);
        bar->SetValue(c.value, 0);
        EXPECT_EQ(c.text, TextOf(w, L"lbl"));
    }
}

TEST_F(ProgressBarTest, AValueControlThatWasDestroyedIsNotWrittenTo)
{
    MarkupWindow w(BarSkin(L"valueui=\"late\"").c_str(), 240, 80);
    ProgressBar* bar = w.Find<ProgressBar>(L"bar");
    ui::Box* root = static_cast<ui::Box*>(w.win.core.GetRoot()->CastTo(L"Box"));
    ASSERT_TRUE(bar && root);
    testsupport::PoisonedStorage<ui::Control> storage;
    ui::Control* late = storage.Emplace();
    late->SetName(L"late");
    root->SetOwnsChildren(false);
    ASSERT_TRUE(root->AppendChild(late));
    w.win.core.RegisterControlName(late);
    bar->FinishTreeSetup();
    bar->SetValue(40, 0);
    EXPECT_EQ(L"40", late->GetText().ToStdString());

    ASSERT_TRUE(root->RemoveChild(late));
    root->SetOwnsChildren(true);
    storage.Destroy();
    bar->SetValue(60, 0); // would write into the destroyed control
    EXPECT_EQ(60.0f, bar->GetValue());
}

TEST_F(ProgressBarTest, FillCoversTheValuesShareOfTheBar)
{
    ImageFolder images;
    ArgbImage halves(200, 20, kRed);
    halves.Fill(100, 0, 200, 20, kGreen);
    ASSERT_TRUE(images.Add(L"fill.png", halves));
    const struct {
        const char* name;
        const wchar_t* attributes;
        // Expected colour at x (window pixels) along the middle row, y 20.
        std::vector<std::pair<int, uint32_t>> samples;
    } cases[] = {
        {"stretched into the filled part", L"foreimage=\"fill.png\" value=\"75\"",
         {{20, kRed}, {70, kRed}, {100, kGreen}, {150, kGreen}, {170, kWindowColor}}},
        {"cut at the fill edge", L"foreimage=\"fill.png\" isstretchfore=\"false\" value=\"75\"",
         {{20, kRed}, {100, kRed}, {120, kGreen}, {155, kGreen}, {170, kWindowColor}}},
        {"empty", L"foreimage=\"fill.png\" value=\"0\"", {{12, kWindowColor}, {100, kWindowColor}}},
        {"full", L"foreimage=\"fill.png\" value=\"100\"", {{12, kRed}, {205, kGreen}}},
        {"empty range paints as minimum..minimum+1", L"foreimage=\"fill.png\" min=\"10\" max=\"10\" value=\"10\"",
         {{12, kWindowColor}, {100, kWindowColor}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MarkupWindow w(BarSkin(c.attributes).c_str(), 240, 80);
        testsupport::PixelImage img = w.Pixels();
        for (const auto& s : c.samples)
            EXPECT_EQ(Rgb(s.second), img.RgbAt(s.first, 20)) << "x " << s.first;
    }
}

TEST_F(ProgressBarTest, ShowTextDrawsThePercentageInTheTextColour)
{
    for (bool show : {true, false}) {
        SCOPED_TRACE(show);
        std::wstring attributes = L"value=\"37.9\" textcolor=\"#FFFFFFFF\" showtext=\"";
        attributes += show ? L"true\"" : L"false\"";
        MarkupWindow w(BarSkin(attributes).c_str(), 240, 80);
        const testsupport::Ink ink = testsupport::FindInk(
            w.Pixels(), [](uint32_t p) { return testsupport::R(p) > 0xA0 && testsupport::B(p) > 0xA0; }, 10, 30, 10,
            210);
        if (show) {
            EXPECT_GT(ink.pixels, 10) << "a percentage is drawn";
            EXPECT_NEAR(110.0f, ink.CentreX(), 12.0f) << "centred: " << ink.Describe();
            EXPECT_LT(ink.Width(), 60) << "a short text, not the whole bar";
        } else {
            EXPECT_EQ(0, ink.pixels);
        }
    }
}

TEST_F(ProgressBarTest, VerticalFillRisesFromTheBottom)
{
    ImageFolder images;
    ASSERT_TRUE(images.Add(L"red.png", ArgbImage(20, 100, kRed)));
    MarkupWindow w(L"<Window><Box bkcolor=\"#FF202020\"><ProgressBar name=\"bar\" float=\"true\" "
                   L"pos=\"10,10,20,100\" hor=\"false\" value=\"25\" foreimage=\"red.png\"/></Box></Window>",
                   100, 140);
    testsupport::PixelImage img = w.Pixels();
    EXPECT_EQ(Rgb(kRed), img.RgbAt(20, 105)) << "bottom quarter";
    EXPECT_EQ(Rgb(kRed), img.RgbAt(20, 88));
    EXPECT_EQ(Rgb(kWindowColor), img.RgbAt(20, 80));
    EXPECT_EQ(Rgb(kWindowColor), img.RgbAt(20, 15));
}

TEST_F(ProgressBarTest, EmptyRangeIsRepairedWhenPaintedAndNeverDividesByZeroBefore)
{
    // Not attached: nothing paints, so the range stays empty.
    ProgressBar bar;
    bar.SetAttribute(L"min", L"10");
    bar.SetAttribute(L"max", L"10");
    bar.SetBounds(0, 0, 100, 12);
    for (const wchar_t* name : {L"progress", L"block"}) {
        for (const wchar_t* hor : {L"true", L"false"}) {
            SCOPED_TRACE(std::wstring(name) + L" hor=" + hor);
            bar.SetAttribute(L"hor", hor);
            PropertyValue v;
            bar.GetPropertyValue(v, name);
            ASSERT_TRUE(v.found);
            for (float f : {v.rect.left, v.rect.top, v.rect.right, v.rect.bottom})
                EXPECT_TRUE(std::isfinite(f));
        }
    }
    EXPECT_EQ(10, bar.GetMaximum());

    MarkupWindow w(BarSkin(L"min=\"10\" max=\"10\"").c_str(), 240, 80);
    EXPECT_EQ(11, w.Find<ProgressBar>(L"bar")->GetMaximum()) << "painting repairs the range";
}

TEST_F(ProgressBarTest, PainterRectanglesFollowTheValue)
{
    ProgressBar bar;
    bar.SetBounds(10, 20, 210, 40);
    bar.SetValue(25, 0);
    const struct {
        const wchar_t* name;
        bool horizontal;
        RECTF want;
    } cases[] = {
        {L"progress", true, RECTF(10, -1, 60, 40)},
        {L"block", true, RECTF(-2, -1, 60, 40)},
        {L"progress", false, RECTF(-1, 20, 210, 25)},
        {L"block", false, RECTF(-1, -2, 210, 25)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::wstring(c.name) + (c.horizontal ? L" horizontal" : L" vertical"));
        bar.SetAttribute(L"hor", c.horizontal ? L"true" : L"false");
        PropertyValue v;
        bar.GetPropertyValue(v, c.name);
        ASSERT_TRUE(v.found);
        EXPECT_FLOAT_EQ(c.want.left, v.rect.left);
        EXPECT_FLOAT_EQ(c.want.top, v.rect.top);
        EXPECT_FLOAT_EQ(c.want.right, v.rect.right);
        EXPECT_FLOAT_EQ(c.want.bottom, v.rect.bottom);
    }
    PropertyValue other;
    bar.GetPropertyValue(other, L"thumbPos");
    EXPECT_FALSE(other.found);
}

TEST_F(ProgressBarTest, EndlessBarSweepsAFifthOfItsWidthAndRebuildsWhenResized)
{
    MarkupWindow w(L"<Window><Box><ProgressBar name=\"bar\" float=\"true\" pos=\"0,0,300,12\" endless=\"2\"/>"
                   L"</Box></Window>",
                   400, 40);
    ProgressBar* bar = w.Find<ProgressBar>(L"bar");
    ASSERT_NE(nullptr, bar);
    const struct {
        float width;
        float from, to;
    } sizes[] = {{300, -60, 360}, {400, -80, 480}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(s.width);
        bar->SetBounds(0, 0, s.width, 12);
        ui::CTimeLineTween* marquee = bar->GetMarqueeTimelineForTesting();
        ASSERT_NE(nullptr, marquee);
        auto it = marquee->Values().find(L"endless");
        ASSERT_NE(marquee->Values().end(), it);
        EXPECT_EQ(s.from, it->second->from);
        EXPECT_EQ(s.to, it->second->to);
        EXPECT_EQ(-1, marquee->GetRepeatCount());
        EXPECT_FLOAT_EQ(2000.0f, marquee->GetDuration());
        ASSERT_TRUE(testsupport::PumpUntil([&] { return bar->GetMarqueeOffset() > s.from + 5; }));
        PropertyValue v;
        bar->GetPropertyValue(v, L"progress");
        EXPECT_GE(v.rect.left, 0.0f);
        EXPECT_LE(v.rect.right, s.width);
        EXPECT_LE(v.rect.right - v.rect.left, s.width / 5 + 0.01f);
    }
}

} // namespace

// A style's shape bound to the filled part (":>progress") follows the value,
// also for a bar that starts at the window's left edge, where an empty fill
// ends at x 0 (a far edge the shape could take for "keep your width").
TEST_F(ProgressBarTest, BoundFillShapeFollowsTheValueAtTheWindowsLeftEdge)
{
    const struct {
        const wchar_t* value;
        int filledUpTo;  // window pixels along the middle row; none: 0
    } cases[] = {{L"0", 0}, {L"50", 120}, {L"100", 240}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.value, c.value + wcslen(c.value)));
        const std::wstring skin =
            L"<Window><Styles name=\"bar\"><Style name=\"normal\">"
            L"<Shape fill=\"true\" color=\"#FF20C020\"/>"
            L"<Shape fill=\"true\" color=\"#FFE02020\" pos=\":>progress\"/>"
            L"</Style></Styles><Box bkcolor=\"#FF202020\">"
            L"<ProgressBar name=\"bar\" float=\"true\" pos=\"0,10,240,20\" hor=\"true\" styles=\"bar\" value=\"" +
            std::wstring(c.value) + L"\"/></Box></Window>";
        MarkupWindow w(skin.c_str(), 240, 80);
        testsupport::PixelImage img = w.Pixels();
        for (int x : {2, 60, 118, 122, 180, 237}) {
            const uint32_t expected = x < c.filledUpTo ? kRed : kGreen;
            EXPECT_EQ(Rgb(expected), img.RgbAt(x, 20)) << "x " << x;
        }
    }
}

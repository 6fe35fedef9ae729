#include "Corvel/Control/Slider.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "Corvel/Control/support/MarkupWindow.h"

namespace {

using controltest::ImageFolder;
using controltest::MarkupWindow;
using testsupport::ArgbImage;
using testsupport::Rgb;
using ui::Slider;

constexpr uint32_t kWindowColor = 0xFF202020u;
constexpr uint32_t kThumbColor = 0xFF2080F0u;

// A slider over (10, 10) - (210, 30): thumb 10 x 10, so the pointer maps
// x <= 15 to the minimum and x >= 205 to the maximum.
std::wstring SliderSkin(const std::wstring& attributes)
{
    return L"<Window><Box bkcolor=\"#FF202020\"><Slider name=\"s\" float=\"true\" pos=\"10,10,200,20\" " + attributes +
           L"/></Box></Window>";
}
constexpr int kY = 20;

class SliderTest : public ::testing::Test {
protected:
    void SetUp() override { SetCursorPos(1500, 950); }
    testsupport::UiLibraryScope lib;
};

// Counts the handlers bound under the slider's event names.
struct HandlerCounts {
    int changing = 0;
    int changed = 0;
    void Bind(Slider* s)
    {
        s->BindNamedCallback(L"valuechanging", [this] { ++changing; });
        s->BindNamedCallback(L"valuechanged", [this] { ++changed; });
    }
};

TEST_F(SliderTest, DraggingTheThumbReportsEachMoveAndSettlesOnRelease)
{
    MarkupWindow w(SliderSkin(L"").c_str(), 240, 60);
    Slider* s = w.Find<Slider>(L"s");
    ASSERT_NE(nullptr, s);
    HandlerCounts handlers;
    handlers.Bind(s);
    w.log.items.clear();

    w.Press(15, kY); // on the thumb at value 0
    EXPECT_NE(0, s->GetSliderState() & Slider::kSliderCaptured);
    w.Move(110, kY, MK_LBUTTON);
    EXPECT_FLOAT_EQ(50.0f, s->GetValue()) << "(110 - 10 - 5) x 100 / 190";
    w.Move(300, kY, MK_LBUTTON);
    EXPECT_FLOAT_EQ(100.0f, s->GetValue()) << "past the end gives the maximum";
    w.Release(300, kY);
    EXPECT_EQ(0, s->GetSliderState() & Slider::kSliderCaptured);

    const std::vector<std::wstring> want{L"captured:s", L"valuechanging:s", L"valuechanging:s", L"release:s",
                                         L"valuechanged:s"};
    std::vector<std::wstring> got;
    for (const std::wstring& item : w.log.items) {
        if (item.find(L"focus") == std::wstring::npos)
            got.push_back(item);
    }
    EXPECT_EQ(want, got);
    EXPECT_EQ(2, handlers.changing);
    EXPECT_EQ(1, handlers.changed);
}

TEST_F(SliderTest, PointerPositionsMapToValuesWithTheThumbHalfAtEachEnd)
{
    const struct {
        int x;
        float value;
    } cases[] = {{0, 0}, {15, 0}, {16, 100.0f / 190}, {110, 50}, {204, 100.0f * 189 / 190}, {205, 100}, {230, 100}};
    MarkupWindow w(SliderSkin(L"value=\"30\"").c_str(), 240, 60);
    Slider* s = w.Find<Slider>(L"s");
    ASSERT_NE(nullptr, s);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.x);
        EXPECT_NEAR(c.value, s->ValueAtPoint(POINT{c.x, kY}), 1e-3);
    }
}

TEST_F(SliderTest, AClickOnTheTrackMovesTheValueThereOnRelease)
{
    MarkupWindow w(SliderSkin(L"").c_str(), 240, 60);
    Slider* s = w.Find<Slider>(L"s");
    ASSERT_NE(nullptr, s);
    w.log.items.clear();
    w.Press(110, kY);
    EXPECT_EQ(0, s->GetSliderState() & Slider::kSliderCaptured) << "not on the thumb";
    EXPECT_EQ(0.0f, s->GetValue());
    w.Release(110, kY);
    EXPECT_FLOAT_EQ(50.0f, s->GetValue());
    EXPECT_EQ(1u, w.log.OfType(L"valuechanged").size());
    EXPECT_TRUE(w.log.OfType(L"captured").empty());
    EXPECT_TRUE(w.log.OfType(L"release").empty());
}

TEST_F(SliderTest, KeysAndWheelStepTheValueWithinTheRange)
{
    const struct {
        const char* name;
        const wchar_t* attributes;
        bool wheel;
        int input; // key code, or wheel delta
        float value;
        const wchar_t* notification;
    } cases[] = {
        {"Right steps up", L"value=\"50\" step=\"5\"", false, VK_RIGHT, 55, L"valuechanged"},
        {"Left steps down", L"value=\"50\" step=\"5\"", false, VK_LEFT, 45, L"valuechanged"},
        {"Right at the maximum keeps it", L"value=\"100\"", false, VK_RIGHT, 100, L"valuechanged"},
        {"Left stops at the minimum", L"value=\"3\" step=\"5\"", false, VK_LEFT, 0, L"valuechanged"},
        {"another key changes nothing", L"value=\"50\"", false, VK_UP, 50, L"valuechanged"},
        {"wheel up goes towards the start", L"value=\"50.7\" step=\"5\"", true, WHEEL_DELTA, 45, L"valuechanging"},
        {"wheel down goes towards the end", L"value=\"50.7\" step=\"5\"", true, -WHEEL_DELTA, 55, L"valuechanging"},
        {"wheel down stops at the maximum", L"value=\"98\" step=\"5\"", true, -WHEEL_DELTA, 100, L"valuechanging"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MarkupWindow w(SliderSkin(c.attributes).c_str(), 240, 60);
        Slider* s = w.Find<Slider>(L"s");
        ASSERT_NE(nullptr, s);
        w.win.core.FocusControl(s);
        w.log.items.clear();
        if (c.wheel)
            w.Wheel(110, kY, c.input);
        else
            SendMessageW(w.Hwnd(), WM_KEYDOWN, static_cast<WPARAM>(c.input), 0);
        EXPECT_FLOAT_EQ(c.value, s->GetValue());
        EXPECT_EQ(1u, w.log.OfType(c.notification).size());
    }
}

TEST_F(SliderTest, ADisabledSliderIgnoresInputAndLosesItsState)
{
    MarkupWindow w(SliderSkin(L"value=\"40\"").c_str(), 240, 60);
    Slider* s = w.Find<Slider>(L"s");
    ASSERT_NE(nullptr, s);
    w.Move(90, kY);
    ASSERT_NE(0, s->GetSliderState() & Slider::kSliderHot);
    s->SetEnabled(false);
    EXPECT_EQ(0, s->GetSliderState());
    w.log.items.clear();
    w.Click(150, kY);
    w.Wheel(150, kY, WHEEL_DELTA);
    EXPECT_EQ(40.0f, s->GetValue());
    EXPECT_TRUE(w.log.OfType(L"valuechanged").empty());
    EXPECT_TRUE(w.log.OfType(L"valuechanging").empty());
}

TEST_F(SliderTest, ThumbIsDrawnWhereTheValuePutsIt)
{
    ImageFolder images;
    ASSERT_TRUE(images.Add(L"thumb.png", ArgbImage(10, 10, kThumbColor)));
    MarkupWindow w(SliderSkin(L"thumbimage=\"thumb.png\" value=\"50\"").c_str(), 240, 60);
    Slider* s = w.Find<Slider>(L"s");
    ASSERT_NE(nullptr, s);
    const RECT t = s->GetThumbRect();
    EXPECT_EQ(105, t.left) << "(200 - 10) x 0.5 + 10";
    EXPECT_EQ(15, t.top);
    testsupport::PixelImage img = w.Pixels();
    EXPECT_EQ(Rgb(kThumbColor), img.RgbAt(110, kY));
    EXPECT_EQ(Rgb(kWindowColor), img.RgbAt(30, kY));

    s->SetValue(0, 0);
    ASSERT_TRUE(w.Paint());
    img = w.Pixels();
    EXPECT_EQ(Rgb(kThumbColor), img.RgbAt(15, kY));
    EXPECT_EQ(Rgb(kWindowColor), img.RgbAt(110, kY));
}

TEST_F(SliderTest, AThumbAsLongAsTheTrackNeverDividesByZero)
{
    const struct {
        const char* name;
        float width;
        const wchar_t* thumb;
        const wchar_t* hor;
    } cases[] = {
        {"horizontal, thumb the bar's width", 10.5f, L"10,10", L"true"},
        {"horizontal, thumb wider than the bar", 6.0f, L"10,10", L"true"},
        {"vertical, thumb the bar's height", 20.0f, L"10,20", L"false"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Slider s;
        s.SetAttribute(L"thumbsize", c.thumb);
        s.SetAttribute(L"hor", c.hor);
        s.SetBounds(0.25f, 0, 0.25f + c.width, 20);
        for (int p = -5; p <= 30; ++p) {
            const float v = s.ValueAtPoint(POINT{p, p});
            EXPECT_TRUE(std::isfinite(v)) << p;
            EXPECT_GE(v, 0.0f);
            EXPECT_LE(v, 100.0f);
        }
    }
    // An empty range: the thumb rectangle stays finite.
    Slider empty;
    empty.SetAttribute(L"min", L"5");
    empty.SetAttribute(L"max", L"5");
    empty.SetBounds(0, 0, 100, 20);
    const RECT t = empty.GetThumbRect();
    EXPECT_EQ(0, t.left);
    ui::PropertyValue block;
    empty.GetPropertyValue(block, L"block");
    EXPECT_TRUE(std::isfinite(block.rect.left));
}

} // namespace

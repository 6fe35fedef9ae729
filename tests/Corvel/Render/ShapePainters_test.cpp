// Shape and path painters drawn through a control's style in a shown
// window, and the state animation that tweens a shape's colour between two
// states.
#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/ShapePainters.h"
#include "Corvel/Render/StyleDefinitions.h"
#include "Corvel/Render/StylePainters.h"
#include "Corvel/Render/support/StyleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using styletest::Attributes;
using styletest::Element;
using styletest::Group;
using testsupport::PixelImage;
using ui::RECTF;

class ShapePaintersTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

constexpr uint32_t kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF;

TEST_F(ShapePaintersTest, FillsOutlinesAndGradientsDrawWhereTheirBoxesAre)
{
    styletest::StyledWindow w(120, 60);
    w.Apply(Group({{L"normal",
                    {{{L"fill", L"true"}, {L"color", L"0xFFFF0000"}, {L"pos", L"0,0,40,30"}},
                     {{L"color", L"#FF00FF00"}, {L"pensize", L"2"}, {L"pos", L"50,0,90,30"}},
                     {{L"fill", L"true"}, {L"color", L"0xFFFF0000,0xFF0000FF"}, {L"pos", L"0,35,120,60"}}}}}));
    const PixelImage px = w.Read();
    EXPECT_EQ(kRed, px.RgbAt(20, 15));
    EXPECT_EQ(0u, px.At(45, 15)) << "between the boxes";
    EXPECT_EQ(kGreen, px.RgbAt(50, 15)) << "outline's left edge";
    // A control covering the whole window keeps its shapes' edges: the pen is
    // centred on row 0.
    EXPECT_EQ(kGreen, px.RgbAt(70, 0)) << "outline's top edge";
    EXPECT_EQ(0u, px.At(70, 15)) << "an outline leaves its inside";
    const uint32_t left = px.At(3, 48), right = px.At(116, 48);
    EXPECT_GT(testsupport::R(left), 200);
    EXPECT_LT(testsupport::B(left), 50);
    EXPECT_GT(testsupport::B(right), 200);
    EXPECT_LT(testsupport::R(right), 50);
}

TEST_F(ShapePaintersTest, RoundCornersAndCornerSelection)
{
    styletest::StyledWindow w(140, 60);
    w.Apply(Group({{L"normal",
                    {{{L"fill", L"true"}, {L"color", L"0xFFFF0000"}, {L"pos", L"0,0,60,60"}, {L"round", L"30"}},
                     // "roundpos" alone: the chosen corner rounded with the whole box.
                     {{L"type", L"rect"},
                      {L"fill", L"true"},
                      {L"color", L"0xFF0000FF"},
                      {L"pos", L"70,0,130,60"},
                      {L"roundpos", L"1,0,0,0"}}}}}));
    const PixelImage px = w.Read();
    EXPECT_EQ(0u, px.At(1, 1)) << "rounded corner";
    EXPECT_EQ(0u, px.At(58, 58));
    EXPECT_EQ(kRed, px.RgbAt(30, 30));
    EXPECT_EQ(kRed, px.RgbAt(30, 1)) << "middle of the top edge";
    EXPECT_EQ(0u, px.At(71, 1)) << "the selected corner";
    EXPECT_EQ(0u, px.At(75, 5)) << "rounded over the whole box";
    EXPECT_EQ(kBlue, px.RgbAt(80, 10));
    EXPECT_EQ(kBlue, px.RgbAt(128, 1)) << "top-right stays square";
    EXPECT_EQ(kBlue, px.RgbAt(128, 58));
    EXPECT_EQ(kBlue, px.RgbAt(71, 58));
}

TEST_F(ShapePaintersTest, LinesCoverWholePixelsFromTheirPoints)
{
    styletest::StyledWindow w(60, 40);
    // As the skins draw: "size" makes the element box 2 x 2 units; the line
    // is one unit wide (the pen size).
    w.Apply(Group({{L"normal",
                    {{{L"type", L"line"}, {L"size", L"2"}, {L"ptse", L"11,15,29,15"}, {L"color", L"0xff000000"}},
                     {{L"type", L"line"}, {L"ptwh", L"40,5,0,20"}, {L"color", L"0xff0000ff"}, {L"pensize", L"2"}}}}}));
    const PixelImage px = w.Read();
    EXPECT_EQ(0xFF000000u, px.At(20, 15)) << "horizontal line on row 15";
    EXPECT_EQ(0xFF000000u, px.At(12, 15));
    EXPECT_EQ(0xFF000000u, px.At(28, 15));
    EXPECT_EQ(0u, px.At(20, 14));
    EXPECT_EQ(0u, px.At(20, 16));
    EXPECT_EQ(0u, px.At(10, 15)) << "flat caps: nothing before the start";
    EXPECT_EQ(0u, px.At(31, 15));
    // Vertical line from (40, 5) 20 down, 2 wide, shifted by half its pen.
    EXPECT_EQ(kBlue, px.RgbAt(40, 15));
    EXPECT_EQ(kBlue, px.RgbAt(41, 15));
    EXPECT_EQ(0u, px.At(38, 15));
    EXPECT_EQ(0u, px.At(40, 27));
}

TEST_F(ShapePaintersTest, ShapesWithoutAColourFollowTheControlAndShadowsAlwaysDraw)
{
    styletest::StyledWindow w(100, 60, 192);
    std::vector<ui::BoxShadow> shadows;
    w.core().GetRenderTarget()->SetShadowObserverForTesting(
        [&](const RECTF&, const ui::BoxShadow& shadow) { shadows.push_back(shadow); });
    auto group = std::make_unique<ui::StyleGroup>();
    auto entry = std::make_unique<ui::StyleEntry>(L"normal");
    entry->AddElement(Element(L"Shape", nullptr, {{L"fill", L"true"}, {L"pos", L"0,0,20,20"}}));
    entry->AddElement(Element(L"Shape", L"accent", {{L"fill", L"true"}, {L"pos", L"25,0,45,20"}}));
    entry->AddElement(
        Element(L"Shape", nullptr, {{L"shadow", L"size='4' blur='6' web='true' color='#80000000'"}, {L"pos", L"10,25,40,28"}}));
    group->Add(L"normal", std::move(entry));
    w.Apply(std::move(group));

    PixelImage px = w.Read();
    EXPECT_EQ(0u, px.At(20, 20)) << "background colour 0: nothing drawn";
    ASSERT_FALSE(shadows.empty()) << "a shadow draws without a colour";
    EXPECT_FLOAT_EQ(8.0f, shadows.back().size) << "scaled by the window's scale";
    EXPECT_NEAR(6.0f / 2.8199568f, shadows.back().blur, 1e-4) << "a web blur is turned into a deviation";
    EXPECT_EQ(0x80000000u, shadows.back().color);

    // The background colour shows, and a change of it shows too.
    w.control->SetBkColor(0xFFFF0000u);
    w.Repaint();
    EXPECT_EQ(kRed, w.Read().RgbAt(20, 20));
    w.control->SetBkColor(0xFF0000FFu);
    w.Repaint();
    px = w.Read();
    EXPECT_EQ(kBlue, px.RgbAt(20, 20));
    EXPECT_EQ(kBlue, px.RgbAt(70, 20)) << "a named shape without its attribute takes the background";
    // A named shape takes the control's attribute of its name.
    w.control->SetAttribute(L"accent", L"#FF00FF00");
    w.Repaint();
    px = w.Read();
    EXPECT_EQ(kGreen, px.RgbAt(70, 20));
    EXPECT_EQ(kBlue, px.RgbAt(20, 20));
}

TEST(ShapeAttributesTest, UnknownWordsLeaveTheirSettings)
{
    ui::ShapePainter shape(nullptr);
    EXPECT_EQ(ui::kShapeRect, shape.GetShapeType());
    shape.SetAttribute(L"pen", L"dash");
    shape.SetAttribute(L"pen", L"wavy");
    EXPECT_EQ(ui::kDashDash, shape.GetDashStyle());
    shape.SetAttribute(L"stroke", L"dashdotdot");
    EXPECT_EQ(ui::kDashDashDotDot, shape.GetDashStyle());
    shape.SetAttribute(L"type", L"circle");
    EXPECT_EQ(ui::kShapeRect, shape.GetShapeType());
    shape.SetAttribute(L"type", L"round");
    EXPECT_EQ(ui::kShapeRound, shape.GetShapeType());
    shape.SetAttribute(L"shadow", L"size='3'");
    EXPECT_EQ(ui::kShapeShadow, shape.GetShapeType());
    EXPECT_FLOAT_EQ(3.0f, shape.GetBoxShadow().size);

    // "round" after "roundpos" keeps the selection; "roundpos" keeps "round".
    ui::ShapePainter corners(nullptr);
    EXPECT_TRUE(corners.GetCorners().All());
    corners.SetAttribute(L"roundpos", L"0,1");
    corners.SetAttribute(L"round", L"8,50%");
    EXPECT_EQ(0, corners.GetCorners().topLeft);
    EXPECT_EQ(1, corners.GetCorners().topRight);
    EXPECT_EQ(1, corners.GetCorners().bottomRight) << "missing items keep their value";
    ASSERT_EQ(2, corners.GetRadii().GetCount());
    EXPECT_TRUE(corners.GetRadii().At(1).percent);
    corners.SetAttribute(L"roundpos", L"1,1,1,0");
    EXPECT_FLOAT_EQ(8.0f, corners.GetRadii().At(0).value);
    EXPECT_TRUE(corners.IsRounded());

    // Pen size: configured, and none for a fill.
    ui::PropertyValue v;
    corners.SetAttribute(L"pensize", L"3");
    corners.GetPenSizeValue(v, false);
    EXPECT_TRUE(v.found);
    EXPECT_FLOAT_EQ(3.0f, v.value);
    corners.SetAttribute(L"fill", L"true");
    corners.GetPenSizeValue(v, false);
    EXPECT_FALSE(v.found);
    corners.SetAttribute(L"color", L"0x80FF0000");
    corners.GetAlphaValue(v, false);
    EXPECT_NEAR(128.0f / 255.0f, v.value, 1e-6);
    corners.GetColorValue(v, false);
    EXPECT_FLOAT_EQ(1.0f, v.color.r);
}

std::unique_ptr<ui::StyleElement> Geometry(const wchar_t* tag, const Attributes& attributes)
{
    auto e = std::make_unique<ui::StyleElement>(nullptr, tag, ui::StyleElement::Form::kGeometry);
    for (const auto& a : attributes)
        e->SetAttribute(a.first, a.second);
    return e;
}

TEST(PathFigureTest, GeometryChildrenBecomeFiguresOrNone)
{
    struct Case {
        const wchar_t* tag;
        Attributes attributes;
        bool added;
        int type;
    } cases[] = {
        {L"Points", {{L"type", L"polygon"}, {L"count", L"3"}, {L"pt0", L"0,0"}, {L"pt1", L"5,0"}, {L"pt2", L"5,5"}},
         true, ui::kFigurePolygon},
        {L"Points", {{L"type", L"lines"}, {L"count", L"3"}, {L"pt0", L"0,0"}, {L"pt1", L"5,0"}}, false, 0},
        {L"Points", {{L"type", L"bezier"}, {L"count", L"1"}, {L"pt0", L"5"}}, false, 0},
        {L"Points", {{L"type", L"spline"}, {L"count", L"1"}, {L"pt0", L"5,5"}}, false, 0},
        {L"Points", {{L"type", L"lines"}, {L"count", L"0"}, {L"pt0", L"5,5"}}, false, 0},
        {L"Points", {{L"type", L"curve"}, {L"count", L"2"}, {L"rpt0", L"0,0"}, {L"rpt1", L"100,50"}}, true,
         ui::kFigureCurve},
        {L"Points", {{L"type", L"lines"}, {L"count", L"1"}}, false, 0},
        {L"Rect", {{L"pos", L"1,2"}, {L"size", L"3,4"}}, true, ui::kFigureRect},
        {L"Rect", {{L"pos", L"1,2"}}, false, 0},
        {L"Rect", {{L"pos", L"1"}, {L"size", L"3,4"}}, false, 0},
        {L"Arc", {{L"rpos", L"10,20"}, {L"rsize", L"50,50"}, {L"startAngle", L"90"}, {L"sweepAngle", L"180"}}, true,
         ui::kFigureArc},
        {L"Pie", {{L"pos", L"0,0"}, {L"size", L"9,9"}}, true, ui::kFigureRound},
        {L"Round", {{L"pos", L"0,0"}, {L"size", L"9,9"}}, true, ui::kFigureRound},
        {L"Spline", {}, true, ui::kFigureLines},
    };
    for (const Case& c : cases) {
        ui::PathPainter path(nullptr);
        EXPECT_EQ(c.added, path.AddFigure(*Geometry(c.tag, c.attributes))) << c.tag;
        ASSERT_EQ(c.added ? 1u : 0u, path.GetFigures().size()) << c.tag;
        if (c.added)
            EXPECT_EQ(c.type, path.GetFigures()[0].type) << c.tag;
    }

    ui::PathPainter path(nullptr);
    path.AddFigure(*Geometry(L"Arc", {{L"rpos", L"10,20"}, {L"size", L"50,60"}, {L"sweepAngle", L"180"}}));
    path.AddFigure(*Geometry(L"Points", {{L"type", L"curve"}, {L"count", L"2"}, {L"rpt0", L"0,0"}, {L"rpt1", L"100,50"}}));
    const ui::PathFigure& arc = path.GetFigures()[0];
    EXPECT_TRUE(arc.relativePoints);
    EXPECT_FALSE(arc.relativeSize);
    EXPECT_EQ(10, arc.x);
    EXPECT_EQ(60, arc.height);
    EXPECT_EQ(0, arc.startAngle);
    EXPECT_EQ(180, arc.sweepAngle);
    const ui::PathFigure& curve = path.GetFigures()[1];
    EXPECT_TRUE(curve.relativePoints);
    ASSERT_EQ(2u, curve.points.size());
    EXPECT_EQ(100, curve.points[1].x);
    EXPECT_EQ(50, curve.points[1].y);
}

TEST_F(ShapePaintersTest, PathPolygonsFillAndOutline)
{
    styletest::StyledWindow w(100, 50);
    auto group = std::make_unique<ui::StyleGroup>();
    auto entry = std::make_unique<ui::StyleEntry>(L"normal");
    auto filled = Element(L"Path", L"filled", {{L"fill", L"true"}, {L"color", L"0xFF00FF00"}, {L"pos", L"0,0,40,40"}});
    filled->AddChild(Geometry(L"Points", {{L"type", L"polygon"}, {L"count", L"4"}, {L"pt0", L"5,5"}, {L"pt1", L"35,5"},
                                          {L"pt2", L"35,35"}, {L"pt3", L"5,35"}}));
    // Kept, not drawn.
    filled->AddChild(Geometry(L"Rect", {{L"pos", L"0,0"}, {L"size", L"40,40"}}));
    entry->AddElement(std::move(filled));
    auto outline = Element(L"Path", L"outline", {{L"color", L"0xFF0000FF"}, {L"pensize", L"2"}, {L"pos", L"50,0,100,50"}});
    outline->AddChild(Geometry(L"Points", {{L"type", L"lines"}, {L"count", L"4"}, {L"pt0", L"5,5"}, {L"pt1", L"45,5"},
                                           {L"pt2", L"45,45"}, {L"pt3", L"5,45"}}));
    entry->AddElement(std::move(outline));
    group->Add(L"normal", std::move(entry));
    w.Apply(std::move(group));

    const PixelImage px = w.Read();
    EXPECT_EQ(kGreen, px.RgbAt(20, 20));
    EXPECT_EQ(0u, px.At(2, 20)) << "outside the polygon (the rectangle figure is not drawn)";
    EXPECT_EQ(kBlue, px.RgbAt(75, 5)) << "outline's top edge";
    EXPECT_EQ(0u, px.At(75, 25)) << "an outline leaves its inside";
    auto* path = static_cast<ui::PathPainter*>(w.control->GetStyleSet()->Find(L"normal")->FindPainter(L"filled"));
    ASSERT_NE(nullptr, path);
    EXPECT_EQ(2u, path->GetFigures().size());
}

// A window whose control animates the colour of element 0 between its
// "normal" and "hot" looks.
struct AnimatedButton {
    styletest::StyledWindow w{60, 40};

    AnimatedButton(const wchar_t* normalColour, const wchar_t* hotColour)
    {
        ui::AnimationSpec spec;
        spec.duration = 0.16f;
        spec.easing = 0;
        spec.properties.push_back(ui::AnimationProperty{0.0f, 0.0f, L"color", L"0"});
        w.core().SetAnimationSpec(L"fade", spec);
        w.control->SetTransition(L"fade");
        w.Apply(Group({{L"normal", {{{L"fill", L"true"}, {L"color", normalColour}}}},
                       {L"hot", {{{L"fill", L"true"}, {L"color", hotColour}}}}}));
    }
    ui::CTimeLine* Timeline() { return w.control->GetTransitionTimeline(L"fade"); }
    ui::PropertyValue AnimatedColour()
    {
        ui::PropertyValue v;
        w.control->GetStyleValue(v, L"0", L"color");
        return v;
    }
};

TEST_F(ShapePaintersTest, StateAnimationTweensTheColourToTheNewStates)
{
    AnimatedButton button(L"0xFFFF0000", L"0xFF0000FF");
    ASSERT_NE(nullptr, button.Timeline());
    EXPECT_EQ(kRed, button.w.Read().RgbAt(30, 20));

    button.w.control->SetHot(true);
    ASSERT_TRUE(button.Timeline()->IsRunning());
    EXPECT_EQ(4u, button.Timeline()->Values().size());

    // A couple of frames in, the colour lies between the two.
    ui::WindowCore::IdleTick();
    ui::WindowCore::IdleTick();
    ui::PropertyValue mid = button.AnimatedColour();
    ASSERT_TRUE(mid.found);
    EXPECT_GT(mid.color.b, 0.0f);
    EXPECT_LT(mid.color.b, 1.0f);
    EXPECT_GT(mid.color.r, 0.0f);

    ASSERT_TRUE(testsupport::PumpUntil([&] { return !button.Timeline()->IsRunning(); }));
    button.w.Repaint();
    const ui::PropertyValue end = button.AnimatedColour();
    ASSERT_TRUE(end.found);
    EXPECT_FLOAT_EQ(1.0f, end.color.b);
    EXPECT_FLOAT_EQ(0.0f, end.color.r);
    EXPECT_FLOAT_EQ(1.0f, end.color.a);
    EXPECT_EQ(kBlue, button.w.Read().RgbAt(30, 20));

    // And back to normal.
    button.w.control->SetHot(false);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !button.Timeline()->IsRunning(); }));
    button.w.Repaint();
    EXPECT_FLOAT_EQ(1.0f, button.AnimatedColour().color.r);
    EXPECT_EQ(kRed, button.w.Read().RgbAt(30, 20));
}

TEST_F(ShapePaintersTest, EqualColoursAddNoTween)
{
    AnimatedButton button(L"0xFF00FF00", L"#FF00FF00");
    button.w.control->SetHot(true);
    EXPECT_FALSE(button.Timeline()->IsRunning());
    EXPECT_FALSE(button.Timeline()->HasValues());
    EXPECT_FALSE(button.AnimatedColour().found);
    EXPECT_FALSE(button.w.control->PlayAnimation(L"hot")) << "the answer is false in every case";
}

} // namespace

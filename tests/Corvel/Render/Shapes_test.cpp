// Shapes, lines, arcs, paths and brushes of the render target, checked by
// reading back the pixels of a real Direct2D surface.
#include "Corvel/Render/RenderTarget.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "Corvel/Core/UiGlobals.h"
#include "support/RenderTestSupport.h"

using namespace rendertest;
using namespace testsupport;

namespace {

const ui::Color kRed(1, 0, 0, 1);
const ui::Color kBlue(0, 0, 1, 1);
const ui::Color kGreen(0, 1, 0, 1);
const uint32_t kOpaqueRed = 0xFFFF0000u;

class ShapesTest : public UiLibraryTest {};

bool Painted(uint32_t pixel)
{
    return A(pixel) > 0;
}

// ------------------------------------------------------------ rounded shapes

struct CornerCase {
    const char* name;
    ui::CornerSize corner;
    ui::CornerSwitches switches;
    // Pixels just inside each corner of the box (10, 10, 110, 60): painted?
    bool topLeft, topRight, bottomRight, bottomLeft;
};

TEST_F(ShapesTest, FilledShapesRoundExactlyTheirChosenCorners)
{
    const CornerCase cases[] = {
        {"square", {0, 0}, {1, 1, 1, 1}, true, true, true, true},
        {"all corners", {16, 16}, {1, 1, 1, 1}, false, false, false, false},
        {"top corners", {16, 16}, {1, 1, 0, 0}, false, false, true, true},
        {"one corner", {16, 16}, {0, 0, 1, 0}, true, true, false, true},
        // Corners larger than the box: each radius stops at half the side,
        // so the shape stays whole (a pill with one square corner).
        {"oversized chosen corners", {400, 400}, {1, 1, 1, 0}, false, false, false, true},
    };
    DrawingSurface surface(130, 80);
    for (const CornerCase& c : cases) {
        SCOPED_TRACE(c.name);
        surface.Frame([&](ui::RenderTarget& rt) {
            rt.FillShape(ui::RECTF(10, 10, 110, 60), {kRed}, nullptr, &c.corner, &c.switches, nullptr);
        });
        PixelImage px = surface.Read();
        EXPECT_EQ(c.topLeft, Painted(px.At(11, 11)));
        EXPECT_EQ(c.topRight, Painted(px.At(108, 11)));
        EXPECT_EQ(c.bottomRight, Painted(px.At(108, 58)));
        EXPECT_EQ(c.bottomLeft, Painted(px.At(11, 58)));
        // The middle of every edge and the centre stay covered.
        EXPECT_EQ(kOpaqueRed, px.At(60, 11));
        EXPECT_EQ(kOpaqueRed, px.At(60, 58));
        EXPECT_EQ(kOpaqueRed, px.At(11, 35));
        EXPECT_EQ(kOpaqueRed, px.At(108, 35));
        EXPECT_EQ(kOpaqueRed, px.At(60, 35));
        EXPECT_FALSE(Painted(px.At(112, 35)));
    }
}

TEST_F(ShapesTest, OutlinesFollowTheSameCornersAndLeaveTheInsideEmpty)
{
    DrawingSurface surface(130, 80);
    const ui::CornerSize corner{20, 20};
    const ui::CornerSwitches top{1, 1, 0, 0};
    surface.Frame([&](ui::RenderTarget& rt) {
        rt.DrawShape(ui::RECTF(10, 10, 110, 60), {kBlue}, nullptr, &corner, &top, ui::kDashSolid, nullptr, 4.0f);
    });
    PixelImage px = surface.Read();
    EXPECT_EQ(0xFF0000FFu, px.At(60, 10));   // top edge
    EXPECT_EQ(0xFF0000FFu, px.At(10, 35));   // left edge
    EXPECT_EQ(0xFF0000FFu, px.At(110, 60));  // square bottom-right corner
    EXPECT_FALSE(Painted(px.At(60, 35)));     // inside
    EXPECT_FALSE(Painted(px.At(10, 10)));     // outside the rounded top-left corner
}

// ----------------------------------------------------------------- gradients

struct AngleCase {
    float angle;
    ui::GradientDirection expected;
};

TEST_F(ShapesTest, GradientAnglesGiveTheCornerPointsOfTheUnitBox)
{
    const AngleCase cases[] = {
        {90, {0, 0, 1, 0}},   {0, {0, 1, 0, 0}},   {180, {0, 0, 0, 1}}, {270, {1, 0, 0, 0}},
        {45, {0, 1, 1, 0}},   {135, {0, 0, 1, 1}}, {225, {1, 0, 0, 1}}, {315, {1, 1, 0, 0}},
        {30, {0, 1, 0, 0}},   {-90, {1, 0, 0, 0}}, {360, {0, 1, 0, 0}},
    };
    for (const AngleCase& c : cases) {
        ui::GradientDirection d{-7, -7, -7, -7};
        ui::GradientPointsFromAngle(d, c.angle);
        EXPECT_EQ(c.expected.x0, d.x0) << c.angle;
        EXPECT_EQ(c.expected.y0, d.y0) << c.angle;
        EXPECT_EQ(c.expected.x1, d.x1) << c.angle;
        EXPECT_EQ(c.expected.y1, d.y1) << c.angle;
    }
}

TEST_F(ShapesTest, GradientFillsRunAlongTheirDirectionWherePlaced)
{
    DrawingSurface surface(220, 120);
    ui::GradientDirection leftToRight, bottomToTop;
    ui::GradientPointsFromAngle(leftToRight, 90);
    ui::GradientPointsFromAngle(bottomToTop, 0);
    surface.Frame([&](ui::RenderTarget& rt) {
        rt.FillShape(ui::RECTF(10, 10, 110, 50), {kRed, kBlue}, &leftToRight, nullptr, nullptr, nullptr);
        rt.FillShape(ui::RECTF(110, 60, 210, 100), {kRed, kBlue}, &leftToRight, nullptr, nullptr, nullptr);
        rt.FillShape(ui::RECTF(10, 60, 50, 110), {kRed, kBlue}, &bottomToTop, nullptr, nullptr, nullptr);
    });
    PixelImage px = surface.Read();
    // Both horizontal fills start red at their own left edge and end blue.
    for (int left : {10, 110}) {
        const int y = left == 10 ? 30 : 80;
        SCOPED_TRACE(left);
        EXPECT_GT(R(px.At(left + 1, y)), 240);
        EXPECT_LT(B(px.At(left + 1, y)), 15);
        EXPECT_GT(B(px.At(left + 98, y)), 240);
        EXPECT_LT(R(px.At(left + 98, y)), 15);
    }
    EXPECT_GT(R(px.At(30, 108)), 240);  // bottom
    EXPECT_GT(B(px.At(30, 61)), 240);   // top
}

TEST_F(ShapesTest, OneGradientBrushServesEveryRectangleOfItsSize)
{
    DrawingSurface surface(50, 50);
    ui::RenderTarget& rt = surface.target();
    const ui::GradientStops stops{kRed, kBlue};
    ID2D1Brush* a = rt.GetBrush(ui::RECTF(0, 0, 40, 20), stops, nullptr);
    ID2D1Brush* b = rt.GetBrush(ui::RECTF(30, 70, 70, 90), stops, nullptr);
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(a, b);
    EXPECT_EQ(1u, rt.GradientBrushCount());
    D2D1_MATRIX_3X2_F m;
    b->GetTransform(&m);
    EXPECT_EQ(30.0f, m._31);
    EXPECT_EQ(70.0f, m._32);

    EXPECT_NE(a, rt.GetBrush(ui::RECTF(0, 0, 41, 20), stops, nullptr));  // other size
    ui::GradientStops placed = stops;
    ui::SetGradientStopPosition(placed[1], 0.5f);
    EXPECT_NE(a, rt.GetBrush(ui::RECTF(0, 0, 40, 20), placed, nullptr));  // other stops
    EXPECT_EQ(3u, rt.GradientBrushCount());

    // One stop is the cached solid brush of that colour, alpha as opacity.
    ID2D1Brush* solid = rt.GetBrush(ui::RECTF(0, 0, 40, 20), {ui::Color(0, 1, 0, 0.25f)}, nullptr);
    EXPECT_EQ(static_cast<ID2D1Brush*>(rt.GetSolidBrush(kGreen)), solid);
    EXPECT_EQ(nullptr, rt.GetBrush(ui::RECTF(0, 0, 40, 20), {}, nullptr));
}

TEST(BrushKeys, HashIsThirtyTwoBitFnv1a)
{
    struct {
        const char* text;
        uint32_t hash;
    } cases[] = {{"", 0x811C9DC5u}, {"a", 0xE40C292Cu}, {"foobar", 0xBF9CF968u}};
    for (const auto& c : cases)
        EXPECT_EQ(c.hash, ui::Fnv1a(c.text, std::strlen(c.text))) << c.text;
    EXPECT_EQ(0xBF9CF968u, ui::GradientBrushKeyHash()(std::string("foobar")));
    // A solid key hashes its four bytes from the lowest.
    const unsigned char bytes[4] = {0x33, 0x22, 0x11, 0xFF};
    EXPECT_EQ(ui::Fnv1a(bytes, 4), ui::SolidBrushKeyHash()(0xFF112233u));
}

TEST_F(ShapesTest, ShapeBitmapsHoldTheShapeAndScaleToTheirDestination)
{
    DrawingSurface surface(120, 80);
    ui::RenderTarget& rt = surface.target();
    ASSERT_TRUE(rt.HasResources());
    const ui::CornerSize corner{20, 20};
    const ui::RECTF inner(10, 5, 30, 15);  // brush and shape sit here
    Microsoft::WRL::ComPtr<ID2D1Bitmap> shape = ui::RenderShapeBitmap(
        rt.GetD2DTarget(), {kRed}, 40, 20, nullptr, -1.0f, nullptr, &inner, nullptr, nullptr);
    Microsoft::WRL::ComPtr<ID2D1Bitmap> rounded = ui::RenderShapeBitmap(
        rt.GetD2DTarget(), {kBlue}, 40, 20, nullptr, -1.0f, nullptr, nullptr, &corner, nullptr);
    ASSERT_NE(nullptr, shape.Get());
    ASSERT_NE(nullptr, rounded.Get());
    EXPECT_EQ(40u, shape->GetPixelSize().width);
    Microsoft::WRL::ComPtr<ID2D1Bitmap> doubled =
        ui::ScaleBitmap(rt.GetD2DTarget(), shape.Get(), ui::RECTF(0, 0, 40, 20), ui::RECTF(0, 0, 80, 40));
    ASSERT_NE(nullptr, doubled.Get());
    EXPECT_EQ(80u, doubled->GetPixelSize().width);
    EXPECT_EQ(40u, doubled->GetPixelSize().height);
    EXPECT_EQ(nullptr, ui::RenderShapeBitmap(rt.GetD2DTarget(), {kRed}, 0, 20, nullptr, -1.0f, nullptr, nullptr,
                                             nullptr, nullptr).Get());

    surface.Frame([&](ui::RenderTarget& t) {
        t.GetD2DTarget()->DrawBitmap(shape.Get(), D2D1::RectF(0, 0, 40, 20));
        t.GetD2DTarget()->DrawBitmap(rounded.Get(), D2D1::RectF(0, 40, 40, 60));
        t.GetD2DTarget()->DrawBitmap(doubled.Get(), D2D1::RectF(40, 0, 120, 40));
    });
    PixelImage px = surface.Read();
    EXPECT_EQ(kOpaqueRed, px.At(20, 10));
    EXPECT_FALSE(Painted(px.At(5, 10)));    // left of the shape rectangle
    EXPECT_FALSE(Painted(px.At(20, 17)));   // below it
    EXPECT_EQ(0xFF0000FFu, px.At(20, 50));
    EXPECT_FALSE(Painted(px.At(1, 41)));    // the rounded corner
    EXPECT_EQ(kOpaqueRed, px.At(40 + 40, 20));
    EXPECT_FALSE(Painted(px.At(40 + 15, 20))) << "the gap left of the shape doubled too";
}

// ---------------------------------------------------------------------- arcs

struct ArcCase {
    const char* name;
    float start, sweep;
    // Painted in the middle of the lower-right, lower-left, upper-left and
    // upper-right quarters of the ellipse?
    bool lowerRight, lowerLeft, upperLeft, upperRight;
};

TEST_F(ShapesTest, ArcsTurnWithTheSignOfTheirSweep)
{
    const ArcCase cases[] = {
        {"clockwise 270", 0, 270, true, true, true, false},
        {"anticlockwise 270", 0, -270, false, true, true, true},
        {"anticlockwise 90", 0, -90, false, false, false, true},
        {"clockwise from the top", -90, 90, false, false, false, true},
        {"clockwise from the left", 180, 90, false, false, true, false},
        {"whole turn", 0, 360, true, true, true, true},
        {"more than a turn", 90, 500, true, true, true, true},
        {"less than a turn back", 30, -400, true, true, true, true},
        {"no sweep", 0, 0, false, false, false, false},
    };
    const ui::RECTF box(20, 20, 120, 120);  // centre (70, 70), radius 50
    DrawingSurface surface(140, 140);
    for (const ArcCase& c : cases) {
        SCOPED_TRACE(c.name);
        surface.Frame([&](ui::RenderTarget& rt) { rt.DrawArc(c.start, c.sweep, box, 6.0f, kRed, ui::Color()); });
        PixelImage px = surface.Read();
        auto at = [&](float degrees) {
            const D2D1_POINT_2F p = ui::ArcPoint(box, degrees);
            return Painted(px.At(static_cast<int>(p.x), static_cast<int>(p.y)));
        };
        EXPECT_EQ(c.lowerRight, at(45)) << "lower right";
        EXPECT_EQ(c.lowerLeft, at(135)) << "lower left";
        EXPECT_EQ(c.upperLeft, at(225)) << "upper left";
        EXPECT_EQ(c.upperRight, at(315)) << "upper right";
        EXPECT_FALSE(Painted(px.At(70, 70)));
    }
}

TEST_F(ShapesTest, ArcGradientRunsFromTheSecondColourToTheFirst)
{
    DrawingSurface surface(140, 140);
    surface.Frame([&](ui::RenderTarget& rt) {
        rt.DrawArc(0, 180, ui::RECTF(20, 20, 120, 120), 8.0f, kRed, kBlue);
    });
    PixelImage px = surface.Read();
    const uint32_t start = px.At(119, 74), end = px.At(21, 74);
    EXPECT_GT(B(start), 200);
    EXPECT_LT(R(start), 60);
    EXPECT_GT(R(end), 200);
    EXPECT_LT(B(end), 60);
}

// ------------------------------------------------------------ lines and paths

TEST_F(ShapesTest, LinesAreDashedWhereThePlatformDrawsDashes)
{
    const bool dashes = PlatformDrawsDashes();
    EXPECT_EQ(nullptr, ui::CreateDashStrokeStyle(ui::kDashSolid).Get());
    for (int style = ui::kDashDash; style <= ui::kDashCustom; ++style)
        EXPECT_NE(nullptr, ui::CreateDashStrokeStyle(style).Get()) << style;

    DrawingSurface surface(140, 40);
    surface.Frame([&](ui::RenderTarget& rt) {
        rt.DrawLine(ui::RECTF(10, 10, 130, 10), {kRed}, nullptr, ui::kDashSolid, 2.0f);
        rt.DrawLine(ui::RECTF(10, 30, 130, 30), {kRed}, nullptr, ui::kDashDash, 2.0f);
    });
    PixelImage px = surface.Read();
    int solidGaps = 0, dashedGaps = 0;
    for (int x = 12; x < 128; ++x) {
        solidGaps += Painted(px.At(x, 10)) ? 0 : 1;
        dashedGaps += Painted(px.At(x, 30)) ? 0 : 1;
    }
    EXPECT_EQ(0, solidGaps);
    EXPECT_FALSE(Painted(px.At(70, 14)));  // 2 px wide
    if (dashes)
        EXPECT_GT(dashedGaps, 20);
    else
        EXPECT_EQ(0, dashedGaps) << "this platform draws dashed lines solid";
}

TEST_F(ShapesTest, PathsMapRelativeAndAbsolutePointsIntoTheirRectangle)
{
    ui::PathItem triangle;  // per cent of the rectangle
    triangle.relative = true;
    triangle.points = {{0, 0}, {100, 0}, {0, 100}};
    ui::PathItem square;  // pixels from its top-left corner
    square.points = {{0, 0}, {40, 0}, {40, 40}, {0, 40}};
    ui::PathItem lonePoint;
    lonePoint.points = {{5, 5}};

    DrawingSurface surface(240, 140);
    surface.Frame([&](ui::RenderTarget& rt) {
        rt.DrawPath(ui::RECTF(20, 20, 120, 120), {triangle, lonePoint}, 2.0f, kBlue, ui::kDashSolid);
        rt.FillPath(ui::RECTF(150, 20, 230, 120), {square}, {kRed}, nullptr);
    });
    PixelImage px = surface.Read();
    EXPECT_TRUE(Painted(px.At(70, 20)));   // top edge
    EXPECT_TRUE(Painted(px.At(20, 70)));   // left edge
    EXPECT_TRUE(Painted(px.At(70, 70)));   // the closing diagonal
    EXPECT_FALSE(Painted(px.At(40, 40)));  // inside: stroked only
    EXPECT_FALSE(Painted(px.At(100, 100)));
    EXPECT_EQ(kOpaqueRed, px.At(170, 40));
    EXPECT_FALSE(Painted(px.At(195, 40)));  // the square is 40 px, not 40 %
}

TEST_F(ShapesTest, EveryPathKindFillsThePolygonThroughItsPoints)
{
    DrawingSurface surface(60, 60);
    for (int kind = ui::kPathLines; kind <= ui::kPathPolygon; ++kind) {
        SCOPED_TRACE(kind);
        ui::PathItem item;
        item.kind = kind;
        item.relative = true;
        item.points = {{0, 0}, {100, 0}, {100, 100}, {0, 100}};
        surface.Frame([&](ui::RenderTarget& rt) {
            rt.FillPath(ui::RECTF(10, 10, 50, 50), {item}, {kGreen}, nullptr);
        });
        EXPECT_EQ(0xFF00FF00u, surface.Read().At(30, 30));
    }
}

} // namespace

// Control transform math: sine and cosine, compositions of scale, rotation,
// translation and perspective against matrices computed by hand, inverses,
// mapping window points back onto the control's plane, and the transform
// record driven by animated values.
#include "Corvel/Render/ControlTransform.h"
#include "Corvel/Render/TransformMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using ui::ControlTransform;
using ui::Matrix4x4;
using ui::Point3;
using ui::TransformParams;

const double kPi = 3.14159265358979323846;

// Cells of composed matrices are compared with this absolute slack: the
// polynomial sine and cosine are good to ~1e-7 and coordinates reach ~200.
constexpr float kCellSlack = 1e-4f;

TransformParams Rect(float left, float top, float width, float height)
{
    TransformParams p;
    p.left = left;
    p.top = top;
    p.width = width;
    p.height = height;
    return p;
}

std::string Describe(const Matrix4x4& m)
{
    std::string s;
    for (int i = 0; i < 4; ++i) {
        s += "(";
        for (int j = 0; j < 4; ++j)
            s += std::to_string(m.m[i][j]) + (j < 3 ? ", " : ")");
    }
    return s;
}

void ExpectMatrixNear(const float (&expected)[16], const Matrix4x4& actual, float slack, const std::string& what)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(expected[i], actual.m[i / 4][i % 4], slack)
            << what << ": row " << i / 4 << " column " << i % 4 << " of " << Describe(actual);
}

TEST(ScalarSinCos, MatchesTheLibraryAcrossReductionAndFolding)
{
    // Angles in every quadrant, beyond one turn both ways, and at the fold
    // points where the cosine changes sign.
    const double angles[] = {0.0,        kPi / 6,  kPi / 2 - 1e-3, kPi / 2, kPi / 2 + 1e-3, 2.5,
                             kPi,        -kPi / 2, -2.0,           -kPi,    3 * kPi / 2,    2 * kPi + kPi / 4,
                             -7.5,       12.0,     -40.0,          100.0};
    for (double a : angles) {
        const ui::SinCos sc = ui::ScalarSinCos(static_cast<float>(a));
        // The reduction works in single precision: its error grows with the
        // number of turns removed.
        const double slack = 2e-6 + std::fabs(a) * 1e-7;
        EXPECT_NEAR(std::sin(a), sc.sine, slack) << "angle " << a;
        EXPECT_NEAR(std::cos(a), sc.cosine, slack) << "angle " << a;
    }
    const ui::SinCos zero = ui::ScalarSinCos(0.0f);
    EXPECT_EQ(0.0f, zero.sine);
    EXPECT_EQ(1.0f, zero.cosine);
}

struct ComposeCase {
    const char* what;
    TransformParams params;
    float expected[16];
};

std::vector<ComposeCase> ComposeCases()
{
    std::vector<ComposeCase> cases;
    auto add = [&](const char* what, TransformParams p, std::initializer_list<float> cells) {
        ComposeCase c{what, p, {}};
        std::copy(cells.begin(), cells.end(), c.expected);
        cases.push_back(c);
    };

    add("nothing set: identity", Rect(10, 20, 100, 50), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});

    TransformParams depth = Rect(10, 20, 100, 50);
    depth.perspective = 400;
    // Only the third row changes: (cx/d, cy/d, 1, 1/d), the perspective
    // being taken about the centre (60, 45); points with z = 0 stay put.
    add("depth only: third row (cx/d, cy/d, 1, 1/d)", depth,
        {1, 0, 0, 0, 0, 1, 0, 0, 0.15f, 0.1125f, 1, 0.0025f, 0, 0, 0, 1});

    TransformParams scale = Rect(10, 20, 100, 50);
    scale.scale[0] = 2;
    scale.scale[1] = 3;
    add("scale about the centre (60, 45)", scale, {2, 0, 0, 0, 0, 3, 0, 0, 0, 0, 1, 0, -60, -90, 0, 1});

    TransformParams rz = Rect(0, 0, 100, 100);
    rz.rotation[2] = 90;
    add("rotation z 90 about (50, 50)", rz, {0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 100, 0, 0, 1});

    TransformParams ry = Rect(0, 0, 200, 80);
    ry.rotation[1] = 90;
    add("rotation y 90 about (100, 40)", ry, {0, 0, -1, 0, 0, 1, 0, 0, 1, 0, 0, 0, 100, 0, 100, 1});

    TransformParams rx = Rect(0, 0, 100, 60);
    rx.rotation[0] = 90;
    add("rotation x 90 about (50, 30)", rx, {1, 0, 0, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 30, -30, 1});

    TransformParams rxz = Rect(0, 0, 0, 0);
    rxz.rotation[0] = 90;
    rxz.rotation[2] = 90;
    add("rotation x before rotation z", rxz, {0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 0, 0, 1});

    TransformParams shift = Rect(10, 20, 100, 50);
    shift.translation[0] = 10;
    shift.translation[1] = -4;
    shift.dpiScale = 1.5f;
    add("translation scaled by the DPI scale 1.5", shift, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 15, -6, 0, 1});

    TransformParams push = Rect(0, 0, 0, 0);
    push.translation[2] = 100;
    push.perspective = 400;
    add("translation z before perspective", push, {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0.0025f, 0, 0, 100, 1.25f});

    TransformParams all = Rect(0, 0, 100, 100);
    all.scale[0] = 2;
    all.scale[1] = 2;
    all.rotation[2] = 90;
    all.translation[0] = 5;
    all.translation[1] = 7;
    all.perspective = 500;
    add("scale, rotation z, translation and perspective", all,
        {0, 2, 0, 0, -2, 0, 0, 0, 0.1f, 0.1f, 1, 0.002f, 155, -43, 0, 1});
    return cases;
}

TEST(ComposeTransform, MatchesHandComputedMatrices)
{
    for (const ComposeCase& c : ComposeCases())
        ExpectMatrixNear(c.expected, ui::ComposeTransform(c.params), kCellSlack, c.what);
}

TEST(ComposeTransform, InverseMapsEveryComposedPointBack)
{
    const Point3 points[] = {{0, 0, 0}, {100, 0, 0}, {37.5f, 81, 0}, {-20, 140, 12}};
    for (const ComposeCase& c : ComposeCases()) {
        const Matrix4x4 m = ui::ComposeTransform(c.params);
        Matrix4x4 inverse;
        ASSERT_TRUE(ui::InvertMatrix(m, inverse)) << c.what;
        ExpectMatrixNear({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, ui::MultiplyMatrix(m, inverse), kCellSlack,
                         std::string(c.what) + ", M * inverse");
        for (const Point3& p : points) {
            Point3 drawn{}, back{};
            ASSERT_TRUE(ui::TransformPoint(m, p, drawn)) << c.what;
            ASSERT_TRUE(ui::TransformPoint(inverse, drawn, back)) << c.what;
            EXPECT_NEAR(p.x, back.x, 1e-3f) << c.what;
            EXPECT_NEAR(p.y, back.y, 1e-3f) << c.what;
            EXPECT_NEAR(p.z, back.z, 1e-3f) << c.what;
        }
    }
}

TEST(ComposeTransform, EdgesOfTheControlLandWhereTheGeometrySays)
{
    // Depth alone: a point of the control's plane stays where it is.
    TransformParams depth = Rect(10, 20, 100, 50);
    depth.perspective = 250;
    Point3 out{};
    ASSERT_TRUE(ui::TransformPoint(ui::ComposeTransform(depth), Point3{33, 44, 0}, out));
    EXPECT_NEAR(33.0f, out.x, 1e-4f);
    EXPECT_NEAR(44.0f, out.y, 1e-4f);

    // A quarter turn about Y folds both side edges of a control 200 wide at
    // left 30 onto its centre line x = 130, one in front, one behind.
    TransformParams fold = Rect(30, 5, 200, 80);
    fold.rotation[1] = 90;
    const Matrix4x4 m = ui::ComposeTransform(fold);
    Point3 left{}, right{};
    ASSERT_TRUE(ui::TransformPoint(m, Point3{30, 25, 0}, left));
    ASSERT_TRUE(ui::TransformPoint(m, Point3{230, 25, 0}, right));
    EXPECT_NEAR(130.0f, left.x, 1e-3f);
    EXPECT_NEAR(130.0f, right.x, 1e-3f);
    EXPECT_NEAR(25.0f, left.y, 1e-3f);
    EXPECT_NEAR(100.0f, left.z, 1e-3f);
    EXPECT_NEAR(-100.0f, right.z, 1e-3f);
}

TEST(ComposeTransform, ZeroDepthMeansNoPerspective)
{
    // 1/0 would put infinity in the matrix; a depth of 0 (or one that is not
    // finite) leaves the perspective out.
    const float depths[] = {0.0f, INFINITY, NAN};
    for (float d : depths) {
        TransformParams p = Rect(0, 0, 100, 100);
        p.rotation[1] = 30;
        p.perspective = d;
        const Matrix4x4 m = ui::ComposeTransform(p);
        EXPECT_EQ(0.0f, m._34) << "depth " << d;
        EXPECT_EQ(1.0f, m._44) << "depth " << d;
        Matrix4x4 inverse;
        EXPECT_TRUE(ui::InvertMatrix(m, inverse)) << "depth " << d;
    }
}

TEST(InvertMatrix, RefusesSingularAndBrokenMatrices)
{
    TransformParams flat = Rect(0, 0, 100, 100);
    flat.scale[0] = 0;
    Matrix4x4 broken = ui::IdentityMatrix();
    broken._22 = NAN;
    const Matrix4x4 cases[] = {ui::ComposeTransform(flat), broken};
    for (const Matrix4x4& m : cases) {
        Matrix4x4 inverse = ui::IdentityMatrix();
        EXPECT_FALSE(ui::InvertMatrix(m, inverse)) << Describe(m);
        ExpectMatrixNear({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, inverse, 0.0f, "refused inverse");
    }
}

TEST(MapWindowPointToPlane, FindsThePointOfTheTiltedControlUnderTheMouse)
{
    // Tilted about Y with perspective, the drawn control is a trapezoid: a
    // window point maps back to the one point of the control drawn there.
    TransformParams tilt = Rect(40, 10, 200, 100);
    tilt.rotation[1] = 60;
    tilt.rotation[0] = -20;
    tilt.perspective = 400;
    const Matrix4x4 m = ui::ComposeTransform(tilt);
    for (float u : {40.0f, 90.0f, 140.0f, 239.0f}) {
        for (float v : {10.0f, 55.0f, 110.0f}) {
            Point3 drawn{};
            ASSERT_TRUE(ui::TransformPoint(m, Point3{u, v, 0}, drawn));
            float bu = 0, bv = 0;
            ASSERT_TRUE(ui::MapWindowPointToPlane(m, drawn.x, drawn.y, bu, bv)) << u << "," << v;
            EXPECT_NEAR(u, bu, 1e-2f) << u << "," << v;
            EXPECT_NEAR(v, bv, 1e-2f) << u << "," << v;
        }
    }

    // Seen edge-on the control covers no area: nothing maps back.
    TransformParams edgeOn = Rect(0, 0, 200, 100);
    edgeOn.rotation[1] = 90;
    float u = -1, v = -1;
    EXPECT_FALSE(ui::MapWindowPointToPlane(ui::ComposeTransform(edgeOn), 100, 50, u, v));
    EXPECT_EQ(-1.0f, u);
}

TEST(MapWindowPointToPlane, RefusesPointsBeyondTheHorizon)
{
    // Tilted almost edge-on under a short perspective, the far side of the
    // plane converges on a horizon line; window points past it show no part
    // of the control.
    TransformParams tilt = Rect(0, 0, 200, 100);
    tilt.rotation[1] = 80;
    tilt.perspective = 50;
    const Matrix4x4 m = ui::ComposeTransform(tilt);
    // Far along -u (in front of the viewer) the plane's horizontal lines
    // converge on the horizon.
    Point3 horizon{};
    ASSERT_TRUE(ui::TransformPoint(m, Point3{-1e6f, 50, 0}, horizon));
    float u = 0, v = 0;
    const float beyond = horizon.x + (horizon.x > 100 ? 40.0f : -40.0f);
    EXPECT_FALSE(ui::MapWindowPointToPlane(m, beyond, 50, u, v)) << "horizon at x = " << horizon.x;
    EXPECT_TRUE(ui::MapWindowPointToPlane(m, 100, 50, u, v));
    EXPECT_NEAR(100.0f, u, 1e-2f);
}

TEST(ControlTransform, CellsDriveTheParametersThroughTheValueSource)
{
    ControlTransform t;
    t.SetFrame(0, 0, 100, 100, 1.0f);
    t.SetMatrixCell(L"2_3", L"spin");
    t.SetMatrixCell(L"3_1", L"dx");
    t.SetMatrixCell(L"1_2", L"tall"); // the source has no such value
    // Keys that name no parameter: never asked for.
    for (const wchar_t* bad : {L"4_1", L"0_2", L"1_4", L"1_", L"1_11", L"x_y", L"2-3", L"12_3"})
        t.SetMatrixCell(bad, L"bad");

    std::vector<std::wstring> asked;
    t.UpdateFromProperties([&](const std::wstring& name, float& value) {
        asked.push_back(name);
        if (name == L"spin")
            value = 90;
        else if (name == L"dx")
            value = 10;
        else if (name == L"bad")
            value = 7;
        else
            return false;
        return true;
    });
    // Key order: "1_2", "2_3", "3_1".
    EXPECT_EQ((std::vector<std::wstring>{L"tall", L"spin", L"dx"}), asked);
    EXPECT_EQ(1.0f, t.Params().scale[1]) << "an unanswered cell keeps its parameter";
    EXPECT_EQ(1.0f, t.Params().scale[0]);
    EXPECT_EQ(0.0f, t.Params().rotation[0]);
    EXPECT_EQ(90.0f, t.Params().rotation[2]);
    EXPECT_EQ(10.0f, t.Params().translation[0]);
    // Rotation z 90 about (50, 50), then 10 pixels to the right.
    ExpectMatrixNear({0, 1, 0, 0, -1, 0, 0, 0, 0, 0, 1, 0, 110, 0, 0, 1}, t.GetMatrix(), kCellSlack, "driven");
    EXPECT_TRUE(t.HasInverse());
    ExpectMatrixNear({0, -1, 0, 0, 1, 0, 0, 0, 0, 0, 1, 0, 0, 110, 0, 1}, t.GetInverse(), kCellSlack, "inverse");

    // An empty name removes a cell.
    t.SetMatrixCell(L"2_3", L"");
    EXPECT_EQ(0u, t.GetCells().count(L"2_3"));
}

TEST(ControlTransform, WithoutCellsTheMatrixIsLeftAsComposed)
{
    ControlTransform t;
    t.SetFrame(0, 0, 100, 100, 1.0f);
    t.Params().rotation[2] = 45; // not composed yet
    bool asked = false;
    t.UpdateFromProperties([&](const std::wstring&, float&) { return asked = true; });
    EXPECT_FALSE(asked);
    ExpectMatrixNear({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}, t.GetMatrix(), 0.0f, "untouched");
}

TEST(ControlTransform, FrameRecomposesWithTheWindowScale)
{
    ControlTransform t;
    t.Params().translation[0] = 10;
    t.SetFrame(20, 30, 100, 40, 1.5f);
    ExpectMatrixNear({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 15, 0, 0, 1}, t.GetMatrix(), kCellSlack, "dpi 1.5");

    // A scale about the new centre follows the frame.
    t.Params().translation[0] = 0;
    t.Params().scale[0] = 2;
    t.SetFrame(0, 0, 50, 40, 1.0f);
    ExpectMatrixNear({2, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, -25, 0, 0, 1}, t.GetMatrix(), kCellSlack, "new frame");

    // A scale of 0 leaves no inverse.
    t.Params().scale[0] = 0;
    t.Compose();
    EXPECT_FALSE(t.HasInverse());
}

} // namespace

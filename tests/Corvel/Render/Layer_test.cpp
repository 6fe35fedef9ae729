// Control layers: sizing during layout, painting into the layer's own target
// and compositing into the parent with opacity, matrix, clip and shadow.
#include "Corvel/Render/Layer.h"

#include <gtest/gtest.h>

#include <vector>

#include "Corvel/Control/Box.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/RenderTarget.h"
#include "support/RenderTestSupport.h"

using rendertest::DrawingSurface;
using testsupport::A;
using testsupport::B;
using testsupport::G;
using testsupport::PixelImage;
using testsupport::R;
using testsupport::Rgb;
using ui::RECTF;

namespace {

class LayerTest : public rendertest::UiLibraryTest {};

const ui::Color kRed(1, 0, 0, 1);

D2D1_MATRIX_4X4_F Translation(float dx)
{
    D2D1_MATRIX_4X4_F m = {};
    for (int i = 0; i < 4; ++i)
        m.m[i][i] = 1.0f;
    m.m[3][0] = dx;
    return m;
}

ui::Control* FloatControl(float x, float y, float w, float h, uint32_t argb)
{
    ui::Control* c = new ui::Control();
    c->SetBkColor(argb);
    c->SetFloatRect(0, 0, 0, 0);
    c->SetFixedPos(x, y);
    c->SetFixedWidth(w);
    c->SetFixedHeight(h);
    return c;
}

// One frame of the parent around the layer's own frame, as the window's
// paint does: the layer draws a red fill over `fill` (window pixels).
void PaintThroughLayer(DrawingSurface& parent, ui::Layer& layer, const RECTF& fill, const ui::BoxShadow& shadow,
                       const ui::ClipBox* clip = nullptr, uint8_t opacity = 255)
{
    parent.Frame([&](ui::RenderTarget&) {
        ASSERT_TRUE(layer.Begin({fill}));
        layer.GetTarget()->FillShape(fill, {kRed}, nullptr, nullptr, nullptr, nullptr);
        layer.End(opacity, ui::BlurParams(), clip, shadow);
    });
}

TEST_F(LayerTest, LayeredControlsPaintIntoTheirOwnTargetAndCompositeAtTheirAlpha)
{
    ui::Box* root = new ui::Box();
    root->SetBkColor(0xFFFFFFFFu);
    ui::Control* panel = FloatControl(20, 20, 60, 40, 0xFFFF0000u);
    panel->EnsureLayer(1);
    panel->SetAlpha(128);
    ui::Box* group = new ui::Box();
    group->SetFloatRect(0, 0, 0, 0);
    group->SetFixedPos(100, 20);
    group->SetFixedWidth(80);
    group->SetFixedHeight(60);
    group->EnsureLayer(1);
    group->SetAlpha(128);
    ui::Control* inside = FloatControl(10, 10, 30, 30, 0xFF00FF00u);
    group->AppendChild(inside);
    root->AppendChild(panel);
    root->AppendChild(group);

    testsupport::TestWindow win;
    win.root = root;
    ASSERT_NE(nullptr, win.CreatePopup(200, 100));
    ShowWindow(win.GetHWND(), SW_SHOWNOACTIVATE);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return panel->GetLayer()->GetTarget() != nullptr; }, 10000));
    testsupport::PumpFor(100);

    ui::RenderTarget* windowTarget = win.core.GetRenderTarget();
    ASSERT_NE(nullptr, windowTarget);
    ui::Layer* layer = panel->GetLayer();
    EXPECT_EQ(layer->GetTarget(), panel->GetRenderTarget());
    EXPECT_EQ(windowTarget, layer->GetParentTarget());
    EXPECT_EQ(20, layer->X());
    EXPECT_EQ(60, layer->Width());
    EXPECT_EQ(group->GetLayer()->GetTarget(), inside->GetRenderTarget()) << "children draw into the box's layer";
    EXPECT_EQ(windowTarget, root->GetRenderTarget());

    PixelImage px = testsupport::ReadCorePixels(win.core);
    const uint32_t blended = px.At(50, 40);  // red at 128/255 over white
    EXPECT_EQ(255, R(blended));
    EXPECT_NEAR(127, G(blended), 2);
    EXPECT_NEAR(127, B(blended), 2);
    const uint32_t child = px.At(125, 45);  // green at 128/255 over white
    EXPECT_EQ(255, G(child));
    EXPECT_NEAR(127, R(child), 2);
    EXPECT_EQ(0xFFFFFFu, px.RgbAt(170, 70)) << "the box's own area is transparent";
    EXPECT_EQ(0xFFFFFFu, px.RgbAt(90, 40)) << "between the layers";
}

TEST_F(LayerTest, BeginTwiceIsRefusedAndTheFirstFrameStaysOpen)
{
    DrawingSurface parent(120, 80);
    ui::Layer layer(1);
    EXPECT_FALSE(layer.Begin({}));  // no target yet
    layer.SetUp(nullptr, &parent.target());
    EXPECT_TRUE(layer.IsInitialised());
    layer.Place(RECTF(20, 20, 60, 50.7f));
    EXPECT_EQ(30, layer.Height());
    EXPECT_FALSE(layer.Place(RECTF(20.4f, 20, 60.2f, 50)));  // same integer rectangle

    parent.Frame([&](ui::RenderTarget&) {
        ASSERT_TRUE(layer.Begin({RECTF(20, 20, 60, 50)}));
        EXPECT_FALSE(layer.Begin({RECTF(20, 20, 60, 50)}));
        EXPECT_TRUE(layer.IsDrawing());
        // Window coordinates: the layer's target is translated to its origin.
        layer.GetTarget()->FillShape(RECTF(30, 20, 60, 50), {kRed}, nullptr, nullptr, nullptr, nullptr);
        layer.End(255, ui::BlurParams(), nullptr, ui::BoxShadow());
        EXPECT_FALSE(layer.IsDrawing());
    });
    PixelImage px = parent.Read();
    EXPECT_EQ(0xFFFF0000u, px.At(40, 30));
    EXPECT_EQ(0u, px.At(25, 30));  // left of the fill, inside the layer
    EXPECT_EQ(0u, px.At(65, 30));  // outside the layer
}

TEST_F(LayerTest, ALayerWithoutAreaHasNoTargetAndCompositesNothing)
{
    DrawingSurface parent(120, 80);
    ui::Layer layer(1);
    layer.SetUp(nullptr, &parent.target());
    layer.Place(RECTF(10, 10, 10, 60));  // no width
    EXPECT_FALSE(layer.GetTarget()->HasResources());
    parent.Frame([&](ui::RenderTarget&) {
        layer.Begin({RECTF(0, 0, 120, 80)});
        layer.GetTarget()->FillShape(RECTF(0, 0, 120, 80), {kRed}, nullptr, nullptr, nullptr, nullptr);
        layer.End(255, ui::BlurParams(), nullptr, ui::BoxShadow());
    });
    for (uint32_t p : parent.Read().data)
        ASSERT_EQ(0u, p);

    layer.Place(RECTF(10, 10, 40, 60));  // given an area, it gets its target
    EXPECT_TRUE(layer.GetTarget()->HasResources());
}

TEST_F(LayerTest, ANewParentTargetGetsTheLayerMadeAnewOverIt)
{
    DrawingSurface first(80, 60), second(80, 60);
    ui::Layer layer(1);
    layer.SetUp(nullptr, &first.target());
    layer.Place(RECTF(10, 10, 50, 40));
    ui::RenderTarget* made = layer.GetTarget();
    layer.SetUp(nullptr, &first.target());
    EXPECT_EQ(made, layer.GetTarget()) << "the same parent keeps the target";

    layer.SetUp(nullptr, &second.target());
    EXPECT_EQ(&second.target(), layer.GetParentTarget());
    EXPECT_EQ(&second.target(), layer.GetTarget()->GetParent());
    PaintThroughLayer(second, layer, RECTF(10, 10, 50, 40), ui::BoxShadow());
    EXPECT_EQ(0xFFFF0000u, second.Read().At(30, 25)) << "placed as before, composited into the new parent";
}

TEST_F(LayerTest, MatrixAndClipApplyOnlyToTransformedLayers)
{
    DrawingSurface parent(120, 80);
    ui::Layer layer(1);
    layer.SetUp(nullptr, &parent.target());
    layer.Place(RECTF(20, 20, 60, 50));
    ui::ClipBox clip = ui::ClipBox::FromRect(RECTF(20, 20, 40, 50));

    // Identity: the clip box given is not pushed; the whole layer shows.
    PaintThroughLayer(parent, layer, RECTF(20, 20, 60, 50), ui::BoxShadow(), &clip);
    PixelImage px = parent.Read();
    EXPECT_EQ(0xFFFF0000u, px.At(50, 40));
    EXPECT_EQ(0, parent.target().ClipDepth());

    // Moved 30 px right (by Direct2D, or warped on the CPU where Direct2D
    // ignores the matrix): clipped to the box, which it no longer covers.
    layer.SetMatrix(Translation(30));
    PaintThroughLayer(parent, layer, RECTF(20, 20, 60, 50), ui::BoxShadow(), &clip);
    px = parent.Read();
    EXPECT_EQ(0u, px.At(50, 40)) << "outside the clip";
    EXPECT_EQ(0u, px.At(85, 40)) << "outside the clip";
    EXPECT_EQ(0u, px.At(30, 30)) << "moved away";
    EXPECT_EQ(0, parent.target().ClipDepth()) << "the clip is popped again";
}

TEST_F(LayerTest, ShadowSizeAndOffsetReachDrawShadowScaledByTheWindowScale)
{
    DrawingSurface parent(160, 120);
    std::vector<std::pair<RECTF, ui::BoxShadow>> seen;
    parent.target().SetShadowObserverForTesting(
        [&](const RECTF& r, const ui::BoxShadow& s) { seen.emplace_back(r, s); });
    ui::WindowCore core;
    core.SetDpi(144);  // scale 1.5
    ui::Layer layer(1);
    layer.SetUp(&core, &parent.target());
    const RECTF box(40, 40, 100, 80);
    layer.Place(box);

    struct {
        const char* name;
        uint8_t drop;
        float blur;
        size_t calls;
    } cases[] = {{"drop shadow", 1, 3, 1}, {"not a drop shadow", 0, 3, 0}, {"no blur", 1, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        seen.clear();
        ui::BoxShadow shadow;
        shadow.drop = c.drop;
        shadow.size = 4;
        shadow.blur = c.blur;
        shadow.offsetX = 2;
        shadow.offsetY = -2;
        shadow.color = 0xFF000000u;
        PaintThroughLayer(parent, layer, box, shadow);
        ASSERT_EQ(c.calls, seen.size());
        if (!c.calls)
            continue;
        EXPECT_EQ(box, seen[0].first);
        EXPECT_FLOAT_EQ(6.0f, seen[0].second.size);
        EXPECT_FLOAT_EQ(3.0f, seen[0].second.offsetX);
        EXPECT_FLOAT_EQ(-3.0f, seen[0].second.offsetY);
        EXPECT_FLOAT_EQ(3.0f, seen[0].second.blur) << "the blur is not scaled";
        PixelImage px = parent.Read();
        EXPECT_EQ(0xFFFF0000u, px.At(70, 60));
        EXPECT_GT(A(px.At(104, 58)), 0) << "the shadow shows beside the layer";
        EXPECT_EQ(0, A(px.At(130, 60)));
    }
}

// ---------------------------------------------------------------- showcase

// Draws the vector side of the render target over its rectangle.
class ShapeBoard : public ui::Control {
public:
    void FillBackground(ui::RenderTarget* t, const RECTF&) override
    {
        const RECTF b = GetBounds();
        auto at = [&](float l, float top, float r, float bottom) {
            return RECTF(b.left + l, b.top + top, b.left + r, b.top + bottom);
        };
        const ui::Color red(0.9f, 0.2f, 0.2f, 1), blue(0.2f, 0.3f, 0.9f, 1), gold(1, 0.8f, 0.1f, 1),
            teal(0.1f, 0.7f, 0.7f, 1), ink(0.15f, 0.15f, 0.2f, 1);
        const ui::CornerSize round{24, 24};
        const ui::CornerSwitches top{1, 1, 0, 0};
        ui::GradientDirection diagonal, vertical;
        ui::GradientPointsFromAngle(diagonal, 135);
        ui::GradientPointsFromAngle(vertical, 180);
        t->FillShape(at(10, 10, 110, 70), {red, gold}, &diagonal, &round, nullptr, nullptr);
        t->FillShape(at(120, 10, 220, 70), {blue, teal}, &vertical, &round, &top, nullptr);
        t->DrawShape(at(230, 10, 330, 70), {ink}, nullptr, &round, nullptr, ui::kDashSolid, nullptr, 3);
        t->DrawArc(0, 270, at(10, 90, 80, 160), 6, blue, ui::Color());
        t->DrawArc(-90, 300, at(90, 90, 160, 160), 6, red, gold);
        t->DrawArc(0, -120, at(170, 90, 240, 160), 6, teal, ui::Color());
        t->DrawLine(at(250, 95, 330, 95), {ink}, nullptr, ui::kDashDash, 2);
        t->DrawLine(at(250, 110, 330, 155), {red, blue}, nullptr, ui::kDashSolid, 4);
        ui::PathItem star;
        star.relative = true;
        star.points = {{50, 0}, {61, 35}, {98, 35}, {68, 57}, {79, 91}, {50, 70}, {21, 91}, {32, 57}, {2, 35}, {39, 35}};
        t->FillPath(at(10, 180, 90, 260), {star}, {gold, red}, &vertical);
        t->DrawPath(at(100, 180, 180, 260), {star}, 2, ink, ui::kDashSolid);

        // A shadowed rounded panel.
        ui::BoxShadow drop;
        drop.size = 10;
        drop.blur = 1.5f;
        drop.color = 0xFF202030u;
        drop.offsetX = 3;
        drop.offsetY = 3;
        const RECTF panel = at(200, 190, 320, 250);
        const ui::CornerSize soft{16, 16};
        t->DrawShadow(panel, drop, &soft, nullptr, nullptr, nullptr);
        t->FillShape(panel, {ui::Color(1, 1, 1, 1)}, nullptr, &soft, nullptr, nullptr);
        ui::BoxShadow inset = drop;
        inset.inset = 1;
        inset.size = 6;
        t->DrawShadow(at(210, 200, 310, 240), inset, nullptr, nullptr, nullptr, nullptr);
    }
};

TEST_F(LayerTest, ShowcaseWindowOfShapesEffectsAndALayeredPanel)
{
    ui::Box* root = new ui::Box();
    root->SetBkColor(0xFFF4F4F0u);
    ShapeBoard* board = new ShapeBoard();
    root->AppendChild(board);
    ui::Control* stripe = FloatControl(350, 30, 30, 220, 0xFF303040u);
    root->AppendChild(stripe);
    ui::Control* glass = FloatControl(340, 100, 90, 80, 0xFF2080E0u);
    glass->EnsureLayer(1);
    glass->SetAlpha(128);
    root->AppendChild(glass);

    testsupport::TestWindow win;
    win.root = root;
    ASSERT_NE(nullptr, win.CreatePopup(440, 280));
    ShowWindow(win.GetHWND(), SW_SHOWNOACTIVATE);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return glass->GetLayer()->GetTarget() != nullptr; }, 10000));
    testsupport::PumpFor(100);

    PixelImage px = testsupport::ReadCorePixels(win.core);
    ASSERT_EQ(440, px.width);
    // The layered panel lets the stripe and the background through.
    const uint32_t overStripe = px.At(365, 140), overBackground = px.At(420, 140);
    EXPECT_NE(Rgb(overStripe), Rgb(overBackground));
    EXPECT_NEAR(0x20 / 2 + 0x30 / 2, R(overStripe), 3);
    EXPECT_NEAR(0xF4 / 2 + 0x20 / 2, R(overBackground), 3);
    EXPECT_TRUE(testsupport::SavePng(px, testsupport::ArtifactsFolder() + L"\\shapes-and-effects.png"));
}

} // namespace

#include "Corvel/Render/RenderTarget.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "Corvel/Core/UiGlobals.h"
#include "support/RenderTestSupport.h"

using namespace rendertest;
using namespace testsupport;

namespace {

ui::RECTF Rf(float l, float t, float r, float b)
{
    ui::RECTF x;
    x.left = l;
    x.top = t;
    x.right = r;
    x.bottom = b;
    return x;
}

const D2D1_COLOR_F kRed = {1, 0, 0, 1};
const D2D1_COLOR_F kGreen = {0, 1, 0, 1};
const D2D1_COLOR_F kBlue = {0, 0, 1, 1};
const D2D1_COLOR_F kWhite = {1, 1, 1, 1};

void Fill(ui::RenderTarget& rt, const ui::RECTF& r, const D2D1_COLOR_F& c)
{
    ASSERT_NE(nullptr, rt.GetD2DTarget());
    rt.GetD2DTarget()->FillRectangle(D2D1::RectF(r.left, r.top, r.right, r.bottom), rt.GetSolidBrush(c));
}

// Counts pixels of an exact value inside a rectangle and outside it.
struct Census {
    int inside = 0;
    int outside = 0;
};
Census Count(const PixelImage& px, RECT r, uint32_t value)
{
    Census c;
    for (int y = 0; y < px.height; ++y)
        for (int x = 0; x < px.width; ++x) {
            const bool in = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            if (px.At(x, y) == value)
                (in ? c.inside : c.outside)++;
        }
    return c;
}
int Area(RECT r)
{
    return (r.right - r.left) * (r.bottom - r.top);
}

class RenderTargetTest : public UiLibraryTest {};

// ---------------------------------------------------------------- drawing

TEST_F(RenderTargetTest, WindowTargetFillsLandWhereGeometrySays)
{
    PlainWindow w(40, 40, 200, 150);
    ASSERT_NE(nullptr, w.hwnd());
    ui::RenderTarget rt;
    EXPECT_EQ(2, rt.GetKind());
    ASSERT_TRUE(rt.Init(w.hwnd(), nullptr, nullptr));
    ASSERT_TRUE(rt.HasResources());
    rt.Resize(0, 0, 200, 150);

    rt.BeginDraw({Rf(0, 0, 200, 150)});
    Fill(rt, Rf(0, 0, 200, 150), kWhite);
    Fill(rt, Rf(10, 10, 60, 40), kRed);
    Fill(rt, Rf(100, 50, 150, 120), kGreen);
    rt.EndDraw(false, nullptr);
    PumpMessages();

    const RECT red{10, 10, 60, 40};
    const RECT green{100, 50, 150, 120};
    PixelImage surface = ReadTargetPixels(rt);
    ASSERT_EQ(200, surface.width);
    ASSERT_EQ(150, surface.height);
    EXPECT_EQ(Area(red), Count(surface, red, 0xFFFF0000u).inside);
    EXPECT_EQ(0, Count(surface, red, 0xFFFF0000u).outside);
    EXPECT_EQ(Area(green), Count(surface, green, 0xFF00FF00u).inside);
    EXPECT_EQ(0, Count(surface, green, 0xFF00FF00u).outside);

}

TEST_F(RenderTargetTest, BeginDrawClearsOnlyTheListedRectangles)
{
    PlainWindow w(40, 40, 120, 80);
    ui::RenderTarget rt;
    rt.Init(w.hwnd(), nullptr, nullptr);
    rt.Resize(0, 0, 120, 80);
    rt.BeginDraw({Rf(0, 0, 120, 80)});
    Fill(rt, Rf(0, 0, 120, 80), kBlue);
    rt.EndDraw(false, nullptr);

    rt.BeginDraw({Rf(10, 10, 30, 20), Rf(50, 40, 70, 70)});
    rt.EndDraw(false, nullptr);
    PixelImage px = ReadTargetPixels(rt);
    ASSERT_EQ(120, px.width);
    const RECT a{10, 10, 30, 20};
    const RECT b{50, 40, 70, 70};
    EXPECT_EQ(Area(a), Count(px, a, 0u).inside);
    EXPECT_EQ(Area(b), Count(px, b, 0u).inside);
    EXPECT_EQ(120 * 80 - Area(a) - Area(b), Count(px, RECT{0, 0, 0, 0}, 0xFF0000FFu).outside);
}

TEST_F(RenderTargetTest, EndDrawWithoutAFrameOrResourcesDoesNothing)
{
    ui::RenderTarget rt;
    int called = 0;
    EXPECT_TRUE(rt.Init(nullptr, nullptr, [&] { ++called; }));  // no window, no parent
    EXPECT_FALSE(rt.HasResources());
    rt.BeginDraw({Rf(0, 0, 10, 10)});
    rt.EndDraw(true, nullptr);
    rt.SimulateDeviceLossForTesting();
    rt.EndDraw(false, nullptr);
    EXPECT_EQ(0, called);

    PlainWindow w(0, 0, 50, 50);
    ui::RenderTarget wt;
    wt.Init(w.hwnd(), nullptr, [&] { ++called; });
    wt.SimulateDeviceLossForTesting();
    wt.EndDraw(false, nullptr);  // never begun: no frame to end, no loss seen
    EXPECT_EQ(0, called);
    EXPECT_FALSE(wt.InFrame());
}

// ------------------------------------------------------------- clip stack

TEST_F(RenderTargetTest, NestedClipsPaintOnlyTheirIntersection)
{
    PlainWindow w(40, 40, 160, 120);
    ui::RenderTarget rt;
    rt.Init(w.hwnd(), nullptr, nullptr);
    rt.Resize(0, 0, 160, 120);
    rt.BeginDraw({Rf(0, 0, 160, 120)});
    {
        ui::ClipBox outer = ui::ClipBox::FromRect(Rf(10, 10, 100, 80));
        ui::ClipGuard g1(&rt, outer);
        ui::ClipBox inner = ui::ClipBox::FromRect(Rf(50, 30, 140, 110));
        {
            ui::ClipGuard g2(&rt, inner);
            EXPECT_EQ(2, rt.ClipDepth());
            EXPECT_EQ(1, rt.AppliedClips());
            EXPECT_FALSE(rt.LayerPushed());
            EXPECT_EQ(50.0f, rt.CurrentClip().left);
            EXPECT_EQ(30.0f, rt.CurrentClip().top);
            EXPECT_EQ(100.0f, rt.CurrentClip().right);
            EXPECT_EQ(80.0f, rt.CurrentClip().bottom);
            Fill(rt, Rf(0, 0, 160, 120), kRed);
        }
        EXPECT_EQ(1, rt.ClipDepth());
        EXPECT_EQ(1, rt.AppliedClips());
        EXPECT_EQ(10.0f, rt.CurrentClip().left);
        // Paint the outer region where red did not go.
        rt.GetD2DTarget()->FillRectangle(D2D1::RectF(0, 0, 50, 120), rt.GetSolidBrush(kGreen));
    }
    EXPECT_EQ(0, rt.ClipDepth());
    EXPECT_EQ(0, rt.AppliedClips());
    Fill(rt, Rf(150, 110, 160, 120), kBlue);  // unclipped again
    rt.EndDraw(false, nullptr);

    PixelImage px = ReadTargetPixels(rt);
    const RECT red{50, 30, 100, 80};
    const RECT green{10, 10, 50, 80};
    const RECT blue{150, 110, 160, 120};
    EXPECT_EQ(Area(red), Count(px, red, 0xFFFF0000u).inside);
    EXPECT_EQ(0, Count(px, red, 0xFFFF0000u).outside);
    EXPECT_EQ(Area(green), Count(px, green, 0xFF00FF00u).inside);
    EXPECT_EQ(0, Count(px, green, 0xFF00FF00u).outside);
    EXPECT_EQ(Area(blue), Count(px, blue, 0xFF0000FFu).inside);
}

TEST_F(RenderTargetTest, ClipGuardPopsOnlyTheEntryItGuards)
{
    PlainWindow w(40, 40, 100, 100);
    ui::RenderTarget rt;
    rt.Init(w.hwnd(), nullptr, nullptr);
    rt.Resize(0, 0, 100, 100);
    rt.BeginDraw({Rf(0, 0, 100, 100)});

    // An unguarded entry left above a guarded one survives the guard.
    ui::ClipBox a = ui::ClipBox::FromRect(Rf(0, 0, 50, 50));
    ui::ClipBox b = ui::ClipBox::FromRect(Rf(20, 20, 90, 90));
    uint32_t idB = 0;
    {
        ui::ClipGuard ga(&rt, a);
        idB = rt.PushClip(b);
    }
    ASSERT_EQ(1, rt.ClipDepth());
    EXPECT_EQ(idB, rt.TopClipId());
    EXPECT_EQ(20.0f, rt.ClipEntry(0)->rect.left);
    EXPECT_EQ(90.0f, rt.CurrentClip().right);
    EXPECT_EQ(1, rt.AppliedClips());
    rt.PopClip();
    EXPECT_EQ(0, rt.AppliedClips());

    // A guard whose entry is gone (the stack was emptied) pops nothing,
    // not even an entry pushed by someone else afterwards.
    {
        ui::ClipGuard stale(&rt, a);
        rt.DiscardResources();
        EXPECT_EQ(0, rt.ClipDepth());
        rt.BeginDraw({});
        rt.PushClip(b);
    }
    EXPECT_EQ(1, rt.ClipDepth());
    rt.PopClip();

    // A guard made on an empty stack guards nothing; popping twice is safe.
    {
        ui::ClipGuard none(&rt);
        ui::ClipGuard nullTarget(nullptr);
        ui::ClipGuard g(&rt, a);
        g.Pop();
        g.Pop();
        EXPECT_EQ(0, rt.ClipDepth());
        rt.PushClip(b);
    }
    EXPECT_EQ(1, rt.ClipDepth());
    rt.PopClip();
    rt.EndDraw(false, nullptr);
}

TEST_F(RenderTargetTest, ClipStackGrowsPastThirtyTwoKeepingEntries)
{
    PlainWindow w(40, 40, 100, 100);
    ui::RenderTarget rt;
    rt.Init(w.hwnd(), nullptr, nullptr);
    rt.Resize(0, 0, 100, 100);
    rt.BeginDraw({});
    EXPECT_EQ(32, rt.ClipCapacity());
    for (int i = 0; i < 32; ++i) {
        ui::ClipBox box = ui::ClipBox::FromRect(Rf(float(i), 0, 100, 100));
        rt.PushClip(box);
    }
    EXPECT_EQ(32, rt.ClipCapacity());
    ui::ClipBox box33 = ui::ClipBox::FromRect(Rf(40, 0, 100, 100));
    rt.PushClip(box33);
    EXPECT_EQ(64, rt.ClipCapacity());
    ASSERT_EQ(33, rt.ClipDepth());
    for (int i = 0; i < 32; ++i)
        EXPECT_EQ(float(i), rt.ClipEntry(i)->rect.left) << i;
    EXPECT_EQ(40.0f, rt.CurrentClip().left);
    EXPECT_EQ(1, rt.AppliedClips());
    while (rt.ClipDepth() > 0)
        rt.PopClip();
    EXPECT_EQ(0, rt.AppliedClips());
    rt.EndDraw(false, nullptr);
}

TEST_F(RenderTargetTest, RoundedClipsUseOneLayerAndSquareOnesNone)
{
    PlainWindow w(40, 40, 120, 120);
    ui::RenderTarget rt;
    rt.Init(w.hwnd(), nullptr, nullptr);
    rt.Resize(0, 0, 120, 120);
    rt.BeginDraw({Rf(0, 0, 120, 120)});

    ui::ClipBox square = ui::ClipBox::FromRect(Rf(0, 0, 120, 120));
    rt.PushClip(square);
    EXPECT_EQ(nullptr, rt.ClipEntry(0)->geometry);
    EXPECT_FALSE(rt.LayerPushed());

    ui::ClipBox outer = ui::ClipBox::Rounded(Rf(10, 10, 110, 110), 20, 20);
    rt.PushClip(outer);
    EXPECT_NE(nullptr, rt.ClipEntry(1)->geometry);
    EXPECT_EQ(rt.ClipEntry(1)->geometry, outer.geometry);  // written back, borrowed
    EXPECT_TRUE(rt.LayerPushed());

    // Only two corners rounded: built as a path.
    ui::ClipBox inner = ui::ClipBox::Rounded(Rf(30, 30, 90, 90), 16, 16);
    inner.topRight = inner.bottomLeft = 0;
    rt.PushClip(inner);
    ID2D1Geometry* innerGeometry = rt.ClipEntry(2)->geometry;
    ASSERT_NE(nullptr, innerGeometry);
    ID2D1PathGeometry* asPath = nullptr;
    EXPECT_TRUE(SUCCEEDED(innerGeometry->QueryInterface(__uuidof(ID2D1PathGeometry), reinterpret_cast<void**>(&asPath))));
    if (asPath)
        asPath->Release();
    EXPECT_TRUE(rt.LayerPushed());
    EXPECT_EQ(1, rt.AppliedClips());
    EXPECT_EQ(30.0f, rt.CurrentClip().left);
    Fill(rt, Rf(0, 0, 120, 120), kRed);

    rt.PopClip();  // back to the outer rounded shape alone
    EXPECT_TRUE(rt.LayerPushed());
    EXPECT_EQ(10.0f, rt.CurrentClip().left);
    rt.PopClip();
    EXPECT_FALSE(rt.LayerPushed());
    EXPECT_EQ(1, rt.AppliedClips());

    // Re-pushing a box that once carried a geometry, now square, must not
    // hand the stack a pointer it does not own.
    outer.cornerWidth = outer.cornerHeight = 0;
    rt.PushClip(outer);
    EXPECT_EQ(nullptr, rt.ClipEntry(1)->geometry);
    EXPECT_FALSE(rt.LayerPushed());
    rt.PopClip();
    rt.PopClip();
    EXPECT_EQ(0, rt.AppliedClips());
    rt.EndDraw(false, nullptr);

    // The inner square area, inside every clip, is red.
    PixelImage px = ReadTargetPixels(rt);
    EXPECT_EQ(0xFFFF0000u, px.At(60, 60));
    EXPECT_EQ(0u, px.At(5, 5));
}

TEST_F(RenderTargetTest, ClipsPushedOutsideAFrameApplyWhenItBegins)
{
    PlainWindow w(40, 40, 80, 80);
    ui::RenderTarget rt;
    rt.Init(w.hwnd(), nullptr, nullptr);
    rt.Resize(0, 0, 80, 80);
    ui::ClipBox box = ui::ClipBox::FromRect(Rf(20, 20, 40, 40));
    ui::ClipGuard g(&rt, box);
    EXPECT_EQ(0, rt.AppliedClips());
    rt.BeginDraw({Rf(0, 0, 80, 80)});
    EXPECT_EQ(1, rt.AppliedClips());
    Fill(rt, Rf(0, 0, 80, 80), kGreen);
    rt.EndDraw(false, nullptr);  // ends balanced
    EXPECT_EQ(0, rt.AppliedClips());
    EXPECT_EQ(1, rt.ClipDepth());
    g.Pop();
    PixelImage px = ReadTargetPixels(rt);
    const RECT in{20, 20, 40, 40};
    EXPECT_EQ(Area(in), Count(px, in, 0xFF00FF00u).inside);
    EXPECT_EQ(0, Count(px, in, 0xFF00FF00u).outside);
}

// ------------------------------------------------------------- GDI bridge

TEST_F(RenderTargetTest, GdiBridgeGetsTheClipBoundsAndGivesTheClipBack)
{
    PlainWindow w(40, 40, 120, 100);
    ui::RenderTarget rt;
    rt.Init(w.hwnd(), nullptr, nullptr);
    rt.Resize(0, 0, 120, 100);
    rt.BeginDraw({Rf(0, 0, 120, 100)});
    ui::ClipBox box = ui::ClipBox::Rounded(Rf(20, 10, 70, 60), 10, 10);
    ui::ClipGuard g(&rt, box);
    ASSERT_TRUE(rt.LayerPushed());

    HDC hdc = rt.BeginGdiClip();
    ASSERT_NE(nullptr, hdc);
    EXPECT_EQ(0, rt.AppliedClips());
    RECT clipBox{};
    EXPECT_NE(ERROR, GetClipBox(hdc, &clipBox));
    EXPECT_EQ(20, clipBox.left);
    EXPECT_EQ(10, clipBox.top);
    EXPECT_EQ(70, clipBox.right);
    EXPECT_EQ(60, clipBox.bottom);
    HBRUSH brush = CreateSolidBrush(RGB(0, 0, 255));
    RECT all{0, 0, 120, 100};
    FillRect(hdc, &all, brush);
    DeleteObject(brush);
    rt.EndGdiClip(hdc);
    EXPECT_EQ(1, rt.AppliedClips());
    EXPECT_TRUE(rt.LayerPushed());
    g.Pop();

    // The world transform of the target carries over to GDI.
    rt.GetD2DTarget()->SetTransform(D2D1::Matrix3x2F::Translation(90, 70));
    hdc = rt.BeginGdiClip();
    ASSERT_NE(nullptr, hdc);
    brush = CreateSolidBrush(RGB(255, 0, 0));
    RECT small{0, 0, 10, 10};
    FillRect(hdc, &small, brush);
    DeleteObject(brush);
    rt.EndGdiClip(hdc);
    EXPECT_EQ(0, rt.AppliedClips());
    rt.GetD2DTarget()->SetTransform(D2D1::Matrix3x2F::Identity());
    rt.EndDraw(false, nullptr);

    PixelImage px = ReadTargetPixels(rt);
    const RECT blue{20, 10, 70, 60};
    // GDI leaves alpha 0; compare colour only.
    int inside = 0, outside = 0;
    for (int y = 0; y < px.height; ++y)
        for (int x = 0; x < px.width; ++x)
            if (Rgb(px.At(x, y)) == 0x0000FFu)
                (x >= blue.left && x < blue.right && y >= blue.top && y < blue.bottom ? inside : outside)++;
    EXPECT_EQ(Area(blue), inside);
    EXPECT_EQ(0, outside);
    EXPECT_EQ(0xFF0000u, Rgb(px.At(95, 75)));
    EXPECT_NE(0xFF0000u, Rgb(px.At(85, 65)));
}

TEST_F(RenderTargetTest, GdiBridgeThatGetsNoDcKeepsTheClipApplied)
{
    // Wine's layer bitmaps offer no GDI DC; wherever that happens the bridge
    // answers null and the Direct2D clip stays in force.
    PlainWindow w(40, 40, 100, 100);
    ui::RenderTarget parent;
    parent.Init(w.hwnd(), nullptr, nullptr);
    parent.Resize(0, 0, 100, 100);
    ui::RenderTarget child;
    child.Init(nullptr, &parent, nullptr);
    child.Resize(0, 0, 50, 50);
    child.BeginDraw({Rf(0, 0, 50, 50)});
    ui::ClipBox box = ui::ClipBox::Rounded(Rf(5, 5, 30, 30), 8, 8);
    ui::ClipGuard g(&child, box);
    HDC hdc = child.BeginGdiClip();
    if (hdc) {
        EXPECT_EQ(0, child.AppliedClips());
        child.EndGdiClip(hdc);
    }
    EXPECT_EQ(1, child.AppliedClips());
    EXPECT_TRUE(child.LayerPushed());
    g.Pop();
    child.EndDraw(false, nullptr);
    EXPECT_EQ(nullptr, ui::RenderTarget().BeginGdiClip());  // no resources
}

// ---------------------------------------------------------- child targets

TEST_F(RenderTargetTest, ChildTargetCompositesIntoItsParentAtItsOrigin)
{
    PlainWindow w(40, 40, 160, 120);
    ui::RenderTarget parent;
    parent.Init(w.hwnd(), nullptr, nullptr);
    parent.Resize(0, 0, 160, 120);

    ui::RenderTarget child;
    EXPECT_TRUE(child.Init(nullptr, &parent, nullptr));
    child.Resize(30, 40, 50, 20);
    ASSERT_TRUE(child.HasResources());
    EXPECT_EQ(nullptr, child.GetWindow());
    child.BeginDraw({Rf(0, 0, 50, 20)});
    Fill(child, Rf(0, 0, 50, 20), kRed);
    child.EndDraw(false, nullptr);

    ui::RenderTarget half;
    half.Init(nullptr, &parent, nullptr);
    half.Resize(100, 80, 40, 30);
    half.BeginDraw({Rf(0, 0, 40, 30)});
    Fill(half, Rf(0, 0, 40, 30), kBlue);
    half.EndDraw(false, nullptr);

    parent.BeginDraw({Rf(0, 0, 160, 120)});
    ui::ParentComposition opaque;
    child.DrawToParent(opaque);
    ui::ParentComposition translucent;
    translucent.opacity = 0.5f;
    half.DrawToParent(translucent);
    parent.EndDraw(false, nullptr);

    PixelImage px = ReadTargetPixels(parent);
    const RECT red{30, 40, 80, 60};
    EXPECT_EQ(Area(red), Count(px, red, 0xFFFF0000u).inside);
    EXPECT_EQ(0, Count(px, red, 0xFFFF0000u).outside);
    const uint32_t mid = px.At(120, 95);
    EXPECT_NEAR(128, A(mid), 2);
    EXPECT_NEAR(128, B(mid), 2);
    EXPECT_EQ(0, R(mid));
    EXPECT_EQ(0u, px.At(99, 95));

    // Same size: only the origin moves, the bitmap is kept.
    const uint32_t gen = child.Generation();
    child.Resize(5, 6, 50, 20);
    EXPECT_EQ(gen, child.Generation());
    EXPECT_EQ(5.0f, child.OriginX());
    // New size: rebuilt, with its clip stack emptied.
    child.BeginDraw({});
    ui::ClipBox box = ui::ClipBox::FromRect(Rf(0, 0, 10, 10));
    child.PushClip(box);
    child.Resize(5, 6, 60, 25);
    EXPECT_NE(gen, child.Generation());
    EXPECT_EQ(0, child.ClipDepth());
    EXPECT_TRUE(child.HasResources());
    D2D1_SIZE_U size = child.GetD2DTarget()->GetPixelSize();
    EXPECT_EQ(60u, size.width);
    EXPECT_EQ(25u, size.height);
}

TEST_F(RenderTargetTest, ChildWithoutParentOrParentResourcesDrawsNothing)
{
    ui::RenderTarget orphan;
    EXPECT_TRUE(orphan.Init(nullptr, nullptr, nullptr));
    orphan.Resize(0, 0, 10, 10);
    EXPECT_FALSE(orphan.HasResources());
    orphan.DrawToParent(ui::ParentComposition());

    ui::RenderTarget bare;  // a parent that never got a target
    ui::RenderTarget child;
    EXPECT_TRUE(child.Init(nullptr, &bare, nullptr));
    EXPECT_FALSE(child.HasResources());
    child.BeginDraw({Rf(0, 0, 5, 5)});
    child.EndDraw(false, nullptr);
    child.DrawToParent(ui::ParentComposition());
    EXPECT_FALSE(child.HasResources());
}

// -------------------------------------------------------- layered present

TEST_F(RenderTargetTest, LayeredWindowPresentsPerPixelAlpha)
{
    // Screen corners that no other window of these tests uses: the screen
    // is read back.
    PlainWindow w(1480, 20, 100, 80, WS_EX_LAYERED);
    ASSERT_NE(nullptr, w.hwnd());
    ui::RenderTarget rt;
    rt.Init(w.hwnd(), nullptr, nullptr);
    rt.Resize(0, 0, 100, 80);
    rt.BeginDraw({Rf(0, 0, 100, 80)});
    Fill(rt, Rf(0, 0, 50, 80), D2D1_COLOR_F{1, 0, 0, 1});
    Fill(rt, Rf(50, 0, 100, 40), D2D1_COLOR_F{0, 0, 1, 0.5f});
    // (50..100, 40..80) stays transparent.
    RECT dirty{0, 0, 100, 80};
    rt.EndDraw(true, &dirty);
    PumpMessages();

    // What the system received, as the screen shows it with nothing behind
    // the window: premultiplied colours.
    RECT wr{};
    GetWindowRect(w.hwnd(), &wr);
    PixelImage px = ReadScreenPixels(wr);
    ASSERT_EQ(100, px.width);
    EXPECT_EQ(0xFF0000u, Rgb(px.At(10, 10)));
    const uint32_t blue = px.At(75, 20);
    EXPECT_NEAR(128, B(blue), 2);
    EXPECT_EQ(0, R(blue));
    EXPECT_EQ(0u, Rgb(px.At(75, 60)));

    // The source surface keeps its per-pixel alpha.
    PixelImage surface = ReadTargetPixels(rt);
    EXPECT_EQ(0xFFFF0000u, surface.At(10, 10));
    EXPECT_NEAR(128, A(surface.At(75, 20)), 2);
    EXPECT_EQ(0u, surface.At(75, 60));
}

// ------------------------------------------------------------ device loss

TEST_F(RenderTargetTest, DeviceLossRecreatesEverythingAndCallsTheOwnerOnce)
{
    PlainWindow w(40, 40, 100, 80);
    ui::RenderTarget rt;
    int called = 0;
    rt.Init(w.hwnd(), nullptr, [&] {
        ++called;
        EXPECT_TRUE(rt.HasResources());  // the owner can reload right away
    });
    rt.Resize(0, 0, 100, 80);
    const uint32_t gen = rt.Generation();

    rt.BeginDraw({Rf(0, 0, 100, 80)});
    Fill(rt, Rf(0, 0, 100, 80), kRed);
    EXPECT_EQ(1u, rt.SolidBrushCount());
    ui::ClipBox box = ui::ClipBox::FromRect(Rf(0, 0, 10, 10));
    rt.PushClip(box);
    rt.SimulateDeviceLossForTesting();
    rt.EndDraw(false, nullptr);

    EXPECT_EQ(1, called);
    EXPECT_TRUE(rt.HasResources());
    EXPECT_NE(gen, rt.Generation());
    EXPECT_EQ(0u, rt.SolidBrushCount());
    EXPECT_EQ(0, rt.ClipDepth());

    // The next ordinary frame reports nothing and draws again.
    rt.BeginDraw({Rf(0, 0, 100, 80)});
    Fill(rt, Rf(0, 0, 100, 80), kGreen);
    rt.EndDraw(false, nullptr);
    EXPECT_EQ(1, called);
    EXPECT_EQ(0xFF00FF00u, ReadTargetPixels(rt).At(50, 40));
}

TEST_F(RenderTargetTest, ChildRebuildsFromItsParentsNewTargetAfterDeviceLoss)
{
    PlainWindow w(40, 40, 100, 80);
    ui::RenderTarget parent;
    int parentCalls = 0, childCalls = 0;
    parent.Init(w.hwnd(), nullptr, [&] { ++parentCalls; });
    parent.Resize(0, 0, 100, 80);
    ui::RenderTarget child;
    child.Init(nullptr, &parent, [&] { ++childCalls; });
    child.Resize(10, 10, 30, 30);
    ASSERT_TRUE(child.HasResources());

    parent.BeginDraw({});
    parent.SimulateDeviceLossForTesting();
    parent.EndDraw(false, nullptr);
    EXPECT_EQ(1, parentCalls);
    EXPECT_EQ(0, childCalls);  // only the target that saw the loss is rebuilt at once

    // Compositing a bitmap of the old device is skipped.
    parent.BeginDraw({Rf(0, 0, 100, 80)});
    child.DrawToParent(ui::ParentComposition());
    parent.EndDraw(false, nullptr);

    child.BeginDraw({Rf(0, 0, 30, 30)});
    EXPECT_EQ(1, childCalls);
    ASSERT_TRUE(child.HasResources());
    Fill(child, Rf(0, 0, 30, 30), kBlue);
    child.EndDraw(false, nullptr);
    parent.BeginDraw({Rf(0, 0, 100, 80)});
    child.DrawToParent(ui::ParentComposition());
    parent.EndDraw(false, nullptr);
    EXPECT_EQ(0xFF0000FFu, ReadTargetPixels(parent).At(25, 25));
    EXPECT_EQ(1, childCalls);
}

TEST_F(RenderTargetTest, ResourcesAreReleasedExactlyOnce)
{
    PlainWindow w(40, 40, 60, 60);
    ui::RenderTarget rt;
    rt.Init(w.hwnd(), nullptr, nullptr);
    ID2D1RenderTarget* target = rt.GetD2DTarget();
    ASSERT_NE(nullptr, target);
    target->AddRef();
    ID2D1SolidColorBrush* brush = rt.GetSolidBrush(kRed);
    ASSERT_NE(nullptr, brush);
    brush->AddRef();

    rt.DiscardResources();
    rt.DiscardResources();
    EXPECT_FALSE(rt.HasResources());
    EXPECT_EQ(nullptr, rt.GetGdiInterop());
    EXPECT_EQ(nullptr, rt.GetDeviceContext());
    EXPECT_EQ(0u, brush->Release());
    EXPECT_EQ(0u, target->Release());
}

// ---------------------------------------------------------------- brushes

TEST_F(RenderTargetTest, SolidBrushesAreCachedByOpaqueColourWithAlphaAsOpacity)
{
    PlainWindow w(40, 40, 60, 60);
    ui::RenderTarget rt;
    rt.Init(w.hwnd(), nullptr, nullptr);
    ID2D1SolidColorBrush* a = rt.GetSolidBrush(D2D1_COLOR_F{1, 0.5f, 0, 1});
    ID2D1SolidColorBrush* b = rt.GetSolidBrush(D2D1_COLOR_F{1, 0.5f, 0, 0.25f});
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(a, b);
    EXPECT_FLOAT_EQ(0.25f, a->GetOpacity());
    EXPECT_FLOAT_EQ(1.0f, a->GetColor().a);
    ID2D1SolidColorBrush* c = rt.GetSolidBrush(D2D1_COLOR_F{0, 0.5f, 1, 1});
    EXPECT_NE(a, c);
    EXPECT_EQ(2u, rt.SolidBrushCount());
    // Channels beyond 1 are clamped instead of spilling into the next byte.
    ID2D1SolidColorBrush* over = rt.GetSolidBrush(D2D1_COLOR_F{0, 0, 2.0f, 1});
    ID2D1SolidColorBrush* blue = rt.GetSolidBrush(D2D1_COLOR_F{0, 0, 1.0f, 1});
    EXPECT_EQ(over, blue);
    ID2D1SolidColorBrush* green = rt.GetSolidBrush(D2D1_COLOR_F{0, 1.0f / 255.0f + 0.001f, 0, 1});
    EXPECT_NE(over, green);

    // The colour record takes the same cache.
    EXPECT_EQ(a, rt.GetSolidBrush(ui::Color::MakeArgb(0x80FF7F00u)));
    EXPECT_NEAR(128.0f / 255.0f, a->GetOpacity(), 1e-6);

    ui::RenderTarget none;
    EXPECT_EQ(nullptr, none.GetSolidBrush(kRed));
}

} // namespace

// ------------------------------------------------------------- layer blur

#include "Corvel/Render/LayerBlur.h"

namespace {

TEST(LayerBlur, BoxBlurKeepsEnergyAndSymmetryAndHardEdgesKeepFlatImages)
{
    const int w = 41, h = 41;
    std::vector<uint32_t> px(w * h, 0);
    // A 5 x 5 opaque white block in the middle.
    for (int y = 18; y < 23; ++y)
        for (int x = 18; x < 23; ++x)
            px[y * w + x] = 0xFFFFFFFFu;
    ui::BoxBlurPremultiplied(px.data(), w, h, 3.0f, false);
    long total = 0;
    for (uint32_t p : px)
        total += p >> 24;
    EXPECT_NEAR(25 * 255, total, 25 * 255 / 50);  // within rounding
    for (int d = 0; d < 15; ++d) {
        EXPECT_EQ(px[20 * w + 20 - d] >> 24, px[20 * w + 20 + d] >> 24) << d;
        EXPECT_EQ(px[(20 - d) * w + 20] >> 24, px[20 * w + 20 + d] >> 24) << d;
        if (d > 0) {
            EXPECT_LE(px[20 * w + 20 + d] >> 24, px[20 * w + 20 + d - 1] >> 24) << d;
        }
    }
    // Premultiplied colour never exceeds alpha.
    for (uint32_t p : px)
        EXPECT_LE((p >> 16) & 0xFF, p >> 24);

    std::vector<uint32_t> flat(20 * 10, 0x80402010u);
    ui::BoxBlurPremultiplied(flat.data(), 20, 10, 2.5f, true);
    for (uint32_t p : flat)
        EXPECT_EQ(0x80402010u, p);
    ui::BoxBlurPremultiplied(flat.data(), 20, 10, 0.0f, false);  // no blur
    EXPECT_EQ(0x80402010u, flat[0]);
}

TEST_F(RenderTargetTest, BlurredLayerFallsOffLikeAGaussianWithEitherBorderMode)
{
    PlainWindow w(40, 40, 200, 120);
    ui::RenderTarget parent;
    parent.Init(w.hwnd(), nullptr, nullptr);
    parent.Resize(0, 0, 200, 120);
    // Either path (the effect, or our own blur where it is missing) must give
    // the same falloff.
    printf("Gaussian blur effect available: %d\n", ui::GaussianBlurEffectAvailable(parent.GetDeviceContext()));

    // A red square inside a larger layer, and a layer filled to its edges.
    ui::RenderTarget square;
    square.Init(nullptr, &parent, nullptr);
    square.Resize(10, 30, 60, 60);
    square.BeginDraw({Rf(0, 0, 60, 60)});
    Fill(square, Rf(20, 20, 40, 40), kRed);
    square.EndDraw(false, nullptr);
    ui::RenderTarget soft, hard;
    for (ui::RenderTarget* t : {&soft, &hard}) {
        t->Init(nullptr, &parent, nullptr);
        t->BeginDraw({});
    }
    soft.Resize(100, 30, 30, 30);
    hard.Resize(150, 30, 30, 30);
    for (ui::RenderTarget* t : {&soft, &hard}) {
        t->BeginDraw({Rf(0, 0, 30, 30)});
        Fill(*t, Rf(0, 0, 30, 30), kBlue);
        t->EndDraw(false, nullptr);
    }

    parent.BeginDraw({Rf(0, 0, 200, 120)});
    ui::ParentComposition blur;
    blur.blurDeviation = 4.0f;
    blur.blurBorderMode = 0;  // soft
    square.DrawToParent(blur);
    soft.DrawToParent(blur);
    blur.blurBorderMode = 1;  // hard
    hard.DrawToParent(blur);
    parent.EndDraw(false, nullptr);

    PixelImage px = ReadTargetPixels(parent);
    // Square spans parent x 30..50 on row 60: nearly full in the middle,
    // about half at its edges, nothing 3 deviations out, rising in between.
    EXPECT_GT(A(px.At(40, 60)), 235);
    EXPECT_NEAR(128, A(px.At(30, 60)), 24);
    EXPECT_NEAR(128, A(px.At(49, 60)), 24);
    EXPECT_LE(A(px.At(17, 60)), 3);
    for (int x = 18; x <= 40; ++x)
        EXPECT_LE(A(px.At(x - 1, 60)), A(px.At(x, 60))) << x;
    EXPECT_EQ(A(px.At(40, 60)), R(px.At(40, 60)));  // red, premultiplied

    // Soft border: the layer spreads past its own rectangle and its edge is
    // about half; hard border: nothing outside, edges kept full.
    EXPECT_GT(A(px.At(97, 45)), 10);
    EXPECT_NEAR(128, A(px.At(100, 45)), 30);
    EXPECT_EQ(0, A(px.At(147, 45)));
    EXPECT_EQ(0, A(px.At(181, 45)));
    EXPECT_GT(A(px.At(150, 45)), 235);
    EXPECT_GT(A(px.At(179, 45)), 235);
}

} // namespace

// Effects, shadows, blurred shapes and backdrops on a real Direct2D surface
// (each takes the path its probe chose on this system), and the CPU
// routines behind them.
#include "Corvel/Render/Effects.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <gdiplus.h>

#include <cstring>

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Render/RenderTarget.h"
#include "support/RenderTestSupport.h"

using namespace rendertest;
using namespace testsupport;

namespace {

class EffectsTest : public UiLibraryTest {};

const ui::Color kBlue(0, 0, 1, 1);

ui::BoxShadow Shadow(float size, float blur, uint32_t argb, int inset = 0)
{
    ui::BoxShadow s;
    s.size = size;
    s.blur = blur;
    s.color = argb;
    s.inset = inset;
    return s;
}

// ------------------------------------------------------------ CPU routines

TEST(BoxBlur, RadiiFollowTheBoxWidthOfTheSigma)
{
    struct {
        float sigma;
        std::array<int, 6> radii;
    } cases[] = {
        {1.5f, {1, 0, 0, 1, 1, 1}},  {3.5f, {1, 1, 1, 1, 1, 1}}, {0.0f, {1, 0, 0, 1, 1, 1}},
        {3.0f, {1, 0, 0, 1, 1, 1}},  {5.0f, {2, 1, 1, 2, 2, 2}}, {7.0f, {3, 2, 2, 3, 3, 3}},
        {10.0f, {4, 3, 3, 4, 4, 4}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.radii, ui::BoxBlurRadii(c.sigma)) << c.sigma;
}

TEST(ShadowRings, AlphaFadesFromTheBlurValueAndNeverExceedsOpaque)
{
    struct {
        int v;
        float size, blur, alpha;
    } cases[] = {
        {1, 8, 12, 1.0f},      // (1 - sin(pi/16)) * 12 = 9.7: opaque
        {4, 8, 3, 0.8787f},    // (1 - sin(pi/4)) * 3
        {4, 8, 1, 0.2929f},
        {7, 8, 1, 0.0192f},
        {8, 8, 5, 0.0f},       // the outer edge
        {1, 0, 5, 0.0f},       // no size, no rings
    };
    for (const auto& c : cases)
        EXPECT_NEAR(c.alpha, ui::ShadowRingAlpha(c.v, c.size, c.blur), 1e-3f) << c.v << " " << c.size << " " << c.blur;
}

// Rows of 9 BGRA pixels; red carries a marker the blur must not touch.
std::vector<uint32_t> Spike(int width, int height, int x, int y)
{
    std::vector<uint32_t> px(static_cast<size_t>(width * height), 0x00770000u);
    px[static_cast<size_t>(y * width + x)] |= 0xFF000000u;
    return px;
}

TEST(BoxBlur, PixelsBlurOnlyAlphaAlongTheAxesAsked)
{
    const int w = 9, h = 3;
    const uint8_t spread[9] = {0, 9, 28, 56, 65, 56, 28, 9, 0};  // three 3-wide boxes of 255
    const uint8_t edge[5] = {122, 84, 37, 9, 0};                  // the same at a clamped start

    std::vector<uint32_t> rows = Spike(w, h, 4, 1);
    ui::BoxBlurPixels(reinterpret_cast<uint8_t*>(rows.data()), w * 4, 3.5f, RECT{0, 0, w, h}, 0.0f);
    for (int x = 0; x < w; ++x) {
        EXPECT_EQ(spread[x], A(rows[static_cast<size_t>(w + x)])) << x;
        EXPECT_EQ(0, A(rows[static_cast<size_t>(x)])) << "rows stay apart";
        EXPECT_EQ(0x77, R(rows[static_cast<size_t>(w + x)]));
    }

    std::vector<uint32_t> atEdge = Spike(w, h, 0, 0);
    ui::BoxBlurPixels(reinterpret_cast<uint8_t*>(atEdge.data()), w * 4, 3.5f, RECT{0, 0, w, 1}, 0.0f);
    for (int x = 0; x < 5; ++x)
        EXPECT_EQ(edge[x], A(atEdge[static_cast<size_t>(x)])) << x;

    // Columns only, inside a rectangle that leaves column 0 alone.
    const int tall = 9;
    std::vector<uint32_t> cols = Spike(3, tall, 1, 4);
    cols[static_cast<size_t>(4 * 3)] |= 0xFF000000u;  // column 0, outside the rectangle
    ui::BoxBlurPixels(reinterpret_cast<uint8_t*>(cols.data()), 3 * 4, 0.0f, RECT{1, 0, 3, tall}, 3.5f);
    for (int y = 0; y < tall; ++y) {
        EXPECT_EQ(spread[y], A(cols[static_cast<size_t>(y * 3 + 1)])) << y;
        EXPECT_EQ(y == 4 ? 255 : 0, A(cols[static_cast<size_t>(y * 3)])) << y;
    }
}

TEST_F(EffectsTest, GdiplusBitmapsOfEveryDepthComeOutTopDownAndOpaqueWithoutAlpha)
{
    struct {
        int bits;
        uint32_t top, bottom;          // as written into the source
        uint32_t wantTop, wantBottom;  // premultiplied ARGB read back
    } cases[] = {
        {24, 0xFF0000u, 0x0000FFu, 0xFFFF0000u, 0xFF0000FFu},
        {32, 0x80800000u, 0xFF00FF00u, 0x80800000u, 0xFF00FF00u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.bits);
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = 3;
        bi.bmiHeader.biHeight = -2;  // top-down source
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = static_cast<WORD>(c.bits);
        bi.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP source = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
        ASSERT_NE(nullptr, source);
        const int stride = ((3 * c.bits / 8) + 3) & ~3;
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 3; ++x) {
                const uint32_t v = y == 0 ? c.top : c.bottom;
                std::memcpy(static_cast<uint8_t*>(bits) + y * stride + x * (c.bits / 8), &v,
                            static_cast<size_t>(c.bits / 8));
            }

        std::unique_ptr<Gdiplus::Bitmap> out = ui::CreateGdiplusBitmapFromHbitmap(source);
        BITMAP gone{};
        EXPECT_EQ(0, GetObjectW(source, sizeof(gone), &gone)) << "the HBITMAP is deleted";
        ASSERT_NE(nullptr, out);
        ASSERT_EQ(3u, out->GetWidth());
        ASSERT_EQ(2u, out->GetHeight());
        Gdiplus::BitmapData data{};
        Gdiplus::Rect all(0, 0, 3, 2);
        ASSERT_EQ(Gdiplus::Ok, out->LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data));
        const uint8_t* scan = static_cast<const uint8_t*>(data.Scan0);
        EXPECT_EQ(c.wantTop, *reinterpret_cast<const uint32_t*>(scan + 8));
        EXPECT_EQ(c.wantBottom, *reinterpret_cast<const uint32_t*>(scan + data.Stride));
        out->UnlockBits(&data);
    }
    EXPECT_EQ(nullptr, ui::CreateGdiplusBitmapFromHbitmap(nullptr));
}

TEST(Backdrop, SourceRectangleIsClampedToTheSurface)
{
    struct {
        const char* name;
        ui::RECTF rect;
        float originX, originY;
        bool any;
        D2D1_RECT_U want;
    } cases[] = {
        {"inside", {10, 10, 50, 40}, 0, 0, true, {10, 10, 50, 40}},
        {"over the top-left", {-10, -5, 50, 40}, 0, 0, true, {0, 0, 50, 40}},
        {"over the bottom-right", {90, 70, 130, 100}, 0, 0, true, {90, 70, 100, 80}},
        {"fractional, rounded outward", {10.5f, 10.2f, 20.3f, 30.7f}, 0, 0, true, {10, 10, 21, 31}},
        {"child surface at its origin", {40, 30, 60, 50}, 30, 20, true, {10, 10, 30, 30}},
        {"beside the surface", {120, 0, 150, 10}, 0, 0, false, {}},
        {"empty", {20, 20, 20, 40}, 0, 0, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        D2D1_RECT_U out{};
        ASSERT_EQ(c.any, ui::BackdropSourceRect(c.rect, c.originX, c.originY, D2D1::SizeU(100, 80), out));
        if (!c.any)
            continue;
        EXPECT_EQ(c.want.left, out.left);
        EXPECT_EQ(c.want.top, out.top);
        EXPECT_EQ(c.want.right, out.right);
        EXPECT_EQ(c.want.bottom, out.bottom);
    }
}

// ------------------------------------------------------------------ effects

TEST_F(EffectsTest, EffectObjectsRenderWhereTheSystemRunsThem)
{
    DrawingSurface surface(40, 40);
    ui::RenderTarget& rt = surface.target();
    ID2D1DeviceContext* dc = rt.GetDeviceContext();
    ASSERT_TRUE(rt.HasResources());
    ui::PixelBuffer pixels;
    ASSERT_TRUE(ui::RasterizeShapeOnCpu({kBlue}, 20, 10, nullptr, -1.0f, nullptr, nullptr, nullptr, nullptr, 0,
                                        pixels));
    EXPECT_EQ(20, pixels.width);
    EXPECT_EQ(0xFF0000FFu, pixels.data[55]);
    Microsoft::WRL::ComPtr<ID2D1Bitmap> bitmap = ui::CreateBitmapFromPixels(rt.GetD2DTarget(), pixels);
    ASSERT_NE(nullptr, bitmap.Get());

    ui::Effect plain;
    EXPECT_EQ(nullptr, plain.Apply(dc, bitmap.Get()));

    ui::BlurEffect blur;
    ID2D1Bitmap* blurred = blur.Apply(dc, bitmap.Get());
    ui::ShadowEffect shadow(2.0f, 0xFF000000u);
    ID2D1Bitmap* shadowed = shadow.Apply(dc, bitmap.Get());
    ui::CompositeEffect composite(D2D1_COMPOSITE_MODE_SOURCE_OVER);
    const bool compositeMade = composite.CreateEffect(dc, bitmap.Get(), bitmap.Get()) != nullptr;

    EXPECT_EQ(ui::EffectAvailable(dc, ui::EffectKind::GaussianBlur), blurred != nullptr);
    EXPECT_EQ(ui::EffectAvailable(dc, ui::EffectKind::Shadow), shadowed != nullptr);
    EXPECT_EQ(ui::EffectAvailable(dc, ui::EffectKind::Composite), compositeMade);
    for (ID2D1Bitmap* out : {blurred, shadowed}) {
        if (!out)
            continue;
        EXPECT_EQ(20u, out->GetPixelSize().width);  // cut at the input's bounds
        EXPECT_EQ(10u, out->GetPixelSize().height);
    }
    EXPECT_EQ(nullptr, blur.Apply(nullptr, bitmap.Get()));
    EXPECT_EQ(nullptr, blur.GetOutput()) << "a failed Apply drops the previous output";
}

// Alpha at distance d left of the box's left edge, on its middle row.
int AlphaLeftOf(const PixelImage& px, const ui::RECTF& box, int d)
{
    return A(px.At(static_cast<int>(box.left) - d, static_cast<int>((box.top + box.bottom) / 2)));
}

TEST_F(EffectsTest, DropShadowShowsAroundTheBoxAndFadesOut)
{
    DrawingSurface surface(160, 120);
    const ui::RECTF box(40, 40, 120, 80);
    ui::BoxShadow drop = Shadow(8, 3, 0xFF000000u);
    surface.Frame([&](ui::RenderTarget& rt) {
        rt.DrawShadow(box, drop, nullptr, nullptr, nullptr, nullptr);
        rt.FillShape(box, {kBlue}, nullptr, nullptr, nullptr, nullptr);
    });
    PixelImage px = surface.Read();
    EXPECT_EQ(0xFF0000FFu, px.At(80, 60));
    EXPECT_GT(AlphaLeftOf(px, box, 2), 100);
    EXPECT_GE(AlphaLeftOf(px, box, 2), AlphaLeftOf(px, box, 5));
    EXPECT_GT(AlphaLeftOf(px, box, 2), AlphaLeftOf(px, box, 7));
    EXPECT_EQ(0, AlphaLeftOf(px, box, 20));
    EXPECT_EQ(0, A(px.At(80, 20)));
    EXPECT_EQ(0, R(px.At(38, 60)) + G(px.At(38, 60)) + B(px.At(38, 60))) << "black shadow";
}

TEST_F(EffectsTest, RingsWithoutEffectsAreOpaqueNearTheBoxWhateverTheColourAlpha)
{
    DrawingSurface surface(160, 120);
    if (ui::EffectAvailable(surface.target().GetDeviceContext(), ui::EffectKind::Shadow))
        GTEST_SKIP() << "this system draws shadows with the shadow effect";
    // A strong blur makes the first rings' alpha exceed 1: they are drawn
    // opaque, with the colour's own alpha (25 %) not used.
    const ui::RECTF box(40, 40, 120, 80);
    surface.Frame([&](ui::RenderTarget& rt) {
        rt.DrawShadow(box, Shadow(8, 12, 0x40FF0000u), nullptr, nullptr, nullptr, nullptr);
    });
    PixelImage px = surface.Read();
    for (int d = 1; d <= 4; ++d) {
        EXPECT_EQ(0xFFFF0000u, px.At(static_cast<int>(box.left) - d, 60)) << d;
        EXPECT_EQ(0xFFFF0000u, px.At(80, static_cast<int>(box.bottom) + d - 1)) << d;
    }
    EXPECT_GT(AlphaLeftOf(px, box, 4), AlphaLeftOf(px, box, 7));
    EXPECT_EQ(0, AlphaLeftOf(px, box, 9));

    // Size 1: no ring at all.
    surface.Frame([&](ui::RenderTarget& rt) {
        rt.DrawShadow(box, Shadow(1, 12, 0xFFFF0000u), nullptr, nullptr, nullptr, nullptr);
    });
    px = surface.Read();
    for (uint32_t p : px.data)
        ASSERT_EQ(0u, p);
}

TEST_F(EffectsTest, InsetShadowDarkensTheInsideEdgesOnly)
{
    DrawingSurface surface(180, 140);
    const ui::RECTF box(40, 40, 140, 100);
    surface.Frame([&](ui::RenderTarget& rt) {
        rt.DrawShadow(box, Shadow(6, 4, 0xFF000000u, 1), nullptr, nullptr, nullptr, nullptr);
    });
    PixelImage px = surface.Read();
    EXPECT_GT(A(px.At(41, 70)), 100);   // just inside the left edge
    EXPECT_GT(A(px.At(90, 41)), 100);   // just inside the top edge
    EXPECT_GT(A(px.At(41, 70)), A(px.At(50, 70)));
    EXPECT_LT(A(px.At(90, 70)), 10);    // the middle stays clear
    EXPECT_EQ(0, A(px.At(38, 70)));     // nothing outside
    EXPECT_EQ(0, A(px.At(90, 102)));

    // No size and no offset: the band is empty and nothing shows.
    surface.Frame([&](ui::RenderTarget& rt) {
        rt.DrawShadow(box, Shadow(0, 4, 0xFF000000u, 1), nullptr, nullptr, nullptr, nullptr);
    });
    px = surface.Read();
    EXPECT_LT(A(px.At(41, 70)), 10);
    EXPECT_LT(A(px.At(90, 41)), 10);
}

TEST_F(EffectsTest, BlurredFillsSpreadPastTheirEdgeOnlyWithASoftBorder)
{
    DrawingSurface surface(160, 120);
    const ui::RECTF box(50, 40, 110, 80);
    for (int border : {0, 1}) {  // soft, hard
        SCOPED_TRACE(border);
        ui::BlurParams blur;
        blur.deviation = 4.0f;
        blur.border = border;
        surface.Frame([&](ui::RenderTarget& rt) { rt.FillShape(box, {kBlue}, nullptr, nullptr, nullptr, &blur); });
        PixelImage px = surface.Read();
        EXPECT_GT(A(px.At(80, 60)), 240);  // the middle stays solid
        EXPECT_EQ(0, A(px.At(30, 60)));    // far outside: nothing
        if (border == 0) {
            // Soft: the edge fades into what lies outside the shape.
            EXPECT_LT(A(px.At(50, 60)), 220);
            EXPECT_GT(A(px.At(50, 60)), 60);
            EXPECT_GT(A(px.At(47, 60)), 10);
        } else {
            // Hard: the shape's own edge continues outward, and the result
            // is cut at its bounds.
            EXPECT_GT(A(px.At(50, 60)), 240);
            EXPECT_EQ(0, A(px.At(47, 60)));
        }
    }
}

TEST_F(EffectsTest, BackdropInsideARoundedClipIsSkippedWhereTargetsCannotBeCopiedAndTheFrameGoesOn)
{
    const bool copies = PlatformCopiesFromTarget();
    DrawingSurface surface(160, 120);
    ui::RenderTarget& rt = surface.target();
    const ui::RECTF panel(40, 30, 120, 90);
    bool drawn = false;
    surface.Frame([&](ui::RenderTarget& t) {
        t.FillShape(ui::RECTF(0, 0, 80, 120), {ui::Color(1, 0, 0, 1)}, nullptr, nullptr, nullptr, nullptr);
        ui::ClipBox clip = ui::ClipBox::Rounded(panel, 16, 16);
        ui::ClipGuard guard(&t, clip);
        ui::BlurParams blur;
        blur.deviation = 4.0f;
        // Reaches past the surface on purpose: the copy is clamped to it.
        drawn = t.DrawBlurredBackdrop(1.0f, ui::RECTF(panel.left, panel.top, 400, 300), blur);
        EXPECT_EQ(1, t.AppliedClips());
        EXPECT_EQ(panel, t.CurrentClip());
        // The rest of the frame draws through the clip again.
        t.FillShape(ui::RECTF(0, 0, 160, 120), {ui::Color(0, 1, 0, 1)}, nullptr, nullptr, nullptr, nullptr);
    });
    EXPECT_EQ(copies, drawn);
    PixelImage px = rt.HasResources() ? surface.Read() : PixelImage();
    EXPECT_EQ(0xFF00FF00u, px.At(80, 60));   // inside the clip
    EXPECT_EQ(0xFFFF0000u, px.At(20, 60));   // outside: the red stays
    EXPECT_EQ(0u, px.At(140, 60));           // outside: nothing
    EXPECT_EQ(0xFFFF0000u, px.At(60, 20));
}

TEST_F(EffectsTest, SnapshotsNeedATargetThatCanBeCopied)
{
    const bool copies = PlatformCopiesFromTarget();
    DrawingSurface surface(100, 80);
    surface.Frame([&](ui::RenderTarget& t) {
        t.FillShape(ui::RECTF(0, 0, 100, 80), {kBlue}, nullptr, nullptr, nullptr, nullptr);
    });
    const ui::CornerSize corner{20, 20};
    std::unique_ptr<Gdiplus::Bitmap> shot = surface.target().CaptureBitmap(ui::RECTF(10, 10, 60, 40), &corner, nullptr);
    EXPECT_EQ(copies, shot != nullptr);
    if (!shot)
        return;
    EXPECT_EQ(50u, shot->GetWidth());
    EXPECT_EQ(30u, shot->GetHeight());
    Gdiplus::Color centre, corner0;
    shot->GetPixel(25, 15, &centre);
    shot->GetPixel(0, 0, &corner0);
    EXPECT_EQ(255, centre.GetA());
    EXPECT_EQ(255, centre.GetB());
    EXPECT_EQ(0, corner0.GetA()) << "outside the rounded corner";
}

} // namespace

#include "Corvel/Render/WndShadow.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "Corvel/Render/RenderTarget.h"
#include "support/RenderTestSupport.h"

using namespace rendertest;
using namespace testsupport;

namespace {

class WndShadowTest : public UiLibraryTest {};

// Alpha at image coordinates (row 0 at the top) of a bottom-up DIB.
int AlphaAt(const std::vector<uint32_t>& bits, int w, int h, int x, int y)
{
    return static_cast<int>(bits[static_cast<size_t>(h - 1 - y) * w + x] >> 24);
}

RECT WindowRect(HWND hwnd)
{
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

TEST_F(WndShadowTest, SettersRefuseBeforeCreateAndOutOfRange)
{
    CWndShadow shadow;
    EXPECT_FALSE(shadow.SetSize(4));
    EXPECT_FALSE(shadow.SetDarkness(10));
    EXPECT_FALSE(shadow.SetColor(RGB(1, 2, 3)));
    EXPECT_FALSE(shadow.SetScale(2.0f));
    EXPECT_EQ(5, shadow.ScaledX());
    EXPECT_EQ(100, shadow.Darkness());
    EXPECT_EQ(8, shadow.Sharpness());
    EXPECT_EQ(RGB(0x50, 0x50, 0x50), shadow.Color());

    PlainWindow parent(100, 100, 200, 150, 0, WS_POPUP);  // hidden
    ASSERT_TRUE(shadow.Create(parent.hwnd(), 1.5f));
    ASSERT_NE(nullptr, shadow.GetHandle());
    EXPECT_EQ(CWndShadow::kEnabled, shadow.Status());  // parent hidden: shadow hidden
    EXPECT_FALSE(IsWindowVisible(shadow.GetHandle()));
    EXPECT_EQ(7, shadow.ScaledX());  // trunc(5 x 1.5)

    struct Case {
        int sharpness, darkness;
        bool sharpOk, darkOk;
    } cases[] = {{0, 0, true, true}, {20, 255, true, true}, {21, 256, false, false}, {-1, -1, false, false}};
    for (const Case& c : cases) {
        const int sharpBefore = shadow.Sharpness(), darkBefore = shadow.Darkness();
        EXPECT_EQ(c.sharpOk, shadow.SetSharpness(c.sharpness)) << c.sharpness;
        EXPECT_EQ(c.darkOk, shadow.SetDarkness(c.darkness)) << c.darkness;
        EXPECT_EQ(c.sharpOk ? c.sharpness : sharpBefore, shadow.Sharpness());
        EXPECT_EQ(c.darkOk ? c.darkness : darkBefore, shadow.Darkness());
    }
    EXPECT_TRUE(shadow.SetSize(-3));
    EXPECT_EQ(-4, shadow.ScaledSize());  // trunc(-4.5)
    EXPECT_TRUE(shadow.SetPosition(10, -10));
    EXPECT_EQ(15, shadow.ScaledX());
    EXPECT_EQ(-15, shadow.ScaledY());
    // Large values at a high DPI factor saturate instead of changing sign.
    EXPECT_TRUE(shadow.SetSize(100));
    EXPECT_TRUE(shadow.SetScale(2.0f));
    EXPECT_EQ(127, shadow.ScaledSize());
    EXPECT_EQ(20, shadow.ScaledX());
    EXPECT_TRUE(shadow.SetScale(2.0f));  // unchanged scale: nothing to do

    // One shadow per parent and per object.
    EXPECT_FALSE(shadow.Create(parent.hwnd()));
    CWndShadow second;
    EXPECT_FALSE(second.Create(parent.hwnd()));
}

TEST_F(WndShadowTest, KernelHasASolidDiscAndLinearFalloff)
{
    int k = 0;
    CWndShadow::BuildKernel(10, 4, 200, RGB(255, 0, 0), k, nullptr);
    ASSERT_EQ(10, k);
    std::vector<uint32_t> grid(21 * 21);
    CWndShadow::BuildKernel(10, 4, 200, RGB(255, 0, 0), k, grid.data());
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x) {
            const double r = std::sqrt(double((x - 10) * (x - 10) + (y - 10) * (y - 10)));
            const uint32_t p = grid[y * 21 + x];
            const int a = static_cast<int>(p >> 24);
            int expected = 0;
            if (r <= 6.0)
                expected = 200;
            else if (r <= 10.0)
                expected = static_cast<int>((1.0 - (r - 6.0) / 5.0) * 200);
            EXPECT_EQ(expected, a) << x << "," << y;
            // Premultiplied red, COLORREF red in the low byte.
            EXPECT_EQ(static_cast<uint32_t>(255 * a / 255), (p >> 16) & 0xFF);
            EXPECT_EQ(0u, p & 0xFFFF);
        }
    EXPECT_EQ(200u << 24 | 200u << 16, grid[10 * 21 + 10]);
    EXPECT_EQ(0u, grid[0]);                                      // corner, r > 10
}

TEST_F(WndShadowTest, ShadowOfA400x300WindowShowsOnlyTheOuterStripWithFalloff)
{
    // A screen area no other window of these tests uses: the screen is read.
    PlainWindow parent(1150, 650, 400, 300);
    CWndShadow shadow;
    ASSERT_TRUE(shadow.Create(parent.hwnd()));
    EXPECT_EQ(CWndShadow::kEnabled | CWndShadow::kVisible | CWndShadow::kParentVisible, shadow.Status());
    shadow.Update(parent.hwnd());
    PumpMessages();

    const RECT pr = WindowRect(parent.hwnd());
    const RECT sr = WindowRect(shadow.GetHandle());
    EXPECT_EQ(pr.left + 5, sr.left);
    EXPECT_EQ(pr.top + 5, sr.top);
    EXPECT_EQ(400, sr.right - sr.left);
    EXPECT_EQ(300, sr.bottom - sr.top);

    std::vector<uint32_t> bits(400 * 300, 0);
    shadow.MakeShadow(bits.data(), parent.hwnd(), pr);
    int visibleUnderParent = 0;
    for (int y = 0; y < 295; ++y)
        for (int x = 0; x < 395; ++x)
            visibleUnderParent += AlphaAt(bits, 400, 300, x, y) != 0;
    EXPECT_EQ(0, visibleUnderParent);
    // Right and bottom edges fade linearly: (1 - r / 9) x 100 at r = 4..8.
    const int falloff[] = {55, 44, 33, 22, 11};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(falloff[i], AlphaAt(bits, 400, 300, 395 + i, 150)) << i;
        EXPECT_EQ(falloff[i], AlphaAt(bits, 400, 300, 200, 295 + i)) << i;
    }
    EXPECT_EQ(0, AlphaAt(bits, 400, 300, 399, 299));  // rounded far corner

    // The window presents that bitmap: on screen (nothing behind it) each
    // pixel shows its premultiplied colour.
    PixelImage shown = ReadScreenPixels(sr);
    ASSERT_EQ(400, shown.width);
    EXPECT_EQ(0x111111u, Rgb(shown.At(395, 150)));  // 0x50 x 55 / 255 = 17
    EXPECT_EQ(0x111111u, Rgb(shown.At(200, 295)));
    EXPECT_EQ(0x030303u, Rgb(shown.At(399, 150)));  // 0x50 x 11 / 255 = 3
}

TEST_F(WndShadowTest, ShadowWithSizeSurroundsTheParentAndHonoursItsRegion)
{
    CWndShadow shadow;
    PlainWindow parent(50, 50, 100, 80);
    ASSERT_TRUE(shadow.Create(parent.hwnd()));
    shadow.SetSize(10);
    shadow.SetSharpness(4);
    shadow.SetPosition(0, 0);
    const RECT pr = WindowRect(parent.hwnd());
    std::vector<uint32_t> bits(120 * 100, 0);
    shadow.MakeShadow(bits.data(), parent.hwnd(), pr);
    // Transparent where the parent covers it, solid close around it, fading
    // out towards the bitmap's edge.
    EXPECT_EQ(0, AlphaAt(bits, 120, 100, 60, 50));
    EXPECT_EQ(100, AlphaAt(bits, 120, 100, 5, 50));
    EXPECT_EQ(100, AlphaAt(bits, 120, 100, 60, 4));
    EXPECT_LT(AlphaAt(bits, 120, 100, 1, 50), 100);
    EXPECT_GT(AlphaAt(bits, 120, 100, 1, 50), 0);
    EXPECT_EQ(0, AlphaAt(bits, 120, 100, 0, 0));

    // A window region (a triangle-ish cut: only the left half) moves the
    // cut-out with it.
    HRGN half = CreateRectRgn(0, 0, 50, 80);
    SetWindowRgn(parent.hwnd(), half, TRUE);
    std::fill(bits.begin(), bits.end(), 0);
    shadow.MakeShadow(bits.data(), parent.hwnd(), pr);
    EXPECT_EQ(0, AlphaAt(bits, 120, 100, 30, 50));    // under the left half
    EXPECT_EQ(100, AlphaAt(bits, 120, 100, 63, 50));  // right of the region: shadow
}

TEST_F(WndShadowTest, ShadowFollowsItsParent)
{
    PlainWindow parent(100, 100, 200, 150);
    CWndShadow shadow;
    ASSERT_TRUE(shadow.Create(parent.hwnd()));
    shadow.SetSize(6);
    shadow.Update(parent.hwnd());
    const HWND sh = shadow.GetHandle();
    EXPECT_TRUE(IsWindowVisible(sh));
    EXPECT_EQ(parent.hwnd(), GetWindow(sh, GW_OWNER));
    const LONG_PTR exStyle = GetWindowLongPtrW(sh, GWL_EXSTYLE);
    EXPECT_TRUE(exStyle & WS_EX_LAYERED);
    EXPECT_TRUE(exStyle & WS_EX_TRANSPARENT);

    // Move.
    SetWindowPos(parent.hwnd(), nullptr, 160, 130, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessages();
    RECT sr = WindowRect(sh);
    EXPECT_EQ(160 + 5 - 6, sr.left);
    EXPECT_EQ(130 + 5 - 6, sr.top);

    // Resize: growing renders at once and again when the parent paints.
    int renders = shadow.RenderCount();
    SetWindowPos(parent.hwnd(), nullptr, 0, 0, 260, 190, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(renders + 1, shadow.RenderCount());
    UpdateWindow(parent.hwnd());
    PumpMessages();
    EXPECT_EQ(renders + 2, shadow.RenderCount());
    sr = WindowRect(sh);
    EXPECT_EQ(260 + 12, sr.right - sr.left);
    EXPECT_EQ(190 + 12, sr.bottom - sr.top);
    // Shrinking renders once.
    renders = shadow.RenderCount();
    SetWindowPos(parent.hwnd(), nullptr, 0, 0, 120, 90, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    UpdateWindow(parent.hwnd());
    PumpMessages();
    EXPECT_EQ(renders + 1, shadow.RenderCount());
    sr = WindowRect(sh);
    EXPECT_EQ(120 + 12, sr.right - sr.left);

    // Hide and show.
    ShowWindow(parent.hwnd(), SW_HIDE);
    PumpMessages();
    EXPECT_FALSE(IsWindowVisible(sh));
    EXPECT_EQ(CWndShadow::kEnabled, shadow.Status());
    ShowWindow(parent.hwnd(), SW_SHOWNA);
    PumpMessages();
    EXPECT_TRUE(IsWindowVisible(sh));
    EXPECT_EQ(CWndShadow::kEnabled | CWndShadow::kVisible | CWndShadow::kParentVisible, shadow.Status());

    // Maximise hides, restore shows again.
    ShowWindow(parent.hwnd(), SW_MAXIMIZE);
    PumpMessages();
    EXPECT_FALSE(IsWindowVisible(sh));
    EXPECT_FALSE(shadow.Status() & CWndShadow::kVisible);
    ShowWindow(parent.hwnd(), SW_RESTORE);
    PumpMessages();
    EXPECT_TRUE(IsWindowVisible(sh));
    EXPECT_TRUE(shadow.Status() & CWndShadow::kVisible);

    // A DPI change hides it until the owner shows it again.
    SendMessageW(parent.hwnd(), WM_DPICHANGED, MAKEWPARAM(120, 120), 0);
    EXPECT_FALSE(IsWindowVisible(sh));
    shadow.SetScale(1.25f);
    shadow.Show(parent.hwnd());
    EXPECT_TRUE(IsWindowVisible(sh));
    EXPECT_EQ(7, shadow.ScaledSize());
}

TEST_F(WndShadowTest, ParentDestructionAndShadowDeletionLeaveNothingDangling)
{
    WNDPROC original = nullptr;
    HWND shadowWindow = nullptr;
    {
        PlainWindow parent(100, 100, 120, 90);
        original = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(parent.hwnd(), GWLP_WNDPROC));
        {
            CWndShadow shadow;
            ASSERT_TRUE(shadow.Create(parent.hwnd()));
            shadowWindow = shadow.GetHandle();
            EXPECT_NE(original, reinterpret_cast<WNDPROC>(GetWindowLongPtrW(parent.hwnd(), GWLP_WNDPROC)));
        }
        // Deleted first: the parent has its own procedure back and the
        // shadow window is gone.
        EXPECT_EQ(original, reinterpret_cast<WNDPROC>(GetWindowLongPtrW(parent.hwnd(), GWLP_WNDPROC)));
        EXPECT_FALSE(IsWindow(shadowWindow));
        SetWindowPos(parent.hwnd(), nullptr, 10, 10, 50, 50, SWP_NOZORDER | SWP_NOACTIVATE);
        PumpMessages();

        // A new shadow can be made for the same parent.
        CWndShadow again;
        ASSERT_TRUE(again.Create(parent.hwnd()));
        shadowWindow = again.GetHandle();
        DestroyWindow(parent.hwnd());
        PumpMessages();
        EXPECT_FALSE(IsWindow(shadowWindow));
        EXPECT_EQ(nullptr, again.GetHandle());
        EXPECT_FALSE(again.SetSize(3));
    }
}

int g_counted = 0;
WNDPROC g_countNext = nullptr;
WNDPROC g_topNext = nullptr;
LRESULT CALLBACK CountingProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    if (m == WM_APP + 7)
        ++g_counted;
    return CallWindowProcW(g_countNext, h, m, w, l);
}
LRESULT CALLBACK PassThroughProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    return CallWindowProcW(g_topNext, h, m, w, l);
}

TEST_F(WndShadowTest, ASubclassOnTopKeepsWorkingAfterTheShadowIsDeleted)
{
    PlainWindow parent(100, 100, 120, 90);
    g_counted = 0;
    g_countNext = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(parent.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CountingProc)));
    {
        CWndShadow shadow;
        ASSERT_TRUE(shadow.Create(parent.hwnd()));
        g_topNext = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(parent.hwnd(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PassThroughProc)));
        SendMessageW(parent.hwnd(), WM_APP + 7, 0, 0);
        EXPECT_EQ(1, g_counted);
    }
    // The shadow's procedure stays in the chain under the later subclass and
    // still forwards to the procedure it replaced.
    SendMessageW(parent.hwnd(), WM_APP + 7, 0, 0);
    EXPECT_EQ(2, g_counted);
    CWndShadow again;
    ASSERT_TRUE(again.Create(parent.hwnd()));
    SendMessageW(parent.hwnd(), WM_APP + 7, 0, 0);
    EXPECT_EQ(3, g_counted);
    SetWindowPos(parent.hwnd(), nullptr, 120, 110, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessages();
    RECT sr{};
    GetWindowRect(again.GetHandle(), &sr);
    EXPECT_EQ(125, sr.left);
}

// A picture for a person: a layered test window drawn by the render target,
// with its drop shadow behind it, composed over a light background.
TEST_F(WndShadowTest, SavesAScreenshotOfAWindowWithItsShadow)
{
    const int pw = 240, ph = 160;
    PlainWindow parent(200, 150, pw, ph, WS_EX_LAYERED);
    ui::RenderTarget rt;
    rt.Init(parent.hwnd(), nullptr, nullptr);
    rt.Resize(0, 0, float(pw), float(ph));
    ui::RECTF all(0, 0, float(pw), float(ph));
    rt.BeginDraw({all});
    ID2D1RenderTarget* t = rt.GetD2DTarget();
    t->FillRectangle(D2D1::RectF(0, 0, float(pw), float(ph)), rt.GetSolidBrush(D2D1_COLOR_F{0.98f, 0.98f, 0.98f, 1}));
    t->FillRectangle(D2D1::RectF(0, 0, float(pw), 32), rt.GetSolidBrush(D2D1_COLOR_F{0.16f, 0.45f, 0.85f, 1}));
    t->FillRoundedRectangle(D2D1::RoundedRect(D2D1::RectF(20, 60, 120, 92), 6, 6),
                            rt.GetSolidBrush(D2D1_COLOR_F{0.2f, 0.7f, 0.3f, 1}));
    t->FillRectangle(D2D1::RectF(140, 60, 220, 140), rt.GetSolidBrush(D2D1_COLOR_F{0.9f, 0.5f, 0.1f, 1}));
    RECT dirty{0, 0, pw, ph};
    rt.EndDraw(true, &dirty);

    CWndShadow shadow;
    ASSERT_TRUE(shadow.Create(parent.hwnd()));
    shadow.SetSize(12);
    shadow.SetSharpness(12);
    shadow.SetDarkness(140);
    shadow.SetPosition(3, 5);
    shadow.SetColor(RGB(0, 0, 0));
    shadow.Update(parent.hwnd());
    PumpMessages();

    PixelImage win = ReadWindowPixels(parent.hwnd());
    PixelImage shd = ReadWindowPixels(shadow.GetHandle(), true);
    ASSERT_EQ(pw, win.width);
    const RECT srect = WindowRect(shadow.GetHandle());
    ASSERT_EQ(srect.right - srect.left, shd.width);
    ASSERT_EQ(srect.bottom - srect.top, shd.height);
    std::vector<uint32_t> bits(static_cast<size_t>(shd.width) * shd.height, 0);
    shadow.MakeShadow(bits.data(), parent.hwnd(), WindowRect(parent.hwnd()));

    // Canvas with a margin; the shadow's alpha from its own bitmap (the window
    // copy carries colour only), then the window on top.
    const RECT pr = WindowRect(parent.hwnd());
    const RECT sr = WindowRect(shadow.GetHandle());
    const int margin = 30;
    const int ox = std::min(pr.left, sr.left) - margin, oy = std::min(pr.top, sr.top) - margin;
    PixelImage canvas;
    canvas.width = std::max(pr.right, sr.right) + margin - ox;
    canvas.height = std::max(pr.bottom, sr.bottom) + margin - oy;
    canvas.data.assign(static_cast<size_t>(canvas.width) * canvas.height, 0xFFE6E9EEu);
    for (int y = 0; y < shd.height; ++y)
        for (int x = 0; x < shd.width; ++x) {
            const uint32_t s = bits[static_cast<size_t>(shd.height - 1 - y) * shd.width + x];
            const int a = static_cast<int>(s >> 24);
            uint32_t& c = canvas.data[static_cast<size_t>(y + sr.top - oy) * canvas.width + (x + sr.left - ox)];
            auto blend = [&](int shift) {
                const int src = static_cast<int>((s >> shift) & 0xFF), dst = static_cast<int>((c >> shift) & 0xFF);
                return static_cast<uint32_t>(src + dst * (255 - a) / 255) << shift;
            };
            c = 0xFF000000u | blend(16) | blend(8) | blend(0);
        }
    for (int y = 0; y < ph; ++y)
        for (int x = 0; x < pw; ++x)
            canvas.data[static_cast<size_t>(y + pr.top - oy) * canvas.width + (x + pr.left - ox)] =
                0xFF000000u | win.At(x, y);
    EXPECT_TRUE(SavePng(canvas, ArtifactsFolder() + L"\\window-with-shadow.png"));
}

} // namespace

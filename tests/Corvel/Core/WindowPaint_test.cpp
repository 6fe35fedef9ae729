#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/TimeLine.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

using testsupport::PixelImage;
using testsupport::TestWindow;
using ui::Box;
using ui::Control;
using ui::RECTF;

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xE02020, kBlue = 0x2040E0, kGreen = 0x20C040, kGrey = 0x808080;

// A window of 240 x 160 units: a white root, a red panel inset by 10, a blue
// box inset by 20 more, a green floating badge at (150, 5) of 30 x 30 and a
// grey strip inside the blue box. Units are scaled by the window's DPI.
struct Scene {
    Box* root = new Box();
    Box* panel = new Box();
    Box* inner = new Box();
    Control* strip = new Control();
    Control* badge = new Control();

    Scene()
    {
        root->SetBkColor(0xFF000000u | kWhite);
        panel->SetBkColor(0xFF000000u | kRed);
        panel->SetPadding(10, 10, 10, 10);
        inner->SetBkColor(0xFF000000u | kBlue);
        inner->SetPadding(20, 20, 20, 20);
        inner->SetContentInset(RECTF(5, 5, 5, 5));
        strip->SetBkColor(0xFF000000u | kGrey);
        strip->SetPadding(0, 0, 0, 60);
        badge->SetBkColor(0xFF000000u | kGreen);
        badge->SetFloatRect(0, 0, 0, 0);
        badge->SetFixedPos(150, 5);
        badge->SetFixedWidth(30);
        badge->SetFixedHeight(30);
        root->AppendChild(panel);
        root->AppendChild(badge);
        panel->AppendChild(inner);
        inner->AppendChild(strip);
    }
};

class WindowPaintTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SetCursorPos(1000, 750); }
    testsupport::UiLibraryScope lib;
};

void ExpectColour(const PixelImage& px, float x, float y, uint32_t rgb, const char* what)
{
    int ix = static_cast<int>(x), iy = static_cast<int>(y);
    EXPECT_EQ(rgb, px.RgbAt(ix, iy)) << what << " at (" << ix << "," << iy << ")";
}

TEST_P(WindowPaintTest, EachBoxIsPaintedWhereItsGeometrySays)
{
    const int dpi = GetParam();
    const float s = dpi / 96.0f;
    Scene scene;
    TestWindow win(dpi);
    win.root = scene.root;
    const int w = static_cast<int>(240 * s), h = static_cast<int>(160 * s);
    ASSERT_NE(nullptr, win.CreatePopup(w, h));
    ASSERT_TRUE(testsupport::ShowAndPaint(win));
    ASSERT_NE(nullptr, win.core.GetRenderTarget());
    EXPECT_EQ(s, win.core.GetScale());

    // Geometry first: the layout follows the scaled units.
    EXPECT_TRUE(RECTF(0, 0, static_cast<float>(w), static_cast<float>(h)) == scene.root->GetBounds());
    RECTF p = scene.panel->GetBounds();
    EXPECT_FLOAT_EQ(10 * s, p.left);
    EXPECT_FLOAT_EQ(h - 10 * s, p.bottom);
    RECTF in = scene.inner->GetBounds();
    EXPECT_FLOAT_EQ(30 * s, in.left);
    EXPECT_FLOAT_EQ(w - 30 * s, in.right);
    RECTF b = scene.badge->GetBounds();
    EXPECT_FLOAT_EQ(150 * s, b.left);
    EXPECT_FLOAT_EQ(5 * s, b.top);
    EXPECT_FLOAT_EQ(180 * s, b.right);
    RECTF st = scene.strip->GetBounds();
    EXPECT_FLOAT_EQ(35 * s, st.left);
    EXPECT_FLOAT_EQ(h - 35 * s - 60 * s, st.bottom);

    // Then the pixels the window shows.
    PixelImage px = testsupport::ReadCorePixels(win.core);
    ASSERT_EQ(w, px.width);
    ExpectColour(px, 2, 2, kWhite, "root corner");
    ExpectColour(px, 5 * s, h / 2.0f, kWhite, "root margin");
    ExpectColour(px, 10 * s + 1, 10 * s + 1, kRed, "panel top-left");
    ExpectColour(px, w - 10 * s - 2, h - 10 * s - 2, kRed, "panel bottom-right");
    ExpectColour(px, w - 10 * s + 1, h / 2.0f, kWhite, "right of the panel");
    ExpectColour(px, 30 * s + 1, h - 30 * s - 2, kBlue, "inner bottom-left");
    ExpectColour(px, 31 * s, 31 * s, kBlue, "inner inset area");
    ExpectColour(px, 35 * s + 1, 35 * s + 1, kGrey, "strip top-left");
    ExpectColour(px, w / 2.0f, (st.bottom + in.bottom) / 2, kBlue, "below the strip");
    ExpectColour(px, 165 * s, 20 * s, kGreen, "badge over the panel");
    ExpectColour(px, 150 * s + 1, 5 * s + 1, kGreen, "badge top-left");
    ExpectColour(px, 150 * s - 2, 5 * s + 1, kWhite, "left of the badge");

    if (dpi == 120) {
        std::wstring path = testsupport::ArtifactsFolder() + L"\\ui-core-window-120dpi.png";
        EXPECT_TRUE(testsupport::SavePng(px, path));
    }

    // A repaint of one control repaints only its area, with the new colour.
    scene.strip->SetBkColor(0xFF000000u | kGreen);
    ASSERT_EQ(1u, win.core.GetDirtyRectsForTesting().size());
    ui::WindowCore::IdleTick();
    PixelImage after = testsupport::ReadCorePixels(win.core);
    ExpectColour(after, 35 * s + 1, 35 * s + 1, kGreen, "strip after its change");
    ExpectColour(after, 10 * s + 1, 10 * s + 1, kRed, "panel untouched");

    // Hiding a box repaints what was under it.
    scene.badge->SetVisible(false);
    ui::WindowCore::IdleTick();
    PixelImage hidden = testsupport::ReadCorePixels(win.core);
    ExpectColour(hidden, 165 * s, 20 * s, kRed, "panel where the badge was");
}

TEST(WindowPaintLayered, ALayeredWindowPresentsOneRectangleFromTheOrigin)
{
    testsupport::UiLibraryScope lib;
    SetCursorPos(1000, 750);
    Scene scene;
    scene.root->SetBkColor(0);
    TestWindow win(96);
    win.root = scene.root;
    win.core.SetLayered(true);
    // Created as an ordinary window: the core makes it layered at its first
    // paint, so the whole client area is painted once.
    ASSERT_NE(nullptr, win.CreatePopup(240, 160, nullptr, 0, 30, 30));
    ASSERT_TRUE(testsupport::ShowAndPaint(win));
    EXPECT_NE(0, GetWindowLongPtrW(win.GetHWND(), GWL_EXSTYLE) & WS_EX_LAYERED);

    // What the system shows for the layered window: per-pixel alpha, the
    // root left transparent.
    PixelImage px = testsupport::ReadWindowPixels(win.GetHWND());
    ASSERT_EQ(240, px.width);
    ExpectColour(px, 11, 11, kRed, "panel");
    ExpectColour(px, 36, 36, kGrey, "strip");
    ExpectColour(px, 165, 20, kGreen, "badge");
    EXPECT_EQ(0u, px.RgbAt(3, 3)) << "transparent root";

    // Two separate changes present as one rectangle from (0, 0).
    scene.strip->SetBkColor(0xFF000000u | kGreen);
    scene.badge->SetBkColor(0xFF000000u | kBlue);
    ASSERT_EQ(2u, win.core.GetDirtyRectsForTesting().size());
    ui::WindowCore::IdleTick();
    PixelImage after = testsupport::ReadWindowPixels(win.GetHWND());
    ExpectColour(after, 36, 36, kGreen, "strip after");
    ExpectColour(after, 165, 20, kBlue, "badge after");
    ExpectColour(after, 11, 11, kRed, "panel kept");
}

TEST(WindowPaintRecovery, DeviceLossRepaintsTheWholeWindowAndTimelinesTickPerFrame)
{
    testsupport::UiLibraryScope lib;
    SetCursorPos(1000, 750);
    Scene scene;
    TestWindow win(96);
    win.root = scene.root;
    ASSERT_NE(nullptr, win.CreatePopup(240, 160));
    ASSERT_TRUE(testsupport::ShowAndPaint(win));
    ui::RenderTarget* rt = win.core.GetRenderTarget();
    ASSERT_NE(nullptr, rt);
    const uint32_t generation = rt->Generation();

    // The next frame's present reports a lost device: the target is rebuilt
    // and the core repaints everything in a later frame.
    scene.strip->SetBkColor(0xFF000000u | kGreen);
    rt->SimulateDeviceLossForTesting();
    ui::WindowCore::IdleTick();
    EXPECT_NE(generation, rt->Generation());
    EXPECT_TRUE(testsupport::PumpUntil([&] {
        PixelImage px = testsupport::ReadCorePixels(win.core);
        return px.width == 240 && px.RgbAt(2, 2) == kWhite && px.RgbAt(11, 11) == kRed &&
               px.RgbAt(36, 36) == kGreen;
    })) << "the whole window is painted again on the new device";

    // A running timeline advances once per frame and moves a box through
    // its step.
    ui::CTimeLineTween tween;
    tween.SetEasing(0, 0, 160.0f);
    tween.AddValue(L"x", 0.0f, 100.0f);
    int steps = 0;
    ASSERT_TRUE(tween.Start(&win.core, [&](ui::CTimeLine* t) {
        ++steps;
        scene.badge->SetFixedPos(t->GetValue(L"x"), 5);
        return true;
    }));
    ui::WindowCore::IdleTick();
    ui::WindowCore::IdleTick();
    EXPECT_EQ(2, steps);
    EXPECT_NEAR(20.0f, scene.badge->GetBounds().left, 0.5f) << "two 16 ms steps of 160 ms, linear";
    EXPECT_TRUE(testsupport::PumpUntil([&] { return !tween.IsRunning(); }));
    EXPECT_FLOAT_EQ(100.0f, scene.badge->GetBounds().left);
    EXPECT_TRUE(win.core.TimeLines().IsEmpty()) << "a finished timeline leaves the core";
}

INSTANTIATE_TEST_SUITE_P(Dpi, WindowPaintTest, ::testing::Values(96, 120, 144, 192));

TEST(WindowPaintDpi, DpiChangeRescalesTheLayout)
{
    testsupport::UiLibraryScope lib;
    Scene scene;
    TestWindow win(96);
    win.root = scene.root;
    ASSERT_NE(nullptr, win.CreatePopup(240, 160));
    ASSERT_TRUE(testsupport::ShowAndPaint(win));
    EXPECT_FLOAT_EQ(30.0f, scene.inner->GetBounds().left);

    // A new DPI that keeps the window's size: only the DPI change lays the
    // tree out again, and the focused control hears of it as at any size
    // change.
    int focusedSizeEvents = 0;
    scene.strip->SetEventHandler(ui::kEventWindowSize, [&](ui::InputEvent*) {
        ++focusedSizeEvents;
        return true;
    });
    win.core.FocusControl(scene.strip);
    ASSERT_EQ(scene.strip, win.core.GetFocus());
    RECT same{0, 0, 240, 160};
    SendMessageW(win.GetHWND(), WM_DPICHANGED, MAKEWPARAM(120, 120), reinterpret_cast<LPARAM>(&same));
    EXPECT_FLOAT_EQ(37.5f, scene.inner->GetBounds().left);
    EXPECT_EQ(1, focusedSizeEvents);

    RECT suggested{0, 0, 480, 320};
    SendMessageW(win.GetHWND(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(192, win.core.GetDpi());
    EXPECT_FLOAT_EQ(2.0f, win.core.GetScale());
    EXPECT_TRUE(RECTF(0, 0, 480, 320) == scene.root->GetBounds());
    EXPECT_FLOAT_EQ(60.0f, scene.inner->GetBounds().left);
    EXPECT_FLOAT_EQ(300.0f, scene.badge->GetBounds().left);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return testsupport::IsPainted(win); }));
    PixelImage scaled = testsupport::ReadCorePixels(win.core);
    ASSERT_EQ(480, scaled.width);
    ExpectColour(scaled, 62, 62, kBlue, "inner at the new scale");
}

} // namespace

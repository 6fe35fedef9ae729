// A skinned window built from the test skin in this test's resources
// ("ZIPRES") moves from 96 to 144 DPI (WM_DPICHANGED): its size, its
// controls, its caption and sizing borders are scaled again and its images
// come from the skin's 150% folder.
#include <windows.h>

#include <gtest/gtest.h>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/support/SkinTestWindow.h"
#include "support/Pixels.h"

namespace {

using testsupport::Rgb;

constexpr int kWidth = 360, kHeight = 240;  // the skin's size at 96 DPI
constexpr int kFromDpi = 96, kToDpi = 144;
constexpr float kToScale = kToDpi / 96.0f;
// The logo's colour in the skin's base folder and in its 150% folder
// (a 32 and a 48 pixel disc).
constexpr uint32_t kLogoBase = 0x2060C0;
constexpr uint32_t kLogo150 = 0xC08020;

class SkinWindowDpiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetCursorPos(1000, 750);  // away from the window: no hot state in the pixels
        ASSERT_TRUE(testsupport::OpenTestSkinResource());
    }
    void TearDown() override { CloseSkinArchive(); }
    testsupport::UiLibraryScope lib;
};

ui::RECTF BoundsOf(ui::WindowCore& core, const wchar_t* name)
{
    ui::Control* c = core.FindControlByName(name);
    EXPECT_NE(nullptr, c) << "no control " << name;
    return c ? c->GetBounds() : ui::RECTF{};
}

TEST_F(SkinWindowDpiTest, ADpiChangeScalesTheWindowItsControlsAndItsImages)
{
    auto win = testsupport::OpenSkinWindow(L"main.xml", 100, 100, kWidth, kHeight, kFromDpi);
    ASSERT_NE(nullptr, win);
    ui::WindowCore& core = win->Core();
    HWND hwnd = win->GetHWND();
    ASSERT_EQ(1.0f, core.GetScale());
    testsupport::PixelImage px = testsupport::ReadCorePixels(core);
    EXPECT_EQ(kLogoBase, Rgb(px.At(40, 76))) << "the base folder's logo at 96 DPI";

    RECT suggested{100, 100, 100 + static_cast<int>(kWidth * kToScale), 100 + static_cast<int>(kHeight * kToScale)};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(kToDpi, kToDpi), reinterpret_cast<LPARAM>(&suggested));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return testsupport::IsSkinPainted(*win); }));

    EXPECT_EQ(kToScale, core.GetScale());
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(static_cast<int>(kWidth * kToScale), r.right - r.left);
    EXPECT_EQ(static_cast<int>(kHeight * kToScale), r.bottom - r.top);

    // Controls placed at the new scale (24,60 32x32 and 110,170 140x40).
    const ui::RECTF logo = BoundsOf(core, L"Logo");
    EXPECT_FLOAT_EQ(24 * kToScale, logo.left);
    EXPECT_FLOAT_EQ(60 * kToScale, logo.top);
    EXPECT_FLOAT_EQ((24 + 32) * kToScale, logo.right);
    EXPECT_FLOAT_EQ((60 + 32) * kToScale, logo.bottom);
    const ui::RECTF start = BoundsOf(core, L"BtnStart");
    EXPECT_FLOAT_EQ(110 * kToScale, start.left);
    EXPECT_FLOAT_EQ(40 * kToScale, start.bottom - start.top);

    // The caption (36 high) and the sizing borders (4 wide) scale too.
    EXPECT_EQ(HTCAPTION, win->HitTestForTesting(200, 50)) << "inside the scaled caption";
    EXPECT_EQ(HTCLIENT, win->HitTestForTesting(200, 56)) << "below it";
    EXPECT_EQ(HTLEFT, win->HitTestForTesting(5, 200)) << "inside the scaled left border";
    EXPECT_EQ(HTCLIENT, win->HitTestForTesting(7, 200));

    // The image is the 150% folder's, drawn at the new size.
    px = testsupport::ReadCorePixels(core);
    ASSERT_EQ(static_cast<int>(kWidth * kToScale), px.width);
    EXPECT_EQ(kLogo150, Rgb(px.At(static_cast<int>(40 * kToScale), static_cast<int>(76 * kToScale))));
    // Along the logo's middle row: its last pixel column at the new size,
    // and the board just after it.
    const int middle = static_cast<int>(76 * kToScale);
    EXPECT_EQ(kLogo150, Rgb(px.At(static_cast<int>(56 * kToScale) - 2, middle))) << "the logo fills its scaled place";
    EXPECT_EQ(0xF4F6F8u, Rgb(px.At(static_cast<int>(56 * kToScale) + 2, middle))) << "the board right of it";

    // And back to 96 DPI: the window and the logo's place shrink again. (The
    // base DPI has no scale folder, so the loaded picture is kept and drawn
    // at the base size.)
    RECT back{100, 100, 100 + kWidth, 100 + kHeight};
    SendMessageW(hwnd, WM_DPICHANGED, MAKEWPARAM(kFromDpi, kFromDpi), reinterpret_cast<LPARAM>(&back));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return testsupport::IsSkinPainted(*win); }));
    EXPECT_EQ(1.0f, core.GetScale());
    EXPECT_FLOAT_EQ(56.0f, BoundsOf(core, L"Logo").right);
    px = testsupport::ReadCorePixels(core);
    ASSERT_EQ(kWidth, px.width);
    EXPECT_NE(0xF4F6F8u, Rgb(px.At(54, 76))) << "the logo's last columns";
    EXPECT_EQ(0xF4F6F8u, Rgb(px.At(58, 76))) << "the board right of it";
    DestroyWindow(hwnd);
}

} // namespace

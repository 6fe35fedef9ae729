// A whole window built from the test skin the build packs into this test's
// resources ("ZIPRES" 104), at 96, 120, 144 and 192 DPI: the window-level
// elements take effect, images come from the scale folder of each DPI, and
// the screenshots go to artifacts/.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/WindowBase.h"
#include "Corvel/Core/support/SkinTestWindow.h"
#include "Corvel/Render/FontManager.h"
#include "support/TestPaths.h"

namespace {

using testsupport::PixelImage;
using testsupport::Rgb;

constexpr int kWidth = 360, kHeight = 240;  // the skin's size at 96 DPI

class SkinWindowTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        SetCursorPos(1000, 750);
        ASSERT_TRUE(testsupport::OpenTestSkinResource());
    }
    void TearDown() override { CloseSkinArchive(); }
    testsupport::UiLibraryScope lib;
};

// The colour of the logo in each scale folder of the test skin.
uint32_t LogoColourAt(int dpi)
{
    switch (dpi) {
    case 120: return 0x20A060;  // 125/RES
    case 144: return 0xC08020;  // 150/RES
    case 192: return 0xB03090;  // 200/RES
    default: return 0x2060C0;   // RES
    }
}

TEST_P(SkinWindowTest, TheSkinBecomesAWindowAtTheDpi)
{
    const int dpi = GetParam();
    const float s = dpi / 96.0f;
    testsupport::SkinTestWindow win(L"main.xml", dpi);
    ASSERT_NE(nullptr, win.Create(nullptr, L"skin", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0,
                                  static_cast<int>(kWidth * s), static_cast<int>(kHeight * s)));
    ShowWindow(win.GetHWND(), SW_SHOWNOACTIVATE);
    ui::WindowCore& core = win.Core();
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        return core.GetRoot() && !core.IsFirstLayoutPendingForTesting() && core.GetDirtyRectsForTesting().empty();
    }));
    EXPECT_EQ(s, core.GetScale());

    // Window-level elements: fonts by index, the class default, the style
    // group, the tray record, the caption button.
    ui::Control* title = core.FindControlByName(L"Title");
    ui::Control* label = core.FindControlByName(L"Label");
    ASSERT_NE(nullptr, title);
    ASSERT_NE(nullptr, label);
    ui::tagTFontInfo* big = core.GetFont(title->GetFontId());
    ASSERT_NE(nullptr, big);
    EXPECT_EQ(18, big->size);
    EXPECT_TRUE(big->bold);
    EXPECT_EQ(0xFF203040u, label->GetTextColor()) << "the Control class default";
    EXPECT_EQ(0xFFFFFFFFu, title->GetTextColor()) << "the element's own attribute after the default";
    EXPECT_NE(nullptr, core.FindStyleGroup(L"Btn"));
    ASSERT_NE(nullptr, core.GetTrayMenu());
    EXPECT_EQ(L"测试托盘", core.GetTrayMenu()->tip);
    EXPECT_NE(nullptr, win.CloseButton());

    PixelImage px = testsupport::ReadCorePixels(core);
    ASSERT_EQ(static_cast<int>(kWidth * s), px.width);
    auto at = [&](float x, float y) { return Rgb(px.At(static_cast<int>(x * s), static_cast<int>(y * s))); };
    EXPECT_EQ(0x203040u, at(300, 4)) << "caption bar";
    EXPECT_EQ(0xF4F6F8u, at(200, 120)) << "board";
    EXPECT_EQ(LogoColourAt(dpi), at(40, 76)) << "logo from the scale folder of " << dpi << " DPI";
    EXPECT_EQ(0x2060C0u, at(116, 190)) << "the button's style (normal state)";
    EXPECT_EQ(0xF4F6F8u, at(111, 171)) << "the style's rounded corner";

    const std::wstring name = L"\\skin-window-" + std::to_wstring(dpi) + L"dpi.png";
    EXPECT_TRUE(testsupport::SavePng(px, testsupport::ArtifactsFolder() + name));
    DestroyWindow(win.GetHWND());
}

INSTANTIATE_TEST_SUITE_P(Dpi, SkinWindowTest, ::testing::Values(96, 120, 144, 192));

} // namespace

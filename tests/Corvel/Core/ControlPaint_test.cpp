// The paint passes of the control base, configured only through markup
// attributes, read back from a shown window at 96 and 192 DPI.
#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Render/RenderTarget.h"
#include "support/ImageFiles.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using testsupport::PixelImage;
using testsupport::TestWindow;
using ui::Box;
using ui::Control;

constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xE02020, kBlue = 0x2040E0, kGreen = 0x20C040, kBlack = 0x000000,
                   kOrange = 0xE0A000;

// A white root with floating children, each set up by an attribute list
// ("pos" is x, y, width, height).
struct AttributeScene {
    Box* root = new Box();
    std::vector<Control*> children;

    explicit AttributeScene(const std::vector<const wchar_t*>& attributeLists)
    {
        root->SetAttribute(L"bkcolor", L"#FFFFFFFF");
        for (const wchar_t* attributes : attributeLists) {
            auto* c = new Control();
            c->ApplyAttributeText(attributes);
            root->AppendChild(c);
            children.push_back(c);
        }
    }
};

// A point in 96-DPI units and the colour the window must show there.
struct Probe {
    const char* what;
    float x, y;
    uint32_t rgb;
};

class ControlPaintTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SetCursorPos(1000, 750); }
    testsupport::UiLibraryScope lib;
};

TEST_P(ControlPaintTest, AttributesPaintAlikeAtEveryScale)
{
    const int dpi = GetParam();
    const float s = dpi / 96.0f;
    AttributeScene scene({
        L"pos=\"10,10,100,50\" bkcolor=\"#FF2040E0\" bordersize=\"4\" bordercolor=\"#FFE02020\"",
        L"pos=\"130,10,100,50\" bkcolor=\"#FF20C040\" leftbordersize=\"6\" bordercolor=\"#FF000000\"",
        L"pos=\"10,80,100,50\" bkcolor=\"#FFE0A000\" borderround=\"40,40\"",
        L"pos=\"130,80,100,50\" bkcolor=\"#FFFF00FF\" visible=\"false\"",
        L"pos=\"150,90,20,20\" bkcolor=\"#FF2040E0\" borderround=\"20,20\" roundpos=\"1,0,0,0\"",
    });
    TestWindow win(dpi);
    win.root = scene.root;
    ASSERT_NE(nullptr, win.CreatePopup(static_cast<int>(240 * s), static_cast<int>(140 * s)));
    ASSERT_TRUE(testsupport::ShowAndPaint(win));
    PixelImage px = testsupport::ReadCorePixels(win.core);
    ASSERT_GT(px.width, 0);

    const Probe probes[] = {
        {"outside every control", 5, 5, kWhite},
        {"uniform border, left side", 12, 35, kRed},
        {"uniform border, top side", 60, 11.5f, kRed},
        {"uniform border, inside", 60, 35, kBlue},
        {"uniform border, just inside the border", 15, 35, kBlue},
        {"left line", 132, 35, kBlack},
        {"no line on the right", 228, 35, kGreen},
        {"no line on the top", 180, 11, kGreen},
        {"rounded fill, centre", 60, 105, kOrange},
        {"rounded fill, corner cut", 11, 81, kWhite},
        {"rounded fill, straight edge", 60, 81, kOrange},
        {"hidden control paints nothing", 140, 125, kWhite},
        {"only the top-left corner is rounded: top-left", 150.5f, 90.5f, kWhite},
        {"only the top-left corner is rounded: top-right", 169.5f, 90.5f, kBlue},
        {"only the top-left corner is rounded: bottom-left", 150.5f, 109.5f, kBlue},
    };
    for (const Probe& p : probes) {
        const int x = static_cast<int>(p.x * s), y = static_cast<int>(p.y * s);
        EXPECT_EQ(p.rgb, px.RgbAt(x, y)) << p.what << " at (" << x << "," << y << ") dpi " << dpi;
    }
}

TEST_P(ControlPaintTest, TextTakesItsColourFromTheStateAndTheCore)
{
    const int dpi = GetParam();
    const float s = dpi / 96.0f;
    AttributeScene scene({
        L"pos=\"10,10,100,40\" text=\"HHHH\" textcolor=\"#FF000000\" font=\"0\"",
        L"pos=\"10,60,100,40\" text=\"HHHH\" disabledtextcolor=\"#FFFF0000\" enabled=\"false\"",
        L"pos=\"120,10,100,40\" text=\"HHHH\" textpadding=\"0,0,0,40\"",
    });
    TestWindow win(dpi);
    win.root = scene.root;
    win.core.SetDefaultColors(0xFF999999u, 0xFF0000FFu, 0, 0, 0);
    ASSERT_NE(nullptr, win.CreatePopup(static_cast<int>(240 * s), static_cast<int>(110 * s)));
    ASSERT_TRUE(testsupport::ShowAndPaint(win));
    PixelImage px = testsupport::ReadCorePixels(win.core);

    auto count = [&](float l, float t, float r, float b, auto pred) {
        int n = 0;
        for (int y = static_cast<int>(t * s); y < static_cast<int>(b * s); ++y)
            for (int x = static_cast<int>(l * s); x < static_cast<int>(r * s); ++x)
                n += pred(px.At(x, y)) ? 1 : 0;
        return n;
    };
    auto dark = [](uint32_t p) { return testsupport::R(p) < 80 && testsupport::G(p) < 80 && testsupport::B(p) < 80; };
    auto red = [](uint32_t p) { return testsupport::R(p) > 200 && testsupport::G(p) < 80 && testsupport::B(p) < 80; };
    auto blue = [](uint32_t p) { return testsupport::B(p) > 200 && testsupport::R(p) < 80 && testsupport::G(p) < 80; };

    EXPECT_GT(count(10, 10, 110, 50, dark), 10) << "own text colour";
    EXPECT_GT(count(10, 60, 110, 100, red), 10) << "disabled text colour";
    EXPECT_EQ(0, count(10, 60, 110, 100, dark)) << "a disabled control does not draw its normal colour";
    // Without a colour of its own the text takes the core's default, and is
    // drawn centred in the box its padding leaves (the top half).
    EXPECT_GT(count(120, 10, 220, 30, blue), 10) << "core default colour";
    EXPECT_EQ(0, count(120, 31, 220, 50, blue)) << "text padding";
    EXPECT_EQ(0xFF0000FFu, scene.children[2]->GetTextColor()) << "the default is stored in the control";
}

TEST_P(ControlPaintTest, ShadowsAreDrawnByTheRightPass)
{
    const int dpi = GetParam();
    const float s = dpi / 96.0f;
    struct Case {
        const wchar_t* shadow;
        int undroppedCalls; // DrawShadow calls made by the paint passes
        int inset;
    };
    const Case cases[] = {
        {L"size='4' inset='true' color='#FF000000'", 1, 1},
        {L"size='4' color='#FF000000' offset='2,3'", 1, 0},
        {L"size='4' drop='true' color='#FF000000'", 0, 0},
        {L"size='0' color='#FF000000'", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::wstring(c.shadow).c_str() << " dpi " << dpi);
        AttributeScene scene({L"pos=\"20,20,60,40\" bkcolor=\"#FF2040E0\""});
        scene.children[0]->SetAttribute(L"shadow", c.shadow);
        TestWindow win(dpi);
        win.root = scene.root;
        ASSERT_NE(nullptr, win.CreatePopup(static_cast<int>(120 * s), static_cast<int>(100 * s)));
        ASSERT_TRUE(testsupport::ShowAndPaint(win));
        std::vector<std::pair<ui::RECTF, ui::BoxShadow>> calls;
        win.core.GetRenderTarget()->SetShadowObserverForTesting(
            [&calls](const ui::RECTF& r, const ui::BoxShadow& sh) {
                if (!sh.drop)
                    calls.emplace_back(r, sh);
            });
        scene.root->Repaint();
        ASSERT_TRUE(testsupport::PumpUntil([&win] { return testsupport::IsPainted(win); }));
        win.core.GetRenderTarget()->SetShadowObserverForTesting(nullptr);
        ASSERT_EQ(static_cast<size_t>(c.undroppedCalls), calls.size());
        if (!calls.empty()) {
            EXPECT_EQ(scene.children[0]->GetBounds(), calls[0].first);
            EXPECT_EQ(c.inset, calls[0].second.inset);
            EXPECT_FLOAT_EQ(4 * s, calls[0].second.size) << "sizes are scaled";
        }
    }
}

TEST_P(ControlPaintTest, ImagesFollowTheEnabledStateAndTheForeImageDrawsOnTop)
{
    const int dpi = GetParam();
    const float s = dpi / 96.0f;
    testsupport::ScratchDir dir(L"paintimages");
    auto solid = [](uint32_t argb) {
        return testsupport::EncodeWithWic(testsupport::ArgbImage(40, 40, argb), GUID_ContainerFormatPng);
    };
    auto corner = [](uint32_t argb) {
        testsupport::ArgbImage im(40, 40, 0);
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 20; ++x)
                im.At(x, y) = argb;
        return testsupport::EncodeWithWic(im, GUID_ContainerFormatPng);
    };
    // Pictures of the controls' size: without a "dest" an image is drawn at
    // its own size from the control's top-left corner.
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"red.png"), solid(0xFFE02020u)));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"green.png"), solid(0xFF20C040u)));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"blue.png"), corner(0xFF2040E0u)));
    SetUiResourcePath((dir.Path() + L"\\").c_str());
    AttributeScene scene({
        L"pos=\"10,10,40,40\"",
        L"pos=\"60,10,40,40\" enabled=\"false\"",
        L"pos=\"110,10,40,40\" enabled=\"false\"",
        L"pos=\"160,10,40,40\"",
    });
    TestWindow win(dpi);
    win.root = scene.root;
    ASSERT_NE(nullptr, win.CreatePopup(static_cast<int>(220 * s), static_cast<int>(60 * s)));
    // Images are set once the controls know their window, as the builder does.
    scene.children[0]->SetAttribute(L"bkimage", L"red.png");
    scene.children[0]->SetAttribute(L"foreimage", L"blue.png");
    scene.children[1]->SetAttribute(L"bkimage", L"red.png");
    scene.children[1]->SetAttribute(L"disabledbkimage", L"green.png");
    // Only a disabled image, no background image: nothing is drawn.
    scene.children[2]->SetAttribute(L"disabledbkimage", L"green.png");
    scene.children[3]->SetAttribute(L"bkimage", L"red.png");
    scene.children[3]->SetAttribute(L"bkimage", L"");
    ASSERT_TRUE(testsupport::ShowAndPaint(win));
    PixelImage px = testsupport::ReadCorePixels(win.core);
    const Probe probes[] = {
        {"fore image over the background image", 15, 15, kBlue},
        {"background image where the fore image is clear", 45, 45, kRed},
        {"disabled image of a disabled control", 80, 30, kGreen},
        {"a disabled image alone draws nothing", 130, 30, kWhite},
        {"an emptied image draws nothing", 180, 30, kWhite},
    };
    for (const Probe& p : probes) {
        const int x = static_cast<int>(p.x * s), y = static_cast<int>(p.y * s);
        EXPECT_EQ(p.rgb, px.RgbAt(x, y)) << p.what << " at (" << x << "," << y << ") dpi " << dpi;
    }
    SetUiResourcePath(L"");
}

INSTANTIATE_TEST_SUITE_P(Dpi, ControlPaintTest, ::testing::Values(96, 192));

} // namespace

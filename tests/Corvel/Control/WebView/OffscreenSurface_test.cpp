// The web view's offscreen surface for layered windows: one size for the
// surface and its mask whatever the mask picture's size, and the mask
// applied channel by channel with the colour key left alone.
#include "Corvel/Control/WebView/OffscreenSurface.h"

#include <objbase.h>
#include <gdiplus.h>
#include <gtest/gtest.h>

#include <memory>

#include "Corvel/Core/support/TestWindow.h"

namespace {

// A picture whose every pixel has the given alpha.
std::unique_ptr<Gdiplus::Bitmap> AlphaPicture(int width, int height, BYTE alpha)
{
    auto picture = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture->SetPixel(x, y, Gdiplus::Color(alpha, 10, 20, 30));
    return picture;
}

TEST(OffscreenSurface, TheMaskHasTheSurfaceSizeWhateverThePictureSize)
{
    testsupport::UiLibraryScope lib;
    ui::OffscreenSurface surface;
    EXPECT_FALSE(surface.Create(nullptr, 0, 10));
    EXPECT_FALSE(surface.Create(nullptr, 10, -1));
    EXPECT_FALSE(surface.IsValid());
    ASSERT_TRUE(surface.Create(nullptr, 6, 4));
    EXPECT_EQ(24u, surface.PixelCount());
    EXPECT_EQ(0u, surface.Pixels()[23]);

    struct Case {
        int width, height;
        BYTE inside;   // mask inside the picture
        BYTE outside;  // mask where the picture does not reach
    };
    const Case cases[] = {{40, 30, 200, 200}, {6, 4, 77, 77}, {3, 2, 90, 0}};
    for (const Case& c : cases) {
        auto picture = AlphaPicture(c.width, c.height, c.inside);
        surface.BuildMask(picture.get());
        ASSERT_EQ(surface.PixelCount(), surface.Mask().size()) << c.width << "x" << c.height;
        EXPECT_EQ(c.inside, surface.Mask()[0]);
        EXPECT_EQ(c.outside, surface.Mask()[surface.PixelCount() - 1]);
    }
    surface.BuildMask(nullptr);
    EXPECT_FALSE(surface.HasMask());

    // A new size drops the old mask with the old surface.
    auto picture = AlphaPicture(6, 4, 128);
    surface.BuildMask(picture.get());
    ASSERT_TRUE(surface.Create(nullptr, 2, 2));
    EXPECT_FALSE(surface.HasMask());
}

TEST(OffscreenSurface, TheMaskScalesEveryChannelAndSparesTheColourKey)
{
    testsupport::UiLibraryScope lib;
    ui::OffscreenSurface surface;
    ASSERT_TRUE(surface.Create(nullptr, 2, 1));
    auto picture = AlphaPicture(2, 1, 128);
    surface.BuildMask(picture.get());
    const uint32_t key = 0xFFFFFFFFu;
    struct Case {
        bool skipKey;
        uint32_t first, second;
        uint32_t firstAfter, secondAfter;
    };
    // Each channel x 128 / 255, truncated: FF -> 80, 80 -> 40, 40 -> 20, 20 -> 10.
    const Case cases[] = {
        {false, 0xFF804020u, key, 0x80402010u, 0x80808080u},
        {true, 0xFF804020u, key, 0x80402010u, key},
    };
    for (const Case& c : cases) {
        surface.Pixels()[0] = c.first;
        surface.Pixels()[1] = c.second;
        surface.ApplyMask(c.skipKey, key);
        EXPECT_EQ(c.firstAfter, surface.Pixels()[0]);
        EXPECT_EQ(c.secondAfter, surface.Pixels()[1]);
    }
    // Without a mask nothing changes.
    surface.BuildMask(nullptr);
    surface.Pixels()[0] = 0xFF804020u;
    surface.ApplyMask(false, key);
    EXPECT_EQ(0xFF804020u, surface.Pixels()[0]);
}

} // namespace

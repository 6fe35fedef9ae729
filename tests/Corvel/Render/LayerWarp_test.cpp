// Warping a layer's pixels through a control's matrix on the CPU.
#include "Corvel/Render/LayerWarp.h"

#include <gtest/gtest.h>

namespace {

using ui::Matrix4x4;
using ui::WarpedPixels;

constexpr uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu;

// 4 x 2 pixels: the left half red, the right half blue, placed at (10, 20).
const uint32_t kPicture[8] = {kRed, kRed, kBlue, kBlue, kRed, kRed, kBlue, kBlue};
const D2D1_RECT_F kScreen = D2D1::RectF(0, 0, 100, 100);

TEST(WarpPixels, TranslationMovesThePictureWhole)
{
    WarpedPixels out;
    ASSERT_TRUE(ui::WarpPixels(kPicture, 4, 2, 10, 20, ui::TranslationMatrix(5, 3, 0), kScreen, out));
    EXPECT_EQ(15, out.left);
    EXPECT_EQ(23, out.top);
    ASSERT_EQ(4, out.width);
    ASSERT_EQ(2, out.height);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(kPicture[i], out.data[static_cast<size_t>(i)]) << i;
}

TEST(WarpPixels, AHalfTurnSwapsTheHalves)
{
    // 180 degrees about the picture's centre (12, 21).
    const Matrix4x4 m = ui::MultiplyMatrix(
        ui::MultiplyMatrix(ui::TranslationMatrix(-12, -21, 0), ui::RotationZMatrix(3.14159265f)),
        ui::TranslationMatrix(12, 21, 0));
    WarpedPixels out;
    ASSERT_TRUE(ui::WarpPixels(kPicture, 4, 2, 10, 20, m, kScreen, out));
    ASSERT_EQ(4, out.width);
    EXPECT_EQ(kBlue, out.data[0]);
    EXPECT_EQ(kRed, out.data[3]);
}

TEST(WarpPixels, NothingVisibleOrBehindTheViewerDrawsNothing)
{
    WarpedPixels out;
    EXPECT_FALSE(ui::WarpPixels(kPicture, 4, 2, 10, 20, ui::TranslationMatrix(500, 0, 0), kScreen, out));
    Matrix4x4 behind = ui::IdentityMatrix();
    behind._44 = -1;
    EXPECT_FALSE(ui::WarpPixels(kPicture, 4, 2, 10, 20, behind, kScreen, out));
    EXPECT_FALSE(ui::WarpPixels(nullptr, 4, 2, 10, 20, ui::IdentityMatrix(), kScreen, out));
}

} // namespace

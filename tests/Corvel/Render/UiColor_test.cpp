#include "Corvel/Render/UiColor.h"

#include <gtest/gtest.h>

#include <cstdlib>

using ui::Color;

TEST(UiColor, FromArgb)
{
    Color c;
    c.extra = 77;
    c.FromArgb(0x80FF0000u);
    EXPECT_FLOAT_EQ(1.0f, c.r);
    EXPECT_FLOAT_EQ(0.0f, c.g);
    EXPECT_FLOAT_EQ(0.0f, c.b);
    EXPECT_FLOAT_EQ(128.0f / 255.0f, c.a);
    EXPECT_EQ(0u, c.extra);

    c.FromArgb(0x01020304u);
    EXPECT_FLOAT_EQ(2.0f / 255.0f, c.r);
    EXPECT_FLOAT_EQ(3.0f / 255.0f, c.g);
    EXPECT_FLOAT_EQ(4.0f / 255.0f, c.b);
    EXPECT_FLOAT_EQ(1.0f / 255.0f, c.a);
}

TEST(UiColor, RoundTripAndClamp)
{
    const uint32_t values[] = {0u, 0xFFFFFFFFu, 0x80FF0000u, 0x64505050u, 0x01020304u, 0xFEDCBA98u, 0x00A7A6AAu};
    for (uint32_t v : values)
        EXPECT_EQ(v, Color::MakeArgb(v).ToArgb()) << std::hex << v;

    // 0.5 * 255 = 127.5 truncates to 127.
    EXPECT_EQ(0x7F7F7F7Fu, Color(0.5f, 0.5f, 0.5f, 0.5f).ToArgb());
    // Out-of-range channels stay in their own byte.
    EXPECT_EQ(0xFF0000FFu, Color(-0.5f, 0.0f, 3.0f, 1.5f).ToArgb());
}

TEST(UiColor, CopyClearRandom)
{
    Color a = Color::MakeArgb(0x11223344u);
    a.extra = 5;
    Color b;
    b.CopyFrom(a);
    EXPECT_EQ(a.ToArgb(), b.ToArgb());
    EXPECT_EQ(5u, b.extra);
    b.Clear();
    EXPECT_EQ(0u, b.ToArgb());
    EXPECT_EQ(0u, b.extra);

    std::srand(12345);
    for (int i = 0; i < 200; ++i) {
        Color r;
        r.SetRandom();
        EXPECT_FLOAT_EQ(1.0f, r.a);
        for (float ch : {r.r, r.g, r.b}) {
            EXPECT_GE(ch, 0.0f);
            EXPECT_LT(ch, 1.0f);
        }
    }
    // Drawn red, green, blue in that order.
    std::srand(99);
    const int r0 = std::rand() % 255, g0 = std::rand() % 255, b0 = std::rand() % 255;
    std::srand(99);
    Color r;
    r.SetRandom();
    EXPECT_FLOAT_EQ(static_cast<float>(r0 / 255.0), r.r);
    EXPECT_FLOAT_EQ(static_cast<float>(g0 / 255.0), r.g);
    EXPECT_FLOAT_EQ(static_cast<float>(b0 / 255.0), r.b);
}

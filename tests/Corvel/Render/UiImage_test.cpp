#include "Corvel/Core/MurmurHash3.h"
#include "Corvel/Render/UiImage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ui::CUiImage;
using ui::RECTF;

// What one descriptor text parses to (fields not named keep their default).
struct ParseCase {
    const wchar_t* text;
    const wchar_t* fileName;
    const wchar_t* cacheKey;
    RECTF source;
    RECTF corners;
    float x, y, width, height;
    bool tileX, tileY, net;
    unsigned fade;
    uint64_t life;
};

class DescriptorParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(DescriptorParse, TextGivesItsFields)
{
    const ParseCase& c = GetParam();
    CUiImage image(c.text);
    EXPECT_STREQ(c.text, image.GetData());
    EXPECT_STREQ(c.fileName, image.GetFileName().GetData());
    EXPECT_STREQ(c.cacheKey, image.GetCacheKey().GetData());
    EXPECT_EQ(c.source, image.GetSource());
    EXPECT_EQ(c.corners, image.GetCorners());
    EXPECT_EQ(c.x, image.GetX());
    EXPECT_EQ(c.y, image.GetY());
    EXPECT_EQ(c.width, image.GetWidth());
    EXPECT_EQ(c.height, image.GetHeight());
    EXPECT_EQ(c.tileX, image.IsTileX());
    EXPECT_EQ(c.tileY, image.IsTileY());
    EXPECT_EQ(c.net, image.IsNetImage());
    EXPECT_EQ(c.fade, image.GetFade());
    EXPECT_EQ(c.life, image.GetLife());
}

const RECTF kZero;

INSTANTIATE_TEST_SUITE_P(
    Texts, DescriptorParse,
    ::testing::Values(
        ParseCase{L"logo.png", L"logo.png", L"logo.png", kZero, kZero, 0, 0, 0, 0, false, false, false, 255, 86400},
        ParseCase{L"file='res/a.png' dest='1,2,30,40' source='0,0,8,9' corner='4,3,2,1' xtile='true' ytile='yes'",
                  L"res/a.png", L"res/a.png", RECTF(0, 0, 8, 9), RECTF(4, 3, 2, 1), 1, 2, 30, 40, true, false, false,
                  255, 86400},
        // Short key names and blanks around "=".
        ParseCase{L"  file = 'b.png'   dst='5,6' src='1,1,2,2' fade='128' net='1' life='60'", L"b.png", L"b.png",
                  RECTF(1, 1, 2, 2), kZero, 5, 6, -1, -1, false, false, true, 128, 60},
        // A value without its closing quote stops the reading: the file name
        // stays the whole text.
        ParseCase{L"file='c.png", L"file='c.png", L"file='c.png", kZero, kZero, 0, 0, 0, 0, false, false, false, 255,
                  86400},
        // A pair without "=" stops the reading after what came before it.
        ParseCase{L"file='d.png' fade '9' corner='1,1,1,1'", L"d.png", L"d.png", kZero, kZero, 0, 0, 0, 0, false,
                  false, false, 255, 86400},
        // Unknown keys are skipped; malformed numbers read as 0.
        ParseCase{L"file='e.png' shine='9' fade='x' corner='2,z'", L"e.png", L"e.png", kZero, RECTF(2, 0, 0, 0), 0, 0,
                  0, 0, false, false, false, 0, 86400},
        // Colour values are part of the key for any file; "dest" only for SVG.
        ParseCase{L"file='a.svg' fillcolor='ff0000ff' dest='0,0,16,16'", L"a.svg", L"a.svgff0000ff001616",
                  kZero, kZero, 0, 0, 16, 16, false, false, false, 255, 86400},
        ParseCase{L"file='a.png' fillcolor='ff0000ff' strokecolor='80112233' dest='0,0,16,16'", L"a.png",
                  L"a.pngff0000ff80112233", kZero, kZero, 0, 0, 16, 16, false, false, false, 255, 86400}));

TEST(Descriptor, NumbersAndColoursAreRead)
{
    CUiImage image(L"file='a.png' interval='40' duration='2' blur='2.5' fillcolor='80ff0000' "
                   L"strokecolor='ff00ff00' rsource='4,2,1,1' rdest='50,25,3,4'");
    EXPECT_EQ(40u, image.GetInterval());
    EXPECT_EQ(2u, image.GetDuration());
    EXPECT_FLOAT_EQ(2.5f, image.GetBlur());
    EXPECT_EQ(0x80FF0000u, image.GetFillColor());
    EXPECT_EQ(0xFF00FF00u, image.GetStrokeColor());
    const float* grid = image.GetSourceGrid();
    EXPECT_EQ(4, grid[0]);
    EXPECT_EQ(2, grid[1]);
    const float* rel = image.GetRelativeDest();
    EXPECT_EQ(50, rel[0]);
    EXPECT_EQ(25, rel[1]);
    EXPECT_EQ(3, rel[2]);
    EXPECT_EQ(4, rel[3]);
}

TEST(Descriptor, StyleSheetIsKeptAsUtf8AndHashedIntoTheKey)
{
    const wchar_t* sheet = L"path{fill:#123456} /* \u7EA2\u8272 */";
    std::wstring text = std::wstring(L"file='i.svg' css='") + sheet + L"'";
    CUiImage image(text.c_str());
    // UTF-8, whatever the ANSI code page: the comment's characters survive.
    EXPECT_EQ(std::string("path{fill:#123456} /* \xE7\xBA\xA2\xE8\x89\xB2 */"), image.GetStyleSheet());
    EXPECT_EQ(L"i.svg" + ui::MurmurHash3Hex(sheet), std::wstring(image.GetCacheKey().GetData()));
    // The same text gives the same key; the suffix describes only the last
    // text parsed.
    CUiImage again(text.c_str());
    EXPECT_STREQ(image.GetCacheKey().GetData(), again.GetCacheKey().GetData());
    again.SetDescriptor(L"file='i.svg'");
    EXPECT_STREQ(L"i.svg", again.GetCacheKey().GetData());
}

TEST(Descriptor, ResetKeepsTextAndLooksButClearsGeometry)
{
    CUiImage image(L"file='a.png' corner='1,2,3,4' source='0,0,5,5' fade='7' xtile='true' life='5'");
    image.Reset();
    EXPECT_EQ(RECTF(), image.GetCorners());
    EXPECT_EQ(RECTF(), image.GetSource());
    EXPECT_EQ(86400u, image.GetLife());
    EXPECT_EQ(7, image.GetFade());
    EXPECT_TRUE(image.IsTileX());
    EXPECT_STREQ(L"a.png", image.GetFileName().GetData());
    // Assignment is Reset plus a parse of the other's text.
    CUiImage copy;
    copy = CUiImage(L"file='b.png' corner='9,9,9,9'");
    EXPECT_STREQ(L"b.png", copy.GetCacheKey().GetData());
    EXPECT_EQ(RECTF(9, 9, 9, 9), copy.GetCorners());
}

// Layout: where the image lands in a destination and which part is drawn.
struct LayoutCase {
    const wchar_t* text;
    float imageWidth, imageHeight;
    RECTF dest;
    RECTF expectedDest;
    RECTF expectedSource;
    bool cellValid;
};

class DescriptorLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DescriptorLayout, PlacesTheSourceInTheDestination)
{
    const LayoutCase& c = GetParam();
    CUiImage image(c.text);
    image.UpdateLayout(c.imageWidth, c.imageHeight, c.dest);
    EXPECT_EQ(c.expectedDest, image.GetDestRect());
    EXPECT_EQ(c.expectedSource, image.GetSource());
    EXPECT_EQ(c.cellValid, image.IsSourceCellValid());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DescriptorLayout,
    ::testing::Values(
        // The whole image at the destination's origin.
        LayoutCase{L"a.png", 20, 10, RECTF(100, 50, 200, 150), RECTF(100, 50, 120, 60), RECTF(0, 0, 20, 10), true},
        // 50 %, 50 %, 16 x 16 centres the image.
        LayoutCase{L"file='a.png' dest='50%,50%,16,16'", 16, 16, RECTF(0, 0, 100, 60), RECTF(42, 22, 58, 38),
                   RECTF(0, 0, 16, 16), true},
        // Width and height in per cent of the destination, offsets after.
        LayoutCase{L"file='a.png' dest='100%,0,50%,100%,-4'", 16, 16, RECTF(0, 0, 100, 60), RECTF(46, 0, 96, 60),
                   RECTF(0, 0, 16, 16), true},
        // A width larger than the destination is cut at its right edge.
        LayoutCase{L"file='a.png' dest='10,0,500,20'", 16, 16, RECTF(0, 0, 100, 60), RECTF(10, 0, 100, 20),
                   RECTF(0, 0, 16, 16), true},
        // The second of four 16-wide cells.
        LayoutCase{L"file='a.png' rsource='4,2,1,1'", 64, 16, RECTF(0, 0, 100, 60), RECTF(0, 0, 16, 16),
                   RECTF(16, 0, 32, 16), true},
        // A cell past the column or row count has no pixels.
        LayoutCase{L"file='a.png' rsource='4,6,1,1'", 64, 16, RECTF(0, 0, 100, 60), RECTF(0, 0, 16, 16),
                   RECTF(80, 0, 96, 16), false},
        LayoutCase{L"file='a.png' rsource='1,1,2,3'", 16, 16, RECTF(0, 0, 100, 60), RECTF(0, 0, 16, 8),
                   RECTF(0, 16, 16, 24), false},
        // An explicit source is kept.
        LayoutCase{L"file='a.png' source='4,4,12,10'", 64, 16, RECTF(0, 0, 100, 60), RECTF(0, 0, 8, 6),
                   RECTF(4, 4, 12, 10), true}));

TEST(DescriptorLayoutCache, AnAutomaticSourceFollowsANewImageSize)
{
    CUiImage image(L"file='a.png' rsource='2,2,1,1'");
    image.UpdateLayout(40, 10, RECTF(0, 0, 100, 100));
    EXPECT_EQ(RECTF(20, 0, 40, 10), image.GetSource());
    // Same inputs: nothing changes.
    image.UpdateLayout(40, 10, RECTF(0, 0, 100, 100));
    EXPECT_EQ(RECTF(20, 0, 40, 10), image.GetSource());
    // The image grew (a reload at another scale): the cell is computed again.
    image.UpdateLayout(80, 20, RECTF(0, 0, 100, 100));
    EXPECT_EQ(RECTF(40, 0, 80, 20), image.GetSource());
    EXPECT_EQ(RECTF(0, 0, 40, 20), image.GetDestRect());
}

} // namespace

#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/UiImage.h"
#include "support/ImageFiles.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using testsupport::ArgbImage;
using testsupport::PixelImage;
using testsupport::Rgb;
using ui::CUiImage;
using ui::RECTF;

constexpr uint32_t kWhite = 0xFFFFFFFFu, kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu;
// Nine cells of a nine-grid image, row by row.
constexpr uint32_t kCells[3][3] = {{0xFF102030u, 0xFF405060u, 0xFF708090u},
                                   {0xFFA0B0C0u, 0xFFD0E0F0u, 0xFF112233u},
                                   {0xFF445566u, 0xFF778899u, 0xFFAABBCCu}};

std::string Png(const ArgbImage& image) { return testsupport::EncodeWithWic(image, GUID_ContainerFormatPng); }

// A square image of 3 x 3 cells of `cell` pixels each.
ArgbImage NineGrid(int cell)
{
    ArgbImage im(cell * 3, cell * 3, 0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            im.Fill(c * cell, r * cell, (c + 1) * cell, (r + 1) * cell, kCells[r][c]);
    return im;
}

// A window core on a shown window; draws into its target over white and
// reads the surface back.
class ImageDrawingTest : public ::testing::Test {
protected:
    void Open(int dpi = 0)
    {
        window.reset(new testsupport::TestWindow(dpi));
        ASSERT_NE(nullptr, window->CreatePopup(kWidth, kHeight));
        ShowWindow(window->GetHWND(), SW_SHOWNOACTIVATE);
        testsupport::PumpFor(50);
        ASSERT_NE(nullptr, core().GetRenderTarget());
    }
    void TearDown() override
    {
        window.reset();
        ui::ClearScalePrefixes();
        SetUiResourcePath(L"");
    }
    ui::WindowCore& core() { return window->core; }
    void Add(const wchar_t* key, const std::string& bytes)
    {
        ASSERT_NE(nullptr, core().AddImageFromMemory(CUiImage(key), bytes.data(), bytes.size(), false));
    }
    PixelImage Draw(const std::function<void(ui::RenderTarget&)>& paint)
    {
        ui::RenderTarget& rt = *core().GetRenderTarget();
        const RECTF whole(0, 0, static_cast<float>(kWidth), static_cast<float>(kHeight));
        rt.BeginDraw({whole});
        rt.GetD2DTarget()->FillRectangle(D2D1::RectF(0, 0, whole.right, whole.bottom),
                                         rt.GetSolidBrush(D2D1::ColorF(1, 1, 1, 1)));
        paint(rt);
        rt.EndDraw(false, nullptr);
        return testsupport::ReadTargetPixels(rt);
    }
    // Draws a descriptor into `dest`, painting everywhere.
    PixelImage DrawImage(const wchar_t* text, const RECTF& dest, uint8_t opacity = 255, bool* result = nullptr)
    {
        CUiImage image(text);
        return Draw([&](ui::RenderTarget& rt) {
            bool ok = rt.DrawImage(&core(), dest, RECTF(0, 0, kWidth, kHeight), image, opacity);
            if (result)
                *result = ok;
        });
    }

    static constexpr int kWidth = 160, kHeight = 80;
    testsupport::UiLibraryScope lib;
    std::unique_ptr<testsupport::TestWindow> window;
};

TEST_F(ImageDrawingTest, NineGridKeepsCornersUnscaledAndStretchesEdgesAndCentre)
{
    Open();
    Add(L"nine.png", Png(NineGrid(4)));
    PixelImage px = DrawImage(L"file='nine.png' corner='4,4,4,4' dest='0,0,100,30'", RECTF(10, 10, 110, 40));
    struct Probe {
        int x, y;
        uint32_t colour;
    };
    // Away from the seams, where linear filtering mixes neighbours.
    const Probe probes[] = {{10, 10, kCells[0][0]}, {13, 13, kCells[0][0]}, {30, 12, kCells[0][1]},
                            {60, 12, kCells[0][1]}, {108, 12, kCells[0][2]}, {12, 25, kCells[1][0]},
                            {60, 25, kCells[1][1]}, {108, 25, kCells[1][2]}, {12, 38, kCells[2][0]},
                            {60, 38, kCells[2][1]}, {109, 39, kCells[2][2]}, {9, 25, kWhite},
                            {110, 25, kWhite}, {60, 40, kWhite}};
    for (const Probe& p : probes)
        EXPECT_EQ(Rgb(p.colour), Rgb(px.At(p.x, p.y))) << "at " << p.x << "," << p.y;
}

TEST_F(ImageDrawingTest, TilesRepeatInWholeStepsAndTheLastShowsTheStartOfTheSource)
{
    Open();
    ArgbImage tile(10, 4, kRed);
    tile.Fill(5, 0, 10, 4, kBlue);
    Add(L"tile.png", Png(tile));
    PixelImage px = DrawImage(L"file='tile.png' dest='0,0,25,8' xtile='true' ytile='true'", RECTF(0, 0, 25, 8));
    const int redColumns[] = {0, 4, 10, 14, 20, 24};
    const int blueColumns[] = {5, 9, 15, 19};
    for (int y : {1, 5}) {
        for (int x : redColumns)
            EXPECT_EQ(Rgb(kRed), Rgb(px.At(x, y))) << x << "," << y;
        for (int x : blueColumns)
            EXPECT_EQ(Rgb(kBlue), Rgb(px.At(x, y))) << x << "," << y;
    }
    EXPECT_EQ(Rgb(kWhite), Rgb(px.At(25, 1)));
    EXPECT_EQ(Rgb(kWhite), Rgb(px.At(1, 8)));
}

TEST_F(ImageDrawingTest, BlurSoftensAHardEdgeAndKeepsFlatAreas)
{
    // Half red, half blue: sharp, the edge is a step; blurred (through the
    // effect where the system has it, else our own blur) the columns next to
    // it mix both, while the far ends stay as they were.
    Open();
    ArgbImage halves(40, 10, kRed);
    halves.Fill(20, 0, 40, 10, kBlue);
    Add(L"halves.png", Png(halves));
    PixelImage sharp = DrawImage(L"file='halves.png' dest='0,0,40,10'", RECTF(0, 0, 40, 10));
    EXPECT_EQ(Rgb(kRed), Rgb(sharp.At(19, 5)));
    EXPECT_EQ(Rgb(kBlue), Rgb(sharp.At(20, 5)));
    PixelImage soft = DrawImage(L"file='halves.png' dest='0,0,40,10' blur='3'", RECTF(0, 0, 40, 10));
    for (int x : {18, 19, 20, 21}) {
        const uint32_t c = soft.At(x, 5);
        EXPECT_GT((c >> 16) & 0xFF, 0x10u) << "red reaches column " << x;
        EXPECT_GT(c & 0xFF, 0x10u) << "blue reaches column " << x;
    }
    EXPECT_EQ(Rgb(kRed), Rgb(soft.At(1, 5)));
    EXPECT_EQ(Rgb(kBlue), Rgb(soft.At(38, 5)));
}

TEST_F(ImageDrawingTest, OpacityBelow255WinsOverTheDescriptorsFade)
{
    Open();
    Add(L"red.png", Png(ArgbImage(4, 4, kRed)));
    struct Case {
        const wchar_t* text;
        uint8_t opacity;
        int greenBlue;  // red over white at alpha a: G = B = 255 - a
    };
    const Case cases[] = {{L"file='red.png' fade='128'", 255, 127},
                          {L"file='red.png' fade='128'", 254, 1},
                          {L"file='red.png'", 255, 0},
                          {L"file='red.png' fade='0'", 255, 255},
                          {L"file='red.png'", 0, 255}};
    for (const Case& c : cases) {
        PixelImage px = DrawImage(c.text, RECTF(0, 0, 4, 4), c.opacity);
        EXPECT_EQ(255, testsupport::R(px.At(2, 2)));
        EXPECT_NEAR(c.greenBlue, testsupport::G(px.At(2, 2)), 1) << "opacity " << int(c.opacity);
        EXPECT_NEAR(c.greenBlue, testsupport::B(px.At(2, 2)), 1);
    }
}

TEST_F(ImageDrawingTest, OneToOneImageIsCutToThePaintRectWithTheMatchingSource)
{
    Open();
    ArgbImage im(10, 4, kRed);
    im.Fill(5, 0, 10, 4, kBlue);
    Add(L"two.png", Png(im));
    CUiImage image(L"file='two.png'");
    PixelImage px = Draw([&](ui::RenderTarget& rt) {
        EXPECT_TRUE(rt.DrawImage(&core(), RECTF(20, 0, 30, 4), RECTF(25, 0, 40, 4), image, 255));
    });
    EXPECT_EQ(Rgb(kWhite), Rgb(px.At(22, 1)));
    EXPECT_EQ(Rgb(kBlue), Rgb(px.At(25, 1)));
    EXPECT_EQ(Rgb(kBlue), Rgb(px.At(29, 1)));
    EXPECT_EQ(Rgb(kWhite), Rgb(px.At(30, 1)));
}

TEST_F(ImageDrawingTest, SourceGridPicksTheCellAndACellPastTheGridDrawsNothing)
{
    Open();
    ArgbImage strip(64, 16, kRed);
    strip.Fill(16, 0, 32, 16, kCells[1][1]);
    strip.Fill(32, 0, 48, 16, kBlue);
    strip.Fill(48, 0, 64, 16, kCells[2][2]);
    Add(L"strip.png", Png(strip));
    struct Case {
        const wchar_t* text;
        uint32_t colour;
    };
    const Case cases[] = {{L"file='strip.png' rsource='4,2,1,1'", kCells[1][1]},
                          {L"file='strip.png' rsource='4,4,1,1'", kCells[2][2]},
                          {L"file='strip.png' rsource='4,5,1,1'", kWhite},
                          {L"file='strip.png' rsource='4,6,1,1'", kWhite},
                          {L"file='strip.png' rsource='4,1,1,2'", kWhite}};
    for (const Case& c : cases) {
        bool drawn = false;
        PixelImage px = DrawImage(c.text, RECTF(0, 0, 16, 16), 255, &drawn);
        EXPECT_TRUE(drawn);
        for (int x : {1, 8, 15})
            EXPECT_EQ(Rgb(c.colour), Rgb(px.At(x, 8))) << std::wstring(c.text).size() << " x " << x;
        EXPECT_EQ(Rgb(kWhite), Rgb(px.At(17, 8)));
    }
}

TEST_F(ImageDrawingTest, EachIconFrameFillsTheImageFromItsOwnBitmap)
{
    Open();
    // The image takes the size of the last (small) frame; the first, bigger
    // one has four quadrants, all of which must show.
    ArgbImage big(48, 48, kRed);
    big.Fill(24, 0, 48, 24, kCells[0][1]);
    big.Fill(0, 24, 24, 48, kCells[1][1]);
    big.Fill(24, 24, 48, 48, kBlue);
    Add(L"app.ico", testsupport::BuildIco({big, ArgbImage(16, 16, kCells[2][2])}));
    struct Probe {
        int frame, x, y;
        uint32_t colour;
    };
    const Probe probes[] = {{0, 4, 4, kRed},          {0, 28, 4, kCells[0][1]}, {0, 4, 28, kCells[1][1]},
                            {0, 28, 28, kBlue},       {1, 4, 4, kCells[2][2]},  {1, 28, 28, kCells[2][2]}};
    for (const Probe& p : probes) {
        CUiImage image(L"file='app.ico' dest='0,0,32,32'");
        image.SetFrame(p.frame);
        PixelImage px = Draw([&](ui::RenderTarget& rt) {
            EXPECT_TRUE(rt.DrawImage(&core(), RECTF(0, 0, 32, 32), RECTF(0, 0, kWidth, kHeight), image, 255));
        });
        EXPECT_EQ(Rgb(p.colour), Rgb(px.At(p.x, p.y))) << "frame " << p.frame << " at " << p.x << "," << p.y;
    }
}

TEST_F(ImageDrawingTest, NothingToDrawAnswersByWhetherTheImageExists)
{
    Open();
    Add(L"red.png", Png(ArgbImage(4, 4, kRed)));
    bool drawn = true;
    DrawImage(L"", RECTF(0, 0, 4, 4), 255, &drawn);
    EXPECT_FALSE(drawn);
    DrawImage(L"missing.png", RECTF(0, 0, 4, 4), 255, &drawn);
    EXPECT_FALSE(drawn);
    // Present but outside the paint rect, or a frame past the count.
    CUiImage image(L"red.png");
    PixelImage px = Draw([&](ui::RenderTarget& rt) {
        EXPECT_TRUE(rt.DrawImage(&core(), RECTF(0, 0, 4, 4), RECTF(50, 50, 60, 60), image, 255));
        image.SetFrame(1);
        EXPECT_TRUE(rt.DrawImage(&core(), RECTF(10, 0, 14, 4), RECTF(0, 0, kWidth, kHeight), image, 255));
    });
    EXPECT_EQ(Rgb(kWhite), Rgb(px.At(2, 2)));
    EXPECT_EQ(Rgb(kWhite), Rgb(px.At(12, 2)));
}

TEST_F(ImageDrawingTest, ImageMadeFor192DpiOnA192DpiWindowDoublesSourceAndCorners)
{
    testsupport::ScratchDir dir(L"dpi");
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"x1").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"x2").c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"x1\\nine.png"), Png(NineGrid(4))));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"x2\\nine.png"), Png(NineGrid(8))));
    SetUiResourcePath((dir.Path() + L"\\").c_str());
    ui::SetScalePrefix(100, L"x1\\");
    ui::SetScalePrefix(200, L"x2\\");
    Open(192);
    PixelImage px = DrawImage(L"file='nine.png' corner='4,4,4,4' dest='0,0,50,15'", RECTF(0, 0, 100, 30));
    CUiImage image(L"nine.png");
    ui::tagTImageInfo* info = core().FindImageEntry(image);
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(192u, info->imageDpi);
    EXPECT_EQ(24, info->width);
    // Corners of 8 device pixels (4 units at scale 2, drawn 1:1).
    EXPECT_EQ(Rgb(kCells[0][0]), Rgb(px.At(7, 7)));
    EXPECT_EQ(Rgb(kCells[0][1]), Rgb(px.At(14, 4)));
    EXPECT_EQ(Rgb(kCells[0][1]), Rgb(px.At(50, 4)));
    EXPECT_EQ(Rgb(kCells[1][1]), Rgb(px.At(50, 15)));
    EXPECT_EQ(Rgb(kCells[2][2]), Rgb(px.At(95, 25)));
    EXPECT_EQ(Rgb(kWhite), Rgb(px.At(100, 15)));
}

} // namespace

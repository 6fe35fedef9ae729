#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Render/ImageDecoder.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/support/RenderTestSupport.h"
#include "support/ImageFiles.h"
#include "support/TestPaths.h"
#include "support/ZipFixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using testsupport::ArgbImage;
using testsupport::PixelImage;
using testsupport::ReadFramePixels;
using testsupport::Rgb;
using ui::ImagePtr;

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kBlack = 0xFF000000u;

// A window target to create bitmaps on and read frames back from.
class ImageDecoderTest : public rendertest::UiLibraryTest {
protected:
    void SetUp() override
    {
        UiLibraryTest::SetUp();
        window.reset(new rendertest::PlainWindow(0, 0, kSide, kSide));
        target.Init(window->hwnd(), nullptr, nullptr);
        target.Resize(0, 0, kSide, kSide);
        ASSERT_TRUE(target.HasResources());
    }
    void TearDown() override
    {
        CloseSkinArchive();
        SetUiResourcePath(L"");
        target.DiscardResources();
        window.reset();
        UiLibraryTest::TearDown();
    }
    PixelImage Frame(const ui::tagTImageInfo& image, int frame) { return ReadFramePixels(target, image, frame); }
    ImagePtr FromBytes(const std::string& bytes, bool icon = false)
    {
        return ui::DecodeImageFromMemory(&target, bytes.data(), bytes.size(), icon);
    }

    static constexpr int kSide = 64;
    std::unique_ptr<rendertest::PlainWindow> window;
    ui::RenderTarget target;
};

ArgbImage TwoTone(int w, int h, uint32_t left, uint32_t right)
{
    ArgbImage im(w, h, left);
    im.Fill(w / 2, 0, w, h, right);
    return im;
}

TEST_F(ImageDecoderTest, StillFormatsDecodeWithTheirPixels)
{
    struct Format {
        const char* name;
        GUID container;
        bool lossy;
    };
    const Format formats[] = {{"png", GUID_ContainerFormatPng, false},
                              {"bmp", GUID_ContainerFormatBmp, false},
                              {"jpeg", GUID_ContainerFormatJpeg, true}};
    const ArgbImage source = TwoTone(16, 8, kRed, kBlue);
    for (const Format& f : formats) {
        SCOPED_TRACE(f.name);
        std::string bytes = testsupport::EncodeWithWic(source, f.container);
        ASSERT_FALSE(bytes.empty()) << "no encoder";
        ImagePtr image = FromBytes(bytes);
        ASSERT_TRUE(image);
        EXPECT_EQ(16, image->width);
        EXPECT_EQ(8, image->height);
        ASSERT_EQ(1, image->FrameCount());
        EXPECT_EQ(0, image->delays[0]);
        PixelImage px = Frame(*image, 0);
        const int tolerance = f.lossy ? 40 : 0;
        EXPECT_NEAR(255, testsupport::R(px.At(2, 4)), tolerance);
        EXPECT_NEAR(0, testsupport::B(px.At(2, 4)), tolerance);
        EXPECT_NEAR(255, testsupport::B(px.At(13, 4)), tolerance);
        EXPECT_NEAR(0, testsupport::R(px.At(13, 4)), tolerance);
    }
}

TEST_F(ImageDecoderTest, PngAlphaArrivesPremultiplied)
{
    ArgbImage source(4, 4, 0x80FF0000u);  // half-transparent red
    source.Fill(0, 0, 2, 4, 0x00000000u);
    ImagePtr image = FromBytes(testsupport::EncodeWithWic(source, GUID_ContainerFormatPng));
    ASSERT_TRUE(image);
    PixelImage px = Frame(*image, 0);
    EXPECT_EQ(0u, px.At(0, 0) & 0xFFFFFFu);
    EXPECT_NEAR(0x80, testsupport::R(px.At(3, 0)), 2);  // 255 * 128 / 255
    EXPECT_EQ(0, testsupport::G(px.At(3, 0)));
}

TEST_F(ImageDecoderTest, UnreadableBytesGiveNoImage)
{
    EXPECT_FALSE(FromBytes(std::string("not an image at all")));
    EXPECT_FALSE(FromBytes(std::string()));
    std::string png = testsupport::EncodeWithWic(ArgbImage(8, 8, kRed), GUID_ContainerFormatPng);
    EXPECT_FALSE(FromBytes(png.substr(0, png.size() / 3)));
}

// Palette: 0 black (the background), 1 red, 2 green, 3 blue.
const std::vector<uint32_t> kPalette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};

TEST_F(ImageDecoderTest, GifFramesComposeWithBackgroundDisposalOnTheFrameRectOnly)
{
    std::vector<testsupport::GifFrameSpec> frames = {
        testsupport::SolidGifFrame(0, 0, 8, 8, 1, 10, 1),  // red everywhere, kept
        testsupport::SolidGifFrame(0, 0, 4, 4, 2, 0, 2),   // green corner, then back to background
        testsupport::SolidGifFrame(4, 4, 4, 4, 3, 0, 0)};  // blue corner, no control block
    frames[2].control = false;
    ImagePtr image = FromBytes(testsupport::BuildGif(8, 8, kPalette, 0, frames));
    ASSERT_TRUE(image);
    ASSERT_EQ(3, image->FrameCount());
    EXPECT_EQ(8, image->width);
    // 10 hundredths, a stored 0, and no delay at all.
    EXPECT_EQ((std::vector<int>{100, 0, ui::kDefaultFrameDelayMs}), image->delays);

    PixelImage second = Frame(*image, 1);
    EXPECT_EQ(Rgb(kGreen), Rgb(second.At(1, 1)));
    EXPECT_EQ(Rgb(kRed), Rgb(second.At(6, 6)));
    // The green corner went back to the background; the red of the first
    // frame stays everywhere else.
    PixelImage third = Frame(*image, 2);
    EXPECT_EQ(Rgb(kBlack), Rgb(third.At(1, 1)));
    EXPECT_EQ(255, testsupport::A(third.At(1, 1)));
    EXPECT_EQ(Rgb(kRed), Rgb(third.At(6, 1)));
    EXPECT_EQ(Rgb(kRed), Rgb(third.At(1, 6)));
    EXPECT_EQ(Rgb(kBlue), Rgb(third.At(6, 6)));
}

TEST_F(ImageDecoderTest, GifRestorePreviousPutsBackTheCanvasBeforeThatFrame)
{
    ImagePtr image = FromBytes(testsupport::BuildGif(
        8, 8, kPalette, 0,
        {testsupport::SolidGifFrame(0, 0, 8, 8, 1, 5, 1), testsupport::SolidGifFrame(0, 0, 4, 4, 2, 5, 3),
         testsupport::SolidGifFrame(4, 4, 4, 4, 3, 5, 1)}));
    ASSERT_TRUE(image);
    ASSERT_EQ(3, image->FrameCount());
    EXPECT_EQ(Rgb(kGreen), Rgb(Frame(*image, 1).At(1, 1)));
    PixelImage third = Frame(*image, 2);
    EXPECT_EQ(Rgb(kRed), Rgb(third.At(1, 1)));
    EXPECT_EQ(Rgb(kBlue), Rgb(third.At(6, 6)));
}

TEST_F(ImageDecoderTest, IconKeepsEveryImageAsAFrameSizedByTheLast)
{
    std::vector<ArgbImage> sizes = {ArgbImage(16, 16, kRed), ArgbImage(32, 32, kGreen), ArgbImage(48, 48, kBlue)};
    std::string ico = testsupport::BuildIco(sizes);
    ImagePtr image = FromBytes(ico, true);
    ASSERT_TRUE(image);
    ASSERT_EQ(3, image->FrameCount());
    EXPECT_EQ(48, image->width);
    EXPECT_EQ(48, image->height);
    EXPECT_EQ((std::vector<int>{0, 0, 0}), image->delays);
    const uint32_t colours[] = {kRed, kGreen, kBlue};
    for (int i = 0; i < 3; ++i) {
        PixelImage px = Frame(*image, i);
        EXPECT_EQ(sizes[static_cast<size_t>(i)].width, px.width);
        EXPECT_EQ(Rgb(colours[i]), Rgb(px.At(px.width - 1, px.height - 1))) << "frame " << i;
    }
    // A file on disk is an icon by its name.
    testsupport::ScratchDir dir(L"ico");
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"app.ico"), ico));
    ImagePtr fromFile = ui::DecodeImageFile(&target, dir.File(L"app.ico").c_str());
    ASSERT_TRUE(fromFile);
    EXPECT_EQ(3, fromFile->FrameCount());
}

TEST_F(ImageDecoderTest, FrameFolderPlaysFilesByNumberAndSkipsBadOnes)
{
    testsupport::ScratchDir dir(L"frames");
    std::wstring folder = dir.File(L"anim");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    auto png = [](uint32_t c) { return testsupport::EncodeWithWic(ArgbImage(6, 4, c), GUID_ContainerFormatPng); };
    ASSERT_TRUE(testsupport::WriteFileBytes(folder + L"\\f10.png", png(kBlue)));
    ASSERT_TRUE(testsupport::WriteFileBytes(folder + L"\\f2.png", png(kGreen)));
    ASSERT_TRUE(testsupport::WriteFileBytes(folder + L"\\f1.png", png(kRed)));
    ASSERT_TRUE(testsupport::WriteFileBytes(folder + L"\\f5.png", "broken"));

    for (const std::wstring& path : {folder, folder + L"/", folder + L"\\"}) {
        ImagePtr image = ui::DecodeImageFile(&target, path.c_str());
        ASSERT_TRUE(image);
        ASSERT_EQ(3, image->FrameCount());
        EXPECT_EQ(6, image->width);
        EXPECT_EQ((std::vector<int>{333, 333, 333}), image->delays);
        EXPECT_EQ(Rgb(kRed), Rgb(Frame(*image, 0).At(1, 1)));
        EXPECT_EQ(Rgb(kGreen), Rgb(Frame(*image, 1).At(1, 1)));
        EXPECT_EQ(Rgb(kBlue), Rgb(Frame(*image, 2).At(1, 1)));
    }
}

TEST_F(ImageDecoderTest, FolderWithoutAnyDecodableFileGivesNoImage)
{
    testsupport::ScratchDir dir(L"frames");
    std::wstring folder = dir.File(L"bad");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(folder + L"\\1.png", "x"));
    ASSERT_TRUE(testsupport::WriteFileBytes(folder + L"\\2.png", "y"));
    EXPECT_FALSE(ui::LoadFrameFolder(&target, folder.c_str()));
    std::wstring empty = dir.File(L"empty");
    ASSERT_TRUE(CreateDirectoryW(empty.c_str(), nullptr));
    EXPECT_FALSE(ui::LoadFrameFolder(&target, empty.c_str()));
}

// A skin archive with a frame folder (its own folder entry first), a broken
// folder and loose files.
std::string FramesArchive()
{
    using zipfixture::ZipItem;
    auto png = [](uint32_t c) { return testsupport::EncodeWithWic(ArgbImage(5, 5, c), GUID_ContainerFormatPng); };
    ZipItem folder;
    folder.name = "anim/";
    folder.externalAttributes = FILE_ATTRIBUTE_DIRECTORY;
    ZipItem badFolder = folder;
    badFolder.name = "bad/";
    std::vector<ZipItem> items = {folder, ZipItem{"anim/frame3.png", png(kBlue)},
                                  ZipItem{"anim/frame1.png", png(kRed)}, ZipItem{"anim/frame2.txt", "not a picture"},
                                  badFolder, ZipItem{"bad/1.png", "x"}, ZipItem{"bad/2.png", "y"},
                                  ZipItem{"still.png", png(kGreen)}};
    return zipfixture::BuildZip(items);
}

TEST_F(ImageDecoderTest, ArchiveFolderPlaysItsEntriesAndSkipsBadOnes)
{
    std::string zip = FramesArchive();
    ASSERT_FALSE(zip.empty());
    ASSERT_TRUE(OpenSkinArchive(zip.data(), static_cast<uint32_t>(zip.size())));
    // By the folder entry itself, and by a name without a dot.
    for (const wchar_t* path : {L"anim/", L"anim"}) {
        SCOPED_TRACE(testing::Message() << "path " << std::string(path, path + wcslen(path)));
        ImagePtr image = ui::LoadImageFile(&target, path);
        ASSERT_TRUE(image);
        ASSERT_EQ(2, image->FrameCount());
        EXPECT_EQ((std::vector<int>{500, 500}), image->delays);
        EXPECT_EQ(Rgb(kRed), Rgb(Frame(*image, 0).At(2, 2)));
        EXPECT_EQ(Rgb(kBlue), Rgb(Frame(*image, 1).At(2, 2)));
    }
    EXPECT_FALSE(ui::LoadImageFile(&target, L"bad"));
    ImagePtr still = ui::LoadImageFile(&target, L"STILL.png");
    ASSERT_TRUE(still);
    EXPECT_EQ(Rgb(kGreen), Rgb(Frame(*still, 0).At(2, 2)));
    EXPECT_FALSE(ui::LoadImageFile(&target, L"missing.png"));
}

TEST_F(ImageDecoderTest, ArchiveFirstThenTheResourceFolder)
{
    std::string zip = FramesArchive();
    ASSERT_TRUE(OpenSkinArchive(zip.data(), static_cast<uint32_t>(zip.size())));
    testsupport::ScratchDir dir(L"res");
    SetUiResourcePath((dir.Path() + L"\\").c_str());
    ASSERT_TRUE(testsupport::WriteFileBytes(
        dir.File(L"still.png"), testsupport::EncodeWithWic(ArgbImage(3, 3, kBlue), GUID_ContainerFormatPng)));
    ASSERT_TRUE(testsupport::WriteFileBytes(
        dir.File(L"disk.png"), testsupport::EncodeWithWic(ArgbImage(3, 3, kBlue), GUID_ContainerFormatPng)));
    ImagePtr still = ui::LoadImageFile(&target, L"still.png");
    ASSERT_TRUE(still);
    EXPECT_EQ(5, still->width);  // the archive's copy
    ImagePtr disk = ui::LoadImageFile(&target, L"disk.png");
    ASSERT_TRUE(disk);
    EXPECT_EQ(3, disk->width);
}

TEST(FrameNumber, LastRunOfDigits)
{
    EXPECT_EQ(10, ui::GetFrameNumber(L"f10.png"));
    EXPECT_EQ(2, ui::GetFrameNumber(L"anim/f2.png"));
    EXPECT_EQ(7, ui::GetFrameNumber(L"v3_frame007.png"));
    EXPECT_EQ(0, ui::GetFrameNumber(L"frame.png"));
    EXPECT_EQ(0, ui::GetFrameNumber(nullptr));
    EXPECT_EQ(INT_MAX, ui::GetFrameNumber(L"f99999999999999.png"));
}

TEST(SvgColorRule, ColourAndOpacityText)
{
    EXPECT_EQ("*{fill:#FF0000; opacity: 0.5; }", ui::MakeSvgColorRule(0x80FF0000u, "fill"));
    EXPECT_EQ("*{stroke:#0A0B0C; opacity: 1.0; }", ui::MakeSvgColorRule(0xFF0A0B0Cu, "stroke"));
    EXPECT_EQ("*{fill:#000000; opacity: 0.0; }", ui::MakeSvgColorRule(0x00000000u, "fill"));
}

// 10 x 10 units: a red left half drawn as a path, a blue disc made of two
// arcs inside a translated group, scaled by the viewBox into 20 x 20.
const char kSvg[] =
    "<svg xmlns='http://www.w3.org/2000/svg' width='20' height='20' viewBox='0 0 10 10'>"
    "<path d='M0 0 H5 V10 H0 Z' fill='red'/>"
    "<g transform='translate(5,0)'><path d='M0.5 5 A2 2 0 0 1 4.5 5 A2 2 0 0 1 0.5 5 Z' fill='#0000ff'/></g>"
    "</svg>";

TEST_F(ImageDecoderTest, SvgRendersPathsArcsAndTransformsAtTheRequestedScale)
{
    testsupport::ScratchDir dir(L"svg");
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"icon.svg"), kSvg));
    struct Case {
        float dpi, width, height;
        int pixelWidth, pixelHeight;
    };
    for (const Case& c : {Case{96, 0, 0, 20, 20}, Case{144, 0, 0, 30, 30}, Case{96, 40, 40, 40, 40}}) {
        SCOPED_TRACE(testing::Message() << "dpi " << c.dpi << " size " << c.width);
        // The cache-key suffix after ".svg" is not part of the file name.
        std::wstring path = dir.File(L"icon.svg") + L"ff00ff00";
        ImagePtr image = ui::LoadSvgImage(&target, path.c_str(), c.dpi, c.width, c.height, 0, 0, std::string());
        ASSERT_TRUE(image);
        EXPECT_EQ(c.pixelWidth, image->width);
        EXPECT_EQ(c.pixelHeight, image->height);
        PixelImage px = Frame(*image, 0);
        const float sx = c.pixelWidth / 10.0f, sy = c.pixelHeight / 10.0f;
        EXPECT_EQ(Rgb(kRed), Rgb(px.At(static_cast<int>(2 * sx), static_cast<int>(5 * sy))));
        EXPECT_EQ(Rgb(kBlue), Rgb(px.At(static_cast<int>(7.5f * sx), static_cast<int>(5 * sy))));
        EXPECT_EQ(0u, px.At(static_cast<int>(9.8f * sx), static_cast<int>(0.5f * sy)));
    }
}

TEST_F(ImageDecoderTest, SvgRecolouringKeepsItsColoursForLaterRenders)
{
    testsupport::ScratchDir dir(L"svg");
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"icon.svg"), kSvg));
    ImagePtr image = ui::LoadSvgImage(&target, dir.File(L"icon.svg").c_str(), 96, 0, 0, 0, 0xFF00FF00u,
                                      "path{stroke:none}");
    ASSERT_TRUE(image);
    EXPECT_EQ(Rgb(kGreen), Rgb(Frame(*image, 0).At(4, 10)));
    EXPECT_EQ(Rgb(kGreen), Rgb(Frame(*image, 0).At(15, 10)));
    EXPECT_EQ(0xFF00FF00u, image->fillColor);
    EXPECT_EQ("path{stroke:none}", image->styleSheet);
}

TEST_F(ImageDecoderTest, SvgOfNoSizeOrPastTheCapGivesNoImage)
{
    testsupport::ScratchDir dir(L"svg");
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"icon.svg"), kSvg));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"nosize.svg"),
                                            "<svg xmlns='http://www.w3.org/2000/svg'><rect width='5' height='5'/></svg>"));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"broken.svg"), "<svg><rect"));
    EXPECT_FALSE(ui::LoadSvgImage(&target, dir.File(L"nosize.svg").c_str(), 96, 0, 0, 0, 0, std::string()));
    EXPECT_FALSE(ui::LoadSvgImage(&target, dir.File(L"icon.svg").c_str(), 96, 16385, 10, 0, 0, std::string()));
    EXPECT_FALSE(ui::LoadSvgImage(&target, dir.File(L"icon.svg").c_str(), 192, 8193, 10, 0, 0, std::string()));
    EXPECT_FALSE(ui::LoadSvgImage(&target, dir.File(L"icon.svg").c_str(), 96, 0.5f, 10, 0, 0, std::string()));
    EXPECT_FALSE(ui::LoadSvgImage(&target, dir.File(L"broken.svg").c_str(), 96, 0, 0, 0, 0, std::string()));
    EXPECT_FALSE(ui::LoadSvgImage(&target, dir.File(L"none.svg").c_str(), 96, 0, 0, 0, 0, std::string()));
    EXPECT_TRUE(ui::LoadSvgImage(&target, dir.File(L"icon.svg").c_str(), 96, 16384, 1, 0, 0, std::string()));
}

TEST_F(ImageDecoderTest, PixelAndGdiBridgesMakeOneFrame)
{
    const uint32_t pixels[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0x80800000u};
    ImagePtr image = ui::CreateImageInfoFromPixels(&target, pixels, 2, 2, 8);
    ASSERT_TRUE(image);
    PixelImage px = Frame(*image, 0);
    EXPECT_EQ(0xFF0000u, Rgb(px.At(0, 0)));
    EXPECT_EQ(0x0000FFu, Rgb(px.At(0, 1)));
    EXPECT_FALSE(ui::CreateImageInfoFromPixels(&target, pixels, 2, 2, 4));

    // A 32-bit DIB section with alpha keeps it; GDI gives it row by row.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = 3;
    info.bmiHeader.biHeight = -2;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ASSERT_TRUE(dib);
    uint32_t* p = static_cast<uint32_t*>(bits);
    for (int i = 0; i < 6; ++i)
        p[i] = i < 3 ? 0xFF00FF00u : 0x80000080u;  // green row, half-transparent blue row
    ImagePtr fromGdi = ui::LoadImageFromHbitmap(&target, dib);
    DeleteObject(dib);
    ASSERT_TRUE(fromGdi);
    EXPECT_EQ(3, fromGdi->width);
    EXPECT_EQ(2, fromGdi->height);
    PixelImage gp = Frame(*fromGdi, 0);
    EXPECT_EQ(0xFF00FF00u, gp.At(1, 0));
    EXPECT_NEAR(0x80, testsupport::B(gp.At(1, 1)), 2);
    EXPECT_FALSE(ui::LoadImageFromHbitmap(&target, nullptr));
}

} // namespace

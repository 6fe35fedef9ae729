#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/ImageDecoder.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/UiImage.h"
#include "support/ImageFiles.h"
#include "support/TestPaths.h"
#include "support/ZipFixture.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using testsupport::ArgbImage;
using testsupport::Rgb;
using ui::CUiImage;
using ui::tagTImageInfo;

constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u, kBlue = 0xFF0000FFu, kYellow = 0xFFFFFF00u;

std::string Png(int side, uint32_t colour)
{
    return testsupport::EncodeWithWic(ArgbImage(side, side, colour), GUID_ContainerFormatPng);
}

// A skin with images per scale: 100 % red (4 px), 125 % green (5 px),
// 200 % blue (8 px); 150 % is registered but has no copy of the file.
class ScaleFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        using zipfixture::ZipItem;
        m_zip = zipfixture::BuildZip({ZipItem{"RES/a.png", Png(4, kRed)}, ZipItem{"RES125/a.png", Png(5, kGreen)},
                                      ZipItem{"RES200/a.png", Png(8, kBlue)}});
        ASSERT_TRUE(OpenSkinArchive(m_zip.data(), static_cast<uint32_t>(m_zip.size())));
        ui::SetScalePrefix(100, L"RES/");
        ui::SetScalePrefix(125, L"RES125/");
        ui::SetScalePrefix(150, L"RES150/");
        ui::SetScalePrefix(200, L"RES200/");
    }
    void TearDown() override
    {
        window.reset();
        CloseSkinArchive();
        ui::ClearScalePrefixes();
        SetUiResourcePath(L"");
    }
    void Open(int dpi)
    {
        window.reset(new testsupport::TestWindow(dpi));
        ASSERT_NE(nullptr, window->CreatePopup(64, 64));
        ASSERT_NE(nullptr, window->core.GetRenderTarget());
    }
    uint32_t ColourOf(const tagTImageInfo& info)
    {
        return Rgb(testsupport::ReadFramePixels(*window->core.GetRenderTarget(), info, 0).At(1, 1));
    }

    testsupport::UiLibraryScope lib;
    std::string m_zip;
    std::unique_ptr<testsupport::TestWindow> window;
};

struct ScaleCase {
    int dpi;
    uint32_t colour;
    int width;
    unsigned madeFor;
};

class ScaleFolderChoice : public ScaleFolderTest, public ::testing::WithParamInterface<ScaleCase> {};

TEST_P(ScaleFolderChoice, TheWindowsScaleFolderOrThe100PercentOne)
{
    const ScaleCase& c = GetParam();
    Open(c.dpi);
    CUiImage image(L"a.png");
    tagTImageInfo* info = window->core.GetImage(image);
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(c.width, info->width);
    EXPECT_EQ(c.madeFor, info->imageDpi);
    EXPECT_EQ(static_cast<unsigned>(c.dpi), info->targetDpi);
    EXPECT_EQ(Rgb(c.colour), ColourOf(*info));
    // Cached: the same entry again.
    EXPECT_EQ(info, window->core.GetImage(image));
    EXPECT_EQ(1, window->core.ImageCount());
}

INSTANTIATE_TEST_SUITE_P(Dpis, ScaleFolderChoice,
                         ::testing::Values(ScaleCase{96, kRed, 4, 96}, ScaleCase{120, kGreen, 5, 120},
                                           ScaleCase{144, kRed, 4, 96}, ScaleCase{192, kBlue, 8, 192}));

TEST_F(ScaleFolderTest, ArchiveFirstThenTheResourceFolderOnDisk)
{
    testsupport::ScratchDir dir(L"res");
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"RES").c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"RES\\a.png"), Png(6, kYellow)));
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"RES\\b.png"), Png(6, kYellow)));
    SetUiResourcePath((dir.Path() + L"\\").c_str());
    Open(96);
    CUiImage a(L"a.png"), b(L"b.png"), missing(L"c.png");
    tagTImageInfo* fromArchive = window->core.GetImage(a);
    tagTImageInfo* fromDisk = window->core.GetImage(b);
    ASSERT_NE(nullptr, fromArchive);
    ASSERT_NE(nullptr, fromDisk);
    EXPECT_EQ(Rgb(kRed), ColourOf(*fromArchive));
    EXPECT_EQ(Rgb(kYellow), ColourOf(*fromDisk));
    EXPECT_EQ(nullptr, window->core.GetImage(missing));
    EXPECT_EQ(2, window->core.ImageCount());
}

TEST_F(ScaleFolderTest, DpiChangeReloadsFromTheNewScalesFolder)
{
    testsupport::ScratchDir dir(L"svg");
    SetUiResourcePath((dir.Path() + L"\\").c_str());
    ASSERT_TRUE(CreateDirectoryW(dir.File(L"RES").c_str(), nullptr));
    ASSERT_TRUE(testsupport::WriteFileBytes(
        dir.File(L"RES\\dot.svg"),
        "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='6'><rect width='10' height='6' fill='red'/></svg>"));
    Open(96);
    CUiImage image(L"a.png"), svg(L"file='dot.svg'");
    CUiImage memory(L"mem.png");
    ASSERT_NE(nullptr, window->core.GetImage(image));
    tagTImageInfo* svgInfo = window->core.GetImage(svg);
    ASSERT_NE(nullptr, svgInfo);
    EXPECT_EQ(10, svgInfo->width);
    std::string bytes = Png(3, kGreen);
    ASSERT_NE(nullptr, window->core.AddImageFromMemory(memory, bytes.data(), bytes.size(), false));

    RECT suggested{0, 0, 128, 128};
    SendMessageW(window->GetHWND(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&suggested));
    tagTImageInfo* info = window->core.FindImageEntry(image);
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(8, info->width);
    EXPECT_EQ(192u, info->imageDpi);
    EXPECT_EQ(Rgb(kBlue), ColourOf(*info));
    svgInfo = window->core.FindImageEntry(svg);
    ASSERT_NE(nullptr, svgInfo);
    EXPECT_EQ(20, svgInfo->width);
    EXPECT_EQ(12, svgInfo->height);
    EXPECT_EQ(192u, svgInfo->imageDpi);
    // Bytes have no file to come back from: kept unless forced.
    ASSERT_NE(nullptr, window->core.FindImageEntry(memory));
    EXPECT_EQ(192u, window->core.FindImageEntry(memory)->targetDpi);
    window->core.ReloadImages(true);
    EXPECT_EQ(nullptr, window->core.FindImageEntry(memory));
    EXPECT_EQ(2, window->core.ImageCount());
}

TEST_F(ScaleFolderTest, BytesAndBitmapsAreStoredUnderTheDescriptorsKey)
{
    Open(96);
    CUiImage image(L"file='pic.png' fillcolor='ff102030'");
    std::string red = Png(2, kRed), green = Png(3, kGreen);
    tagTImageInfo* first = window->core.AddImageFromMemory(image, red.data(), red.size(), false);
    ASSERT_NE(nullptr, first);
    EXPECT_TRUE(first->fromMemory);
    EXPECT_EQ(first, window->core.AddImageFromMemory(image, green.data(), green.size(), false));
    tagTImageInfo* replaced = window->core.AddImageFromMemory(image, green.data(), green.size(), true);
    ASSERT_NE(nullptr, replaced);
    EXPECT_EQ(3, replaced->width);
    EXPECT_EQ(nullptr, window->core.AddImageFromMemory(CUiImage(L"junk.png"), "xx", 2, false));
    EXPECT_EQ(nullptr, window->core.AddImageFromMemory(CUiImage(L"none.png"), nullptr, 0, false));

    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 5, 4);
    ReleaseDC(nullptr, screen);
    tagTImageInfo* fromGdi = window->core.AddImageFromHbitmap(CUiImage(L"gdi"), bitmap, 5, 4, nullptr);
    DeleteObject(bitmap);
    ASSERT_NE(nullptr, fromGdi);
    EXPECT_EQ(5, fromGdi->width);
    EXPECT_EQ(nullptr, window->core.AddImageFromHbitmap(CUiImage(L"gdi2"), nullptr, 5, 4, nullptr));
    EXPECT_EQ(2, window->core.ImageCount());

    EXPECT_TRUE(window->core.RemoveImage(image));
    EXPECT_FALSE(window->core.RemoveImage(image));
    window->core.RemoveAllImages();
    EXPECT_EQ(0, window->core.ImageCount());
}

TEST_F(ScaleFolderTest, ParentCoresLendTheirImagesAndGiveThemUpOnRemoval)
{
    Open(96);
    ui::WindowCore child;
    child.SetParentCore(&window->core);
    CUiImage image(L"a.png");
    ASSERT_NE(nullptr, window->core.GetImage(image));
    EXPECT_EQ(window->core.FindImageEntry(image), child.FindImageEntry(image));
    EXPECT_TRUE(child.RemoveImage(image));
    EXPECT_EQ(nullptr, window->core.FindImageEntry(image));
    EXPECT_EQ(0, window->core.ImageCount());
}

// Frame delays a descriptor gives a 20-frame image.
struct DelayCase {
    const wchar_t* text;
    int delay;
};

class FrameDelays : public ::testing::TestWithParam<DelayCase> {};

TEST_P(FrameDelays, DescriptorTimingOverridesTheDecoders)
{
    tagTImageInfo info;
    for (int i = 0; i < 20; ++i)
        info.AddFrame(nullptr, 7);
    ui::WindowCore::ApplyFrameDelays(&info, CUiImage(GetParam().text));
    EXPECT_EQ(std::vector<int>(20, GetParam().delay), info.delays);
}

INSTANTIATE_TEST_SUITE_P(Cases, FrameDelays,
                         ::testing::Values(DelayCase{L"file='a.gif' duration='2'", 100},
                                           DelayCase{L"file='a.gif' interval='-5'", 90},
                                           DelayCase{L"file='a.gif' interval='40'", 40},
                                           DelayCase{L"file='a.gif' interval='40' duration='1'", 50},
                                           DelayCase{L"file='a.gif'", 7}));

TEST_F(ScaleFolderTest, LoadedAnimationGetsTheDescriptorsTiming)
{
    testsupport::ScratchDir dir(L"gif");
    std::vector<testsupport::GifFrameSpec> frames;
    for (int i = 0; i < 20; ++i)
        frames.push_back(testsupport::SolidGifFrame(0, 0, 2, 2, static_cast<uint8_t>(1 + i % 3), 3, 1));
    ASSERT_TRUE(testsupport::WriteFileBytes(
        dir.File(L"anim.gif"), testsupport::BuildGif(2, 2, {0, 0xFF0000, 0x00FF00, 0x0000FF}, 0, frames)));
    SetUiResourcePath((dir.Path() + L"\\").c_str());
    ui::ClearScalePrefixes();
    Open(96);
    CUiImage timed(L"file='anim.gif' duration='2'");
    tagTImageInfo* info = window->core.GetImage(timed);
    ASSERT_NE(nullptr, info);
    EXPECT_EQ(std::vector<int>(20, 100), info->delays);
}

} // namespace

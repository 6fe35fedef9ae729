// A window showing every kind of picture a skin can name, at 96 and 192 DPI:
// each decoded format, a nine-grid, a tiled and a faded image, a recoloured
// SVG, shapes and a layered panel with a shadow. The screenshots go to
// artifacts/; the checks make sure each cell really drew.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Corvel/Control/Box.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/Layer.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/UiImage.h"
#include "support/ImageFiles.h"
#include "support/TestPaths.h"
#include "support/Text.h"

namespace {

using testsupport::ArgbImage;
using testsupport::PixelImage;
using testsupport::Rgb;
using ui::CUiImage;
using ui::RECTF;

constexpr uint32_t kBackground = 0xFFF4F4F0u;
constexpr int kCell = 64;     // logical size of a gallery cell
constexpr int kGap = 12;      // logical gap between cells
constexpr int kColumns = 6;
constexpr int kWidth = kColumns * (kCell + kGap) + kGap;
constexpr int kHeight = 2 * (kCell + kGap) + kGap;
constexpr uint32_t kRecolour = 0xFF1E90FFu;

// The SVG the gallery recolours: a path with arcs, a transformed group and a
// viewBox (drawn black; the descriptor's fill colour replaces it).
const char kIcon[] =
    "<svg xmlns='http://www.w3.org/2000/svg' width='32' height='32' viewBox='0 0 64 64'>"
    "<path d='M8 32 A24 24 0 1 1 56 32 A24 24 0 1 1 8 32 Z' fill='black'/>"
    "<g transform='translate(32 32) rotate(45)'><rect x='-6' y='-20' width='12' height='40' fill='white'/></g>"
    "</svg>";

// One cell per picture, drawn in logical units scaled by the window's DPI.
struct Cell {
    const wchar_t* descriptor;
    int column, row;
    int frame;  // the animation frame to show; stills have only frame 0
};
const Cell kCells[] = {
    {L"file='alpha.png'", 0, 0},
    {L"file='photo.jpg' dest='0,0,64,64'", 1, 0},
    {L"file='plain.bmp' dest='0,0,64,64'", 2, 0},
    {L"file='anim.gif' dest='0,0,64,64'", 3, 0, 1},
    {L"file='icon.ico' dest='0,0,64,64'", 4, 0},
    {L"file='icon.svg' fillcolor='ff1e90ff' dest='0,0,64,64'", 5, 0},
    {L"file='nine.png' corner='6,6,6,6' dest='0,0,64,64'", 0, 1},
    {L"file='tile.png' xtile='true' ytile='true' dest='0,0,64,64'", 1, 1},
    {L"file='photo.jpg' fade='128' dest='0,0,64,64'", 2, 1},
};

RECTF CellRect(int column, int row, float scale)
{
    const float left = static_cast<float>(kGap + column * (kCell + kGap)) * scale;
    const float top = static_cast<float>(kGap + row * (kCell + kGap)) * scale;
    return RECTF(left, top, left + kCell * scale, top + kCell * scale);
}

// Paints the picture cells and a shape cell over the board's background.
class Gallery : public ui::Control {
public:
    void FillBackground(ui::RenderTarget* t, const RECTF& paint) override
    {
        ui::Control::FillBackground(t, paint);
        const float s = GetScale();
        for (const Cell& c : kCells) {
            CUiImage image(c.descriptor);
            if (c.frame)
                image.SetFrame(c.frame);
            drawn.push_back(t->DrawImage(GetCore(), CellRect(c.column, c.row, s), paint, image, 255));
        }
        const RECTF shapes = CellRect(3, 1, s);
        ui::GradientDirection diagonal;
        ui::GradientPointsFromAngle(diagonal, 135);
        const ui::CornerSize round{16 * s, 16 * s};
        t->FillShape(shapes, {ui::Color(0.9f, 0.2f, 0.2f, 1), ui::Color(1, 0.8f, 0.1f, 1)}, &diagonal, &round, nullptr,
                     nullptr);
        const RECTF arc = CellRect(4, 1, s);
        t->DrawArc(-90, 300, arc, 6 * s, ui::Color(0.2f, 0.3f, 0.9f, 1), ui::Color(0.1f, 0.7f, 0.7f, 1));
        // The layered panel's drop shadow, drawn by its parent under it.
        t->DrawShadow(CellRect(5, 1, s), PanelShadow(s), nullptr, nullptr, nullptr, nullptr);
    }
    static ui::BoxShadow PanelShadow(float scale)
    {
        ui::BoxShadow shadow;
        shadow.size = 4 * scale;
        shadow.blur = 6 * scale;
        shadow.color = 0xA0000000u;
        shadow.offsetX = shadow.offsetY = 3 * scale;
        return shadow;
    }
    std::vector<bool> drawn;
};

class PictureGalleryTest : public ::testing::TestWithParam<int> {
protected:
    void TearDown() override
    {
        window.reset();
        SetUiResourcePath(L"");
    }
    // The disk files the gallery names, under a resource folder of the test.
    void WriteFiles()
    {
        ArgbImage alpha(48, 48, 0x00000000u);
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 48; ++x)
                alpha.At(x, y) = (static_cast<uint32_t>(x * 255 / 47) << 24) | 0x00C03060u;
        ArgbImage photo(64, 64, 0xFF3070A0u);
        photo.Fill(0, 32, 64, 64, 0xFF60A040u);
        photo.Fill(24, 12, 40, 28, 0xFFF0E060u);
        ArgbImage plain(40, 40, 0xFF805030u);
        plain.Fill(10, 10, 30, 30, 0xFFE0C0A0u);
        ArgbImage nine(18, 18, 0xFF2060C0u);
        nine.Fill(6, 6, 12, 12, 0xFFD0E0F0u);
        ArgbImage tile(16, 16, 0xFFE04040u);
        tile.Fill(8, 0, 16, 8, 0xFF4040E0u);
        tile.Fill(0, 8, 8, 16, 0xFF4040E0u);
        std::vector<ArgbImage> sizes = {ArgbImage(16, 16, 0xFF40A040u), ArgbImage(32, 32, 0xFF40A040u),
                                        ArgbImage(48, 48, 0xFF40A040u)};
        const std::vector<uint32_t> palette = {0xFFFFFF, 0xE02020, 0x2020E0, 0x20A020};
        const std::string gif = testsupport::BuildGif(
            32, 32, palette, 0,
            {testsupport::SolidGifFrame(0, 0, 32, 32, 1, 10, 0), testsupport::SolidGifFrame(8, 8, 16, 16, 2, 10, 0),
             testsupport::SolidGifFrame(0, 0, 16, 16, 3, 10, 0)});
        const struct {
            const wchar_t* name;
            std::string bytes;
        } files[] = {
            {L"alpha.png", testsupport::EncodeWithWic(alpha, GUID_ContainerFormatPng)},
            {L"photo.jpg", testsupport::EncodeWithWic(photo, GUID_ContainerFormatJpeg)},
            {L"plain.bmp", testsupport::EncodeWithWic(plain, GUID_ContainerFormatBmp)},
            {L"anim.gif", gif},
            {L"icon.ico", testsupport::BuildIco(sizes)},
            {L"icon.svg", kIcon},
            {L"nine.png", testsupport::EncodeWithWic(nine, GUID_ContainerFormatPng)},
            {L"tile.png", testsupport::EncodeWithWic(tile, GUID_ContainerFormatPng)},
        };
        for (const auto& f : files) {
            ASSERT_FALSE(f.bytes.empty()) << f.name;
            ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(f.name), f.bytes)) << f.name;
        }
        SetUiResourcePath((dir.Path() + L"\\").c_str());
    }

    testsupport::UiLibraryScope lib;
    testsupport::ScratchDir dir{L"gallery"};
    std::unique_ptr<testsupport::TestWindow> window;
};

TEST_P(PictureGalleryTest, EveryKindOfPictureDrawsInItsCell)
{
    const int dpi = GetParam();
    const float scale = dpi / 96.0f;
    WriteFiles();

    ui::Box* root = new ui::Box();
    root->SetBkColor(kBackground);
    Gallery* gallery = new Gallery();
    gallery->SetBkColor(kBackground);
    gallery->SetFloatRect(0, 0, 0, 0);
    gallery->SetFixedPos(0, 0);
    gallery->SetFixedWidth(kWidth);
    gallery->SetFixedHeight(kHeight);
    root->AppendChild(gallery);
    // A layered panel with a shadow over the last cell.
    ui::Control* glass = new ui::Control();
    glass->SetBkColor(0xFF2080E0u);
    glass->SetFloatRect(0, 0, 0, 0);
    glass->SetFixedPos(kGap + 5 * (kCell + kGap), kGap + (kCell + kGap));
    glass->SetFixedWidth(kCell);
    glass->SetFixedHeight(kCell);
    glass->EnsureLayer(1);
    glass->SetAlpha(160);
    root->AppendChild(glass);

    window.reset(new testsupport::TestWindow(dpi));
    window->root = root;
    const int width = static_cast<int>(kWidth * scale), height = static_cast<int>(kHeight * scale);
    ASSERT_NE(nullptr, window->CreatePopup(width, height));
    ASSERT_TRUE(testsupport::ShowAndPaint(*window));
    ASSERT_TRUE(testsupport::PumpUntil([&] { return glass->GetLayer()->GetTarget() != nullptr; }));
    testsupport::PumpFor(100);

    // The board paints every frame; the last frame's answers count.
    const size_t cells = std::size(kCells);
    ASSERT_GE(gallery->drawn.size(), cells);
    for (size_t i = 0; i < cells; ++i)
        EXPECT_TRUE(gallery->drawn[gallery->drawn.size() - cells + i])
            << "the image of " << testsupport::Narrow(kCells[i].descriptor) << " was found";

    PixelImage px = testsupport::ReadCorePixels(window->core);
    ASSERT_EQ(width, px.width);
    // Something other than the background in the middle of every cell.
    for (const Cell& c : kCells) {
        const RECTF r = CellRect(c.column, c.row, scale);
        const int x = static_cast<int>((r.left + r.right) / 2), y = static_cast<int>((r.top + r.bottom) / 2);
        EXPECT_NE(Rgb(kBackground), Rgb(px.At(x, y))) << testsupport::Narrow(c.descriptor);
    }
    // The panel's shadow darkens the board just outside its lower right corner.
    const RECTF panel = CellRect(5, 1, scale);
    const uint32_t shade = px.At(static_cast<int>(panel.right + 2 * scale), static_cast<int>(panel.bottom + 2 * scale));
    EXPECT_LT(testsupport::R(shade) + 8, testsupport::R(kBackground));
    // The recoloured SVG is in the descriptor's colour, not its own black.
    const RECTF svg = CellRect(5, 0, scale);
    EXPECT_EQ(Rgb(kRecolour), Rgb(px.At(static_cast<int>(svg.left + 10 * scale), static_cast<int>(svg.top + 32 * scale))));
    // The faded photo lies halfway between the photo and the background.
    const RECTF photo = CellRect(1, 0, scale), faded = CellRect(2, 1, scale);
    const int dx = static_cast<int>(8 * scale), dy = static_cast<int>(8 * scale);
    const uint32_t whole = px.At(static_cast<int>(photo.left) + dx, static_cast<int>(photo.top) + dy);
    const uint32_t half = px.At(static_cast<int>(faded.left) + dx, static_cast<int>(faded.top) + dy);
    EXPECT_NEAR((testsupport::R(whole) + testsupport::R(kBackground)) / 2.0, testsupport::R(half), 4);

    const std::wstring name = L"\\picture-gallery-" + std::to_wstring(dpi) + L"dpi.png";
    EXPECT_TRUE(testsupport::SavePng(px, testsupport::ArtifactsFolder() + name));
}

INSTANTIATE_TEST_SUITE_P(Dpi, PictureGalleryTest, ::testing::Values(96, 192));

} // namespace

// Image benchmark: decode and draw time of a 512 x 512 PNG, a 60-frame GIF
// and a detailed SVG icon at 100, 125, 150 and 200 per cent, cold (the image
// table emptied before each draw, so the draw decodes) and cached. Prints the
// median of each and how many decodes the runs made: a cached draw makes
// none. Run by bench/images-bench.sh under wine64 and Xvfb.
//   ImageBench.exe [runs]    (default 15)
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/ImageDecoder.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/UiImage.h"
#include "support/ImageFiles.h"
#include "support/TestPaths.h"

namespace {

constexpr int kPictureSide = 512;
constexpr int kGifSide = 128;
constexpr int kGifFrames = 60;
constexpr int kIconUnits = 64;
constexpr int kDpis[] = {96, 120, 144, 192};
constexpr int kDefaultRuns = 15;

// A photo-like gradient with alpha.
std::string MakePng()
{
    testsupport::ArgbImage im(kPictureSide, kPictureSide, 0);
    for (int y = 0; y < kPictureSide; ++y)
        for (int x = 0; x < kPictureSide; ++x)
            im.At(x, y) = (static_cast<uint32_t>(128 + (x + y) % 128) << 24) | (static_cast<uint32_t>(x / 2) << 16) |
                          (static_cast<uint32_t>(y / 2) << 8) | static_cast<uint32_t>((x * y) & 0xFF);
    return testsupport::EncodeWithWic(im, GUID_ContainerFormatPng);
}

// A square walking across the canvas, each frame a small rectangle that
// restores the background behind it.
std::string MakeGif()
{
    std::vector<testsupport::GifFrameSpec> frames = {
        testsupport::SolidGifFrame(0, 0, kGifSide, kGifSide, 1, 4, 1)};
    for (int i = 1; i < kGifFrames; ++i) {
        int at = (i * 7) % (kGifSide - 32);
        frames.push_back(testsupport::SolidGifFrame(at, at, 32, 32, static_cast<uint8_t>(2 + i % 2), 4, 2));
    }
    return testsupport::BuildGif(kGifSide, kGifSide, {0x000000, 0x3060C0, 0xE04020, 0x20C060}, 0, frames);
}

// Rings of arcs, rotated groups and curves: a busy icon.
std::string MakeSvg()
{
    std::string s = "<svg xmlns='http://www.w3.org/2000/svg' width='64' height='64' viewBox='0 0 100 100'>";
    for (int i = 0; i < 36; ++i) {
        char item[400];
        std::snprintf(item, sizeof(item),
                      "<g transform='rotate(%d 50 50)'><path d='M50 10 A40 40 0 0 1 %0.2f %0.2f L50 50 Z' "
                      "fill='#%02x%02x%02x' opacity='0.8'/><path d='M50 20 C60 25 60 35 50 40' stroke='#203040' "
                      "stroke-width='1.5' fill='none'/></g>",
                      i * 10, 50 + 40 * std::sin(0.17), 50 - 40 * std::cos(0.17), (i * 7) & 0xFF, (i * 13) & 0xFF,
                      (200 - i * 5) & 0xFF);
        s += item;
    }
    s += "<circle cx='50' cy='50' r='12' fill='white' stroke='black' stroke-width='2'/></svg>";
    return s;
}

struct Subject {
    const char* name;
    const wchar_t* descriptor;
    float units;  // drawn size in units
};

struct Figures {
    double coldMs;
    double cachedMs;
    uint64_t coldDecodes;
    uint64_t cachedDecodes;
};

Figures Measure(testsupport::TestWindow& window, const Subject& subject, int runs)
{
    ui::WindowCore& core = window.core;
    ui::RenderTarget& target = *core.GetRenderTarget();
    const float side = subject.units * core.GetScale();
    const ui::RECTF dest(0, 0, side, side);
    auto draw = [&](ui::CUiImage& image) {
        target.BeginDraw({dest});
        const bool ok = target.DrawImage(&core, dest, dest, image, 255);
        target.EndDraw(false, nullptr);
        return ok;
    };
    Figures f{};
    std::vector<double> cold, cached;
    for (int i = 0; i < runs; ++i) {
        core.RemoveAllImages();
        ui::CUiImage image(subject.descriptor);
        const uint64_t before = ui::ImageDecodeCountForTesting();
        const double start = bench::NowMs();
        if (!draw(image))
            std::fprintf(stderr, "%s: not drawn\n", subject.name);
        cold.push_back(bench::NowMs() - start);
        f.coldDecodes += ui::ImageDecodeCountForTesting() - before;
    }
    ui::CUiImage image(subject.descriptor);
    for (int i = 0; i < runs; ++i) {
        image.SetFrame(i % 60);  // GIF frames switch bitmaps, nothing else
        const uint64_t before = ui::ImageDecodeCountForTesting();
        const double start = bench::NowMs();
        draw(image);
        cached.push_back(bench::NowMs() - start);
        f.cachedDecodes += ui::ImageDecodeCountForTesting() - before;
    }
    f.coldMs = bench::Median(cold);
    f.cachedMs = bench::Median(cached);
    return f;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : kDefaultRuns;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    testsupport::UiLibraryScope library;
    testsupport::ScratchDir dir(L"imagebench");
    SetUiResourcePath((dir.Path() + L"\\").c_str());
    if (!testsupport::WriteFileBytes(dir.File(L"photo.png"), MakePng()) ||
        !testsupport::WriteFileBytes(dir.File(L"walk.gif"), MakeGif()) ||
        !testsupport::WriteFileBytes(dir.File(L"icon.svg"), MakeSvg())) {
        std::fprintf(stderr, "could not write the pictures\n");
        return 1;
    }
    const Subject subjects[] = {
        {"png 512x512", L"file='photo.png'", static_cast<float>(kPictureSide)},
        {"gif 60 frames 128x128", L"file='walk.gif'", static_cast<float>(kGifSide)},
        {"svg icon (36 groups)", L"file='icon.svg' dest='0,0,64,64'", static_cast<float>(kIconUnits)},
    };
    std::printf("%-24s %5s %14s %16s %13s %15s\n", "image", "dpi", "cold ms (med)", "cached ms (med)",
                "cold decodes", "cached decodes");
    for (int dpi : kDpis) {
        testsupport::TestWindow window(dpi);
        const int side = static_cast<int>(kPictureSide * dpi / 96) + 8;
        if (!window.CreatePopup(side, side) || !window.core.GetRenderTarget()) {
            std::fprintf(stderr, "no window at %d dpi\n", dpi);
            return 1;
        }
        for (const Subject& s : subjects) {
            Figures f = Measure(window, s, runs);
            std::printf("%-24s %5d %14.2f %16.3f %7llu/%-5d %9llu/%-5d\n", s.name, dpi, f.coldMs, f.cachedMs,
                        static_cast<unsigned long long>(f.coldDecodes), runs,
                        static_cast<unsigned long long>(f.cachedDecodes), runs);
        }
    }
    SetUiResourcePath(L"");
    return 0;
}

// Image files made by tests: WIC-encoded PNG, JPEG and BMP, hand-written
// GIF animations and multi-size icons, and read-back of a decoded image's
// frames through a render target.
#pragma once

#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <string>
#include <vector>

#include "support/Pixels.h"

namespace ui {
class RenderTarget;
struct tagTImageInfo;
}

namespace testsupport {

// Straight (not premultiplied) 0xAARRGGBB pixels, row 0 at the top.
struct ArgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;

    ArgbImage() = default;
    ArgbImage(int w, int h, uint32_t fill) : width(w), height(h), pixels(static_cast<size_t>(w) * h, fill) {}
    uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * width + x]; }
    // Fills [left, right) x [top, bottom).
    void Fill(int left, int top, int right, int bottom, uint32_t argb);
};

// Encoded through WIC's encoder of a container (GUID_ContainerFormatPng,
// ...); empty when the encoder is missing or fails. COM must be started.
std::string EncodeWithWic(const ArgbImage& image, const GUID& container);

// One GIF frame: palette indices of its rectangle, row by row.
struct GifFrameSpec {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<uint8_t> indices;
    // Graphic control extension; without one the frame has no delay or
    // disposal of its own.
    bool control = true;
    int delayCs = 0;  // hundredths of a second
    int disposal = 0;
};
// A GIF89a with a global table of up to 4 RGB colours (0xRRGGBB).
std::string BuildGif(int width, int height, const std::vector<uint32_t>& palette, int backgroundIndex,
                     const std::vector<GifFrameSpec>& frames);
// A frame of one palette index over its whole rectangle.
GifFrameSpec SolidGifFrame(int left, int top, int width, int height, uint8_t index, int delayCs, int disposal);

// An icon file with one 32-bit image per entry, in order.
std::string BuildIco(const std::vector<ArgbImage>& images);

// A 24-bit BMP whose every byte is below 0x80 (so it survives as text in a
// URL query): `width` x `height` of one colour, channels below 0x80.
std::string BuildAsciiBmp(int width, int height, uint8_t red, uint8_t green, uint8_t blue);

// The pixels of one frame, drawn 1:1 at the target's origin over cleared
// (transparent) pixels. The target must be a window target at least as big.
PixelImage ReadFramePixels(ui::RenderTarget& target, const ui::tagTImageInfo& image, int frame);

} // namespace testsupport

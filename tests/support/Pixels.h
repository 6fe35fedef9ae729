// Pixel read-back for tests that draw: what a window, the screen or a render
// target shows; PNG screenshots for a person to look at; a plain message pump.
#pragma once

#include <windows.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ui {
class RenderTarget;
}

namespace testsupport {

// 32-bit pixels, row 0 at the top; each is 0xAARRGGBB as stored
// (premultiplied where the source is).
struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;
    // Outside the image reads as a value no drawing makes, so a wrong
    // coordinate fails the comparison instead of reading past the data.
    uint32_t At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return 0xDEADBEEFu;
        return data[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    uint32_t RgbAt(int x, int y) const { return At(x, y) & 0xFFFFFFu; }
};

// Channels of a pixel.
inline int A(uint32_t p) { return static_cast<int>(p >> 24); }
inline int R(uint32_t p) { return static_cast<int>((p >> 16) & 0xFF); }
inline int G(uint32_t p) { return static_cast<int>((p >> 8) & 0xFF); }
inline int B(uint32_t p) { return static_cast<int>(p & 0xFF); }
// RGB only (alpha ignored).
inline uint32_t Rgb(uint32_t p) { return p & 0xFFFFFFu; }

// Bounding box of the pixels a test picks (right and bottom exclusive) and
// their count: where text or a shape left ink.
struct Ink {
    int left = INT_MAX;
    int top = INT_MAX;
    int right = INT_MIN;
    int bottom = INT_MIN;
    int pixels = 0;
    int Width() const { return pixels ? right - left : 0; }
    int Height() const { return pixels ? bottom - top : 0; }
    float CentreX() const { return (left + right) / 2.0f; }
    float CentreY() const { return (top + bottom) / 2.0f; }
    std::string Describe() const;
};
// The ink of the pixels `match` picks inside rows [top, bottom) and columns
// [left, right) (clamped to the image).
Ink FindInk(const PixelImage& img, const std::function<bool(uint32_t)>& match, int top = 0, int bottom = INT_MAX,
            int left = 0, int right = INT_MAX);
// Pixels with any alpha at all.
int PixelsWithAlpha(const PixelImage& img);

// Copies the bitmap selected into a DC.
PixelImage ReadDcBitmap(HDC hdc);
// The render target's own surface, read through its GDI bridge inside a
// frame of its own that draws nothing (nothing is cleared).
PixelImage ReadTargetPixels(ui::RenderTarget& target);
// What the window shows, copied from its DC: the client area (what a layered
// window presented), or with wholeWindow the entire window rectangle (frame
// included).
PixelImage ReadWindowPixels(HWND hwnd, bool wholeWindow = false);
// What the screen shows in a rectangle (screen coordinates). Under Wine this
// is where the content given to UpdateLayeredWindow can be seen (a layered
// window's own DC does not carry it); with nothing behind, a pixel reads as
// its premultiplied colour.
PixelImage ReadScreenPixels(const RECT& r);

// Copies `part` into `into` with its top left corner at (x, y); what falls
// outside `into` is left out.
void PastePixels(PixelImage& into, const PixelImage& part, int x, int y);

// Runs the pending messages of this thread.
void PumpMessages();

// Writes the pixels as an opaque PNG through WIC; false on failure.
bool SavePng(const PixelImage& image, const std::wstring& path);
// The checkout's artifacts folder (created when missing).
std::wstring ArtifactsFolder();

} // namespace testsupport

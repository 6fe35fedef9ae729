// Pixel read-back of test windows and PNG screenshots for a person to look at.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace ui {
class WindowCore;
}

namespace testsupport {

struct PixelImage {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data; // 0xAARRGGBB, row 0 at the top
    uint32_t At(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return 0xDEADBEEFu;
        return data[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)];
    }
    uint32_t RgbAt(int x, int y) const { return At(x, y) & 0xFFFFFFu; }
};

// What the window shows: its client area copied from the window DC (what a
// layered window presented).
PixelImage ReadWindowPixels(HWND hwnd);

// The surface a window core's render target presents, read through the
// target's GDI bridge in a frame of its own that draws nothing.
PixelImage ReadCorePixels(ui::WindowCore& core);

// Writes 32-bit pixels as an opaque PNG through WIC; false on failure.
bool SavePng(const PixelImage& image, const std::wstring& path);

// The checkout's artifacts folder (created when missing).
std::wstring ArtifactsFolder();

} // namespace testsupport

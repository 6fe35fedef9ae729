// The web view's drawing surface for layered windows: a memory DC with a
// 32-bit top-down DIB section that the engine's content is copied into and
// that is blended onto the window, and the optional alpha mask applied to
// it. Surface, mask, the engine's paint copy and the blend all use the one
// size the surface was made with (the control's rectangle less padding), so
// no pixel loop can run past a buffer. UI thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace Gdiplus {
class Bitmap;
}

namespace ui {

class OffscreenSurface {
public:
    OffscreenSurface() = default;
    ~OffscreenSurface() { Free(); }
    OffscreenSurface(const OffscreenSurface&) = delete;
    OffscreenSurface& operator=(const OffscreenSurface&) = delete;

    // Frees any earlier surface, then makes one of width x height pixels
    // compatible with `reference`. False (and no surface) for an empty size
    // or when GDI cannot make it.
    bool Create(HDC reference, int width, int height);
    void Free();

    bool IsValid() const { return m_dc != nullptr; }
    HDC GetDC() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Width x height pixels, row 0 at the top; null without a surface.
    uint32_t* Pixels() const { return m_bits; }
    size_t PixelCount() const { return static_cast<size_t>(m_width) * static_cast<size_t>(m_height); }
    void Clear();

    // The mask: the alpha of `picture` drawn at the surface's size, one
    // byte per pixel. Without a picture or a surface the mask is dropped.
    void BuildMask(Gdiplus::Bitmap* picture);
    bool HasMask() const { return !m_mask.empty(); }
    const std::vector<uint8_t>& Mask() const { return m_mask; }
    // Multiplies every channel of each pixel by its mask byte / 255 (results
    // truncated); with `skipKey` a pixel whose four bytes equal `key` is
    // left as it is. Nothing without a mask.
    void ApplyMask(bool skipKey, uint32_t key);

private:
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    uint32_t* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
    std::vector<uint8_t> m_mask;
};

} // namespace ui

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

#include "Corvel/Render/DibSurface.h"

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

    bool IsValid() const { return m_dib.IsValid(); }
    HDC GetDC() const { return m_dib.GetDC(); }
    int Width() const { return m_dib.Width(); }
    int Height() const { return m_dib.Height(); }
    // Width x height pixels, row 0 at the top; null without a surface.
    uint32_t* Pixels() const { return m_dib.Pixels(); }
    size_t PixelCount() const { return m_dib.PixelCount(); }
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
    DibSurface m_dib;
    std::vector<uint8_t> m_mask;
};

} // namespace ui

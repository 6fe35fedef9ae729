// A memory DC with a 32-bit top-down DIB section selected into it: pixels a
// caller writes directly and GDI can blend from. Owns both; freeing (or
// destroying) selects the DC's first bitmap back before deleting them.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

namespace ui {

class DibSurface {
public:
    DibSurface() = default;
    ~DibSurface() { Free(); }
    DibSurface(const DibSurface&) = delete;
    DibSurface& operator=(const DibSurface&) = delete;

    // Frees any earlier surface, then makes one of width x height pixels
    // compatible with `reference` (null: the screen). False
    // (and no surface) for an empty size or when GDI cannot make it.
    bool Create(HDC reference, int width, int height);
    void Free();

    bool IsValid() const { return m_dc != nullptr; }
    HDC GetDC() const { return m_dc; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // Width x height pixels, row 0 at the top; null without a surface.
    uint32_t* Pixels() const { return m_bits; }
    size_t PixelCount() const { return static_cast<size_t>(m_width) * static_cast<size_t>(m_height); }

private:
    HDC m_dc = nullptr;
    HBITMAP m_bitmap = nullptr;
    HGDIOBJ m_previous = nullptr;
    uint32_t* m_bits = nullptr;
    int m_width = 0;
    int m_height = 0;
};

} // namespace ui

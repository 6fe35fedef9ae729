#include "Corvel/Control/WebView/OffscreenSurface.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <objbase.h>
#include <gdiplus.h>

namespace ui {

namespace {
constexpr unsigned kMaxChannel = 255;
}

bool OffscreenSurface::Create(HDC reference, int width, int height)
{
    m_mask.clear();
    if (!m_dib.Create(reference, width, height))
        return false;
    Clear();
    return true;
}

void OffscreenSurface::Free()
{
    m_dib.Free();
    m_mask.clear();
}

void OffscreenSurface::Clear()
{
    if (uint32_t* bits = Pixels()) {
        GdiFlush();
        memset(bits, 0, PixelCount() * sizeof(uint32_t));
    }
}

void OffscreenSurface::BuildMask(Gdiplus::Bitmap* picture)
{
    m_mask.clear();
    if (!picture || !IsValid())
        return;
    const int width = Width();
    const int height = Height();
    Gdiplus::Bitmap canvas(width, height, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&canvas);
        graphics.DrawImage(picture, 0, 0, static_cast<INT>(picture->GetWidth()),
                           static_cast<INT>(picture->GetHeight()));
    }
    Gdiplus::BitmapData data{};
    Gdiplus::Rect all(0, 0, width, height);
    if (canvas.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return;
    m_mask.resize(PixelCount());
    for (int y = 0; y < height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(data.Scan0) +
                                                            static_cast<ptrdiff_t>(y) * data.Stride);
        for (int x = 0; x < width; ++x)
            m_mask[static_cast<size_t>(y) * width + x] = static_cast<uint8_t>(row[x] >> 24);
    }
    canvas.UnlockBits(&data);
}

void OffscreenSurface::ApplyMask(bool skipKey, uint32_t key)
{
    uint32_t* const bits = Pixels();
    if (m_mask.size() != PixelCount() || !bits)
        return;
    GdiFlush();
    for (size_t i = 0; i < m_mask.size(); ++i) {
        const uint32_t pixel = bits[i];
        if (skipKey && pixel == key)
            continue;
        const unsigned m = m_mask[i];
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const unsigned channel = (pixel >> shift) & 0xFF;
            out |= ((channel * m) / kMaxChannel) << shift;
        }
        bits[i] = out;
    }
}

} // namespace ui

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
    Free();
    if (width <= 0 || height <= 0)
        return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height; // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    m_dc = CreateCompatibleDC(reference);
    if (!m_dc)
        return false;
    m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!m_bitmap || !bits) {
        Free();
        return false;
    }
    m_previous = SelectObject(m_dc, m_bitmap);
    m_bits = static_cast<uint32_t*>(bits);
    m_width = width;
    m_height = height;
    Clear();
    return true;
}

void OffscreenSurface::Free()
{
    if (m_dc && m_previous)
        SelectObject(m_dc, m_previous);
    if (m_bitmap)
        DeleteObject(m_bitmap);
    if (m_dc)
        DeleteDC(m_dc);
    m_dc = nullptr;
    m_bitmap = nullptr;
    m_previous = nullptr;
    m_bits = nullptr;
    m_width = m_height = 0;
    m_mask.clear();
}

void OffscreenSurface::Clear()
{
    if (m_bits) {
        GdiFlush();
        memset(m_bits, 0, PixelCount() * sizeof(uint32_t));
    }
}

void OffscreenSurface::BuildMask(Gdiplus::Bitmap* picture)
{
    m_mask.clear();
    if (!picture || !m_bits)
        return;
    Gdiplus::Bitmap canvas(m_width, m_height, PixelFormat32bppARGB);
    {
        Gdiplus::Graphics graphics(&canvas);
        graphics.DrawImage(picture, 0, 0, static_cast<INT>(picture->GetWidth()),
                           static_cast<INT>(picture->GetHeight()));
    }
    Gdiplus::BitmapData data{};
    Gdiplus::Rect all(0, 0, m_width, m_height);
    if (canvas.LockBits(&all, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok)
        return;
    m_mask.resize(PixelCount());
    for (int y = 0; y < m_height; ++y) {
        const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const uint8_t*>(data.Scan0) +
                                                            static_cast<ptrdiff_t>(y) * data.Stride);
        for (int x = 0; x < m_width; ++x)
            m_mask[static_cast<size_t>(y) * m_width + x] = static_cast<uint8_t>(row[x] >> 24);
    }
    canvas.UnlockBits(&data);
}

void OffscreenSurface::ApplyMask(bool skipKey, uint32_t key)
{
    if (m_mask.size() != PixelCount() || !m_bits)
        return;
    GdiFlush();
    for (size_t i = 0; i < m_mask.size(); ++i) {
        uint32_t pixel = m_bits[i];
        if (skipKey && pixel == key)
            continue;
        const unsigned m = m_mask[i];
        uint32_t out = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            const unsigned channel = (pixel >> shift) & 0xFF;
            out |= ((channel * m) / kMaxChannel) << shift;
        }
        m_bits[i] = out;
    }
}

} // namespace ui

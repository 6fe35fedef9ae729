#include "Corvel/Render/DibSurface.h"

#include "Corvel/Render/DibInfo.h"

namespace ui {

bool DibSurface::Create(HDC reference, int width, int height)
{
    Free();
    if (width <= 0 || height <= 0)
        return false;
    m_dc = CreateCompatibleDC(reference);
    if (!m_dc)
        return false;
    const BITMAPINFO info = Dib32Info(width, -height); // top-down
    void* bits = nullptr;
    m_bitmap = CreateDIBSection(m_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!m_bitmap || !bits) {
        Free();
        return false;
    }
    m_previous = SelectObject(m_dc, m_bitmap);
    m_bits = static_cast<uint32_t*>(bits);
    m_width = width;
    m_height = height;
    return true;
}

void DibSurface::Free()
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
}

} // namespace ui

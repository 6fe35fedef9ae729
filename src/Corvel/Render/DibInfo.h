// The header of a 32-bit BGRA device-independent bitmap, as GDI reads it for
// GetDIBits and CreateDIBSection.
#pragma once

#include <windows.h>

namespace ui {

// height as GDI takes it: positive for bottom-up rows, negative for top-down.
inline BITMAPINFO Dib32Info(int width, int height)
{
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    return bi;
}

} // namespace ui

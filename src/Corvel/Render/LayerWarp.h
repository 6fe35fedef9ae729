// Perspective compositing of a layer on the CPU, for systems whose Direct2D
// ignores the perspective matrix of DrawBitmap.
#pragma once

#include <d2d1_1.h>

#include <cstdint>
#include <vector>

#include "Corvel/Render/TransformMath.h"

namespace ui {

// Whether DrawBitmap applies its perspective matrix. Probed once per process
// by drawing a pixel through a translating matrix into a small software
// target and reading where it landed.
bool PerspectiveBitmapsWork();

// Premultiplied pixels warped by a matrix: `source` (width x height, row 0
// at the top) is the picture of the window rectangle that starts at
// (left, top); `matrix` maps window points of that picture to window points
// (row vectors, z = 0). The result covers the warped picture's bounding box
// clipped to `limit`, sampled bilinearly at each pixel centre; false when
// nothing of it is visible or the plane is seen edge-on.
struct WarpedPixels {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;
};
bool WarpPixels(const uint32_t* source, int width, int height, float left, float top, const Matrix4x4& matrix,
                const D2D1_RECT_F& limit, WarpedPixels& out);

} // namespace ui

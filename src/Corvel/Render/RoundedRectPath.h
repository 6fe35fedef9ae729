// Rounded rectangle outline with a chosen set of rounded corners.
#pragma once

#include <d2d1.h>
#include <wrl/client.h>

#include "Corvel/Core/UiTypes.h"

namespace ui {

// A closed, filled path around rect whose corners with a non-zero switch are
// quarter ellipses of the given full corner width and height (radius = half,
// and at most half the rectangle's width or height so neighbouring corners
// never overlap). Corners are emitted as cubic Bézier segments, which every
// Direct2D implementation strokes and fills alike. Null on failure.
Microsoft::WRL::ComPtr<ID2D1PathGeometry> RoundedRectPath(ID2D1Factory* factory, const RECTF& rect,
                                                          float cornerWidth, float cornerHeight, int topLeft,
                                                          int topRight, int bottomRight, int bottomLeft);

// Adds a quarter-ellipse from the sink's current point to `to`, bulging
// towards `corner` (the rectangle corner the arc rounds off).
void AddCornerArc(ID2D1GeometrySink* sink, D2D1_POINT_2F from, D2D1_POINT_2F corner, D2D1_POINT_2F to);

} // namespace ui

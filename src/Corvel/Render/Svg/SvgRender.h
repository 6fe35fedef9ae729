// Drawing of an SVG document through Direct2D into a WIC bitmap.
#pragma once

#include <cstdint>

#include "Corvel/Render/Svg/SvgDocument.h"

namespace ui {
namespace svg {

// Draws `document` at width x height pixels (already checked to be within
// limits) over `background` (0xAARRGGBB) and copies the premultiplied BGRA
// result into `out`. False on any Direct2D or WIC failure. Factories: see
// the threads note in SvgDocument.h.
bool RenderDocument(const Document& document, int width, int height, uint32_t background, Bitmap& out);

} // namespace svg
} // namespace ui

// Outlines of strokes, made here instead of by Direct2D's pen: Wine's
// Direct2D ignores stroke styles (every cap is flat, every join mitred), so
// the layer builds the area a pen covers itself, with the caps, joins and
// mitre limit the format asks for, and fills it. Windows draws it the same.
#pragma once

#include "Corvel/Render/Svg/SvgGeometry.h"
#include "Corvel/Render/Svg/SvgStyle.h"

namespace ui {
namespace svg {

struct Pen {
    float width = 1.0f;  // user units
    LineCap cap = LineCap::Butt;
    LineJoin join = LineJoin::Miter;
    float miterLimit = 4.0f;  // longest mitre, in pen widths
};

// Curves are followed by this many points at most (each line of the
// outline is then at most 1/kMaxCurvePieces of the curve).
constexpr int kMaxCurvePieces = 256;
// An outline needing more points than this is not made: no picture has
// such a stroke, and the cost would grow without bound.
constexpr size_t kMaxStrokePoints = 1u << 20;

// Sets `out`, in the same user units as `path`, to the outline of the area
// the pen covers, to be filled with the nonzero rule: one figure per open
// subpath and two per closed one, all turning the same way round the band
// they bound. Curves and round parts are followed within `tolerance` user
// units. False (with `out` unchanged) when the outline would pass
// kMaxStrokePoints.
bool StrokeOutline(const Path& path, const Pen& pen, float tolerance, Path& out);

} // namespace svg
} // namespace ui

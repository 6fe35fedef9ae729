// The path data grammar of the "d" attribute and the point lists of
// polyline and polygon.
#pragma once

#include <string_view>

#include "Corvel/Render/Svg/SvgGeometry.h"

namespace ui {
namespace svg {

// Appends the outline "d" describes: every command (M L H V C S Q T A Z, in
// absolute upper case and relative lower case), implicit repeats (further
// pairs after M are lines), numbers that touch ("1.5.5", "10-5") and packed
// arc flags ("a1 1 0 00 1 1"). Returns false at the first error; the path
// then holds everything before the bad command, which is what is drawn.
bool ParsePathData(std::string_view d, Path& out);

// "x,y x,y ..." as a run of lines from the first point; a last odd number
// and anything from the first error on are ignored. False when there was an
// error.
bool ParsePoints(std::string_view points, Path& out);

} // namespace svg
} // namespace ui

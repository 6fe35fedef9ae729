// Vector drawing helpers of the render target: the records that describe a
// shape (gradient stops, direction, corners, path items) and the free
// functions that build Direct2D geometries, brushes, stroke styles and
// offscreen shape bitmaps. The drawing members themselves are declared in
// RenderTarget.h. UI thread only, like the render target.
#pragma once

#include <windows.h>
#include <d2d1.h>
#include <wrl/client.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "Corvel/Core/UiTypes.h"
#include "Corvel/Render/RoundedRectPath.h"
#include "Corvel/Render/UiColor.h"

namespace ui {

// Colour stops of a fill: one entry is a solid colour; two or more make a
// linear gradient. Each colour's spare word carries its stop position (see
// GradientStopPosition); 0 = spaced evenly.
using GradientStops = std::vector<Color>;

// Stop position kept in the colour's spare word (a float's bits, 0..1).
inline float GradientStopPosition(const Color& c)
{
    float position;
    std::memcpy(&position, &c.extra, sizeof(position));
    return position;
}
inline void SetGradientStopPosition(Color& c, float position)
{
    std::memcpy(&c.extra, &position, sizeof(position));
}

// Gradient direction in the unit box of the painted rectangle: from
// (x0 * width, y0 * height) to (x1 * width, y1 * height).
struct GradientDirection {
    int x0 = 0;
    int y0 = 0;
    int x1 = 1;
    int y1 = 0;
};

// Full width and height of a corner ellipse in pixels (radius = half).
// Both 0: square corners.
struct CornerSize {
    float width = 0.0f;
    float height = 0.0f;
};

// Which corners are rounded: all four non-zero rounds every corner,
// otherwise only the corners whose switch is non-zero.
struct CornerSwitches {
    int topLeft = 1;
    int topRight = 1;
    int bottomRight = 1;
    int bottomLeft = 1;
    bool All() const { return topLeft && topRight && bottomRight && bottomLeft; }
};

// Kinds of path items (the path painter's element names).
enum PathItemKind : int {
    kPathLines = 1,       // "lines"
    kPathCurve = 2,       // "curve"
    kPathCloseCurve = 3,  // "closecurve"
    kPathBezier = 4,      // "bezier"
    kPathPolygon = 5,     // "polygon"
};

// One figure of a path: integer points, absolute pixel offsets from the
// rectangle's top-left corner or, when relative, per cent of its size.
struct PathItem {
    int kind = kPathLines;
    std::vector<POINT> points;
    bool relative = false;
};

// The D2D1_DASH_STYLE values a stroke is given by.
enum DashStyle : int {
    kDashSolid = 0,
    kDashDash = 1,
    kDashDot = 2,
    kDashDashDot = 3,
    kDashDashDotDot = 4,
    kDashCustom = 5,
};

// An open elliptic arc inside rect from startAngle over sweep degrees. 0° is
// the right-hand point; positive angles and sweeps turn clockwise on screen,
// negative ones anticlockwise; a sweep of 360° or more is the whole ellipse.
// Built from Bézier segments of at most 90°. Null on failure or when the
// sweep is 0.
Microsoft::WRL::ComPtr<ID2D1PathGeometry> ArcPath(ID2D1Factory* factory, float startAngle, float sweep,
                                                  const RECTF& rect);

// The point of the arc at `angle` degrees (same convention as ArcPath).
D2D1_POINT_2F ArcPoint(const RECTF& rect, float angle);

// Stroke style for a dash style: null for solid (0) or on failure. Flat
// start and end caps, round dash caps, miter join; the custom style (5) uses
// the dashes 1, 2, 2, 3, 2, 2.
Microsoft::WRL::ComPtr<ID2D1StrokeStyle> CreateDashStrokeStyle(int dashStyle);

// A new brush for the stops, not cached: fewer than two stops give a solid
// brush of stop 0 (its alpha as opacity), more a linear gradient; positioned
// by a translation to the rectangle's top-left. Null without stops or on
// failure. `direction` may be null (left to right).
Microsoft::WRL::ComPtr<ID2D1Brush> CreateShapeBrush(ID2D1RenderTarget* target, const RECTF& rect,
                                                    const GradientStops& stops, const GradientDirection* direction);

// Draws the shape onto `target` at (0, 0, width, height): filled when
// penWidth < 0, else stroked with that width and stroke style (may be null).
// shapeRect (null: the whole size) is where the brush and the shape sit;
// corner and switches may be null (square, all corners).
void PaintShapeInto(ID2D1RenderTarget* target, const GradientStops& stops, float width, float height,
                    const GradientDirection* direction, float penWidth, ID2D1StrokeStyle* stroke,
                    const RECTF* shapeRect, const CornerSize* corner, const CornerSwitches* switches);

// The shape drawn by PaintShapeInto on a transparent compatible target of
// (width, height), as a bitmap of target's device. Null on failure.
Microsoft::WRL::ComPtr<ID2D1Bitmap> RenderShapeBitmap(ID2D1RenderTarget* target, const GradientStops& stops,
                                                      float width, float height, const GradientDirection* direction,
                                                      float penWidth, ID2D1StrokeStyle* stroke, const RECTF* shapeRect,
                                                      const CornerSize* corner, const CornerSwitches* switches);

// The source part of bitmap stretched over a new bitmap of the destination's
// size (only its size is used). Null on failure.
Microsoft::WRL::ComPtr<ID2D1Bitmap> ScaleBitmap(ID2D1RenderTarget* target, ID2D1Bitmap* bitmap,
                                                const RECTF& source, const RECTF& destination);

// Direction of a CSS-like gradient angle (degrees; 90 = left to right, 0 =
// bottom to top): the two points where the line through the unit box's
// centre at that angle leaves the box, each coordinate truncated to 0 or 1.
void GradientPointsFromAngle(GradientDirection& out, float angle);

} // namespace ui

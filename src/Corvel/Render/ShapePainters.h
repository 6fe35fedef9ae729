// The vector element painters of a style: "Shape" (lines, rectangles,
// rounded rectangles and box shadows, outlined or filled, solid or
// gradient, dashed, blurred) and "Path" (figures from geometry children).
// UI thread only.
#pragma once

#include <vector>

#include "Corvel/Core/StyleValues.h"
#include "Corvel/Render/StylePainters.h"

namespace ui {

class StyleElement;

// Shape types ("type").
enum ShapeType : int {
    kShapeLine = 1,
    kShapeRect = 2,
    kShapeRound = 3,
    kShapeShadow = 4,
};

// Fill modes ("fill").
enum ShapeFillMode : int {
    kShapeOutline = 1,
    kShapeFill = 2,
};

// "Shape" element.
//
// attribute   value                                  effect
// "type"      "rect" | "round" | "line" | "shadow"   shape type (others keep it)
// "fill"      "true" | anything else                 fill, else outline
// "color"     "random" | "r" | stop list | hex ARGB  colour (stops: gradient)
// "pensize"   integer                                pen width (96 DPI)
// "round"     one or two numbers or percents         corner radii; rounded
// "ptse"      x1,y1,x2,y2                            line end points
// "ptwh"      x,y,w,h[,dx,dy]                        line by origin and extent
// "gradient"  x1,y1,x2,y2                            gradient direction
// "roundpos"  four switches                          corners rounded; rounded
// "pen", "stroke"  "dash" | "dot" | "dashdot" | "dashdotdot"
// "blur"      blur spec                              blurred shape
// "shadow"    box-shadow spec                        box shadow; type shadow
class ShapePainter : public ElemPainter {
public:
    explicit ShapePainter(Control* owner);
    ~ShapePainter() override;

    void Paint(const RECTF& dirty, const RECTF& box) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void GetColorValue(PropertyValue& out, bool current) override;
    void GetAlphaValue(PropertyValue& out, bool current) override;
    // Not found for a filled shape.
    void GetPenSizeValue(PropertyValue& out, bool current) override;

    const Color& GetColor() const { return m_color; }
    int GetFillMode() const { return m_fillMode; }
    int GetShapeType() const { return m_shapeType; }
    int GetDashStyle() const { return m_dashStyle; }
    float GetPenSize() const { return m_penSize; }
    bool IsRounded() const { return m_rounded; }
    bool IsGradient() const { return m_gradient; }
    const CornerSwitches& GetCorners() const { return m_corners; }
    const ValueList& GetRadii() const { return m_radii; }
    const BoxShadow& GetBoxShadow() const { return m_boxShadow; }

protected:
    // The size bound with ":>" (a found rectangle's width and height), into
    // the painter's size; false when nothing is bound or found.
    bool TakeBoundSize();
    // The colour a shape without "color" takes from its control (the
    // background colour, or the ARGB in the attribute named like the
    // element); stored as the configured colour.
    void TakeControlColor();
    // The animated "pensize" when there is one, else `width`.
    float AnimatedPenWidth(float width) const;
    // The brush stops of the current paint: the gradient's, else one stop
    // of the current colour.
    GradientStops PaintStops() const;
    const GradientDirection* PaintDirection() const;

    Color m_color;
    // "color" was given; without it the control's colour is taken at every
    // paint.
    bool m_colorGiven = false;
    GradientStops m_stops;
    int m_fillMode = kShapeOutline;
    int m_shapeType = kShapeRect;
    int m_dashStyle = kDashSolid;
    float m_penSize = 1.0f;
    bool m_rounded = false;
    bool m_gradient = false;
    GradientDirection m_direction;
    CornerSwitches m_corners;
    ValueList m_linePoints;
    ValueList m_lineBox;
    ValueList m_radii;
    BlurParams m_blur{0.0f, 1, 0};
    BoxShadow m_boxShadow;

private:
    void PaintLine(const RECTF& dirty, const RECTF& rect, float penWidth);
    void PaintShadow(const RECTF& rect);
    void PaintBox(const RECTF& dirty, const RECTF& rect, float penWidth);
    // The rectangle inset by half the pen, except along an axis where the
    // target, the dirty rectangle and the control all have one extent (a
    // control covering the whole surface keeps its outer pixels).
    RECTF InsetForPen(const RECTF& dirty, const RECTF& rect, float penWidth) const;
    CornerSize ScaledCorner(const RECTF& rect) const;
};

// Figure types of a path.
enum PathFigureType : int {
    kFigureLines = 1,
    kFigureCurve = 2,
    kFigureCloseCurve = 3,
    kFigureBezier = 4,
    kFigurePolygon = 5,
    kFigureArc = 6,
    kFigureRect = 8,
    kFigureRound = 9,
};

// One figure of a "Path" element.
struct PathFigure {
    std::vector<POINT> points;
    int type = kFigureLines;
    bool relativePoints = false; // points came from "rpt" (per cent)
    bool relativeSize = false;   // size came from "rsize"
    int x = 0, y = 0;
    int width = 0, height = 0;
    int startAngle = 0, sweepAngle = 0;
};

// "Path" element: its geometry children become figures; the shape
// attributes ("color", "fill", "pensize", "pen", "gradient") style it.
// Figures of types 1 to 5 are drawn; the others are kept but not drawn.
class PathPainter : public ShapePainter {
public:
    explicit PathPainter(Control* owner);
    ~PathPainter() override;

    void Paint(const RECTF& dirty, const RECTF& box) override;
    // A geometry child (see the element kinds of StyleGeometryKind):
    //   "Points": "type" lines|curve|closecurve|bezier|polygon, "count" > 0,
    //     points "pt0".. (or "rpt0".., per cent) each "x,y"; a missing or
    //     malformed point drops the figure;
    //   "Rect", "Arc", "Pie", "Round": "pos" (or "rpos") "x,y" and "size"
    //     (or "rsize") "w,h", both required; "startAngle", "sweepAngle";
    //   any other tag: an empty figure of type lines.
    // False when no figure was added.
    bool AddFigure(const StyleElement& child);
    const std::vector<PathFigure>& GetFigures() const { return m_figures; }

private:
    std::vector<PathItem> DrawableItems() const;

    std::vector<PathFigure> m_figures;
};

} // namespace ui

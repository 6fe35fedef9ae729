// Geometry of the SVG layer: affine matrices and outlines made of lines and
// cubic Béziers only. Every curve the format knows (quadratics, elliptical
// arcs, circles, ellipses, rounded corners) is turned into cubics here, so
// the drawing code never hands Direct2D an arc segment (some Direct2D
// implementations drop or flatten those wrongly).
#pragma once

#include <cstdint>
#include <vector>

namespace ui {
namespace svg {

struct Point {
    float x = 0.0f;
    float y = 0.0f;
};

// x' = a*x + c*y + e, y' = b*x + d*y + f: the format's own matrix(a b c d e f)
// and, field for field, Direct2D's 3x2 matrix (_11 _12 _21 _22 _31 _32).
struct Matrix {
    double a = 1.0;
    double b = 0.0;
    double c = 0.0;
    double d = 1.0;
    double e = 0.0;
    double f = 0.0;

    static Matrix Translate(double tx, double ty);
    static Matrix Scale(double sx, double sy);
    // Angles in degrees, clockwise on screen (y grows downwards).
    static Matrix Rotate(double degrees);
    static Matrix SkewX(double degrees);
    static Matrix SkewY(double degrees);

    // The matrix that applies `inner` first and then this one.
    Matrix operator*(const Matrix& inner) const;
    Point Apply(Point p) const;
    // All six numbers finite and the matrix not collapsing the plane.
    bool IsUsable() const;
    // The most the matrix stretches a length in any direction.
    double MaxScale() const;
};

enum class PathVerb : uint8_t {
    Move,   // one point: starts a figure
    Line,   // one point
    Cubic,  // three points: two controls and the end
    Close,  // no point: joins back to the figure's start
};

// An outline in user units. Lines and curves always continue an open figure:
// after Close (or at the very start) the builder starts a new figure at the
// previous figure's start (or at 0,0) first.
class Path {
public:
    void MoveTo(Point p);
    void LineTo(Point p);
    void CubicTo(Point c1, Point c2, Point p);
    // A quadratic with control q, stored as the equal cubic.
    void QuadTo(Point q, Point p);
    // Elliptical arc from the current point to `to` (radii, x-axis rotation
    // in degrees, the two flags) as the format defines it: radii too small
    // are scaled up, a zero radius gives a straight line, equal end points
    // give nothing. Stored as cubics of at most a quarter turn each.
    void ArcTo(float rx, float ry, float rotationDegrees, bool largeArc, bool sweep, Point to);
    void Close();

    // Whole shapes, each a closed figure; nothing for an empty size.
    void AddRect(float x, float y, float width, float height, float rx, float ry);
    void AddEllipse(float cx, float cy, float rx, float ry);

    bool IsEmpty() const { return m_verbs.empty(); }
    const std::vector<PathVerb>& Verbs() const { return m_verbs; }
    const std::vector<Point>& Points() const { return m_points; }
    // Where the next segment starts (0,0 before anything).
    Point CurrentPoint() const { return m_current; }
    // Smallest box around every point (controls included), false when empty.
    bool Bounds(const Matrix& m, Point& low, Point& high) const;

private:
    void EnsureFigure();

    std::vector<PathVerb> m_verbs;
    std::vector<Point> m_points;
    Point m_current;
    Point m_figureStart;
    bool m_figureOpen = false;
};

} // namespace svg
} // namespace ui

#include "Corvel/Render/Svg/SvgGeometry.h"

#include <algorithm>
#include <cmath>

namespace ui {
namespace svg {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Distance of a cubic's controls from its ends, per unit of radius, that
// follows a quarter circle most closely: 4/3 * tan(pi/8).
constexpr float kQuarterKappa = 0.5522847498f;
// Rounding slack when counting quarter turns, so that an exact half turn
// makes two pieces and not three.
constexpr double kTurnSlack = 1e-9;

double Radians(double degrees)
{
    return degrees * kPi / 180.0;
}

// Signed angle from vector u to vector v.
double AngleBetween(double ux, double uy, double vx, double vy)
{
    return std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
}

Point MakePoint(double x, double y)
{
    return Point{static_cast<float>(x), static_cast<float>(y)};
}

// An elliptical arc in centre form: the ellipse, where the arc starts on it
// and how far it turns (radians, positive clockwise on screen).
struct EllipseArc {
    double cx = 0.0;
    double cy = 0.0;
    double rx = 0.0;
    double ry = 0.0;
    double cosPhi = 1.0;
    double sinPhi = 0.0;
    double start = 0.0;
    double delta = 0.0;

    // The point (u, v) of the unit circle carried onto the ellipse.
    Point At(double u, double v) const
    {
        return MakePoint(cx + rx * cosPhi * u - ry * sinPhi * v, cy + rx * sinPhi * u + ry * cosPhi * v);
    }
};

// The centre form of an endpoint arc as the format defines it: radii too
// small for the chord grow until they span it. False when the arc is a
// straight line (a zero radius) or the numbers lose their meaning.
bool CentreOfArc(Point from, Point to, double rx, double ry, double rotationDegrees, bool largeArc, bool sweep,
                 EllipseArc& arc)
{
    rx = std::fabs(rx);
    ry = std::fabs(ry);
    if (rx == 0.0 || ry == 0.0)
        return false;
    const double phi = Radians(rotationDegrees);
    arc.cosPhi = std::cos(phi);
    arc.sinPhi = std::sin(phi);
    // The half chord in the ellipse's own axes.
    const double hx = (static_cast<double>(from.x) - to.x) / 2.0;
    const double hy = (static_cast<double>(from.y) - to.y) / 2.0;
    const double x1 = arc.cosPhi * hx + arc.sinPhi * hy;
    const double y1 = -arc.sinPhi * hx + arc.cosPhi * hy;

    const double lambda = (x1 * x1) / (rx * rx) + (y1 * y1) / (ry * ry);
    if (lambda > 1.0) {
        rx *= std::sqrt(lambda);
        ry *= std::sqrt(lambda);
    }
    const double num = rx * rx * ry * ry - rx * rx * y1 * y1 - ry * ry * x1 * x1;
    const double den = rx * rx * y1 * y1 + ry * ry * x1 * x1;
    double coef = den > 0.0 ? std::sqrt(std::max(0.0, num / den)) : 0.0;
    if (largeArc == sweep)
        coef = -coef;
    const double cxp = coef * rx * y1 / ry;
    const double cyp = -coef * ry * x1 / rx;
    arc.cx = arc.cosPhi * cxp - arc.sinPhi * cyp + (static_cast<double>(from.x) + to.x) / 2.0;
    arc.cy = arc.sinPhi * cxp + arc.cosPhi * cyp + (static_cast<double>(from.y) + to.y) / 2.0;
    arc.rx = rx;
    arc.ry = ry;

    const double ux = (x1 - cxp) / rx;
    const double uy = (y1 - cyp) / ry;
    arc.start = AngleBetween(1.0, 0.0, ux, uy);
    arc.delta = AngleBetween(ux, uy, (-x1 - cxp) / rx, (-y1 - cyp) / ry);
    if (!sweep && arc.delta > 0.0)
        arc.delta -= 2.0 * kPi;
    else if (sweep && arc.delta < 0.0)
        arc.delta += 2.0 * kPi;
    return std::isfinite(arc.start) && std::isfinite(arc.delta) && std::isfinite(arc.cx) && std::isfinite(arc.cy);
}

} // namespace

// ---------------------------------------------------------------------------
// Matrix

Matrix Matrix::Translate(double tx, double ty)
{
    return Matrix{1.0, 0.0, 0.0, 1.0, tx, ty};
}

Matrix Matrix::Scale(double sx, double sy)
{
    return Matrix{sx, 0.0, 0.0, sy, 0.0, 0.0};
}

Matrix Matrix::Rotate(double degrees)
{
    const double r = Radians(degrees);
    const double cs = std::cos(r);
    const double sn = std::sin(r);
    return Matrix{cs, sn, -sn, cs, 0.0, 0.0};
}

Matrix Matrix::SkewX(double degrees)
{
    return Matrix{1.0, 0.0, std::tan(Radians(degrees)), 1.0, 0.0, 0.0};
}

Matrix Matrix::SkewY(double degrees)
{
    return Matrix{1.0, std::tan(Radians(degrees)), 0.0, 1.0, 0.0, 0.0};
}

Matrix Matrix::operator*(const Matrix& n) const
{
    return Matrix{a * n.a + c * n.b,     b * n.a + d * n.b,     a * n.c + c * n.d,
                  b * n.c + d * n.d,     a * n.e + c * n.f + e, b * n.e + d * n.f + f};
}

Point Matrix::Apply(Point p) const
{
    return MakePoint(a * p.x + c * p.y + e, b * p.x + d * p.y + f);
}

bool Matrix::IsUsable() const
{
    for (double v : {a, b, c, d, e, f})
        if (!std::isfinite(v))
            return false;
    const double det = a * d - b * c;
    return std::isfinite(det) && det != 0.0;
}

double Matrix::MaxScale() const
{
    // Largest singular value of the linear part.
    const double sum = a * a + b * b + c * c + d * d;
    const double det = a * d - b * c;
    const double root = std::sqrt(std::max(0.0, sum * sum - 4.0 * det * det));
    return std::sqrt((sum + root) / 2.0);
}

// ---------------------------------------------------------------------------
// Path

void Path::EnsureFigure()
{
    if (!m_figureOpen)
        MoveTo(m_current);
}

void Path::MoveTo(Point p)
{
    // A figure that is only a starting point draws nothing: replace it.
    if (!m_verbs.empty() && m_verbs.back() == PathVerb::Move) {
        m_points.back() = p;
    } else {
        m_verbs.push_back(PathVerb::Move);
        m_points.push_back(p);
    }
    m_current = p;
    m_figureStart = p;
    m_figureOpen = true;
}

void Path::LineTo(Point p)
{
    EnsureFigure();
    m_verbs.push_back(PathVerb::Line);
    m_points.push_back(p);
    m_current = p;
}

void Path::CubicTo(Point c1, Point c2, Point p)
{
    EnsureFigure();
    m_verbs.push_back(PathVerb::Cubic);
    m_points.push_back(c1);
    m_points.push_back(c2);
    m_points.push_back(p);
    m_current = p;
}

void Path::QuadTo(Point q, Point p)
{
    const Point from = m_current;
    const Point c1{from.x + 2.0f / 3.0f * (q.x - from.x), from.y + 2.0f / 3.0f * (q.y - from.y)};
    const Point c2{p.x + 2.0f / 3.0f * (q.x - p.x), p.y + 2.0f / 3.0f * (q.y - p.y)};
    CubicTo(c1, c2, p);
}

void Path::Close()
{
    if (!m_figureOpen)
        return;
    if (m_verbs.back() == PathVerb::Move) {
        // Nothing to close: the lone start point is dropped.
        m_verbs.pop_back();
        m_points.pop_back();
    } else {
        m_verbs.push_back(PathVerb::Close);
    }
    m_figureOpen = false;
    m_current = m_figureStart;
}

void Path::ArcTo(float rx, float ry, float rotationDegrees, bool largeArc, bool sweep, Point to)
{
    const Point from = m_current;
    if (from.x == to.x && from.y == to.y)
        return;
    EllipseArc arc;
    if (!CentreOfArc(from, to, rx, ry, rotationDegrees, largeArc, sweep, arc)) {
        LineTo(to);
        return;
    }
    // Pieces of at most a quarter turn, each one cubic.
    const int pieces = std::max(1, static_cast<int>(std::ceil(std::fabs(arc.delta) / (kPi / 2.0) - kTurnSlack)));
    const double step = arc.delta / pieces;
    const double k = 4.0 / 3.0 * std::tan(step / 4.0);
    double angle = arc.start;
    for (int i = 0; i < pieces; ++i) {
        const double next = angle + step;
        const double c0 = std::cos(angle);
        const double s0 = std::sin(angle);
        const double c1 = std::cos(next);
        const double s1 = std::sin(next);
        const Point end = i + 1 == pieces ? to : arc.At(c1, s1);
        CubicTo(arc.At(c0 - k * s0, s0 + k * c0), arc.At(c1 + k * s1, s1 - k * c1), end);
        angle = next;
    }
}

void Path::AddRect(float x, float y, float width, float height, float rx, float ry)
{
    if (!(width > 0.0f) || !(height > 0.0f))
        return;
    rx = std::min(std::max(rx, 0.0f), width / 2.0f);
    ry = std::min(std::max(ry, 0.0f), height / 2.0f);
    const float r = x + width;
    const float b = y + height;
    if (rx <= 0.0f || ry <= 0.0f) {
        MoveTo({x, y});
        LineTo({r, y});
        LineTo({r, b});
        LineTo({x, b});
        Close();
        return;
    }
    const float kx = rx * kQuarterKappa;
    const float ky = ry * kQuarterKappa;
    MoveTo({x + rx, y});
    LineTo({r - rx, y});
    CubicTo({r - rx + kx, y}, {r, y + ry - ky}, {r, y + ry});
    LineTo({r, b - ry});
    CubicTo({r, b - ry + ky}, {r - rx + kx, b}, {r - rx, b});
    LineTo({x + rx, b});
    CubicTo({x + rx - kx, b}, {x, b - ry + ky}, {x, b - ry});
    LineTo({x, y + ry});
    CubicTo({x, y + ry - ky}, {x + rx - kx, y}, {x + rx, y});
    Close();
}

void Path::AddEllipse(float cx, float cy, float rx, float ry)
{
    if (!(rx > 0.0f) || !(ry > 0.0f))
        return;
    const float kx = rx * kQuarterKappa;
    const float ky = ry * kQuarterKappa;
    MoveTo({cx + rx, cy});
    CubicTo({cx + rx, cy + ky}, {cx + kx, cy + ry}, {cx, cy + ry});
    CubicTo({cx - kx, cy + ry}, {cx - rx, cy + ky}, {cx - rx, cy});
    CubicTo({cx - rx, cy - ky}, {cx - kx, cy - ry}, {cx, cy - ry});
    CubicTo({cx + kx, cy - ry}, {cx + rx, cy - ky}, {cx + rx, cy});
    Close();
}

bool Path::Bounds(const Matrix& m, Point& low, Point& high) const
{
    if (m_points.empty())
        return false;
    low = high = m.Apply(m_points.front());
    for (const Point& p : m_points) {
        const Point q = m.Apply(p);
        low.x = std::min(low.x, q.x);
        low.y = std::min(low.y, q.y);
        high.x = std::max(high.x, q.x);
        high.y = std::max(high.y, q.y);
    }
    return true;
}

} // namespace svg
} // namespace ui

#include "Corvel/Render/Svg/SvgStroke.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <vector>

namespace ui {
namespace svg {
namespace {

// Points of the outline made per point of the followed path at most: a
// segment's four and a round join's thirteen.
constexpr size_t kOutlinePointsPerVertex = 17;
// Turns flatter than this (sine of the angle) need no join.
constexpr double kStraight = 1e-6;

// One figure of the path followed as straight lines.
struct Polyline {
    std::vector<Point> points;
    bool closed = false;
    bool hasSegments = false;  // a lone start point draws nothing
};

Point Add(Point a, Point b, double scale = 1.0)
{
    return Point{static_cast<float>(a.x + b.x * scale), static_cast<float>(a.y + b.y * scale)};
}

double Length(double x, double y)
{
    return std::sqrt(x * x + y * y);
}

// Unit vector from a to b (points differ).
Point Direction(Point a, Point b)
{
    const double dx = static_cast<double>(b.x) - a.x;
    const double dy = static_cast<double>(b.y) - a.y;
    const double len = Length(dx, dy);
    return Point{static_cast<float>(dx / len), static_cast<float>(dy / len)};
}

// Left-hand normal of a unit direction.
Point Normal(Point d)
{
    return Point{-d.y, d.x};
}

// Pieces that keep a uniform split of the cubic within `tolerance` of it.
int CurvePieces(Point p0, Point c1, Point c2, Point p3, float tolerance)
{
    const double d1 = Length(p0.x - 2.0 * c1.x + c2.x, p0.y - 2.0 * c1.y + c2.y);
    const double d2 = Length(c1.x - 2.0 * c2.x + p3.x, c1.y - 2.0 * c2.y + p3.y);
    const double pieces = std::ceil(std::sqrt(0.75 * std::max(d1, d2) / tolerance));
    if (!(pieces >= 1.0))
        return 1;
    return static_cast<int>(std::min<double>(pieces, kMaxCurvePieces));
}

Point CubicAt(Point p0, Point c1, Point c2, Point p3, double t)
{
    const double u = 1.0 - t;
    const double a = u * u * u;
    const double b = 3.0 * u * u * t;
    const double c = 3.0 * u * t * t;
    const double d = t * t * t;
    return Point{static_cast<float>(a * p0.x + b * c1.x + c * c2.x + d * p3.x),
                 static_cast<float>(a * p0.y + b * c1.y + c * c2.y + d * p3.y)};
}

// Points along a cubic from `from` with controls and end at c[0..2], the
// end itself last.
template <typename Push>
void FollowCubic(Point from, const Point* c, float tolerance, Push push)
{
    const int pieces = CurvePieces(from, c[0], c[1], c[2], tolerance);
    for (int i = 1; i < pieces; ++i)
        push(CubicAt(from, c[0], c[1], c[2], static_cast<double>(i) / pieces));
    push(c[2]);
}

bool Same(Point a, Point b)
{
    return a.x == b.x && a.y == b.y;
}

// The path as polylines, repeated points dropped; false past the budget.
bool Flatten(const Path& path, float tolerance, std::vector<Polyline>& out)
{
    const std::vector<Point>& pts = path.Points();
    size_t p = 0;
    size_t total = 0;
    Polyline current;
    auto push = [&](Point q) {
        if (!Same(current.points.back(), q))
            current.points.push_back(q);
        current.hasSegments = true;
        ++total;
    };
    auto flush = [&]() {
        if (current.closed && current.points.size() > 1 && Same(current.points.front(), current.points.back()))
            current.points.pop_back();
        if (current.hasSegments)
            out.push_back(std::move(current));
        current = Polyline();
    };
    for (PathVerb verb : path.Verbs()) {
        switch (verb) {
        case PathVerb::Move:
            flush();
            current.points.push_back(pts[p++]);
            break;
        case PathVerb::Line:
            push(pts[p++]);
            break;
        case PathVerb::Cubic:
            FollowCubic(current.points.back(), &pts[p], tolerance, push);
            p += 3;
            break;
        case PathVerb::Close:
            current.closed = true;
            flush();
            break;
        }
        if (total > kMaxStrokePoints / kOutlinePointsPerVertex)
            return false;
    }
    flush();
    return true;
}

// Adds the pieces of the pen's area to a path.
class Outliner {
public:
    Outliner(const Pen& pen, Path& out) : m_pen(pen), m_half(pen.width / 2.0f), m_out(out) {}
    void Stroke(const Polyline& line);

private:
    void Polygon(std::initializer_list<Point> corners);
    void Disc(Point centre) { m_out.AddEllipse(centre.x, centre.y, m_half, m_half); }
    void Segment(Point a, Point b);
    void Join(Point at, Point in, Point out);
    void Cap(Point end, Point outward);
    void Dot(Point at);

    Pen m_pen;
    float m_half;
    Path& m_out;
};

// A closed figure turned the common way round (positive area with y down,
// the way the ellipses of Path::AddEllipse turn); flat ones are left out.
void Outliner::Polygon(std::initializer_list<Point> corners)
{
    std::vector<Point> p(corners);
    double area = 0.0;
    for (size_t i = 0; i < p.size(); ++i) {
        const Point& a = p[i];
        const Point& b = p[(i + 1) % p.size()];
        area += static_cast<double>(a.x) * b.y - static_cast<double>(b.x) * a.y;
    }
    if (area == 0.0 || !std::isfinite(area))
        return;
    if (area < 0.0)
        std::reverse(p.begin(), p.end());
    m_out.MoveTo(p[0]);
    for (size_t i = 1; i < p.size(); ++i)
        m_out.LineTo(p[i]);
    m_out.Close();
}

void Outliner::Segment(Point a, Point b)
{
    const Point n = Normal(Direction(a, b));
    Polygon({Add(a, n, m_half), Add(b, n, m_half), Add(b, n, -m_half), Add(a, n, -m_half)});
}

// `in` and `out` are the unit directions before and after the corner.
void Outliner::Join(Point at, Point in, Point out)
{
    const double cross = static_cast<double>(in.x) * out.y - static_cast<double>(in.y) * out.x;
    const double dot = static_cast<double>(in.x) * out.x + static_cast<double>(in.y) * out.y;
    if (std::fabs(cross) < kStraight && dot > 0.0)
        return;
    if (m_pen.join == LineJoin::Round) {
        Disc(at);
        return;
    }
    // The outer side of the corner is away from the turn.
    const double side = cross > 0.0 ? -1.0 : 1.0;
    const Point o0 = Add(Point{}, Normal(in), side);
    const Point o1 = Add(Point{}, Normal(out), side);
    const Point p0 = Add(at, o0, m_half);
    const Point p1 = Add(at, o1, m_half);
    if (m_pen.join == LineJoin::Miter) {
        const double mx = static_cast<double>(o0.x) + o1.x;
        const double my = static_cast<double>(o0.y) + o1.y;
        const double len = Length(mx, my);
        if (len > 0.0) {
            const Point m{static_cast<float>(mx / len), static_cast<float>(my / len)};
            // Cosine of half the angle between the two outer edges; the
            // mitre is 1/cos pen widths long.
            const double cosHalf = static_cast<double>(m.x) * o0.x + static_cast<double>(m.y) * o0.y;
            if (cosHalf > 0.0 && 1.0 / cosHalf <= m_pen.miterLimit) {
                Polygon({at, p0, Add(at, m, m_half / cosHalf), p1});
                return;
            }
        }
    }
    Polygon({at, p0, p1});
}

void Outliner::Cap(Point end, Point outward)
{
    if (m_pen.cap == LineCap::Round) {
        Disc(end);
    } else if (m_pen.cap == LineCap::Square) {
        const Point n = Normal(outward);
        const Point tip = Add(end, outward, m_half);
        Polygon({Add(end, n, m_half), Add(tip, n, m_half), Add(tip, n, -m_half), Add(end, n, -m_half)});
    }
}

// A subpath of zero length shows only its caps.
void Outliner::Dot(Point at)
{
    if (m_pen.cap == LineCap::Round)
        Disc(at);
    else if (m_pen.cap == LineCap::Square)
        Polygon({Point{at.x - m_half, at.y - m_half}, Point{at.x + m_half, at.y - m_half},
                 Point{at.x + m_half, at.y + m_half}, Point{at.x - m_half, at.y + m_half}});
}

void Outliner::Stroke(const Polyline& line)
{
    const std::vector<Point>& p = line.points;
    const size_t n = p.size();
    if (n == 1) {
        Dot(p[0]);
        return;
    }
    for (size_t i = 0; i + 1 < n; ++i)
        Segment(p[i], p[i + 1]);
    if (line.closed) {
        Segment(p[n - 1], p[0]);
        for (size_t i = 0; i < n; ++i)
            Join(p[i], Direction(p[(i + n - 1) % n], p[i]), Direction(p[i], p[(i + 1) % n]));
        return;
    }
    for (size_t i = 1; i + 1 < n; ++i)
        Join(p[i], Direction(p[i - 1], p[i]), Direction(p[i], p[i + 1]));
    const Point first = Direction(p[0], p[1]);
    Cap(p[0], Point{-first.x, -first.y});
    Cap(p[n - 1], Direction(p[n - 2], p[n - 1]));
}

} // namespace

bool StrokeOutline(const Path& path, const Pen& pen, float tolerance, Path& out)
{
    if (!(pen.width > 0.0f) || !(tolerance > 0.0f))
        return true;
    std::vector<Polyline> lines;
    if (!Flatten(path, tolerance, lines))
        return false;
    Outliner outliner(pen, out);
    for (const Polyline& line : lines)
        outliner.Stroke(line);
    return true;
}

} // namespace svg
} // namespace ui

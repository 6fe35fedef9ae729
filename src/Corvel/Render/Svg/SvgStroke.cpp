#include "Corvel/Render/Svg/SvgStroke.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ui {
namespace svg {
namespace {

constexpr double kPi = 3.14159265358979323846;
// Turns flatter than this (sine of the angle) need no join.
constexpr double kStraight = 1e-6;
// Round parts get at least one point per this turn (radians), however
// coarse the tolerance, and so at most a few hundred points per half turn
// however fine.
constexpr double kMinArcStep = 0.01;

// One figure of the path followed as straight lines.
struct Polyline {
    std::vector<Point> points;
    bool closed = false;
    bool hasSegments = false;  // a lone start point draws nothing
};

Point Offset(Point a, Point b, double scale = 1.0)
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
        if (total > kMaxStrokePoints)
            return false;
    }
    flush();
    return true;
}

// Walks each polyline along both its sides and writes the pen's outline:
// one figure for an open polyline (its left side forward, the end cap, its
// right side backward, the start cap) and two for a closed one (each side
// once round). Every figure thus turns the same way round the band it
// bounds, so wherever the band overlaps itself the nonzero rule still fills.
// At each corner the outer side gets the join; the inner side goes through
// the corner point itself, which stays inside the stroke.
class Outliner {
public:
    Outliner(const Pen& pen, float tolerance, Path& out);
    // False once the outline passes kMaxStrokePoints.
    bool Stroke(const Polyline& line);

private:
    void Add(Point p);
    // The corner at `at` on the left of travel, from direction `in` to `out`.
    void Corner(Point at, Point in, Point out);
    // The cap where travel in direction `d` ends at `at`: from the left
    // side round the front to the right side.
    void EndCap(Point at, Point d);
    // Points on the circle round `at` from the offset `from` turning by
    // `angle` radians, ends excluded.
    void ArcPoints(Point at, Point from, double angle);
    void StrokeOpen(const std::vector<Point>& p);
    void StrokeClosed(const std::vector<Point>& p);

    Pen m_pen;
    double m_half;
    double m_arcStep;  // largest turn between two points of a round part
    Path& m_out;
    bool m_first = true;  // the next point starts a figure
    size_t m_points = 0;
};

Outliner::Outliner(const Pen& pen, float tolerance, Path& out) : m_pen(pen), m_half(pen.width / 2.0), m_out(out)
{
    // A chord of this turn strays `tolerance` from its arc.
    const double ratio = 1.0 - std::min(1.0, static_cast<double>(tolerance) / m_half);
    m_arcStep = std::max(kMinArcStep, 2.0 * std::acos(ratio));
}

void Outliner::Add(Point p)
{
    if (m_first)
        m_out.MoveTo(p);
    else
        m_out.LineTo(p);
    m_first = false;
    ++m_points;
}

void Outliner::ArcPoints(Point at, Point from, double angle)
{
    const int steps = static_cast<int>(std::ceil(std::fabs(angle) / m_arcStep));
    for (int i = 1; i < steps; ++i) {
        const double t = angle * i / steps;
        const double cs = std::cos(t);
        const double sn = std::sin(t);
        Add(Point{static_cast<float>(at.x + from.x * cs - from.y * sn), static_cast<float>(at.y + from.x * sn + from.y * cs)});
    }
}

void Outliner::Corner(Point at, Point in, Point out)
{
    const double cross = static_cast<double>(in.x) * out.y - static_cast<double>(in.y) * out.x;
    const double dot = static_cast<double>(in.x) * out.x + static_cast<double>(in.y) * out.y;
    const Point o0 = Offset(Point{}, Normal(in), m_half);
    const Point o1 = Offset(Point{}, Normal(out), m_half);
    const Point p0 = Offset(at, o0);
    const Point p1 = Offset(at, o1);
    if (std::fabs(cross) < kStraight && dot > 0.0) {
        Add(p1);
        return;
    }
    if (cross > 0.0) {
        // The inner side of the turn.
        Add(p0);
        Add(at);
        Add(p1);
        return;
    }
    Add(p0);
    if (m_pen.join == LineJoin::Round) {
        ArcPoints(at, o0, std::fabs(cross) < kStraight ? -kPi : std::atan2(cross, dot));
    } else if (m_pen.join == LineJoin::Miter) {
        const double mx = static_cast<double>(o0.x) + o1.x;
        const double my = static_cast<double>(o0.y) + o1.y;
        const double len = Length(mx, my);
        // Cosine of half the angle between the two offsets; the mitre is
        // 1/cos pen widths long.
        const double cosHalf = len > 0.0 ? (mx * o0.x + my * o0.y) / (len * m_half) : 0.0;
        if (cosHalf > 0.0 && 1.0 / cosHalf <= m_pen.miterLimit)
            Add(Point{static_cast<float>(at.x + mx / len * m_half / cosHalf),
                      static_cast<float>(at.y + my / len * m_half / cosHalf)});
    }
    Add(p1);
}

void Outliner::EndCap(Point at, Point d)
{
    const Point n = Offset(Point{}, Normal(d), m_half);
    const Point left = Offset(at, n);
    const Point right = Offset(at, n, -1.0);
    Add(left);
    if (m_pen.cap == LineCap::Round) {
        ArcPoints(at, n, -kPi);
    } else if (m_pen.cap == LineCap::Square) {
        Add(Offset(left, d, m_half));
        Add(Offset(right, d, m_half));
    }
    Add(right);
}

void Outliner::StrokeOpen(const std::vector<Point>& p)
{
    const size_t n = p.size();
    // A lone point shows only its caps, as a line of no length along x.
    const Point first = n > 1 ? Direction(p[0], p[1]) : Point{1.0f, 0.0f};
    const Point last = n > 1 ? Direction(p[n - 2], p[n - 1]) : first;
    for (size_t i = 1; i + 1 < n; ++i)
        Corner(p[i], Direction(p[i - 1], p[i]), Direction(p[i], p[i + 1]));
    EndCap(p[n - 1], last);
    for (size_t k = 2; k < n; ++k) {
        const size_t i = n - k;
        Corner(p[i], Direction(p[i + 1], p[i]), Direction(p[i], p[i - 1]));
    }
    EndCap(p[0], Point{-first.x, -first.y});
    m_out.Close();
    m_first = true;
}

void Outliner::StrokeClosed(const std::vector<Point>& p)
{
    const size_t n = p.size();
    for (size_t i = 0; i < n; ++i)
        Corner(p[i], Direction(p[(i + n - 1) % n], p[i]), Direction(p[i], p[(i + 1) % n]));
    m_out.Close();
    m_first = true;
    for (size_t k = 0; k < n; ++k) {
        const size_t i = n - 1 - k;
        Corner(p[i], Direction(p[(i + 1) % n], p[i]), Direction(p[i], p[(i + n - 1) % n]));
    }
    m_out.Close();
    m_first = true;
}

bool Outliner::Stroke(const Polyline& line)
{
    if (line.closed && line.points.size() > 1)
        StrokeClosed(line.points);
    else if (m_pen.cap != LineCap::Butt || line.points.size() > 1)
        StrokeOpen(line.points);
    return m_points <= kMaxStrokePoints;
}

} // namespace

bool StrokeOutline(const Path& path, const Pen& pen, float tolerance, Path& out)
{
    if (!(pen.width > 0.0f) || !(tolerance > 0.0f))
        return true;
    std::vector<Polyline> lines;
    if (!Flatten(path, tolerance, lines))
        return false;
    Path outline;
    Outliner outliner(pen, tolerance, outline);
    for (const Polyline& line : lines)
        if (!outliner.Stroke(line))
            return false;
    out = std::move(outline);
    return true;
}

} // namespace svg
} // namespace ui

#include "Corvel/Render/Svg/SvgPathData.h"

#include "Corvel/Render/Svg/SvgNumbers.h"

namespace ui {
namespace svg {
namespace {

// Arguments of the command that takes the most (the arc).
constexpr int kMaxArgs = 7;

bool StartsNumber(char c)
{
    return (c >= '0' && c <= '9') || c == '.' || c == '+' || c == '-';
}

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// How many numbers one set of the command's arguments has; -1 for a letter
// that is no command.
int ArgumentCount(char command)
{
    switch (Upper(command)) {
    case 'Z':
        return 0;
    case 'H':
    case 'V':
        return 1;
    case 'M':
    case 'L':
    case 'T':
        return 2;
    case 'S':
    case 'Q':
        return 4;
    case 'C':
        return 6;
    case 'A':
        return 7;
    default:
        return -1;
    }
}

Point Reflect(Point control, Point about)
{
    return Point{2.0f * about.x - control.x, 2.0f * about.y - control.y};
}

class PathDataReader {
public:
    PathDataReader(std::string_view d, Path& out) : m_scan(d), m_path(out) {}
    bool Read();

private:
    // One set of arguments for `command` into m_args; false when missing.
    bool ReadArguments(char command);
    void Apply(char command);
    Point At(float x, float y, bool relative) const
    {
        return relative ? Point{m_current.x + x, m_current.y + y} : Point{x, y};
    }

    enum class Previous { Other, Cubic, Quad };

    NumberScanner m_scan;
    Path& m_path;
    float m_args[kMaxArgs] = {};
    Point m_current;
    Point m_control;  // last control point of the previous curve
    Previous m_previous = Previous::Other;
};

bool PathDataReader::ReadArguments(char command)
{
    const int count = ArgumentCount(command);
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            m_scan.SkipSeparator();
        if (Upper(command) == 'A' && (i == 3 || i == 4)) {
            bool flag = false;
            if (!m_scan.Flag(flag))
                return false;
            m_args[i] = flag ? 1.0f : 0.0f;
        } else if (!m_scan.Number(m_args[i])) {
            return false;
        }
    }
    return true;
}

void PathDataReader::Apply(char command)
{
    const bool rel = command >= 'a' && command <= 'z';
    const float* a = m_args;
    Previous next = Previous::Other;
    switch (Upper(command)) {
    case 'M':
        m_path.MoveTo(At(a[0], a[1], rel));
        break;
    case 'L':
        m_path.LineTo(At(a[0], a[1], rel));
        break;
    case 'H':
        m_path.LineTo(Point{rel ? m_current.x + a[0] : a[0], m_current.y});
        break;
    case 'V':
        m_path.LineTo(Point{m_current.x, rel ? m_current.y + a[0] : a[0]});
        break;
    case 'C':
        m_control = At(a[2], a[3], rel);
        m_path.CubicTo(At(a[0], a[1], rel), m_control, At(a[4], a[5], rel));
        next = Previous::Cubic;
        break;
    case 'S': {
        const Point first = m_previous == Previous::Cubic ? Reflect(m_control, m_current) : m_current;
        m_control = At(a[0], a[1], rel);
        m_path.CubicTo(first, m_control, At(a[2], a[3], rel));
        next = Previous::Cubic;
        break;
    }
    case 'Q':
        m_control = At(a[0], a[1], rel);
        m_path.QuadTo(m_control, At(a[2], a[3], rel));
        next = Previous::Quad;
        break;
    case 'T':
        m_control = m_previous == Previous::Quad ? Reflect(m_control, m_current) : m_current;
        m_path.QuadTo(m_control, At(a[0], a[1], rel));
        next = Previous::Quad;
        break;
    case 'A':
        m_path.ArcTo(a[0], a[1], a[2], a[3] != 0.0f, a[4] != 0.0f, At(a[5], a[6], rel));
        break;
    case 'Z':
        m_path.Close();
        break;
    default:
        break;
    }
    m_previous = next;
    m_current = m_path.CurrentPoint();
}

bool PathDataReader::Read()
{
    m_scan.SkipSpace();
    if (m_scan.AtEnd())
        return true;
    if (Upper(m_scan.Peek()) != 'M')
        return false;
    char command = 0;
    for (;;) {
        m_scan.SkipSpace();
        if (m_scan.AtEnd())
            return true;
        const char c = m_scan.Peek();
        if (!StartsNumber(c)) {
            if (ArgumentCount(c) < 0)
                return false;
            command = c;
            m_scan.Advance();
            m_scan.SkipSpace();
        } else if (Upper(command) == 'Z') {
            // Numbers need a command; after "Z" none repeats.
            return false;
        }
        if (!ReadArguments(command))
            return false;
        Apply(command);
        m_scan.SkipSeparator();
        // Further pairs after a move are lines.
        if (command == 'M')
            command = 'L';
        else if (command == 'm')
            command = 'l';
    }
}

} // namespace

bool ParsePathData(std::string_view d, Path& out)
{
    return PathDataReader(d, out).Read();
}

bool ParsePoints(std::string_view points, Path& out)
{
    NumberScanner scan(points);
    bool first = true;
    for (;;) {
        scan.SkipSpace();
        if (scan.AtEnd())
            return true;
        Point p;
        if (!scan.Number(p.x))
            return false;
        scan.SkipSeparator();
        if (!scan.Number(p.y))
            return false;
        scan.SkipSeparator();
        if (first)
            out.MoveTo(p);
        else
            out.LineTo(p);
        first = false;
    }
}

} // namespace svg
} // namespace ui

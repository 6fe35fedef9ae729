// Small rectangle helpers shared by the control base, the containers and the
// window core's dirty-rectangle bookkeeping.
#pragma once

#include <algorithm>
#include <cmath>

#include "Corvel/Core/UiTypes.h"

namespace ui {
namespace rectmath {

inline bool IsEmpty(const RECTF& r) { return r.left >= r.right || r.top >= r.bottom; }

// Overlap with positive area; touching edges do not count.
inline bool Intersect(const RECTF& a, const RECTF& b, RECTF& out)
{
    if (IsEmpty(a) || IsEmpty(b) || a.left >= b.right || a.right <= b.left || a.top >= b.bottom ||
        a.bottom <= b.top) {
        out = RECTF{0, 0, 0, 0};
        return false;
    }
    out = RECTF{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                std::min(a.bottom, b.bottom)};
    return true;
}

inline bool Overlaps(const RECTF& a, const RECTF& b)
{
    RECTF tmp;
    return Intersect(a, b, tmp);
}

inline RECTF Union(const RECTF& a, const RECTF& b)
{
    return RECTF{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                 std::max(a.bottom, b.bottom)};
}

// Edges included.
inline bool Contains(const RECTF& r, float x, float y)
{
    return r.left <= x && x <= r.right && r.top <= y && y <= r.bottom;
}

inline RECTF SnapOutward(const RECTF& r)
{
    return RECTF{std::floor(r.left), std::floor(r.top), std::ceil(r.right), std::ceil(r.bottom)};
}

inline bool SameTruncated(const RECTF& a, const RECTF& b)
{
    return static_cast<int>(a.left) == static_cast<int>(b.left) &&
           static_cast<int>(a.top) == static_cast<int>(b.top) &&
           static_cast<int>(a.right) == static_cast<int>(b.right) &&
           static_cast<int>(a.bottom) == static_cast<int>(b.bottom);
}

inline bool Equal(const RECTF& a, const RECTF& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

} // namespace rectmath
} // namespace ui

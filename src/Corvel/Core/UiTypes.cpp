#include "Corvel/Core/UiTypes.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace ui {

bool RECTF::Contains(int x, int y) const
{
    return ContainsPoint(static_cast<float>(x), static_cast<float>(y));
}

bool RECTF::ContainsPoint(float x, float y) const
{
    return left <= x && x <= right && top <= y && y <= bottom;
}

bool RECTF::Intersect(const RECTF& other)
{
    if (IsEmpty() || other.IsEmpty() || left >= other.right || right <= other.left ||
        top >= other.bottom || bottom <= other.top) {
        Clear();
        return false;
    }
    left = std::max(left, other.left);
    top = std::max(top, other.top);
    right = std::min(right, other.right);
    bottom = std::min(bottom, other.bottom);
    return true;
}

void RECTF::SnapOutward()
{
    left = std::floor(left);
    top = std::floor(top);
    right = std::ceil(right);
    bottom = std::ceil(bottom);
}

PropertyValue& PropertyValue::operator=(PropertyValue&& other) noexcept
{
    if (this == &other)
        return *this;
    found = other.found;
    intValue = other.intValue;
    value = other.value;
    intValue2 = other.intValue2;
    intValue3 = other.intValue3;
    pointer = other.pointer;
    rect = other.rect;
    color = other.color;
    text = std::move(other.text);
    other.text.clear();
    return *this;
}

} // namespace ui

// Small records shared by the UI core and the painters: float rectangles,
// blur settings, box shadows and the answer record of a named-value request.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "Corvel/Render/UiColor.h"

namespace ui {

struct RECTF {
    float left = 0.0f;
    float top = 0.0f;
    float right = 0.0f;
    float bottom = 0.0f;

    RECTF() = default;
    RECTF(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}

    float Width() const { return right - left; }
    float Height() const { return bottom - top; }
    // Empty when left >= right or top >= bottom.
    bool IsEmpty() const { return !(left < right) || !(top < bottom); }
    // Edges included, compared as floats.
    bool Contains(int x, int y) const;
    bool ContainsPoint(float x, float y) const;
    // In place: the overlap, or all zeros and false when either rectangle is
    // empty or they do not overlap (touching edges do not overlap).
    bool Intersect(const RECTF& other);
    // Left and top down, right and bottom up to whole pixels.
    void SnapOutward();
    void Offset(float dx, float dy) { left += dx; right += dx; top += dy; bottom += dy; }
    void Clear() { left = top = right = bottom = 0.0f; }

    bool operator==(const RECTF& o) const
    {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const RECTF& o) const { return !(*this == o); }
};

// Gaussian blur settings: standard deviation (0 or less = no blur), the
// optimisation/quality value and the border mode (0 soft, 1 hard).
struct BlurParams {
    float deviation = 0.0f;
    int32_t quality = 1;
    int32_t border = 1;
};

// A control's "shadow". Sizes in 96-DPI units; painters scale them.
struct BoxShadow {
    uint8_t drop = 0;     // drawn by the control's layer when composited
    uint8_t web = 0;      // blur given in CSS terms (painting divides by 2.8199568)
    int32_t inset = 0;    // 1 = inner shadow
    float size = 0.0f;    // 0 = no shadow
    float blur = 0.0f;
    uint32_t color = 0;   // ARGB
    float offsetX = 0.0f;
    float offsetY = 0.0f;
    float radiusX = 0.0f;
    float radiusY = 0.0f;
};

// A control's answer to a painter's request for a named value.
struct PropertyValue {
    bool found = false;
    int32_t intValue = 0;
    float value = 0.0f;
    int32_t intValue2 = 0;
    int32_t intValue3 = 0;
    void* pointer = nullptr;
    RECTF rect;           // filled by controls that answer with a rectangle
    Color color;
    std::wstring text;

    PropertyValue() = default;
    PropertyValue(const PropertyValue&) = default;
    PropertyValue& operator=(const PropertyValue&) = default;
    PropertyValue(PropertyValue&& other) noexcept { *this = std::move(other); }
    // Copies the numbers and takes the text, leaving the source text empty.
    PropertyValue& operator=(PropertyValue&& other) noexcept;
    void Clear() { *this = PropertyValue(); }
};

} // namespace ui

// The parsed form of an SVG document that the drawing code walks: a flat
// tree of viewports, groups and shapes with their outlines in user units and
// their resolved styles. Built once by SvgDocument.cpp; styles are resolved
// again whenever a sheet is applied.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Corvel/Render/Svg/SvgGeometry.h"
#include "Corvel/Render/Svg/SvgStyle.h"

namespace ui {
namespace svg {

// The properties as they apply to one element after cascade and
// inheritance. Paints are None or Color here (currentColor is resolved).
struct ComputedStyle {
    Paint fill{PaintKind::Color, 0xFF000000u};
    Paint stroke;
    uint32_t color = 0xFF000000u;
    float opacity = 1.0f;
    float fillOpacity = 1.0f;
    float strokeOpacity = 1.0f;
    float strokeWidth = 1.0f;
    float miterLimit = 4.0f;
    FillRule fillRule = FillRule::NonZero;
    LineCap lineCap = LineCap::Butt;
    LineJoin lineJoin = LineJoin::Miter;
    bool displayed = true;  // false: the element and its children are not drawn
    bool visible = true;    // false: this shape is not drawn (children may be)
};

enum class NodeKind : uint8_t {
    Viewport,  // svg: its children in a new user space, clipped to its box
    Group,     // g, a, switch
    Shape,     // path, rect, circle, ellipse, line, polyline, polygon
};

struct Node {
    NodeKind kind = NodeKind::Group;
    int parent = -1;       // -1 for the root
    int firstChild = -1;   // -1 when none
    int nextSibling = -1;  // -1 when last

    // What selectors look at.
    std::string name;
    std::string id;
    std::vector<std::string> classes;

    // From this node's user space to its parent's.
    Matrix transform;
    // Viewports below the root clip their content to this box, given in the
    // parent's user space.
    bool clips = false;
    float clipX = 0.0f;
    float clipY = 0.0f;
    float clipWidth = 0.0f;
    float clipHeight = 0.0f;

    // Shapes only.
    Path path;

    // What the document itself says: presentation attributes and the style
    // attribute (kept apart because sheets come between them).
    Declarations attributes;
    Declarations inlineStyle;

    ComputedStyle style;
};

// Classes of one element taken into account; more are ignored.
constexpr size_t kMaxClassesPerElement = 64;

} // namespace svg
} // namespace ui

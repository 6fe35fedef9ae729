#include "Corvel/Render/Svg/SvgDocument.h"

#include <algorithm>
#include <cmath>
#include <new>

#include "Corvel/Render/Svg/SvgNumbers.h"
#include "Corvel/Render/Svg/SvgPathData.h"
#include "Corvel/Render/Svg/SvgRender.h"
#include "Corvel/Render/Svg/SvgXml.h"

namespace ui {
namespace svg {
namespace {

// Attributes the builder reads itself; every other attribute is tried as a
// presentation attribute.
enum Slot {
    kSlotX, kSlotY, kSlotWidth, kSlotHeight, kSlotRx, kSlotRy, kSlotCx, kSlotCy, kSlotR,
    kSlotX1, kSlotY1, kSlotX2, kSlotY2, kSlotD, kSlotPoints, kSlotViewBox, kSlotAspect,
    kSlotTransform, kSlotStyle, kSlotId, kSlotClass, kSlotRequiredExtensions,
    kSlotCount
};
const char* const kSlotNames[kSlotCount] = {
    "x", "y", "width", "height", "rx", "ry", "cx", "cy", "r",
    "x1", "y1", "x2", "y2", "d", "points", "viewBox", "preserveAspectRatio",
    "transform", "style", "id", "class", "requiredExtensions",
};

struct SlotValues {
    std::string_view value[kSlotCount];
    bool has[kSlotCount] = {};
};

enum class ElementType { Unknown, Svg, Group, Switch, Path, Rect, Circle, Ellipse, Line, Polyline, Polygon, Style };

ElementType TypeOf(std::string_view name)
{
    // Elements written with the usual "svg:" prefix are the same elements.
    if (name.substr(0, 4) == "svg:")
        name.remove_prefix(4);
    struct Entry {
        const char* name;
        ElementType type;
    };
    static const Entry kTypes[] = {
        {"svg", ElementType::Svg},         {"g", ElementType::Group},
        {"a", ElementType::Group},         {"switch", ElementType::Switch},
        {"path", ElementType::Path},       {"rect", ElementType::Rect},
        {"circle", ElementType::Circle},   {"ellipse", ElementType::Ellipse},
        {"line", ElementType::Line},       {"polyline", ElementType::Polyline},
        {"polygon", ElementType::Polygon}, {"style", ElementType::Style},
    };
    for (const Entry& e : kTypes)
        if (name == e.name)
            return e.type;
    return ElementType::Unknown;
}

bool IsDrawable(ElementType type)
{
    return type != ElementType::Unknown && type != ElementType::Style;
}

enum class Axis { X, Y, Diagonal };

struct ViewportSize {
    float width = 0.0f;
    float height = 0.0f;

    float Base(Axis axis) const
    {
        if (axis == Axis::X)
            return width;
        if (axis == Axis::Y)
            return height;
        return static_cast<float>(std::sqrt((static_cast<double>(width) * width + static_cast<double>(height) * height) / 2.0));
    }
};

bool ParseViewBox(std::string_view text, ViewBox& out)
{
    NumberScanner s(text);
    float v[4] = {};
    s.SkipSpace();
    for (float& f : v) {
        if (!s.Number(f))
            return false;
        s.SkipSeparator();
    }
    if (!s.AtEnd() || v[2] < 0.0f || v[3] < 0.0f)
        return false;
    out = ViewBox{v[0], v[1], v[2], v[3]};
    return true;
}

bool ParseAspectRatio(std::string_view text, AspectRatio& out)
{
    text = Trim(text);
    if (text.substr(0, 5) == "defer")
        text = Trim(text.substr(5));
    const size_t space = text.find_first_of(" \t\r\n");
    const std::string_view align = text.substr(0, space);
    const std::string_view mode = space == std::string_view::npos ? std::string_view() : Trim(text.substr(space));
    AspectRatio r;
    if (mode == "slice")
        r.slice = true;
    else if (!mode.empty() && mode != "meet")
        return false;
    if (align == "none") {
        r.x = r.y = AspectRatio::Align::None;
    } else {
        auto part = [](std::string_view p, AspectRatio::Align& a) {
            if (p == "Min")
                a = AspectRatio::Align::Min;
            else if (p == "Mid")
                a = AspectRatio::Align::Mid;
            else if (p == "Max")
                a = AspectRatio::Align::Max;
            else
                return false;
            return true;
        };
        if (align.size() != 8 || align[0] != 'x' || align[4] != 'Y' || !part(align.substr(1, 3), r.x) ||
            !part(align.substr(5, 3), r.y))
            return false;
    }
    out = r;
    return true;
}

template <typename T>
T Pick(const Declarations& d, uint32_t bit, bool inherited, const T& own, const T& parent, const T& initial)
{
    if (d.set & bit)
        return (d.inherit & bit) ? parent : own;
    return inherited ? parent : initial;
}

ComputedStyle Compute(const ComputedStyle& parent, const Declarations& d)
{
    const ComputedStyle initial;
    ComputedStyle s;
    s.color = Pick(d, kPropColor, true, d.color, parent.color, initial.color);
    s.fill = Pick(d, kPropFill, true, d.fill, parent.fill, initial.fill);
    s.stroke = Pick(d, kPropStroke, true, d.stroke, parent.stroke, initial.stroke);
    // currentColor is the colour of the element that names it.
    if (s.fill.kind == PaintKind::CurrentColor)
        s.fill = Paint{PaintKind::Color, s.color};
    if (s.stroke.kind == PaintKind::CurrentColor)
        s.stroke = Paint{PaintKind::Color, s.color};
    s.opacity = Pick(d, kPropOpacity, false, d.opacity, parent.opacity, initial.opacity);
    s.fillOpacity = Pick(d, kPropFillOpacity, true, d.fillOpacity, parent.fillOpacity, initial.fillOpacity);
    s.strokeOpacity = Pick(d, kPropStrokeOpacity, true, d.strokeOpacity, parent.strokeOpacity, initial.strokeOpacity);
    s.strokeWidth = Pick(d, kPropStrokeWidth, true, d.strokeWidth, parent.strokeWidth, initial.strokeWidth);
    s.miterLimit = Pick(d, kPropMiterLimit, true, d.miterLimit, parent.miterLimit, initial.miterLimit);
    s.fillRule = Pick(d, kPropFillRule, true, d.fillRule, parent.fillRule, initial.fillRule);
    s.lineCap = Pick(d, kPropLineCap, true, d.lineCap, parent.lineCap, initial.lineCap);
    s.lineJoin = Pick(d, kPropLineJoin, true, d.lineJoin, parent.lineJoin, initial.lineJoin);
    s.displayed = Pick(d, kPropDisplay, false, !d.displayNone, parent.displayed, initial.displayed);
    s.visible = Pick(d, kPropVisibility, true, !d.hidden, parent.visible, initial.visible);
    return s;
}

void ApplyRules(const RuleList& rules, const ElementKey& key, bool isRoot, Declarations& into)
{
    for (const StyleRule& rule : rules.Rules()) {
        if (!rule.selector.Matches(key))
            continue;
        // Opacity from "*" alone fades the picture once, at its root.
        const uint32_t mask = !isRoot && rule.selector.IsUniversal() ? kPropAll & ~kPropOpacity : kPropAll;
        into.Merge(rule.declarations, mask);
    }
}

} // namespace

// Turns the XML elements into the document's node tree, one element at a
// time in document order (parents come before their children, so no
// recursion is needed).
class DocumentBuilder {
public:
    DocumentBuilder(Document& document, const std::vector<XmlElement>& xml) : m_doc(document), m_xml(xml) {}
    bool Build();

private:
    void CollectSheet(const XmlElement& element);
    int AddNode(size_t xmlIndex, ElementType type, int parent);
    void ReadSlots(const XmlElement& element, SlotValues& slots, Node& node) const;
    bool AcceptInParent(int parentNode, ElementType type, const SlotValues& slots);
    void ReadIdentity(const SlotValues& slots, Node& node) const;
    bool Place(bool isRoot, ElementType type, int parent, const SlotValues& slots, Node& node);
    void SetUpRoot(const SlotValues& slots);
    bool SetUpViewport(Node& node, const SlotValues& slots, const ViewportSize& outer, ViewportSize& inner) const;
    void BuildShape(ElementType type, const SlotValues& slots, const ViewportSize& viewport, Path& path) const;
    float LengthOr(const SlotValues& slots, Slot slot, Axis axis, const ViewportSize& viewport, float fallback) const;
    void Link(int index, int parent);

    Document& m_doc;
    const std::vector<XmlElement>& m_xml;
    std::vector<int> m_nodeOf;                // per XML element: its node, -1 when not drawn
    std::vector<ViewportSize> m_viewportOf;   // per node: what per cents refer to
    std::vector<int> m_lastChild;             // per node
    std::vector<bool> m_switchChosen;         // per node: a switch that took its child
    std::string m_sheet;                      // text of the <style> elements
};

bool Document::RenderToBitmap(int width, int height, uint32_t background, Bitmap& out) const
{
    out = Bitmap();
    if (!m_drawable || !(m_width > 0.0f) || !(m_height > 0.0f) || width <= 0 || height <= 0 ||
        width > kMaxRenderSize || height > kMaxRenderSize)
        return false;
    return RenderDocument(*this, width, height, background, out);
}

std::unique_ptr<Document> Document::LoadFromData(const char* data, size_t size)
{
    try {
        std::vector<XmlElement> xml;
        if (!ReadXml(data, size, xml))
            return nullptr;
        std::unique_ptr<Document> document(new Document());
        if (!DocumentBuilder(*document, xml).Build())
            return nullptr;
        document->ResolveStyles();
        return document;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void Document::ApplyStyleSheet(std::string_view sheet)
{
    m_appliedRules.AddSheet(sheet);
    ResolveStyles();
}

void Document::ResolveStyles()
{
    for (size_t i = 0; i < m_nodes.size(); ++i) {
        Node& node = m_nodes[i];
        const ElementKey key{node.name, node.id, &node.classes};
        Declarations d = node.attributes;
        ApplyRules(m_documentRules, key, i == 0, d);
        d.Merge(node.inlineStyle);
        ApplyRules(m_appliedRules, key, i == 0, d);
        const ComputedStyle parent = node.parent >= 0 ? m_nodes[static_cast<size_t>(node.parent)].style
                                                      : ComputedStyle();
        node.style = Compute(parent, d);
    }
}

Matrix Document::RootTransform(int width, int height) const
{
    return ViewBoxTransform(m_viewBox, m_aspect, static_cast<float>(width), static_cast<float>(height));
}

Matrix ViewBoxTransform(const ViewBox& box, const AspectRatio& aspect, float width, float height)
{
    if (!(box.width > 0.0f) || !(box.height > 0.0f))
        return Matrix();
    const double sx = static_cast<double>(width) / box.width;
    const double sy = static_cast<double>(height) / box.height;
    if (aspect.x == AspectRatio::Align::None || aspect.y == AspectRatio::Align::None)
        return Matrix::Scale(sx, sy) * Matrix::Translate(-box.x, -box.y);
    const double s = aspect.slice ? std::max(sx, sy) : std::min(sx, sy);
    auto offset = [](AspectRatio::Align align, double room) {
        switch (align) {
        case AspectRatio::Align::Mid:
            return room / 2.0;
        case AspectRatio::Align::Max:
            return room;
        default:
            return 0.0;
        }
    };
    return Matrix{s, 0.0, 0.0, s, offset(aspect.x, width - box.width * s) - box.x * s,
                  offset(aspect.y, height - box.height * s) - box.y * s};
}

// ---------------------------------------------------------------------------
// DocumentBuilder

void DocumentBuilder::ReadSlots(const XmlElement& element, SlotValues& slots, Node& node) const
{
    for (const XmlAttribute& a : element.attributes) {
        bool known = false;
        for (int s = 0; s < kSlotCount && !known; ++s) {
            if (a.name == kSlotNames[s]) {
                slots.value[s] = a.value;
                slots.has[s] = true;
                known = true;
            }
        }
        if (!known)
            ParseProperty(a.name, a.value, node.attributes);
    }
}

float DocumentBuilder::LengthOr(const SlotValues& slots, Slot slot, Axis axis, const ViewportSize& viewport,
                                float fallback) const
{
    Length length;
    if (!slots.has[slot] || !ParseLength(slots.value[slot], length))
        return fallback;
    if (!length.percent)
        return length.value;
    return length.value / 100.0f * viewport.Base(axis);
}

// A switch draws only its first child that asks for no extension.
bool DocumentBuilder::AcceptInParent(int parentNode, ElementType type, const SlotValues& slots)
{
    if (m_doc.m_nodes[static_cast<size_t>(parentNode)].name != "switch")
        return true;
    if (m_switchChosen[static_cast<size_t>(parentNode)] || !IsDrawable(type) || slots.has[kSlotRequiredExtensions])
        return false;
    m_switchChosen[static_cast<size_t>(parentNode)] = true;
    return true;
}

void DocumentBuilder::SetUpRoot(const SlotValues& slots)
{
    auto absolute = [&](Slot slot, float& out) {
        Length length;
        if (!slots.has[slot] || !ParseLength(slots.value[slot], length) || length.percent || length.value < 0.0f)
            return false;
        out = length.value;
        return true;
    };
    float width = 0.0f;
    float height = 0.0f;
    const bool hasWidth = absolute(kSlotWidth, width);
    const bool hasHeight = absolute(kSlotHeight, height);
    ViewBox box;
    const bool hasBox = slots.has[kSlotViewBox] && ParseViewBox(slots.value[kSlotViewBox], box);
    if (hasBox) {
        const bool boxHasArea = box.width > 0.0f && box.height > 0.0f;
        if (!hasWidth)
            width = hasHeight && boxHasArea ? height * box.width / box.height : box.width;
        if (!hasHeight)
            height = hasWidth && boxHasArea ? width * box.height / box.width : box.height;
        m_doc.m_drawable = boxHasArea;
    } else {
        box = ViewBox{0.0f, 0.0f, width, height};
    }
    if (slots.has[kSlotAspect])
        ParseAspectRatio(slots.value[kSlotAspect], m_doc.m_aspect);
    m_doc.m_width = width;
    m_doc.m_height = height;
    m_doc.m_viewBox = box;
    m_viewportOf.push_back(ViewportSize{box.width, box.height});
}

// A nested svg: placed at x,y in a box of width x height (default the whole
// outer viewport), its viewBox mapped into that box. False when it draws
// nothing.
bool DocumentBuilder::SetUpViewport(Node& node, const SlotValues& slots, const ViewportSize& outer,
                                    ViewportSize& inner) const
{
    const float x = LengthOr(slots, kSlotX, Axis::X, outer, 0.0f);
    const float y = LengthOr(slots, kSlotY, Axis::Y, outer, 0.0f);
    const float width = LengthOr(slots, kSlotWidth, Axis::X, outer, outer.width);
    const float height = LengthOr(slots, kSlotHeight, Axis::Y, outer, outer.height);
    if (!(width > 0.0f) || !(height > 0.0f))
        return false;
    AspectRatio aspect;
    if (slots.has[kSlotAspect])
        ParseAspectRatio(slots.value[kSlotAspect], aspect);
    ViewBox box;
    node.transform = Matrix::Translate(x, y);
    inner = ViewportSize{width, height};
    if (slots.has[kSlotViewBox] && ParseViewBox(slots.value[kSlotViewBox], box)) {
        if (!(box.width > 0.0f) || !(box.height > 0.0f))
            return false;
        node.transform = node.transform * ViewBoxTransform(box, aspect, width, height);
        inner = ViewportSize{box.width, box.height};
    }
    node.clips = true;
    node.clipX = x;
    node.clipY = y;
    node.clipWidth = width;
    node.clipHeight = height;
    return true;
}

void DocumentBuilder::BuildShape(ElementType type, const SlotValues& slots, const ViewportSize& vp, Path& path) const
{
    // Radii: a missing or negative one takes the other's value.
    auto radii = [&](Slot xSlot, Slot ySlot, float& rx, float& ry) {
        rx = LengthOr(slots, xSlot, Axis::X, vp, -1.0f);
        ry = LengthOr(slots, ySlot, Axis::Y, vp, -1.0f);
        if (rx < 0.0f)
            rx = ry;
        if (ry < 0.0f)
            ry = rx;
    };
    switch (type) {
    case ElementType::Path:
        if (slots.has[kSlotD])
            ParsePathData(slots.value[kSlotD], path);
        break;
    case ElementType::Rect: {
        float rx = 0.0f;
        float ry = 0.0f;
        radii(kSlotRx, kSlotRy, rx, ry);
        path.AddRect(LengthOr(slots, kSlotX, Axis::X, vp, 0.0f), LengthOr(slots, kSlotY, Axis::Y, vp, 0.0f),
                     LengthOr(slots, kSlotWidth, Axis::X, vp, 0.0f), LengthOr(slots, kSlotHeight, Axis::Y, vp, 0.0f),
                     std::max(rx, 0.0f), std::max(ry, 0.0f));
        break;
    }
    case ElementType::Circle: {
        const float r = LengthOr(slots, kSlotR, Axis::Diagonal, vp, 0.0f);
        path.AddEllipse(LengthOr(slots, kSlotCx, Axis::X, vp, 0.0f), LengthOr(slots, kSlotCy, Axis::Y, vp, 0.0f), r, r);
        break;
    }
    case ElementType::Ellipse: {
        float rx = 0.0f;
        float ry = 0.0f;
        radii(kSlotRx, kSlotRy, rx, ry);
        path.AddEllipse(LengthOr(slots, kSlotCx, Axis::X, vp, 0.0f), LengthOr(slots, kSlotCy, Axis::Y, vp, 0.0f), rx, ry);
        break;
    }
    case ElementType::Line:
        path.MoveTo(Point{LengthOr(slots, kSlotX1, Axis::X, vp, 0.0f), LengthOr(slots, kSlotY1, Axis::Y, vp, 0.0f)});
        path.LineTo(Point{LengthOr(slots, kSlotX2, Axis::X, vp, 0.0f), LengthOr(slots, kSlotY2, Axis::Y, vp, 0.0f)});
        break;
    case ElementType::Polyline:
    case ElementType::Polygon:
        if (slots.has[kSlotPoints])
            ParsePoints(slots.value[kSlotPoints], path);
        if (type == ElementType::Polygon)
            path.Close();
        break;
    default:
        break;
    }
}

void DocumentBuilder::Link(int index, int parent)
{
    std::vector<Node>& nodes = m_doc.m_nodes;
    nodes[static_cast<size_t>(index)].parent = parent;
    m_lastChild.push_back(-1);
    m_switchChosen.push_back(false);
    if (parent < 0)
        return;
    int& last = m_lastChild[static_cast<size_t>(parent)];
    if (last >= 0)
        nodes[static_cast<size_t>(last)].nextSibling = index;
    else
        nodes[static_cast<size_t>(parent)].firstChild = index;
    last = index;
}

// Id, classes and style attribute: what selectors and the cascade need.
void DocumentBuilder::ReadIdentity(const SlotValues& slots, Node& node) const
{
    if (slots.has[kSlotId])
        node.id.assign(slots.value[kSlotId]);
    if (slots.has[kSlotStyle])
        ParseDeclarationList(slots.value[kSlotStyle], node.inlineStyle);
    std::string_view rest = slots.has[kSlotClass] ? slots.value[kSlotClass] : std::string_view();
    while (!(rest = Trim(rest)).empty() && node.classes.size() < kMaxClassesPerElement) {
        size_t end = 0;
        while (end < rest.size() && !IsSpace(rest[end]))
            ++end;
        node.classes.emplace_back(rest.substr(0, end));
        rest.remove_prefix(end);
    }
}

// Kind, placement and outline of a node, and the viewport its children
// measure per cents against; false when the element draws nothing.
bool DocumentBuilder::Place(bool isRoot, ElementType type, int parent, const SlotValues& slots, Node& node)
{
    if (isRoot) {
        node.kind = NodeKind::Viewport;
        SetUpRoot(slots);
        return true;
    }
    const ViewportSize outer = m_viewportOf[static_cast<size_t>(parent)];
    if (type == ElementType::Svg) {
        node.kind = NodeKind::Viewport;
        ViewportSize inner;
        if (!SetUpViewport(node, slots, outer, inner))
            return false;
        m_viewportOf.push_back(inner);
        return true;
    }
    if (slots.has[kSlotTransform])
        ParseTransform(slots.value[kSlotTransform], node.transform);
    node.kind = type == ElementType::Group || type == ElementType::Switch ? NodeKind::Group : NodeKind::Shape;
    if (node.kind == NodeKind::Shape)
        BuildShape(type, slots, outer, node.path);
    m_viewportOf.push_back(outer);
    return true;
}

int DocumentBuilder::AddNode(size_t xmlIndex, ElementType type, int parent)
{
    const XmlElement& element = m_xml[xmlIndex];
    Node node;
    node.name = element.name.substr(element.name.rfind(':') + 1);
    SlotValues slots;
    ReadSlots(element, slots, node);
    const bool isRoot = xmlIndex == 0;
    if (!isRoot && !AcceptInParent(parent, type, slots))
        return -1;
    ReadIdentity(slots, node);
    if (!Place(isRoot, type, parent, slots, node))
        return -1;
    const int index = static_cast<int>(m_doc.m_nodes.size());
    m_doc.m_nodes.push_back(std::move(node));
    Link(index, parent);
    return index;
}

void DocumentBuilder::CollectSheet(const XmlElement& element)
{
    const auto type = std::find_if(element.attributes.begin(), element.attributes.end(),
                                   [](const XmlAttribute& a) { return a.name == "type"; });
    if (type == element.attributes.end() || type->value.empty() || type->value == "text/css")
        m_sheet.append(element.text).push_back('\n');
}

bool DocumentBuilder::Build()
{
    if (m_xml.empty() || TypeOf(m_xml[0].name) != ElementType::Svg)
        return false;
    m_nodeOf.assign(m_xml.size(), -1);
    for (size_t i = 0; i < m_xml.size(); ++i) {
        const XmlElement& element = m_xml[i];
        const ElementType type = TypeOf(element.name);
        // Sheets count wherever they stand, even inside parts not drawn.
        if (type == ElementType::Style) {
            CollectSheet(element);
            continue;
        }
        const int parent = element.parent >= 0 ? m_nodeOf[static_cast<size_t>(element.parent)] : -1;
        if (IsDrawable(type) && (i == 0 || parent >= 0))
            m_nodeOf[i] = AddNode(i, type, parent);
    }
    m_doc.m_documentRules.AddSheet(m_sheet);
    return true;
}

} // namespace svg
} // namespace ui

// Shape and path element painters.
#include "Corvel/Render/ShapePainters.h"

#include <cmath>
#include <cwchar>
#include <string>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/StyleDefinitions.h"

namespace ui {

namespace {

constexpr float kPercent = 100.0f;
constexpr float kChannelMax = 255.0f;
// A shadow given in CSS terms ("web") has its blur radius turned into the
// Gaussian deviation the shadow drawing takes.
constexpr float kWebBlurToDeviation = 2.8199568f;
// A line along a pixel row or column is moved half a pixel across, so that
// it covers whole pixels.
constexpr float kHalfPixel = 0.5f;
// Radii "roundpos" gives when "round" gave none: the whole box.
constexpr wchar_t kFullRound[] = L"100%";

struct NamedValue {
    const wchar_t* name;
    int value;
};

constexpr NamedValue kShapeTypes[] = {
    {L"rect", kShapeRect}, {L"round", kShapeRound}, {L"line", kShapeLine}, {L"shadow", kShapeShadow}};
constexpr NamedValue kDashNames[] = {
    {L"dash", kDashDash}, {L"dot", kDashDot}, {L"dashdot", kDashDashDot}, {L"dashdotdot", kDashDashDotDot}};
constexpr NamedValue kPointFigureTypes[] = {{L"lines", kFigureLines},
                                            {L"curve", kFigureCurve},
                                            {L"closecurve", kFigureCloseCurve},
                                            {L"bezier", kFigureBezier},
                                            {L"polygon", kFigurePolygon}};

// The value of an exactly matching name; `fallback` otherwise.
template <size_t N>
int LookUp(const wchar_t* name, const NamedValue (&table)[N], int fallback)
{
    for (const NamedValue& entry : table) {
        if (wcscmp(name, entry.name) == 0)
            return entry.value;
    }
    return fallback;
}

bool IsBlack(const Color& c)
{
    return static_cast<int>(c.r * kChannelMax) == 0 && static_cast<int>(c.g * kChannelMax) == 0 &&
           static_cast<int>(c.b * kChannelMax) == 0 && static_cast<int>(c.a * kChannelMax) == 0;
}

// "x,y": two integers with one separator; false otherwise.
bool ParsePair(const wchar_t* text, int& first, int& second)
{
    if (!text || !wcschr(text, L','))
        return false;
    int items[2];
    if (ParseIntList(text, items, 2) < 2)
        return false;
    first = items[0];
    second = items[1];
    return true;
}

// An item of a length list: per cent of `extent`, or a 96-DPI number.
float Length(const ValueList::Item& item, float extent, float scale)
{
    return item.percent ? item.value / kPercent * extent : item.value * scale;
}

} // namespace

// ------------------------------------------------------------ ShapePainter

ShapePainter::ShapePainter(Control* owner) : ElemPainter(owner) {}
ShapePainter::~ShapePainter() = default;

void ShapePainter::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value)
        return;
    if (wcsncmp(value, L":>", 2) == 0) {
        ElemPainter::SetAttribute(name, value);
    } else if (wcscmp(name, L"type") == 0) {
        m_shapeType = LookUp(value, kShapeTypes, m_shapeType);
    } else if (wcscmp(name, L"fill") == 0) {
        m_fillMode = wcscmp(value, L"true") == 0 ? kShapeFill : kShapeOutline;
    } else if (wcscmp(name, L"color") == 0) {
        m_colorGiven = true;
        if (wcscmp(value, L"random") == 0 || wcscmp(value, L"r") == 0) {
            m_color.SetRandom();
            m_stops.clear();
            m_gradient = false;
        } else if (wcschr(value, L',')) {
            const int count = ParseColorStops(value, m_stops);
            m_color = m_stops.front();
            m_color.extra = 0;
            m_gradient = count >= 2;
        } else {
            m_color.FromArgb(ParseHexColor(value));
            m_stops.clear();
            m_gradient = false;
        }
    } else if (wcscmp(name, L"pensize") == 0) {
        m_penSize = static_cast<float>(ParseInt(value));
    } else if (wcscmp(name, L"round") == 0) {
        m_radii.Clear();
        m_radii.Parse(value);
        m_rounded = true;
    } else if (wcscmp(name, L"ptse") == 0) {
        m_linePoints.Clear();
        m_linePoints.Parse(value);
    } else if (wcscmp(name, L"ptwh") == 0) {
        m_lineBox.Clear();
        m_lineBox.Parse(value);
    } else if (wcscmp(name, L"gradient") == 0) {
        int items[4];
        ParseIntList(value, items, 4);
        m_direction = GradientDirection{items[0], items[1], items[2], items[3]};
    } else if (wcscmp(name, L"roundpos") == 0) {
        int items[4];
        const int read = ParseIntList(value, items, 4);
        int* corners[4] = {&m_corners.topLeft, &m_corners.topRight, &m_corners.bottomRight, &m_corners.bottomLeft};
        for (int i = 0; i < read; ++i)
            *corners[i] = items[i];
        m_rounded = true;
        if (m_radii.IsEmpty())
            m_radii.Parse(kFullRound);
    } else if (wcscmp(name, L"pen") == 0 || wcscmp(name, L"stroke") == 0) {
        m_dashStyle = LookUp(value, kDashNames, m_dashStyle);
    } else if (wcscmp(name, L"blur") == 0) {
        KeyValueSpec(value).GetBlurParams(m_blur);
    } else if (wcscmp(name, L"shadow") == 0) {
        ParseBoxShadow(KeyValueSpec(value), m_boxShadow);
        m_shapeType = kShapeShadow;
    } else {
        ElemPainter::SetAttribute(name, value);
    }
}

void ShapePainter::GetColorValue(PropertyValue& out, bool current)
{
    out.Clear();
    out.color = current ? m_currentColor : m_color;
    out.found = true;
}

void ShapePainter::GetAlphaValue(PropertyValue& out, bool current)
{
    out.Clear();
    out.value = current ? m_currentColor.a : m_color.a;
    out.found = true;
}

void ShapePainter::GetPenSizeValue(PropertyValue& out, bool current)
{
    out.Clear();
    if (m_fillMode == kShapeFill)
        return;
    out.intValue = current ? m_currentPenSize : static_cast<int>(m_penSize);
    out.value = static_cast<float>(out.intValue);
    out.found = true;
}

void ShapePainter::TakeControlColor()
{
    uint32_t argb = m_owner->GetBkColor();
    if (m_nameGiven) {
        const CUiString text = m_owner->GetExtraAttribute(m_name.GetData());
        if (!text.IsEmpty())
            argb = ParseHexColor(text.GetData());
    }
    m_color.FromArgb(argb);
}

float ShapePainter::AnimatedPenWidth(float width) const
{
    PropertyValue animated;
    m_owner->GetStyleValue(animated, m_elementKey.c_str(), L"pensize");
    return animated.found ? animated.value : width;
}

GradientStops ShapePainter::PaintStops() const
{
    return m_gradient ? m_stops : GradientStops(1, m_currentColor);
}

const GradientDirection* ShapePainter::PaintDirection() const { return m_gradient ? &m_direction : nullptr; }

bool ShapePainter::TakeBoundSize()
{
    const wchar_t* bound = BindingOf(L"size");
    if (!bound)
        return false;
    PropertyValue answer;
    m_owner->GetPropertyValue(answer, bound);
    if (!answer.found)
        return false;
    m_size[0] = answer.rect.Width();
    m_size[1] = answer.rect.Height();
    return true;
}

void ShapePainter::Paint(const RECTF& dirty, const RECTF& box)
{
    if (!HasCore())
        return;
    // A shape without a colour of its own follows its control's colour, so
    // a later SetBkColor shows too.
    if (!m_colorGiven || m_color.ToArgb() == 0)
        TakeControlColor();
    m_currentColor = m_color;

    const float s = Scale();
    ElementBox elementBox = ComputeElementBox(box);
    ApplyPosBinding(elementBox, FarEdges::kAccepted);
    if (TakeBoundSize()) {
        elementBox.width = m_size[0] * s;
        elementBox.height = m_size[1] * s;
    }
    ApplyColorBindings();
    ApplyStyleColorValues();

    const RECTF rect = Padded(elementBox, m_padding);
    RememberGeometry(elementBox, rect, m_padding);
    if (IsBlack(m_currentColor) && m_shapeType != kShapeShadow)
        return;
    const float penWidth = AnimatedPenWidth(m_penSize * s);
    m_currentPenSize = static_cast<int>(penWidth);

    switch (m_shapeType) {
    case kShapeLine:
        PaintLine(dirty, rect, penWidth);
        break;
    case kShapeShadow:
        PaintShadow(rect);
        break;
    case kShapeRect:
    case kShapeRound:
        PaintBox(dirty, rect, penWidth);
        break;
    default:
        break;
    }
}

RECTF ShapePainter::InsetForPen(const RECTF& dirty, const RECTF& rect, float penWidth) const
{
    const float half = penWidth / 2;
    RECTF out(rect.left + half, rect.top + half, rect.right - half, rect.bottom - half);
    RenderTarget* target = Target();
    if (!target)
        return out;
    const RECTF bounds = m_owner->GetBounds();
    if (target->Width() == dirty.Width() && dirty.Width() == bounds.Width()) {
        out.left = rect.left;
        out.right = rect.right;
    }
    if (target->Height() == dirty.Height() && dirty.Height() == bounds.Height()) {
        out.top = rect.top;
        out.bottom = rect.bottom;
    }
    return out;
}

CornerSize ShapePainter::ScaledCorner(const RECTF& rect) const
{
    if (m_radii.IsEmpty())
        return CornerSize();
    const float s = Scale();
    // One item serves for both (At repeats the last item).
    return CornerSize{Length(m_radii.At(0), rect.Width(), s), Length(m_radii.At(1), rect.Height(), s)};
}

void ShapePainter::PaintLine(const RECTF& dirty, const RECTF& rect, float penWidth)
{
    const RECTF r = InsetForPen(dirty, rect, penWidth);
    const float s = Scale();
    float x1, y1, x2, y2;
    if (m_linePoints.GetCount() == 4) {
        x1 = Length(m_linePoints.At(0), r.Width(), s);
        y1 = Length(m_linePoints.At(1), r.Height(), s);
        x2 = Length(m_linePoints.At(2), r.Width(), s);
        y2 = Length(m_linePoints.At(3), r.Height(), s);
    } else if (m_lineBox.GetCount() >= 4) {
        const float w = Length(m_lineBox.At(2), r.Width(), s);
        const float h = Length(m_lineBox.At(3), r.Height(), s);
        const ValueList::Item& left = m_lineBox.At(0);
        const ValueList::Item& top = m_lineBox.At(1);
        // A percent origin is measured so the line still fits the box.
        x1 = left.percent ? left.value / kPercent * r.Width() - std::fabs(w) : left.value * s;
        y1 = top.percent ? top.value / kPercent * r.Height() - std::fabs(h) : top.value * s;
        x2 = x1 + w;
        y2 = y1 + h;
        if (m_lineBox.GetCount() > 4) {
            const float dx = Length(m_lineBox.At(4), r.Width(), s);
            x1 += dx;
            x2 += dx;
        }
        if (m_lineBox.GetCount() > 5) {
            const float dy = Length(m_lineBox.At(5), r.Height(), s);
            y1 += dy;
            y2 += dy;
        }
    } else {
        return;
    }
    if (x1 == x2) {
        y1 += kHalfPixel;
        y2 += kHalfPixel;
        x1 += penWidth / 2;
        x2 += penWidth / 2;
    } else if (y1 == y2) {
        x1 += kHalfPixel;
        x2 += kHalfPixel;
        y1 += penWidth / 2;
        y2 += penWidth / 2;
    }
    const RECTF points(r.left + x1, r.top + y1, r.left + x2, r.top + y2);
    if (RenderTarget* target = Target())
        target->DrawLine(points, PaintStops(), PaintDirection(), m_dashStyle, penWidth);
}

void ShapePainter::PaintShadow(const RECTF& rect)
{
    const float s = Scale();
    BoxShadow shadow = m_boxShadow;
    shadow.size *= s;
    shadow.offsetX *= s;
    shadow.offsetY *= s;
    if (shadow.web)
        shadow.blur /= kWebBlurToDeviation;
    const CornerSize corner = ScaledCorner(rect);
    if (RenderTarget* target = Target())
        target->DrawShadow(rect, shadow, &corner, &m_corners, nullptr, nullptr);
}

void ShapePainter::PaintBox(const RECTF& dirty, const RECTF& rect, float penWidth)
{
    RenderTarget* target = Target();
    if (!target)
        return;
    const RECTF r = InsetForPen(dirty, rect, penWidth);
    const CornerSize corner = ScaledCorner(r);
    const CornerSwitches* switches = m_rounded ? &m_corners : nullptr;
    const GradientStops stops = PaintStops();
    if (m_fillMode == kShapeFill)
        target->FillShape(r, stops, PaintDirection(), &corner, switches, &m_blur);
    else
        target->DrawShape(r, stops, PaintDirection(), &corner, switches, m_dashStyle, &m_blur, penWidth);
}

// ------------------------------------------------------------- PathPainter

PathPainter::PathPainter(Control* owner) : ShapePainter(owner) {}
PathPainter::~PathPainter() = default;

bool PathPainter::AddFigure(const StyleElement& child)
{
    PathFigure figure;
    switch (child.GetKind()) {
    case kGeometryPoints: {
        const wchar_t* type = child.GetAttribute(L"type");
        figure.type = type ? LookUp(type, kPointFigureTypes, 0) : 0;
        const int count = ParseInt(child.GetAttribute(L"count"));
        if (figure.type == 0 || count <= 0)
            return false;
        const wchar_t* prefix = child.GetAttribute(L"pt0") ? L"pt" : (child.GetAttribute(L"rpt0") ? L"rpt" : nullptr);
        if (!prefix)
            return false;
        figure.relativePoints = prefix[0] == L'r';
        for (int i = 0; i < count; ++i) {
            const std::wstring key = prefix + std::to_wstring(i);
            POINT point{0, 0};
            int x = 0, y = 0;
            if (!ParsePair(child.GetAttribute(key.c_str()), x, y))
                return false;
            point.x = x;
            point.y = y;
            figure.points.push_back(point);
        }
        break;
    }
    case kGeometryRect:
    case kGeometryArc:
    case kGeometryPie:
    case kGeometryRound: {
        figure.type = child.GetKind() == kGeometryRect ? kFigureRect
                      : child.GetKind() == kGeometryArc ? kFigureArc
                                                         : kFigureRound;
        const wchar_t* pos = child.GetAttribute(L"pos");
        if (!pos && (pos = child.GetAttribute(L"rpos")) != nullptr)
            figure.relativePoints = true;
        const wchar_t* size = child.GetAttribute(L"size");
        if (!size && (size = child.GetAttribute(L"rsize")) != nullptr)
            figure.relativeSize = true;
        if (!ParsePair(pos, figure.x, figure.y) || !ParsePair(size, figure.width, figure.height))
            return false;
        figure.startAngle = ParseInt(child.GetAttribute(L"startAngle"));
        figure.sweepAngle = ParseInt(child.GetAttribute(L"sweepAngle"));
        break;
    }
    default:
        break;
    }
    m_figures.push_back(std::move(figure));
    return true;
}

std::vector<PathItem> PathPainter::DrawableItems() const
{
    std::vector<PathItem> items;
    for (const PathFigure& figure : m_figures) {
        if (figure.type < kFigureLines || figure.type > kFigurePolygon)
            continue;
        PathItem item;
        item.kind = figure.type;
        item.points = figure.points;
        item.relative = figure.relativePoints;
        items.push_back(std::move(item));
    }
    return items;
}

void PathPainter::Paint(const RECTF& dirty, const RECTF& box)
{
    if (!HasCore())
        return;
    ElementBox elementBox = ComputeElementBox(box);
    // Paths are laid on whole pixels.
    elementBox.x = std::trunc(elementBox.x);
    elementBox.y = std::trunc(elementBox.y);
    elementBox.width = std::trunc(elementBox.width);
    elementBox.height = std::trunc(elementBox.height);

    m_currentColor = m_color;
    ApplyPosBinding(elementBox, FarEdges::kRefused);
    TakeBoundSize();
    ApplyColorBindings();
    ApplyStyleColorValues();
    const RECTF rect = Padded(elementBox, m_padding);
    RememberGeometry(elementBox, rect, m_padding);

    PropertyValue animated;
    m_owner->GetStyleValue(animated, m_elementKey.c_str(), L"pensize");
    const int penWidth = animated.found ? static_cast<int>(animated.value) : static_cast<int>(m_penSize);
    m_currentPenSize = penWidth;

    RenderTarget* target = Target();
    if (!target)
        return;
    const std::vector<PathItem> items = DrawableItems();
    if (m_fillMode == kShapeFill)
        target->FillPath(rect, items, PaintStops(), PaintDirection());
    else
        target->DrawPath(rect, items, static_cast<float>(penWidth), m_currentColor, m_dashStyle);
    (void)dirty;
}

} // namespace ui

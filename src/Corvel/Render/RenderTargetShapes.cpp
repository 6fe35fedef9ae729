// The vector half of the render target: brushes and their caches, filled
// and stroked shapes, lines, arcs and point paths, and the free functions
// that build their geometries, stroke styles and offscreen shape bitmaps.
#include "Corvel/Render/RenderTarget.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Render/Effects.h"
#include "Corvel/Render/LayerBlur.h"

using Microsoft::WRL::ComPtr;

namespace ui {

namespace {

constexpr uint32_t kFnvOffsetBasis = 0x811C9DC5u;
constexpr uint32_t kFnvPrime = 16777619u;
constexpr float kPi = 3.14159265358979f;
constexpr float kRadiansPerDegree = kPi / 180.0f;
// Longest arc one cubic Bézier segment stands for (error below 0.03 %).
constexpr float kMaxArcSegmentDegrees = 90.0f;
constexpr float kFullTurnDegrees = 360.0f;
// Direction components smaller than this leave their axis unbounded.
constexpr float kAxisEpsilon = 1e-6f;
// Added before truncating gradient points, so a corner computed as
// 0.99999994 is still 1 while the box centre 0.5 stays 0.
constexpr float kTruncateEpsilon = 1e-4f;
// Miter limit of every stroke style made here.
constexpr float kMiterLimit = 10.0f;
// The dash pattern of the custom dash style, in pen widths.
constexpr float kCustomDashes[] = {1.0f, 2.0f, 2.0f, 3.0f, 2.0f, 2.0f};

D2D1_RECT_F ToD2D(const RECTF& r)
{
    return D2D1::RectF(r.left, r.top, r.right, r.bottom);
}

D2D1_COLOR_F ToD2D(const Color& c)
{
    return D2D1::ColorF(c.r, c.g, c.b, c.a);
}

bool RoundedCorners(const CornerSize* corner)
{
    return corner && (corner->width != 0.0f || corner->height != 0.0f);
}

// Linear gradient over a (width x height) box from the direction's start to
// its end point; stops spaced evenly unless they carry a position.
HRESULT MakeLinearGradient(ID2D1RenderTarget* target, float width, float height, const GradientStops& stops,
                           const GradientDirection& dir, ID2D1LinearGradientBrush** out)
{
    std::vector<D2D1_GRADIENT_STOP> d2dStops(stops.size());
    const float last = static_cast<float>(stops.size() - 1);
    for (size_t i = 0; i < stops.size(); ++i) {
        const float own = GradientStopPosition(stops[i]);
        d2dStops[i].position = own != 0.0f ? own : static_cast<float>(i) / last;
        d2dStops[i].color = ToD2D(stops[i]);
    }
    ComPtr<ID2D1GradientStopCollection> collection;
    HRESULT hr = target->CreateGradientStopCollection(d2dStops.data(), static_cast<UINT32>(d2dStops.size()),
                                                      D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP,
                                                      collection.GetAddressOf());
    if (FAILED(hr))
        return hr;
    const D2D1_LINEAR_GRADIENT_BRUSH_PROPERTIES props = D2D1::LinearGradientBrushProperties(
        D2D1::Point2F(static_cast<float>(dir.x0) * width, static_cast<float>(dir.y0) * height),
        D2D1::Point2F(static_cast<float>(dir.x1) * width, static_cast<float>(dir.y1) * height));
    return target->CreateLinearGradientBrush(props, collection.Get(), out);
}

std::string GradientKey(const RECTF& rect, const GradientStops& stops, const GradientDirection& dir)
{
    char part[64];
    std::snprintf(part, sizeof(part), "%d,%d,%d,%d;%f;%f", dir.x0, dir.y0, dir.x1, dir.y1, rect.Height(),
                  rect.Width());
    std::string key = part;
    for (const Color& c : stops) {
        std::snprintf(part, sizeof(part), ";%f:%u", GradientStopPosition(c), c.ToArgb());
        key += part;
    }
    return key;
}

// Fills (penWidth < 0) or strokes rect on any target: square, every corner
// rounded, or only the chosen corners.
void DrawShapeGeometry(ID2D1RenderTarget* target, const RECTF& rect, ID2D1Brush* brush, const CornerSize* corner,
                       const CornerSwitches* switches, float penWidth, ID2D1StrokeStyle* stroke)
{
    const bool fill = penWidth < 0.0f;
    if (!RoundedCorners(corner)) {
        if (fill)
            target->FillRectangle(ToD2D(rect), brush);
        else
            target->DrawRectangle(ToD2D(rect), brush, penWidth, stroke);
        return;
    }
    if (switches && !switches->All()) {
        ComPtr<ID2D1PathGeometry> path =
            RoundedRectPath(UiGlobals().d2dFactory, rect, corner->width, corner->height, switches->topLeft,
                            switches->topRight, switches->bottomRight, switches->bottomLeft);
        if (!path)
            return;
        if (fill)
            target->FillGeometry(path.Get(), brush);
        else
            target->DrawGeometry(path.Get(), brush, penWidth, stroke);
        return;
    }
    const D2D1_ROUNDED_RECT rounded = D2D1::RoundedRect(ToD2D(rect), corner->width / 2.0f, corner->height / 2.0f);
    if (fill)
        target->FillRoundedRectangle(rounded, brush);
    else
        target->DrawRoundedRectangle(rounded, brush, penWidth, stroke);
}

D2D1_POINT_2F MapPathPoint(const RECTF& rect, const POINT& p, bool relative)
{
    if (relative)
        return D2D1::Point2F(rect.left + rect.Width() * static_cast<float>(p.x) / 100.0f,
                             rect.top + rect.Height() * static_cast<float>(p.y) / 100.0f);
    return D2D1::Point2F(rect.left + static_cast<float>(p.x), rect.top + static_cast<float>(p.y));
}

// One closed polyline figure per item of a known kind with two or more
// points. Curves and Béziers go through their points as polylines too.
ComPtr<ID2D1PathGeometry> BuildPolylinePath(const RECTF& rect, const std::vector<PathItem>& items)
{
    ComPtr<ID2D1PathGeometry> path;
    ComPtr<ID2D1GeometrySink> sink;
    ID2D1Factory* factory = UiGlobals().d2dFactory;
    if (!factory || FAILED(factory->CreatePathGeometry(path.GetAddressOf())) ||
        FAILED(path->Open(sink.GetAddressOf())))
        return nullptr;
    std::vector<D2D1_POINT_2F> points;
    for (const PathItem& item : items) {
        if (item.kind < kPathLines || item.kind > kPathPolygon || item.points.size() < 2)
            continue;
        points.clear();
        for (const POINT& p : item.points)
            points.push_back(MapPathPoint(rect, p, item.relative));
        sink->BeginFigure(points.front(), D2D1_FIGURE_BEGIN_FILLED);
        sink->AddLines(points.data(), static_cast<UINT32>(points.size()));
        sink->EndFigure(D2D1_FIGURE_END_CLOSED);
    }
    if (FAILED(sink->Close()))
        return nullptr;
    return path;
}

// Tangent of the arc's ellipse at `radians` (derivative of ArcPoint).
D2D1_POINT_2F ArcTangent(float rx, float ry, float radians)
{
    return D2D1::Point2F(-std::sin(radians) * rx, std::cos(radians) * ry);
}

} // namespace

// ------------------------------------------------------------------ hashes

uint32_t Fnv1a(const void* data, size_t size)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    uint32_t h = kFnvOffsetBasis;
    for (size_t i = 0; i < size; ++i) {
        h ^= p[i];
        h *= kFnvPrime;
    }
    return h;
}

size_t SolidBrushKeyHash::operator()(uint32_t key) const
{
    const unsigned char bytes[4] = {static_cast<unsigned char>(key), static_cast<unsigned char>(key >> 8),
                                    static_cast<unsigned char>(key >> 16), static_cast<unsigned char>(key >> 24)};
    return Fnv1a(bytes, sizeof(bytes));
}

size_t GradientBrushKeyHash::operator()(const std::string& key) const
{
    return Fnv1a(key.data(), key.size());
}

// ------------------------------------------------------------ free helpers

D2D1_POINT_2F ArcPoint(const RECTF& rect, float angle)
{
    const float rx = rect.Width() / 2.0f, ry = rect.Height() / 2.0f;
    const float a = angle * kRadiansPerDegree;
    return D2D1::Point2F(rect.left + rx + std::cos(a) * rx, rect.top + ry + std::sin(a) * ry);
}

ComPtr<ID2D1PathGeometry> ArcPath(ID2D1Factory* factory, float startAngle, float sweep, const RECTF& rect)
{
    // Direct2D's own arc segment is not drawn by every implementation (Wine
    // drops it when stroked) and cannot express a whole turn, whose start
    // and end coincide: the arc is cut into cubic Béziers instead.
    if (!factory || sweep == 0.0f)
        return nullptr;
    const float total = std::max(-kFullTurnDegrees, std::min(kFullTurnDegrees, sweep));
    const int segments = static_cast<int>(std::ceil(std::fabs(total) / kMaxArcSegmentDegrees));
    const float step = total / static_cast<float>(segments) * kRadiansPerDegree;
    // Control-point length of a cubic matching an arc of `step` radians.
    const float k = 4.0f / 3.0f * std::tan(step / 4.0f);
    const float rx = rect.Width() / 2.0f, ry = rect.Height() / 2.0f;

    ComPtr<ID2D1PathGeometry> path;
    ComPtr<ID2D1GeometrySink> sink;
    if (FAILED(factory->CreatePathGeometry(path.GetAddressOf())) || FAILED(path->Open(sink.GetAddressOf())))
        return nullptr;
    D2D1_POINT_2F from = ArcPoint(rect, startAngle);
    sink->BeginFigure(from, D2D1_FIGURE_BEGIN_FILLED);
    float a0 = startAngle * kRadiansPerDegree;
    for (int i = 0; i < segments; ++i) {
        const float a1 = a0 + step;
        const D2D1_POINT_2F to = ArcPoint(rect, a1 / kRadiansPerDegree);
        const D2D1_POINT_2F t0 = ArcTangent(rx, ry, a0), t1 = ArcTangent(rx, ry, a1);
        D2D1_BEZIER_SEGMENT seg;
        seg.point1 = D2D1::Point2F(from.x + k * t0.x, from.y + k * t0.y);
        seg.point2 = D2D1::Point2F(to.x - k * t1.x, to.y - k * t1.y);
        seg.point3 = to;
        sink->AddBezier(seg);
        from = to;
        a0 = a1;
    }
    sink->EndFigure(D2D1_FIGURE_END_OPEN);
    if (FAILED(sink->Close()))
        return nullptr;
    return path;
}

ComPtr<ID2D1StrokeStyle> CreateDashStrokeStyle(int dashStyle)
{
    ComPtr<ID2D1StrokeStyle> style;
    ID2D1Factory* factory = UiGlobals().d2dFactory;
    if (dashStyle <= kDashSolid || dashStyle > kDashCustom || !factory)
        return style;
    const D2D1_STROKE_STYLE_PROPERTIES props = D2D1::StrokeStyleProperties(
        D2D1_CAP_STYLE_FLAT, D2D1_CAP_STYLE_FLAT, D2D1_CAP_STYLE_ROUND, D2D1_LINE_JOIN_MITER, kMiterLimit,
        static_cast<D2D1_DASH_STYLE>(dashStyle), 0.0f);
    const bool custom = dashStyle == kDashCustom;
    if (FAILED(factory->CreateStrokeStyle(props, custom ? kCustomDashes : nullptr,
                                          custom ? static_cast<UINT32>(std::size(kCustomDashes)) : 0,
                                          style.GetAddressOf())))
        return nullptr;
    return style;
}

ComPtr<ID2D1Brush> CreateShapeBrush(ID2D1RenderTarget* target, const RECTF& rect, const GradientStops& stops,
                                    const GradientDirection* direction)
{
    ComPtr<ID2D1Brush> brush;
    if (!target || stops.empty())
        return brush;
    if (stops.size() < 2) {
        ComPtr<ID2D1SolidColorBrush> solid;
        if (SUCCEEDED(target->CreateSolidColorBrush(ToD2D(stops[0]), solid.GetAddressOf())))
            brush = solid;
    } else {
        ComPtr<ID2D1LinearGradientBrush> gradient;
        if (SUCCEEDED(MakeLinearGradient(target, rect.Width(), rect.Height(), stops,
                                         direction ? *direction : GradientDirection(), gradient.GetAddressOf())))
            brush = gradient;
    }
    if (brush)
        brush->SetTransform(D2D1::Matrix3x2F::Translation(rect.left, rect.top));
    return brush;
}

void PaintShapeInto(ID2D1RenderTarget* target, const GradientStops& stops, float width, float height,
                    const GradientDirection* direction, float penWidth, ID2D1StrokeStyle* stroke,
                    const RECTF* shapeRect, const CornerSize* corner, const CornerSwitches* switches)
{
    if (!target)
        return;
    const RECTF shape = shapeRect ? *shapeRect : RECTF(0.0f, 0.0f, width, height);
    ComPtr<ID2D1Brush> brush = CreateShapeBrush(target, shape, stops, direction);
    if (brush)
        DrawShapeGeometry(target, shape, brush.Get(), corner, switches, penWidth, stroke);
}

ComPtr<ID2D1Bitmap> RenderShapeBitmap(ID2D1RenderTarget* target, const GradientStops& stops, float width,
                                      float height, const GradientDirection* direction, float penWidth,
                                      ID2D1StrokeStyle* stroke, const RECTF* shapeRect, const CornerSize* corner,
                                      const CornerSwitches* switches)
{
    ComPtr<ID2D1Bitmap> bitmap;
    ComPtr<ID2D1BitmapRenderTarget> offscreen;
    const D2D1_SIZE_F size = D2D1::SizeF(width, height);
    if (!target || !(width > 0.0f) || !(height > 0.0f) ||
        FAILED(target->CreateCompatibleRenderTarget(&size, nullptr, nullptr, D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_NONE,
                                                    offscreen.GetAddressOf())))
        return bitmap;
    offscreen->BeginDraw();
    offscreen->Clear(D2D1::ColorF(0, 0.0f));
    PaintShapeInto(offscreen.Get(), stops, width, height, direction, penWidth, stroke, shapeRect, corner, switches);
    if (FAILED(offscreen->EndDraw()) || FAILED(offscreen->GetBitmap(bitmap.GetAddressOf())))
        return nullptr;
    return bitmap;
}

ComPtr<ID2D1Bitmap> ScaleBitmap(ID2D1RenderTarget* target, ID2D1Bitmap* bitmap, const RECTF& source,
                                const RECTF& destination)
{
    ComPtr<ID2D1Bitmap> scaled;
    ComPtr<ID2D1BitmapRenderTarget> offscreen;
    const D2D1_SIZE_F size = D2D1::SizeF(destination.Width(), destination.Height());
    if (!target || !bitmap || !(size.width > 0.0f) || !(size.height > 0.0f) ||
        FAILED(target->CreateCompatibleRenderTarget(&size, nullptr, nullptr, D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_NONE,
                                                    offscreen.GetAddressOf())))
        return scaled;
    offscreen->BeginDraw();
    offscreen->Clear(D2D1::ColorF(0, 0.0f));
    const D2D1_RECT_F src = ToD2D(source);
    offscreen->DrawBitmap(bitmap, D2D1::RectF(0.0f, 0.0f, size.width, size.height), 1.0f,
                          D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, &src);
    if (FAILED(offscreen->EndDraw()) || FAILED(offscreen->GetBitmap(scaled.GetAddressOf())))
        return nullptr;
    return scaled;
}

void GradientPointsFromAngle(GradientDirection& out, float angle)
{
    const float theta = (90.0f - angle) * kRadiansPerDegree;
    const float dx = std::cos(theta), dy = -std::sin(theta);
    float lower = -HUGE_VALF, upper = HUGE_VALF;
    for (float component : {dx, dy}) {
        if (std::fabs(component) <= kAxisEpsilon)
            continue;
        const float a = -0.5f / component, b = 0.5f / component;
        lower = std::max(lower, std::min(a, b));
        upper = std::min(upper, std::max(a, b));
    }
    auto truncate = [](float v) { return static_cast<int>(v + kTruncateEpsilon); };
    out.x0 = truncate(0.5f + lower * dx);
    out.y0 = truncate(0.5f + lower * dy);
    out.x1 = truncate(0.5f + upper * dx);
    out.y1 = truncate(0.5f + upper * dy);
}

// ------------------------------------------------------------------ brushes

ID2D1Brush* RenderTarget::GetBrush(const RECTF& rect, const GradientStops& stops, const GradientDirection* direction)
{
    if (!m_target || stops.empty())
        return nullptr;
    if (stops.size() == 1)
        return GetSolidBrush(stops[0]);
    const GradientDirection dir = direction ? *direction : GradientDirection();
    const std::string key = GradientKey(rect, stops, dir);
    ID2D1LinearGradientBrush* brush = nullptr;
    auto it = m_gradientBrushes.find(key);
    if (it != m_gradientBrushes.end()) {
        brush = it->second;
    } else {
        if (FAILED(MakeLinearGradient(m_target, rect.Width(), rect.Height(), stops, dir, &brush)) || !brush)
            return nullptr;
        m_gradientBrushes.emplace(key, brush);
    }
    // The cached gradient is laid out from (0, 0); one brush serves every
    // rectangle of its size.
    brush->SetTransform(D2D1::Matrix3x2F::Translation(rect.left, rect.top));
    return brush;
}

// ------------------------------------------------------------------ shapes

void RenderTarget::FillShape(const RECTF& rect, const GradientStops& stops, const GradientDirection* direction,
                             const CornerSize* corner, const CornerSwitches* switches, const BlurParams* blur)
{
    if (!m_target || rect.IsEmpty())
        return;
    if (blur && blur->deviation > 0.0f) {
        DrawBlurredShape(rect, stops, direction, -1.0f, nullptr, corner, switches, *blur);
        return;
    }
    if (ID2D1Brush* brush = GetBrush(rect, stops, direction))
        DrawShapeGeometry(m_target, rect, brush, corner, switches, -1.0f, nullptr);
}

void RenderTarget::DrawShape(const RECTF& rect, const GradientStops& stops, const GradientDirection* direction,
                             const CornerSize* corner, const CornerSwitches* switches, int dashStyle,
                             const BlurParams* blur, float penWidth)
{
    if (!m_target || rect.IsEmpty() || penWidth < 0.0f)
        return;
    ComPtr<ID2D1StrokeStyle> stroke = CreateDashStrokeStyle(dashStyle);
    if (blur && blur->deviation > 0.0f) {
        DrawBlurredShape(rect, stops, direction, penWidth, stroke.Get(), corner, switches, *blur);
        return;
    }
    if (ID2D1Brush* brush = GetBrush(rect, stops, direction))
        DrawShapeGeometry(m_target, rect, brush, corner, switches, penWidth, stroke.Get());
}

void RenderTarget::DrawBlurredShape(const RECTF& rect, const GradientStops& stops, const GradientDirection* direction,
                                    float penWidth, ID2D1StrokeStyle* stroke, const CornerSize* corner,
                                    const CornerSwitches* switches, const BlurParams& blur)
{
    const float width = rect.Width(), height = rect.Height();
    if (m_deviceContext && EffectAvailable(m_deviceContext, EffectKind::GaussianBlur)) {
        ComPtr<ID2D1Bitmap> shape = RenderShapeBitmap(m_target, stops, width, height, direction, penWidth, stroke,
                                                      nullptr, corner, switches);
        BlurEffect effect(blur);
        if (ID2D1Effect* blurred = shape ? effect.CreateEffect(m_deviceContext, shape.Get()) : nullptr) {
            const D2D1_POINT_2F at = D2D1::Point2F(rect.left, rect.top);
            m_deviceContext->DrawImage(blurred, &at, nullptr, D2D1_INTERPOLATION_MODE_LINEAR,
                                       D2D1_COMPOSITE_MODE_SOURCE_OVER);
        }
        return;
    }
    // Wine has no Gaussian blur effect: the shape is rasterised and blurred
    // on the CPU with the layers' box blur, then drawn as a bitmap.
    const bool hard = blur.border != 0;
    const int pad = hard ? 0 : SoftBlurPadding(blur.deviation);
    PixelBuffer pixels;
    if (!RasterizeShapeOnCpu(stops, width, height, direction, penWidth, stroke, nullptr, corner, switches, pad,
                             pixels))
        return;
    BoxBlurPremultiplied(pixels.data.data(), pixels.width, pixels.height, blur.deviation, hard);
    DrawPixelsAt(m_target, pixels, rect.left - static_cast<float>(pad), rect.top - static_cast<float>(pad), 1.0f);
}

void RenderTarget::DrawLine(const RECTF& points, const GradientStops& stops, const GradientDirection* direction,
                            int dashStyle, float penWidth)
{
    if (!m_target)
        return;
    ID2D1Brush* brush = GetBrush(points, stops, direction);
    if (!brush)
        return;
    ComPtr<ID2D1StrokeStyle> stroke = CreateDashStrokeStyle(dashStyle);
    m_target->DrawLine(D2D1::Point2F(points.left, points.top), D2D1::Point2F(points.right, points.bottom), brush,
                       penWidth, stroke.Get());
}

void RenderTarget::DrawArc(float startAngle, float sweep, const RECTF& rect, float penWidth, const Color& first,
                           const Color& second)
{
    ID2D1Factory* factory = UiGlobals().d2dFactory;
    if (!m_target || !factory || rect.IsEmpty())
        return;
    ComPtr<ID2D1PathGeometry> arc = ArcPath(factory, startAngle, sweep, rect);
    if (!arc)
        return;

    ComPtr<ID2D1Brush> gradient;
    if (second.ToArgb() != 0) {
        const D2D1_GRADIENT_STOP stops[2] = {{0.0f, ToD2D(second)}, {1.0f, ToD2D(first)}};
        ComPtr<ID2D1GradientStopCollection> collection;
        ComPtr<ID2D1LinearGradientBrush> brush;
        if (SUCCEEDED(m_target->CreateGradientStopCollection(stops, 2, D2D1_GAMMA_2_2, D2D1_EXTEND_MODE_CLAMP,
                                                             collection.GetAddressOf())) &&
            SUCCEEDED(m_target->CreateLinearGradientBrush(
                D2D1::LinearGradientBrushProperties(ArcPoint(rect, startAngle), ArcPoint(rect, startAngle + sweep)),
                collection.Get(), brush.GetAddressOf())))
            gradient = brush;
    }
    ID2D1Brush* brush = gradient ? gradient.Get() : GetSolidBrush(first);
    if (!brush)
        return;
    ComPtr<ID2D1StrokeStyle> stroke;
    const D2D1_STROKE_STYLE_PROPERTIES props =
        D2D1::StrokeStyleProperties(D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND, D2D1_CAP_STYLE_ROUND,
                                    D2D1_LINE_JOIN_MITER, kMiterLimit, D2D1_DASH_STYLE_SOLID, 0.0f);
    factory->CreateStrokeStyle(props, nullptr, 0, stroke.GetAddressOf());
    m_target->DrawGeometry(arc.Get(), brush, penWidth, stroke.Get());
}

// ------------------------------------------------------------------- paths

void RenderTarget::DrawPath(const RECTF& rect, const std::vector<PathItem>& items, float penWidth,
                            const Color& color, int dashStyle)
{
    if (!m_target)
        return;
    ID2D1SolidColorBrush* brush = GetSolidBrush(color);
    ComPtr<ID2D1PathGeometry> path = BuildPolylinePath(rect, items);
    if (!brush || !path)
        return;
    ComPtr<ID2D1StrokeStyle> stroke = CreateDashStrokeStyle(dashStyle);
    m_target->DrawGeometry(path.Get(), brush, penWidth, stroke.Get());
}

void RenderTarget::FillPath(const RECTF& rect, const std::vector<PathItem>& items, const GradientStops& stops,
                            const GradientDirection* direction)
{
    if (!m_target)
        return;
    // Every kind fills the polygon through its points, as DrawPath strokes
    // it, so a "polygon" or "curve" item is not an empty figure.
    ID2D1Brush* brush = GetBrush(rect, stops, direction);
    ComPtr<ID2D1PathGeometry> path = BuildPolylinePath(rect, items);
    if (brush && path)
        m_target->FillGeometry(path.Get(), brush);
}

} // namespace ui

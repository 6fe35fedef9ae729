#include "Corvel/Render/RoundedRectPath.h"

#include <algorithm>

#include "Corvel/Core/UiGlobals.h"

namespace ui {

namespace {
// Control-point distance of a cubic that best matches a quarter circle.
constexpr float kKappa = 0.5522847498f;
}

void AddCornerArc(ID2D1GeometrySink* sink, D2D1_POINT_2F from, D2D1_POINT_2F corner, D2D1_POINT_2F to)
{
    D2D1_BEZIER_SEGMENT seg;
    seg.point1 = D2D1::Point2F(from.x + (corner.x - from.x) * kKappa, from.y + (corner.y - from.y) * kKappa);
    seg.point2 = D2D1::Point2F(to.x + (corner.x - to.x) * kKappa, to.y + (corner.y - to.y) * kKappa);
    seg.point3 = to;
    sink->AddBezier(seg);
}

Microsoft::WRL::ComPtr<ID2D1PathGeometry> RoundedRectPath(ID2D1Factory* factory, const RECTF& rect,
                                                          float cornerWidth, float cornerHeight, int topLeft,
                                                          int topRight, int bottomRight, int bottomLeft)
{
    Microsoft::WRL::ComPtr<ID2D1PathGeometry> path;
    if (!factory)
        return path;
    const float w = rect.right - rect.left;
    const float h = rect.bottom - rect.top;
    // Radii beyond half the side would make neighbouring corners overlap.
    const float rx = std::max(0.0f, std::min(w / 2.0f, cornerWidth / 2.0f));
    const float ry = std::max(0.0f, std::min(h / 2.0f, cornerHeight / 2.0f));

    Microsoft::WRL::ComPtr<ID2D1GeometrySink> sink;
    if (FAILED(factory->CreatePathGeometry(path.ReleaseAndGetAddressOf())) || !path ||
        FAILED(path->Open(sink.GetAddressOf())) || !sink)
        return nullptr;
    const float l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
    const bool round = rx > 0 && ry > 0;
    sink->SetFillMode(D2D1_FILL_MODE_WINDING);
    sink->BeginFigure(D2D1::Point2F(l + w / 2.0f, t), D2D1_FIGURE_BEGIN_FILLED);

    // Top edge, then each corner clockwise.
    sink->AddLine(D2D1::Point2F(r - (topRight ? rx : 0.0f), t));
    if (topRight && round)
        AddCornerArc(sink.Get(), D2D1::Point2F(r - rx, t), D2D1::Point2F(r, t), D2D1::Point2F(r, t + ry));
    else
        sink->AddLine(D2D1::Point2F(r, t));

    sink->AddLine(D2D1::Point2F(r, b - (bottomRight ? ry : 0.0f)));
    if (bottomRight && round)
        AddCornerArc(sink.Get(), D2D1::Point2F(r, b - ry), D2D1::Point2F(r, b), D2D1::Point2F(r - rx, b));
    else
        sink->AddLine(D2D1::Point2F(r, b));

    sink->AddLine(D2D1::Point2F(l + (bottomLeft ? rx : 0.0f), b));
    if (bottomLeft && round)
        AddCornerArc(sink.Get(), D2D1::Point2F(l + rx, b), D2D1::Point2F(l, b), D2D1::Point2F(l, b - ry));
    else
        sink->AddLine(D2D1::Point2F(l, b));

    sink->AddLine(D2D1::Point2F(l, t + (topLeft ? ry : 0.0f)));
    if (topLeft && round)
        AddCornerArc(sink.Get(), D2D1::Point2F(l, t + ry), D2D1::Point2F(l, t), D2D1::Point2F(l + rx, t));
    else
        sink->AddLine(D2D1::Point2F(l, t));

    sink->EndFigure(D2D1_FIGURE_END_CLOSED);
    if (FAILED(sink->Close()))
        return nullptr;
    return path;
}

} // namespace ui

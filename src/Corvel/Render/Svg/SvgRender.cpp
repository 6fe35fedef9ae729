#include "Corvel/Render/Svg/SvgRender.h"

#include <windows.h>
#include <d2d1.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <cmath>
#include <new>

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Render/Svg/SvgStroke.h"

namespace ui {
namespace svg {
namespace {

using Microsoft::WRL::ComPtr;

// Opacity layers cost a bitmap of the whole picture each; below this many
// nested ones, further group opacity is folded into the paint of the shapes
// (exact for shapes that do not overlap).
constexpr int kMaxNestedLayers = 8;
// A shape reaching further than this from the origin, in device pixels, is
// skipped: nothing of it could be meant for the picture, and Direct2D's
// flattening work grows with the size.
constexpr float kMaxDeviceCoordinate = 1e6f;
// How far, in device pixels, the lines that follow a curved stroke may stray
// from the curve.
constexpr double kCurveTolerance = 0.1;
// The format's px are device pixels at this resolution.
constexpr float kDpi = 96.0f;

struct Factories {
    ComPtr<ID2D1Factory> d2d;
    ComPtr<IWICImagingFactory> wic;
};

// The UI library's factories while it runs, else factories of our own.
bool AcquireFactories(Factories& f)
{
    const UiProcessGlobals& g = UiGlobals();
    if (g.started && g.d2dFactory && g.wicFactory) {
        f.d2d = g.d2dFactory;
        f.wic = g.wicFactory;
        return true;
    }
    D2D1_FACTORY_OPTIONS options{};
    if (FAILED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), &options,
                                 reinterpret_cast<void**>(f.d2d.GetAddressOf()))))
        return false;
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_PPV_ARGS(f.wic.GetAddressOf())));
}

D2D1_MATRIX_3X2_F ToD2D(const Matrix& m)
{
    return D2D1::Matrix3x2F(static_cast<float>(m.a), static_cast<float>(m.b), static_cast<float>(m.c),
                            static_cast<float>(m.d), static_cast<float>(m.e), static_cast<float>(m.f));
}

D2D1_POINT_2F ToD2D(Point p)
{
    return D2D1::Point2F(p.x, p.y);
}

D2D1_COLOR_F ColorOf(uint32_t argb, float alpha)
{
    return D2D1::ColorF(static_cast<float>((argb >> 16) & 0xFF) / 255.0f, static_cast<float>((argb >> 8) & 0xFF) / 255.0f,
                        static_cast<float>(argb & 0xFF) / 255.0f, alpha);
}

// The paint's own alpha times `factor`; 0 for no paint.
float PaintAlpha(const Paint& paint, float factor)
{
    if (paint.kind != PaintKind::Color)
        return 0.0f;
    return static_cast<float>(paint.argb >> 24) / 255.0f * factor;
}

bool WithinDevice(Point p)
{
    return std::isfinite(p.x) && std::isfinite(p.y) && std::fabs(p.x) <= kMaxDeviceCoordinate &&
           std::fabs(p.y) <= kMaxDeviceCoordinate;
}

bool HasVisibleFill(const ComputedStyle& s)
{
    return PaintAlpha(s.fill, s.fillOpacity) > 0.0f;
}

bool HasVisibleStroke(const ComputedStyle& s)
{
    return s.strokeWidth > 0.0f && PaintAlpha(s.stroke, s.strokeOpacity) > 0.0f;
}

// The path's figures into a geometry sink. A figure begins at its first
// segment, so lone start points add nothing.
void WriteFigures(const Path& path, ID2D1GeometrySink* sink)
{
    const std::vector<Point>& points = path.Points();
    size_t p = 0;
    Point start;
    bool open = false;
    auto begin = [&]() {
        if (!open)
            sink->BeginFigure(ToD2D(start), D2D1_FIGURE_BEGIN_FILLED);
        open = true;
    };
    for (PathVerb verb : path.Verbs()) {
        switch (verb) {
        case PathVerb::Move:
            if (open)
                sink->EndFigure(D2D1_FIGURE_END_OPEN);
            open = false;
            start = points[p++];
            break;
        case PathVerb::Line:
            begin();
            sink->AddLine(ToD2D(points[p++]));
            break;
        case PathVerb::Cubic:
            begin();
            sink->AddBezier(D2D1::BezierSegment(ToD2D(points[p]), ToD2D(points[p + 1]), ToD2D(points[p + 2])));
            p += 3;
            break;
        case PathVerb::Close:
            if (open)
                sink->EndFigure(D2D1_FIGURE_END_CLOSED);
            open = false;
            break;
        }
    }
    if (open)
        sink->EndFigure(D2D1_FIGURE_END_OPEN);
}

// Walks the node tree and draws it. Recursion follows the document's
// nesting, which the XML reader caps (XmlLimits::kMaxDepth).
class Renderer {
public:
    Renderer(const Document& document, ID2D1Factory* factory) : m_nodes(document.Nodes()), m_factory(factory) {}

    // `alpha` multiplies every paint (group opacity folded in); `layers` is
    // how many opacity layers are open around this node.
    void DrawNode(int index, const Matrix& parentCtm, ID2D1RenderTarget* target, float alpha, int layers);

private:
    void DrawContent(const Node& node, const Matrix& ctm, const Matrix& parentCtm, ID2D1RenderTarget* target,
                     float alpha, int layers);
    void DrawInLayer(const Node& node, const Matrix& ctm, const Matrix& parentCtm, ID2D1RenderTarget* target,
                     float opacity, int layers);
    void DrawShape(const Node& node, const Matrix& ctm, ID2D1RenderTarget* target, float alpha);
    ComPtr<ID2D1PathGeometry> BuildGeometry(const Path& path, FillRule rule) const;
    void FillPath(const Path& path, FillRule rule, const D2D1_COLOR_F& color, const Matrix& ctm,
                  ID2D1RenderTarget* target);
    bool NeedsLayer(const Node& node) const;

    // The layer bitmap for groups inside `depth` open layers, made on first
    // use from the target it is drawn into; null when it cannot be made.
    ID2D1BitmapRenderTarget* LayerTarget(ID2D1RenderTarget* parent, int depth);

    const std::vector<Node>& m_nodes;
    ID2D1Factory* m_factory;  // borrowed
    std::vector<ComPtr<ID2D1BitmapRenderTarget>> m_layers;
};

bool Renderer::NeedsLayer(const Node& node) const
{
    if (node.kind == NodeKind::Shape)
        return HasVisibleFill(node.style) && HasVisibleStroke(node.style);
    return node.firstChild >= 0;
}

void Renderer::DrawNode(int index, const Matrix& parentCtm, ID2D1RenderTarget* target, float alpha, int layers)
{
    const Node& node = m_nodes[static_cast<size_t>(index)];
    const ComputedStyle& s = node.style;
    if (!s.displayed || !(s.opacity > 0.0f))
        return;
    const Matrix ctm = parentCtm * node.transform;
    if (!ctm.IsUsable())
        return;
    if (s.opacity < 1.0f && layers < kMaxNestedLayers && NeedsLayer(node))
        DrawInLayer(node, ctm, parentCtm, target, s.opacity * alpha, layers);
    else
        DrawContent(node, ctm, parentCtm, target, alpha * s.opacity, layers);
}

void Renderer::DrawContent(const Node& node, const Matrix& ctm, const Matrix& parentCtm, ID2D1RenderTarget* target,
                           float alpha, int layers)
{
    if (node.kind == NodeKind::Shape) {
        DrawShape(node, ctm, target, alpha);
        return;
    }
    if (node.clips) {
        target->SetTransform(ToD2D(parentCtm));
        target->PushAxisAlignedClip(D2D1::RectF(node.clipX, node.clipY, node.clipX + node.clipWidth,
                                                node.clipY + node.clipHeight),
                                    D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    }
    for (int child = node.firstChild; child >= 0; child = m_nodes[static_cast<size_t>(child)].nextSibling)
        DrawNode(child, ctm, target, alpha, layers);
    if (node.clips)
        target->PopAxisAlignedClip();
}

// Group opacity: the content is drawn alone into a transparent bitmap of the
// picture's size, which is then drawn once with the opacity. Layers pushed
// with an opacity would do the same, but Wine ignores their opacity. One
// such bitmap per nesting depth serves every group at that depth in turn.
void Renderer::DrawInLayer(const Node& node, const Matrix& ctm, const Matrix& parentCtm, ID2D1RenderTarget* target,
                           float opacity, int layers)
{
    ID2D1BitmapRenderTarget* layer = LayerTarget(target, layers);
    if (!layer) {
        DrawContent(node, ctm, parentCtm, target, opacity, layers);
        return;
    }
    layer->BeginDraw();
    layer->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 0.0f));
    DrawContent(node, ctm, parentCtm, layer, 1.0f, layers + 1);
    ComPtr<ID2D1Bitmap> bitmap;
    if (FAILED(layer->EndDraw()) || FAILED(layer->GetBitmap(bitmap.GetAddressOf())))
        return;
    const D2D1_SIZE_F size = target->GetSize();
    target->SetTransform(D2D1::Matrix3x2F::Identity());
    target->DrawBitmap(bitmap.Get(), D2D1::RectF(0.0f, 0.0f, size.width, size.height), opacity,
                       D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR);
    // The target may still hold this drawing in its batch: run it before
    // the next group at this depth clears the layer (a failure shows again
    // at EndDraw).
    target->Flush();
}

ID2D1BitmapRenderTarget* Renderer::LayerTarget(ID2D1RenderTarget* parent, int depth)
{
    const size_t index = static_cast<size_t>(depth);
    if (m_layers.size() <= index)
        m_layers.resize(index + 1);
    if (!m_layers[index] && FAILED(parent->CreateCompatibleRenderTarget(m_layers[index].GetAddressOf())))
        return nullptr;
    return m_layers[index].Get();
}

void Renderer::DrawShape(const Node& node, const Matrix& ctm, ID2D1RenderTarget* target, float alpha)
{
    const ComputedStyle& s = node.style;
    Point low;
    Point high;
    if (!s.visible || !node.path.Bounds(ctm, low, high) || !WithinDevice(low) || !WithinDevice(high))
        return;
    const float fillAlpha = PaintAlpha(s.fill, s.fillOpacity * alpha);
    if (fillAlpha > 0.0f)
        FillPath(node.path, s.fillRule, ColorOf(s.fill.argb, fillAlpha), ctm, target);

    const float strokeAlpha = PaintAlpha(s.stroke, s.strokeOpacity * alpha);
    const double scale = ctm.MaxScale();
    if (!(strokeAlpha > 0.0f) || !(s.strokeWidth > 0.0f) || s.strokeWidth * scale > kMaxDeviceCoordinate)
        return;
    // The pen's area is made here and filled (see SvgStroke.h).
    Path outline;
    const Pen pen{s.strokeWidth, s.lineCap, s.lineJoin, s.miterLimit};
    if (StrokeOutline(node.path, pen, static_cast<float>(kCurveTolerance / scale), outline))
        FillPath(outline, FillRule::NonZero, ColorOf(s.stroke.argb, strokeAlpha), ctm, target);
}

void Renderer::FillPath(const Path& path, FillRule rule, const D2D1_COLOR_F& color, const Matrix& ctm,
                        ID2D1RenderTarget* target)
{
    ComPtr<ID2D1PathGeometry> geometry = BuildGeometry(path, rule);
    ComPtr<ID2D1SolidColorBrush> brush;
    if (!geometry || FAILED(target->CreateSolidColorBrush(color, brush.GetAddressOf())))
        return;
    target->SetTransform(ToD2D(ctm));
    target->FillGeometry(geometry.Get(), brush.Get());
}

ComPtr<ID2D1PathGeometry> Renderer::BuildGeometry(const Path& path, FillRule rule) const
{
    ComPtr<ID2D1PathGeometry> geometry;
    ComPtr<ID2D1GeometrySink> sink;
    if (FAILED(m_factory->CreatePathGeometry(geometry.GetAddressOf())) || FAILED(geometry->Open(sink.GetAddressOf())))
        return nullptr;
    sink->SetFillMode(rule == FillRule::EvenOdd ? D2D1_FILL_MODE_ALTERNATE : D2D1_FILL_MODE_WINDING);
    WriteFigures(path, sink.Get());
    if (FAILED(sink->Close()))
        return nullptr;
    return geometry;
}

// A WIC bitmap of the size and a Direct2D target drawing into it.
bool CreateCanvas(const Factories& f, int width, int height, ComPtr<IWICBitmap>& bitmap,
                  ComPtr<ID2D1RenderTarget>& target)
{
    if (FAILED(f.wic->CreateBitmap(static_cast<UINT>(width), static_cast<UINT>(height), GUID_WICPixelFormat32bppPBGRA,
                                   WICBitmapCacheOnLoad, bitmap.GetAddressOf())))
        return false;
    const D2D1_RENDER_TARGET_PROPERTIES props = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED),
        kDpi, kDpi);
    return SUCCEEDED(f.d2d->CreateWicBitmapRenderTarget(bitmap.Get(), props, target.GetAddressOf()));
}

bool CopyOut(IWICBitmap* bitmap, int width, int height, Bitmap& out)
{
    const UINT stride = static_cast<UINT>(width) * 4;
    const UINT bytes = stride * static_cast<UINT>(height);
    try {
        out.pixels.resize(bytes);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (FAILED(bitmap->CopyPixels(nullptr, stride, bytes, out.pixels.data())))
        return false;
    out.width = width;
    out.height = height;
    return true;
}

} // namespace

bool RenderDocument(const Document& document, int width, int height, uint32_t background, Bitmap& out)
{
    Factories factories;
    ComPtr<IWICBitmap> bitmap;
    ComPtr<ID2D1RenderTarget> target;
    if (!AcquireFactories(factories) || !CreateCanvas(factories, width, height, bitmap, target))
        return false;
    target->BeginDraw();
    target->Clear(ColorOf(background, static_cast<float>(background >> 24) / 255.0f));
    if (!document.Nodes().empty())
        Renderer(document, factories.d2d.Get()).DrawNode(0, document.RootTransform(width, height), target.Get(), 1.0f, 0);
    const bool drawn = SUCCEEDED(target->EndDraw());
    target.Reset();
    if (!drawn || !CopyOut(bitmap.Get(), width, height, out)) {
        out = Bitmap();
        return false;
    }
    return true;
}

} // namespace svg
} // namespace ui

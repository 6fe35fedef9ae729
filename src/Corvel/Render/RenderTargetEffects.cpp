// The effect side of the render target: drop and inset shadows, blurred
// backdrops and snapshots of drawn rectangles.
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/DibInfo.h"

#include <objbase.h>
#include <gdiplus.h>

#include <algorithm>
#include <cmath>

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Render/Effects.h"

using Microsoft::WRL::ComPtr;

namespace ui {

namespace {

// Rings of the fallback shadow are one pixel apart and one pixel wide.
constexpr float kRingPenWidth = 1.0f;
// An offset shadow starts this far inside the box beyond the offset, so its
// rings also cover the side the offset uncovers.
constexpr float kRingOffsetMargin = 2.0f;
constexpr BLENDFUNCTION kPerPixelAlphaBlend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};

RECTF Inflated(const RECTF& r, float by)
{
    return RECTF(r.left - by, r.top - by, r.right + by, r.bottom + by);
}

ComPtr<ID2D1Image> OutputOf(ID2D1Effect* effect)
{
    ComPtr<ID2D1Image> image;
    if (effect)
        effect->GetOutput(image.GetAddressOf());
    return image;
}

uint8_t AlphaOf(uint32_t pixel)
{
    return static_cast<uint8_t>(pixel >> 24);
}

// Premultiplied pixel of a colour at a coverage of 0..1.
uint32_t Premultiplied(const Color& c, float coverage)
{
    const float a = std::max(0.0f, std::min(1.0f, coverage * c.a));
    auto channel = [a](float v) { return static_cast<uint32_t>(v * a * 255.0f + 0.5f); };
    return (static_cast<uint32_t>(a * 255.0f + 0.5f) << 24) | (channel(c.r) << 16) | (channel(c.g) << 8) |
           channel(c.b);
}

ComPtr<ID2D1Geometry> CaptureMask(const RECTF& box, const CornerSize* corner, const CornerSwitches* switches)
{
    ComPtr<ID2D1Geometry> mask;
    ID2D1Factory* factory = UiGlobals().d2dFactory;
    if (!factory || !corner || (corner->width == 0.0f && corner->height == 0.0f))
        return mask;
    if (switches && !switches->All()) {
        mask = RoundedRectPath(factory, box, corner->width, corner->height, switches->topLeft, switches->topRight,
                               switches->bottomRight, switches->bottomLeft);
        return mask;
    }
    ComPtr<ID2D1RoundedRectangleGeometry> rounded;
    if (SUCCEEDED(factory->CreateRoundedRectangleGeometry(
            D2D1::RoundedRect(D2D1::RectF(box.left, box.top, box.right, box.bottom), corner->width / 2.0f,
                              corner->height / 2.0f),
            rounded.GetAddressOf())))
        mask = rounded;
    return mask;
}

// What a GDI device context shows of a (width x height) area, blended over
// transparency with per-pixel alpha.
bool ReadDcBlended(HDC source, int width, int height, PixelBuffer& out)
{
    BITMAPINFO bi = Dib32Info(width, -height);
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(source);
    HBITMAP dib = memory ? CreateDIBSection(memory, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    bool ok = false;
    if (dib && bits) {
        HGDIOBJ old = SelectObject(memory, dib);
        ok = AlphaBlend(memory, 0, 0, width, height, source, 0, 0, width, height, kPerPixelAlphaBlend) != FALSE;
        GdiFlush();
        if (ok) {
            const uint32_t* p = static_cast<const uint32_t*>(bits);
            out.width = width;
            out.height = height;
            out.data.assign(p, p + static_cast<size_t>(width) * static_cast<size_t>(height));
        }
        SelectObject(memory, old);
    }
    if (dib)
        DeleteObject(dib);
    if (memory)
        DeleteDC(memory);
    return ok;
}

// The copy drawn through the rounded mask on a GDI-compatible target of its
// size, read back through GDI blended over transparency.
bool ReadMaskedSnapshot(ID2D1RenderTarget* target, ID2D1Bitmap* copy, const CornerSize* corner,
                        const CornerSwitches* switches, PixelBuffer& out)
{
    const D2D1_SIZE_F size = copy->GetSize();
    ComPtr<ID2D1BitmapRenderTarget> capture;
    ComPtr<ID2D1GdiInteropRenderTarget> interop;
    if (FAILED(target->CreateCompatibleRenderTarget(&size, nullptr, nullptr,
                                                    D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_GDI_COMPATIBLE,
                                                    capture.GetAddressOf())) ||
        FAILED(capture.As(&interop)))
        return false;
    ComPtr<ID2D1Geometry> mask = CaptureMask(RECTF(0.0f, 0.0f, size.width, size.height), corner, switches);
    ComPtr<ID2D1Layer> layer;
    capture->BeginDraw();
    capture->Clear(D2D1::ColorF(0, 0.0f));
    if (mask && SUCCEEDED(capture->CreateLayer(nullptr, layer.GetAddressOf())))
        capture->PushLayer(D2D1::LayerParameters(D2D1::InfiniteRect(), mask.Get()), layer.Get());
    capture->DrawBitmap(copy, D2D1::RectF(0.0f, 0.0f, size.width, size.height), 1.0f,
                        D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
    if (layer)
        capture->PopLayer();
    HDC dc = nullptr;
    bool read = false;
    if (SUCCEEDED(interop->GetDC(D2D1_DC_INITIALIZE_MODE_COPY, &dc)) && dc) {
        read = ReadDcBlended(dc, static_cast<int>(size.width), static_cast<int>(size.height), out);
        interop->ReleaseDC(nullptr);
    }
    capture->EndDraw();
    return read;
}

} // namespace

// ------------------------------------------------------------------ shadows

void RenderTarget::DrawShadow(const RECTF& rect, const BoxShadow& shadow, const CornerSize* corner,
                              const CornerSwitches* switches, const D2D1_MATRIX_4X4_F* transform, ID2D1Bitmap* image)
{
    if (m_shadowObserver)
        m_shadowObserver(rect, shadow);
    if (!m_target || rect.IsEmpty())
        return;
    const bool inset = shadow.inset == 1;
    ID2D1DeviceContext* dc = m_deviceContext;
    if (dc && EffectAvailable(dc, EffectKind::Shadow) && (!inset || EffectAvailable(dc, EffectKind::Composite))) {
        if (inset)
            DrawInsetShadowEffect(rect, shadow, corner, switches, image);
        else
            DrawDropShadowEffect(rect, shadow, corner, switches, image);
        return;
    }
    // Wine creates the shadow and composite effects but configures neither,
    // so they draw nothing (and Direct2D 1.0 has no effects): inset shadows
    // are blurred on the CPU, drop shadows drawn as fading rings.
    if (inset)
        DrawInsetShadowOnCpu(rect, shadow, corner, switches);
    else
        DrawShadowRings(rect, shadow, corner, switches);
}

void RenderTarget::DrawDropShadowEffect(const RECTF& rect, const BoxShadow& shadow, const CornerSize* corner,
                                        const CornerSwitches* switches, ID2D1Bitmap* image)
{
    const RECTF expanded = Inflated(rect, shadow.size);
    ComPtr<ID2D1Bitmap> shape;
    if (!image) {
        shape = RenderShapeBitmap(m_target, GradientStops{Color::MakeArgb(shadow.color)}, expanded.Width(),
                                  expanded.Height(), nullptr, -1.0f, nullptr, nullptr, corner, switches);
    } else if (shadow.size == 0.0f) {
        shape = image;
    } else {
        const D2D1_SIZE_F own = image->GetSize();
        shape = ScaleBitmap(m_target, image, RECTF(0.0f, 0.0f, own.width, own.height),
                            RECTF(0.0f, 0.0f, expanded.Width(), expanded.Height()));
    }
    ShadowEffect effect(shadow.blur, shadow.color);
    ComPtr<ID2D1Image> output = OutputOf(shape ? effect.CreateEffect(m_deviceContext, shape.Get()) : nullptr);
    if (!output)
        return;
    const D2D1_POINT_2F at = D2D1::Point2F(expanded.left + shadow.offsetX, expanded.top + shadow.offsetY);
    m_deviceContext->DrawImage(output.Get(), &at, nullptr, D2D1_INTERPOLATION_MODE_LINEAR,
                               D2D1_COMPOSITE_MODE_SOURCE_OVER);
}

void RenderTarget::DrawInsetShadowEffect(const RECTF& rect, const BoxShadow& shadow, const CornerSize* corner,
                                         const CornerSwitches* switches, ID2D1Bitmap* image)
{
    const float w = rect.Width(), h = rect.Height(), s = shadow.size;
    const GradientStops fill{Color::MakeArgb(shadow.color)};
    ComPtr<ID2D1Bitmap> outer =
        image ? ComPtr<ID2D1Bitmap>(image)
              : RenderShapeBitmap(m_target, fill, w, h, nullptr, -1.0f, nullptr, nullptr, corner, switches);
    const RECTF innerShape(s + shadow.offsetX, s + shadow.offsetY, w - s + shadow.offsetX, h - s + shadow.offsetY);
    ComPtr<ID2D1Bitmap> inner =
        RenderShapeBitmap(m_target, fill, w, h, nullptr, -1.0f, nullptr, &innerShape, corner, switches);
    if (!outer || !inner)
        return;
    // The band of the shape the inner shape leaves uncovered casts the
    // shadow, which is then kept inside the shape only.
    CompositeEffect band(D2D1_COMPOSITE_MODE_SOURCE_OUT);
    ShadowEffect blurred(shadow.blur, shadow.color);
    CompositeEffect inside(D2D1_COMPOSITE_MODE_DESTINATION_IN);
    ComPtr<ID2D1Image> bandOut = OutputOf(band.CreateEffect(m_deviceContext, inner.Get(), outer.Get()));
    ComPtr<ID2D1Image> shadowOut = OutputOf(bandOut ? blurred.CreateEffect(m_deviceContext, bandOut.Get()) : nullptr);
    ComPtr<ID2D1Image> output =
        OutputOf(shadowOut ? inside.CreateEffect(m_deviceContext, shadowOut.Get(), outer.Get()) : nullptr);
    if (!output)
        return;
    const D2D1_POINT_2F at = D2D1::Point2F(rect.left, rect.top);
    m_deviceContext->DrawImage(output.Get(), &at, nullptr, D2D1_INTERPOLATION_MODE_LINEAR,
                               D2D1_COMPOSITE_MODE_SOURCE_OVER);
}

void RenderTarget::DrawInsetShadowOnCpu(const RECTF& rect, const BoxShadow& shadow, const CornerSize* corner,
                                        const CornerSwitches* switches)
{
    const float w = rect.Width(), h = rect.Height(), s = shadow.size;
    const GradientStops opaque{Color(1.0f, 1.0f, 1.0f, 1.0f)};
    const RECTF innerShape(s + shadow.offsetX, s + shadow.offsetY, w - s + shadow.offsetX, h - s + shadow.offsetY);
    PixelBuffer outer, inner;
    if (!RasterizeShapeOnCpu(opaque, w, h, nullptr, -1.0f, nullptr, nullptr, corner, switches, 0, outer) ||
        !RasterizeShapeOnCpu(opaque, w, h, nullptr, -1.0f, nullptr, &innerShape, corner, switches, 0, inner))
        return;
    // Band = shape minus inner shape, in the alpha byte; its blur spreads
    // inwards, and beyond the edges the band goes on (the box blur repeats
    // edge samples), as if the surface outside cast the shadow.
    PixelBuffer band = outer;
    for (size_t i = 0; i < band.data.size(); ++i)
        band.data[i] = static_cast<uint32_t>(AlphaOf(outer.data[i]) * (255 - AlphaOf(inner.data[i])) / 255) << 24;
    if (shadow.blur > 0.0f)
        BoxBlurPixels(reinterpret_cast<uint8_t*>(band.data.data()), band.width * 4, shadow.blur,
                      RECT{0, 0, band.width, band.height}, shadow.blur);
    const Color color = Color::MakeArgb(shadow.color);
    for (size_t i = 0; i < band.data.size(); ++i)
        band.data[i] = Premultiplied(color, AlphaOf(band.data[i]) / 255.0f * AlphaOf(outer.data[i]) / 255.0f);
    DrawPixelsAt(m_target, band, rect.left, rect.top, 1.0f);
}

void RenderTarget::DrawShadowRings(const RECTF& rect, const BoxShadow& shadow, const CornerSize* corner,
                                   const CornerSwitches* switches)
{
    RECTF ring = rect;
    ring.Offset(shadow.offsetX, shadow.offsetY);
    CornerSize radii{corner && corner->width > 0.0f ? corner->width : 1.0f,
                     corner && corner->height > 0.0f ? corner->height : 1.0f};
    const bool growCorners = radii.width == 1.0f && radii.height == 1.0f;
    float size = shadow.size;
    if (shadow.offsetX != 0.0f || shadow.offsetY != 0.0f) {
        const float margin = std::max(std::fabs(shadow.offsetX), std::fabs(shadow.offsetY)) + kRingOffsetMargin;
        ring = Inflated(ring, -margin);
        size += margin;
    }
    // The colour's own alpha is not used here: each ring's alpha fades from
    // the blur value (clamped to opaque) to nothing at the outer edge.
    Color color = Color::MakeArgb(shadow.color);
    for (int v = 1; static_cast<float>(v) < size; ++v) {
        color.a = ShadowRingAlpha(v, size, shadow.blur);
        DrawShape(ring, GradientStops{color}, nullptr, &radii, switches, kDashSolid, nullptr, kRingPenWidth);
        ring = Inflated(ring, 1.0f);
        if (growCorners) {
            radii.width += 2.0f;
            radii.height += 2.0f;
        }
    }
}

// ---------------------------------------------------------------- backdrops

ComPtr<ID2D1Bitmap> RenderTarget::CopySurface(const D2D1_RECT_U& source)
{
    ComPtr<ID2D1Bitmap> copy;
    const D2D1_SIZE_U size = D2D1::SizeU(source.right - source.left, source.bottom - source.top);
    if (FAILED(m_target->CreateBitmap(size, D2D1::BitmapProperties(m_target->GetPixelFormat(), kDeviceDpi, kDeviceDpi),
                                      copy.GetAddressOf())))
        return nullptr;
    // The copy reads the pixels without the clip, which goes back at once.
    PopDeviceClip();
    const D2D1_POINT_2U at = D2D1::Point2U(0, 0);
    const HRESULT copied = copy->CopyFromRenderTarget(&at, m_target, &source);
    if (m_clipTop >= 0)
        ApplyClipStack();
    // Wine does not implement CopyFromRenderTarget (E_NOTIMPL): there is
    // nothing to blur or snapshot, and the caller draws or returns nothing.
    return SUCCEEDED(copied) ? copy : nullptr;
}

bool RenderTarget::DrawBlurredBackdrop(float opacity, const RECTF& rect, const BlurParams& blur)
{
    D2D1_RECT_U source{};
    if (!m_target || !m_deviceContext || !m_inFrame ||
        !BackdropSourceRect(rect, m_originX, m_originY, m_target->GetPixelSize(), source))
        return false;
    ComPtr<ID2D1Bitmap> copy = CopySurface(source);
    BlurEffect effect(blur);
    ID2D1Bitmap* blurred = copy ? effect.Apply(m_deviceContext, copy.Get()) : nullptr;
    if (!blurred)
        return false;
    const D2D1_SIZE_F size = copy->GetSize();
    const D2D1_RECT_F dest = D2D1::RectF(static_cast<float>(source.left) + m_originX,
                                         static_cast<float>(source.top) + m_originY,
                                         static_cast<float>(source.right) + m_originX,
                                         static_cast<float>(source.bottom) + m_originY);
    const D2D1_RECT_F whole = D2D1::RectF(0.0f, 0.0f, size.width, size.height);
    m_deviceContext->DrawBitmap(blurred, &dest, opacity, D2D1_INTERPOLATION_MODE_LINEAR, &whole, nullptr);
    return true;
}

// ---------------------------------------------------------------- snapshots

std::unique_ptr<Gdiplus::Bitmap> RenderTarget::CaptureBitmap(const RECTF& rect, const CornerSize* corner,
                                                             const CornerSwitches* switches)
{
    D2D1_RECT_U source{};
    if (!m_target || !BackdropSourceRect(rect, m_originX, m_originY, m_target->GetPixelSize(), source))
        return nullptr;
    ComPtr<ID2D1Bitmap> copy = CopySurface(source);
    PixelBuffer pixels;
    if (!copy || !ReadMaskedSnapshot(m_target, copy.Get(), corner, switches, pixels))
        return nullptr;
    return CreateGdiplusBitmapFromPixels(pixels);
}

} // namespace ui

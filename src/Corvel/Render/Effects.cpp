#include "Corvel/Render/Effects.h"
#include "Corvel/Render/DibInfo.h"

#include <objbase.h>
#include <gdiplus.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Render/LayerBlur.h"
#include "Corvel/Render/RenderTarget.h"

using Microsoft::WRL::ComPtr;

namespace ui {

namespace {

// CLSID_D2D1GaussianBlur, CLSID_D2D1Shadow and CLSID_D2D1Composite (defined
// here so no GUID library has to provide them).
const CLSID kGaussianBlurEffect = {0x1feb6d69, 0x2fe6, 0x4ac9, {0x8c, 0x58, 0x1d, 0x7f, 0x93, 0xe7, 0xa6, 0xa5}};
const CLSID kShadowEffect = {0xc67ea361, 0x1863, 0x4e69, {0x89, 0xdb, 0x69, 0x5d, 0x3e, 0x9a, 0x5b, 0x6b}};
const CLSID kCompositeEffect = {0x48fc9f51, 0xf6ac, 0x48f1, {0x8b, 0x58, 0x3b, 0x28, 0xac, 0x46, 0xf7, 0x6d}};

// Property indices of the effects.
constexpr UINT32 kBlurPropDeviation = 0;
constexpr UINT32 kBlurPropOptimization = 1;
constexpr UINT32 kBlurPropBorderMode = 2;
constexpr UINT32 kShadowPropDeviation = 0;
constexpr UINT32 kShadowPropColor = 1;
constexpr UINT32 kCompositePropMode = 0;

// BoxBlurRadii: the box width of the W3C filter-effects approximation,
// d = floor(sqrt(2 pi) * 3/4 * s + 1/2), applied to sigma * 0.44.
constexpr float kSqrtTwoPi = 2.50662827f;
constexpr float kBoxWidthFactor = 0.75f;
constexpr float kSigmaScale = 0.5f * 0.88f;
constexpr int kMinBoxWidth = 2;
// Fixed-point shift of the box average: sum * ceil(2^15 / window) >> 15.
constexpr int kAverageShift = 15;
constexpr uint32_t kAverageRound = (1u << kAverageShift) - 1;
constexpr int kAlphaChannel = 3;
constexpr float kHalfPi = 1.57079633f;

template <class T>
HRESULT SetProperty(ID2D1Effect* effect, UINT32 index, const T& value)
{
    return effect->SetValue(index, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

// -1 not probed, 0 missing, 1 available; one per EffectKind.
int g_effectProbe[3] = {-1, -1, -1};

bool ProbeEffect(ID2D1DeviceContext* dc, EffectKind kind)
{
    // Wine creates the shadow and composite effects but fails every
    // SetValue on them, and has no Gaussian blur at all: a probe sets one
    // property, as every use does.
    if (kind == EffectKind::GaussianBlur)
        return GaussianBlurEffectAvailable(dc);
    ComPtr<ID2D1Effect> effect;
    if (kind == EffectKind::Shadow) {
        const D2D1_VECTOR_4F black{0.0f, 0.0f, 0.0f, 1.0f};
        return SUCCEEDED(dc->CreateEffect(kShadowEffect, effect.GetAddressOf())) &&
               SUCCEEDED(SetProperty(effect.Get(), kShadowPropColor, black));
    }
    const UINT32 sourceOver = D2D1_COMPOSITE_MODE_SOURCE_OVER;
    return SUCCEEDED(dc->CreateEffect(kCompositeEffect, effect.GetAddressOf())) &&
           SUCCEEDED(SetProperty(effect.Get(), kCompositePropMode, sourceOver));
}

// One box pass of BoxBlurPixels along `count` pixels `step` bytes apart:
// reads channel `from`, writes channel `to`. Samples before the start count
// as the first one, past the end as the last.
void BoxPassChannel(uint8_t* first, int count, int step, int from, int to, int left, int right)
{
    const uint32_t window = static_cast<uint32_t>(left + right + 1);
    const uint32_t multiplier = (window + kAverageRound) / window;
    auto sample = [&](int i) -> uint32_t {
        i = std::max(0, std::min(count - 1, i));
        return first[static_cast<ptrdiff_t>(i) * step + from];
    };
    uint32_t sum = 0;
    for (int i = -left; i <= right; ++i)
        sum += sample(i);
    for (int i = 0; i < count; ++i) {
        const uint32_t average = (sum * multiplier) >> kAverageShift;
        first[static_cast<ptrdiff_t>(i) * step + to] = static_cast<uint8_t>(std::min<uint32_t>(average, 255));
        sum = sum + sample(i + right + 1) - sample(i - left);
    }
}

// The three passes: alpha -> blue -> green -> alpha.
void BoxBlurLine(uint8_t* first, int count, int step, const std::array<int, 6>& r)
{
    BoxPassChannel(first, count, step, kAlphaChannel, 0, r[0], r[1]);
    BoxPassChannel(first, count, step, 0, 1, r[2], r[3]);
    BoxPassChannel(first, count, step, 1, kAlphaChannel, r[4], r[5]);
}

} // namespace

// ------------------------------------------------------------------ effects

Effect::~Effect() = default;

ID2D1Bitmap* Effect::Apply(ID2D1DeviceContext*, ID2D1Bitmap*)
{
    return nullptr;
}

ID2D1Bitmap* Effect::RenderOutput(ID2D1DeviceContext* dc, ID2D1Bitmap* input)
{
    ComPtr<ID2D1Effect> effect = std::move(m_effect);
    ComPtr<ID2D1BitmapRenderTarget> offscreen;
    ComPtr<ID2D1DeviceContext> offscreenDc;
    ComPtr<ID2D1Image> image;
    const D2D1_SIZE_F size = input->GetSize();
    if (!effect ||
        FAILED(dc->CreateCompatibleRenderTarget(&size, nullptr, nullptr, D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_NONE,
                                                offscreen.GetAddressOf())) ||
        FAILED(offscreen.As(&offscreenDc)))
        return nullptr;
    effect->GetOutput(image.GetAddressOf());
    offscreenDc->BeginDraw();
    offscreenDc->Clear(D2D1::ColorF(0, 0.0f));
    offscreenDc->DrawImage(image.Get(), nullptr, nullptr, D2D1_INTERPOLATION_MODE_LINEAR,
                           D2D1_COMPOSITE_MODE_SOURCE_OVER);
    if (FAILED(offscreenDc->EndDraw()) || FAILED(offscreen->GetBitmap(m_output.GetAddressOf())))
        return nullptr;
    return m_output.Get();
}

BlurEffect::BlurEffect(const BlurParams& blur)
    : deviation(blur.deviation), optimization(blur.quality), borderMode(blur.border)
{
}

ID2D1Effect* BlurEffect::CreateEffect(ID2D1DeviceContext* dc, ID2D1Image* input)
{
    m_effect.Reset();
    if (!dc || !input || FAILED(dc->CreateEffect(kGaussianBlurEffect, m_effect.GetAddressOf())))
        return nullptr;
    m_effect->SetInput(0, input);
    const UINT32 border = static_cast<UINT32>(borderMode), opt = static_cast<UINT32>(optimization);
    if (FAILED(SetProperty(m_effect.Get(), kBlurPropDeviation, deviation)) ||
        FAILED(SetProperty(m_effect.Get(), kBlurPropBorderMode, border)) ||
        FAILED(SetProperty(m_effect.Get(), kBlurPropOptimization, opt)))
        m_effect.Reset();
    return m_effect.Get();
}

ID2D1Bitmap* BlurEffect::Apply(ID2D1DeviceContext* dc, ID2D1Bitmap* input)
{
    m_output.Reset();
    if (!dc || !input || !CreateEffect(dc, input))
        return nullptr;
    return RenderOutput(dc, input);
}

ShadowEffect::ShadowEffect(float blurDeviation, uint32_t argb) : deviation(blurDeviation)
{
    const Color c = Color::MakeArgb(argb);
    red = c.r;
    green = c.g;
    blue = c.b;
    alpha = c.a;
}

ID2D1Effect* ShadowEffect::CreateEffect(ID2D1DeviceContext* dc, ID2D1Image* input)
{
    m_effect.Reset();
    if (!dc || !input || FAILED(dc->CreateEffect(kShadowEffect, m_effect.GetAddressOf())))
        return nullptr;
    m_effect->SetInput(0, input);
    const D2D1_VECTOR_4F color{red, green, blue, alpha};
    if (FAILED(SetProperty(m_effect.Get(), kShadowPropColor, color)) ||
        FAILED(SetProperty(m_effect.Get(), kShadowPropDeviation, deviation)))
        m_effect.Reset();
    return m_effect.Get();
}

ID2D1Bitmap* ShadowEffect::Apply(ID2D1DeviceContext* dc, ID2D1Bitmap* input)
{
    m_output.Reset();
    if (!dc || !input || !CreateEffect(dc, input))
        return nullptr;
    return RenderOutput(dc, input);
}

ID2D1Effect* CompositeEffect::CreateEffect(ID2D1DeviceContext* dc, ID2D1Image* destination, ID2D1Image* source)
{
    m_effect.Reset();
    if (!dc || !source || !destination || FAILED(dc->CreateEffect(kCompositeEffect, m_effect.GetAddressOf())))
        return nullptr;
    m_effect->SetInput(0, destination);
    m_effect->SetInput(1, source);
    const UINT32 value = static_cast<UINT32>(mode);
    if (FAILED(SetProperty(m_effect.Get(), kCompositePropMode, value)))
        m_effect.Reset();
    return m_effect.Get();
}

bool EffectAvailable(ID2D1DeviceContext* dc, EffectKind kind)
{
    int& probe = g_effectProbe[static_cast<int>(kind)];
    if (probe < 0 && dc)
        probe = ProbeEffect(dc, kind) ? 1 : 0;
    return probe == 1;
}

// ------------------------------------------------------------ CPU routines

float ShadowRingAlpha(int v, float size, float blur)
{
    if (!(size > 0.0f))
        return 0.0f;
    const float fade = 1.0f - std::sin(static_cast<float>(v) / size * kHalfPi);
    return std::max(0.0f, std::min(1.0f, fade * blur));
}

std::array<int, 6> BoxBlurRadii(float sigma)
{
    int d = static_cast<int>(std::floor(kSqrtTwoPi * kBoxWidthFactor * sigma * kSigmaScale + 0.5f));
    if (d < kMinBoxWidth)
        d = kMinBoxWidth;
    if (d % 2 == 1) {
        const int r = (d - 1) / 2;
        return {r, r, r, r, r, r};
    }
    const int h = d / 2;
    return {h, h - 1, h - 1, h, h, h};
}

void BoxBlurPixels(uint8_t* pixels, int stride, float sigmaX, const RECT& rect, float sigmaY)
{
    if (!pixels || rect.left >= rect.right || rect.top >= rect.bottom)
        return;
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    auto at = [&](int x, int y) { return pixels + static_cast<ptrdiff_t>(y) * stride + static_cast<ptrdiff_t>(x) * 4; };
    std::array<int, 6> radii{};
    if (sigmaX != 0.0f) {
        radii = BoxBlurRadii(sigmaX);
        for (int y = rect.top; y < rect.bottom; ++y)
            BoxBlurLine(at(rect.left, y), width, 4, radii);
    }
    if (sigmaY != 0.0f) {
        if (sigmaY != sigmaX)
            radii = BoxBlurRadii(sigmaY);
        for (int x = rect.left; x < rect.right; ++x)
            BoxBlurLine(at(x, rect.top), height, stride, radii);
    }
}

std::unique_ptr<Gdiplus::Bitmap> CopyHbitmapToGdiplus(HBITMAP bitmap)
{
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight == 0)
        return nullptr;
    const int width = info.bmWidth;
    const int height = std::abs(info.bmHeight);
    // Whatever the source depth, GDI converts to 32-bit rows: an 8, 16 or
    // 24-bit source copied "in its own bit count" would not fit 32-bit rows.
    std::vector<uint32_t> rows(static_cast<size_t>(width) * static_cast<size_t>(height));
    bool copied = false;
    BITMAPINFO bi = Dib32Info(width, height);  // bottom-up
    if (HDC display = CreateDCW(L"DISPLAY", nullptr, nullptr, nullptr)) {
        copied = GetDIBits(display, bitmap, 0, static_cast<UINT>(height), rows.data(), &bi, DIB_RGB_COLORS) == height;
        DeleteDC(display);
    }
    if (!copied)
        return nullptr;
    // A source without an alpha channel is opaque; its converted rows carry
    // alpha 0, which the premultiplied bitmap would show as transparent. So
    // is a 32-bit source whose alpha is 0 everywhere (what GDI drawing
    // leaves); one with any alpha holds premultiplied pixels as they are.
    const bool anyAlpha = info.bmBitsPixel == 32 &&
                          std::any_of(rows.begin(), rows.end(), [](uint32_t p) { return (p & 0xFF000000u) != 0; });
    if (!anyAlpha)
        for (uint32_t& p : rows)
            p |= 0xFF000000u;

    // The DIB is bottom-up: the last row read is the top one.
    PixelBuffer topDown;
    topDown.width = width;
    topDown.height = height;
    topDown.data.resize(rows.size());
    for (int y = 0; y < height; ++y)
        std::memcpy(topDown.data.data() + static_cast<size_t>(y) * static_cast<size_t>(width),
                    rows.data() + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width),
                    static_cast<size_t>(width) * 4);
    return CreateGdiplusBitmapFromPixels(topDown);
}

std::unique_ptr<Gdiplus::Bitmap> CreateGdiplusBitmapFromHbitmap(HBITMAP bitmap)
{
    std::unique_ptr<Gdiplus::Bitmap> copy = CopyHbitmapToGdiplus(bitmap);
    if (bitmap)
        DeleteObject(bitmap);
    return copy;
}

std::unique_ptr<Gdiplus::Bitmap> CreateGdiplusBitmapFromPixels(const PixelBuffer& pixels)
{
    if (pixels.width <= 0 || pixels.height <= 0)
        return nullptr;
    auto result = std::make_unique<Gdiplus::Bitmap>(pixels.width, pixels.height, PixelFormat32bppPARGB);
    Gdiplus::BitmapData data{};
    Gdiplus::Rect all(0, 0, pixels.width, pixels.height);
    if (result->GetLastStatus() != Gdiplus::Ok ||
        result->LockBits(&all, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return nullptr;
    for (int y = 0; y < pixels.height; ++y)
        std::memcpy(static_cast<uint8_t*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
                    pixels.data.data() + static_cast<size_t>(y) * static_cast<size_t>(pixels.width),
                    static_cast<size_t>(pixels.width) * 4);
    result->UnlockBits(&data);
    return result;
}

bool RasterizeShapeOnCpu(const GradientStops& stops, float width, float height, const GradientDirection* direction,
                         float penWidth, ID2D1StrokeStyle* stroke, const RECTF* shapeRect, const CornerSize* corner,
                         const CornerSwitches* switches, int pad, PixelBuffer& out)
{
    IWICImagingFactory* wic = UiGlobals().wicFactory;
    ID2D1Factory* d2d = UiGlobals().d2dFactory;
    const int w = static_cast<int>(std::ceil(width)) + 2 * pad;
    const int h = static_cast<int>(std::ceil(height)) + 2 * pad;
    if (!wic || !d2d || !(width > 0.0f) || !(height > 0.0f))
        return false;
    ComPtr<IWICBitmap> surface;
    ComPtr<ID2D1RenderTarget> target;
    const D2D1_RENDER_TARGET_PROPERTIES props = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED),
        0.0f, 0.0f);
    if (FAILED(wic->CreateBitmap(static_cast<UINT>(w), static_cast<UINT>(h), GUID_WICPixelFormat32bppPBGRA,
                                 WICBitmapCacheOnLoad, surface.GetAddressOf())) ||
        FAILED(d2d->CreateWicBitmapRenderTarget(surface.Get(), props, target.GetAddressOf())))
        return false;
    target->SetDpi(kDeviceDpi, kDeviceDpi);
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0, 0.0f));
    target->SetTransform(D2D1::Matrix3x2F::Translation(static_cast<float>(pad), static_cast<float>(pad)));
    PaintShapeInto(target.Get(), stops, width, height, direction, penWidth, stroke, shapeRect, corner, switches);
    if (FAILED(target->EndDraw()))
        return false;
    out.width = w;
    out.height = h;
    out.data.assign(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    return SUCCEEDED(surface->CopyPixels(nullptr, static_cast<UINT>(w) * 4, static_cast<UINT>(out.data.size() * 4),
                                         reinterpret_cast<BYTE*>(out.data.data())));
}

ComPtr<ID2D1Bitmap> CreateBitmapFromPixels(ID2D1RenderTarget* target, const PixelBuffer& pixels)
{
    ComPtr<ID2D1Bitmap> bitmap;
    if (!target || pixels.width <= 0 || pixels.height <= 0)
        return bitmap;
    const D2D1_BITMAP_PROPERTIES props = D2D1::BitmapProperties(
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), kDeviceDpi, kDeviceDpi);
    if (FAILED(target->CreateBitmap(D2D1::SizeU(static_cast<UINT32>(pixels.width), static_cast<UINT32>(pixels.height)),
                                    pixels.data.data(), static_cast<UINT32>(pixels.width) * 4, props,
                                    bitmap.GetAddressOf())))
        return nullptr;
    return bitmap;
}

void DrawPixelsAt(ID2D1RenderTarget* target, const PixelBuffer& pixels, float x, float y, float opacity)
{
    ComPtr<ID2D1Bitmap> bitmap = CreateBitmapFromPixels(target, pixels);
    if (!bitmap)
        return;
    target->DrawBitmap(bitmap.Get(),
                       D2D1::RectF(x, y, x + static_cast<float>(pixels.width), y + static_cast<float>(pixels.height)),
                       opacity, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
}

bool BackdropSourceRect(const RECTF& rect, float originX, float originY, D2D1_SIZE_U surface, D2D1_RECT_U& out)
{
    const float left = std::max(0.0f, std::floor(rect.left - originX));
    const float top = std::max(0.0f, std::floor(rect.top - originY));
    const float right = std::min(static_cast<float>(surface.width), std::ceil(rect.right - originX));
    const float bottom = std::min(static_cast<float>(surface.height), std::ceil(rect.bottom - originY));
    if (!(left < right) || !(top < bottom))
        return false;
    out = D2D1::RectU(static_cast<UINT32>(left), static_cast<UINT32>(top), static_cast<UINT32>(right),
                      static_cast<UINT32>(bottom));
    return true;
}

namespace {
// Deviations of the glow of GDI+ text, in pixels.
constexpr float kTextGlowSigmaX = 1.5f;
constexpr float kTextGlowSigmaY = 3.5f;
} // namespace

void BlurTextIntoBlackMask(Gdiplus::Bitmap& bitmap, int width, int height)
{
    Gdiplus::BitmapData data{};
    Gdiplus::Rect all(0, 0, width, height);
    if (bitmap.LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB,
                        &data) != Gdiplus::Ok)
        return;
    auto* pixels = static_cast<uint8_t*>(data.Scan0);
    BoxBlurPixels(pixels, data.Stride, kTextGlowSigmaX, RECT{0, 0, width, height}, kTextGlowSigmaY);
    for (int y = 0; y < height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(pixels + static_cast<ptrdiff_t>(y) * data.Stride);
        for (int x = 0; x < width; ++x)
            row[x] &= 0xFF000000u;
    }
    bitmap.UnlockBits(&data);
}

} // namespace ui

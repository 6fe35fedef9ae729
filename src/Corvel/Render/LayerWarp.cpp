#include "Corvel/Render/LayerWarp.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <algorithm>
#include <cmath>

#include "Corvel/Core/UiGlobals.h"

namespace ui {

namespace {

using Microsoft::WRL::ComPtr;

constexpr UINT kProbeSide = 8;
constexpr float kProbeShift = 4.0f;
// Denominators at or below this put a corner behind the viewer.
constexpr float kBehindViewer = 1e-6f;

bool ProbePerspective()
{
    const auto& g = UiGlobals();
    if (!g.d2dFactory || !g.wicFactory)
        return false;
    ComPtr<IWICBitmap> surface;
    if (FAILED(g.wicFactory->CreateBitmap(kProbeSide, kProbeSide, GUID_WICPixelFormat32bppPBGRA,
                                          WICBitmapCacheOnLoad, &surface)))
        return false;
    ComPtr<ID2D1RenderTarget> target;
    const D2D1_RENDER_TARGET_PROPERTIES props = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_SOFTWARE,
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
    if (FAILED(g.d2dFactory->CreateWicBitmapRenderTarget(surface.Get(), props, &target)))
        return false;
    ComPtr<ID2D1DeviceContext> dc;
    if (FAILED(target.As(&dc)))
        return false;
    const uint32_t white = 0xFFFFFFFFu;
    ComPtr<ID2D1Bitmap> dot;
    const D2D1_BITMAP_PROPERTIES dotProps = D2D1::BitmapProperties(
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
    if (FAILED(dc->CreateBitmap(D2D1::SizeU(1, 1), &white, 4, dotProps, &dot)))
        return false;
    Matrix4x4 shift = TranslationMatrix(kProbeShift, kProbeShift, 0);
    const D2D1_RECT_F at = D2D1::RectF(0, 0, 1, 1);
    dc->BeginDraw();
    dc->Clear(D2D1::ColorF(0, 0, 0, 0));
    dc->DrawBitmap(dot.Get(), &at, 1.0f, D2D1_INTERPOLATION_MODE_NEAREST_NEIGHBOR, nullptr, &shift);
    if (FAILED(dc->EndDraw()))
        return false;
    ComPtr<IWICBitmapLock> lock;
    WICRect whole{0, 0, static_cast<INT>(kProbeSide), static_cast<INT>(kProbeSide)};
    if (FAILED(surface->Lock(&whole, WICBitmapLockRead, &lock)))
        return false;
    UINT stride = 0, size = 0;
    BYTE* bits = nullptr;
    if (FAILED(lock->GetStride(&stride)) || FAILED(lock->GetDataPointer(&size, &bits)) || !bits)
        return false;
    auto alphaAt = [&](UINT x, UINT y) { return bits[y * stride + x * 4 + 3]; };
    const UINT moved = static_cast<UINT>(kProbeShift);
    return alphaAt(moved, moved) != 0 && alphaAt(0, 0) == 0;
}

// Premultiplied bilinear sample; outside the picture is transparent.
uint32_t Sample(const uint32_t* source, int width, int height, float x, float y)
{
    const int x0 = static_cast<int>(std::floor(x)), y0 = static_cast<int>(std::floor(y));
    const float fx = x - static_cast<float>(x0), fy = y - static_cast<float>(y0);
    float channels[4] = {0, 0, 0, 0};
    for (int dy = 0; dy < 2; ++dy) {
        for (int dx = 0; dx < 2; ++dx) {
            const int sx = x0 + dx, sy = y0 + dy;
            if (sx < 0 || sy < 0 || sx >= width || sy >= height)
                continue;
            const float weight = (dx ? fx : 1 - fx) * (dy ? fy : 1 - fy);
            const uint32_t p = source[static_cast<size_t>(sy) * static_cast<size_t>(width) + static_cast<size_t>(sx)];
            for (int c = 0; c < 4; ++c)
                channels[c] += weight * static_cast<float>((p >> (8 * c)) & 0xFF);
        }
    }
    uint32_t out = 0;
    for (int c = 0; c < 4; ++c)
        out |= static_cast<uint32_t>(std::min(255.0f, channels[c] + 0.5f)) << (8 * c);
    return out;
}

} // namespace

bool PerspectiveBitmapsWork()
{
    // Wine 8's Direct2D ignores the perspective matrix of DrawBitmap; there
    // layers with a 3D transform are warped by WarpPixels instead.
    static const bool works = ProbePerspective();
    return works;
}

bool WarpPixels(const uint32_t* source, int width, int height, float left, float top, const Matrix4x4& m,
                const D2D1_RECT_F& limit, WarpedPixels& out)
{
    if (!source || width <= 0 || height <= 0)
        return false;
    // Where the picture's corners land.
    float minX = limit.right, minY = limit.bottom, maxX = limit.left, maxY = limit.top;
    const float xs[2] = {left, left + static_cast<float>(width)};
    const float ys[2] = {top, top + static_cast<float>(height)};
    for (float x : xs) {
        for (float y : ys) {
            const float w = x * m._14 + y * m._24 + m._44;
            if (w <= kBehindViewer)
                return false;
            const float X = (x * m._11 + y * m._21 + m._41) / w;
            const float Y = (x * m._12 + y * m._22 + m._42) / w;
            minX = std::min(minX, X);
            minY = std::min(minY, Y);
            maxX = std::max(maxX, X);
            maxY = std::max(maxY, Y);
        }
    }
    const int l = static_cast<int>(std::floor(std::max(minX, limit.left)));
    const int t = static_cast<int>(std::floor(std::max(minY, limit.top)));
    const int r = static_cast<int>(std::ceil(std::min(maxX, limit.right)));
    const int b = static_cast<int>(std::ceil(std::min(maxY, limit.bottom)));
    if (r <= l || b <= t)
        return false;
    out.left = l;
    out.top = t;
    out.width = r - l;
    out.height = b - t;
    out.data.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), 0);
    for (int y = t; y < b; ++y) {
        for (int x = l; x < r; ++x) {
            float u = 0, v = 0;
            if (!MapWindowPointToPlane(m, static_cast<float>(x) + 0.5f, static_cast<float>(y) + 0.5f, u, v))
                continue;
            out.data[static_cast<size_t>(y - t) * static_cast<size_t>(out.width) + static_cast<size_t>(x - l)] =
                Sample(source, width, height, u - left - 0.5f, v - top - 0.5f);
        }
    }
    return true;
}

} // namespace ui

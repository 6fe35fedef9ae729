#include "Corvel/Render/LayerBlur.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace ui {

namespace {

// CLSID_D2D1GaussianBlur.
const CLSID kGaussianBlurEffect = {0x1feb6d69, 0x2fe6, 0x4ac9, {0x8c, 0x58, 0x1d, 0x7f, 0x93, 0xe7, 0xa6, 0xa5}};
constexpr UINT32 kPropDeviation = 0;
constexpr UINT32 kPropOptimization = 1;
constexpr UINT32 kPropBorderMode = 2;

int g_blurProbe = -1;  // -1 not probed, 0 missing, 1 available

ID2D1Effect* MakeBlur(ID2D1DeviceContext* dc, float deviation, int optimization, int borderMode)
{
    ID2D1Effect* effect = nullptr;
    if (!dc || FAILED(dc->CreateEffect(kGaussianBlurEffect, &effect)) || !effect)
        return nullptr;
    const UINT32 opt = static_cast<UINT32>(optimization);
    const UINT32 border = static_cast<UINT32>(borderMode);
    if (FAILED(effect->SetValue(kPropDeviation, reinterpret_cast<const BYTE*>(&deviation), sizeof(deviation))) ||
        FAILED(effect->SetValue(kPropOptimization, reinterpret_cast<const BYTE*>(&opt), sizeof(opt))) ||
        FAILED(effect->SetValue(kPropBorderMode, reinterpret_cast<const BYTE*>(&border), sizeof(border)))) {
        effect->Release();
        return nullptr;
    }
    return effect;
}

// Box widths of three passes whose combination has the given deviation.
void BoxSizes(float sigma, int sizes[3])
{
    const double n = 3.0;
    const double wIdeal = std::sqrt(12.0 * sigma * sigma / n + 1.0);
    int wl = static_cast<int>(std::floor(wIdeal));
    if (wl % 2 == 0)
        --wl;
    const int wu = wl + 2;
    const double mIdeal = (12.0 * sigma * sigma - n * wl * wl - 4.0 * n * wl - 3.0 * n) / (-4.0 * wl - 4.0);
    const int m = static_cast<int>(std::lround(mIdeal));
    for (int i = 0; i < 3; ++i)
        sizes[i] = i < m ? wl : wu;
}

// One box pass along lines of `count` samples `step` apart.
void BoxPass(const uint32_t* src, uint32_t* dst, int lines, int count, int lineStride, int step, int radius,
             bool hard)
{
    if (radius <= 0) {
        for (int l = 0; l < lines; ++l)
            for (int i = 0; i < count; ++i)
                dst[l * lineStride + i * step] = src[l * lineStride + i * step];
        return;
    }
    const int window = 2 * radius + 1;
    for (int l = 0; l < lines; ++l) {
        const uint32_t* line = src + static_cast<ptrdiff_t>(l) * lineStride;
        uint32_t* out = dst + static_cast<ptrdiff_t>(l) * lineStride;
        auto sample = [&](int i) -> uint32_t {
            if (i < 0)
                return hard ? line[0] : 0u;
            if (i >= count)
                return hard ? line[static_cast<ptrdiff_t>(count - 1) * step] : 0u;
            return line[static_cast<ptrdiff_t>(i) * step];
        };
        uint32_t sum[4] = {0, 0, 0, 0};
        for (int i = -radius; i <= radius; ++i) {
            const uint32_t p = sample(i);
            for (int c = 0; c < 4; ++c)
                sum[c] += (p >> (8 * c)) & 0xFF;
        }
        for (int i = 0; i < count; ++i) {
            uint32_t v = 0;
            for (int c = 0; c < 4; ++c)
                v |= ((sum[c] + window / 2) / window) << (8 * c);
            out[static_cast<ptrdiff_t>(i) * step] = v;
            const uint32_t leaving = sample(i - radius), entering = sample(i + radius + 1);
            for (int c = 0; c < 4; ++c)
                sum[c] = sum[c] + ((entering >> (8 * c)) & 0xFF) - ((leaving >> (8 * c)) & 0xFF);
        }
    }
}

} // namespace

bool GaussianBlurEffectAvailable(ID2D1DeviceContext* dc)
{
    if (g_blurProbe < 0 && dc) {
        ID2D1Effect* effect = MakeBlur(dc, 1.0f, 1, 1);
        g_blurProbe = effect ? 1 : 0;
        if (effect)
            effect->Release();
    }
    return g_blurProbe == 1;
}

ID2D1Effect* CreateGaussianBlur(ID2D1DeviceContext* dc, float deviation, int optimization, int borderMode)
{
    if (!GaussianBlurEffectAvailable(dc))
        return nullptr;
    return MakeBlur(dc, deviation, optimization, borderMode);
}

int SoftBlurPadding(float deviation)
{
    return deviation > 0.0f ? static_cast<int>(std::ceil(3.0f * deviation)) : 0;
}

void BoxBlurPremultiplied(uint32_t* pixels, int width, int height, float deviation, bool hardBorder)
{
    if (!pixels || width <= 0 || height <= 0 || !(deviation > 0.0f))
        return;
    int sizes[3];
    BoxSizes(deviation, sizes);
    std::vector<uint32_t> tmp(static_cast<size_t>(width) * height);
    for (int pass = 0; pass < 3; ++pass) {
        const int radius = (sizes[pass] - 1) / 2;
        BoxPass(pixels, tmp.data(), height, width, width, 1, radius, hardBorder);  // rows
        BoxPass(tmp.data(), pixels, width, height, 1, width, radius, hardBorder);  // columns
    }
}

} // namespace ui

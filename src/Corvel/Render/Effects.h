// Direct2D's built-in Gaussian blur, shadow and composite effects as small
// value objects that own what they create, the once-per-process probes that
// tell whether the system really runs them, and the CPU routines that stand
// in where it does not (shape rasterising, box blurs, bitmap bridges).
// UI thread only.
#pragma once

#include <windows.h>
#include <d2d1_1.h>
#include <wrl/client.h>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "Corvel/Core/UiTypes.h"
#include "Corvel/Render/Shapes.h"

namespace Gdiplus {
class Bitmap;
}

namespace ui {

// Base of the effects: the Direct2D effect (made by CreateEffect or Apply)
// and the bitmap Apply rendered. Both are owned and released by the
// destructor, or replaced by the next Apply.
class Effect {
public:
    Effect() = default;
    virtual ~Effect();
    Effect(const Effect&) = delete;
    Effect& operator=(const Effect&) = delete;

    // Renders the effect over input into a new bitmap of input's size, kept
    // as the output (borrowed: valid until the next Apply or destruction).
    // The base has no effect and returns null; so does a system without it.
    virtual ID2D1Bitmap* Apply(ID2D1DeviceContext* dc, ID2D1Bitmap* input);

    // Borrowed; null when not made.
    ID2D1Effect* GetEffect() const { return m_effect.Get(); }
    ID2D1Bitmap* GetOutput() const { return m_output.Get(); }

protected:
    // Draws m_effect into a transparent bitmap of input's size (cut at the
    // input's bounds), stores it as the output and drops the effect.
    ID2D1Bitmap* RenderOutput(ID2D1DeviceContext* dc, ID2D1Bitmap* input);

    Microsoft::WRL::ComPtr<ID2D1Effect> m_effect;
    Microsoft::WRL::ComPtr<ID2D1Bitmap> m_output;
};

class BlurEffect : public Effect {
public:
    BlurEffect() = default;
    // Deviation, optimisation (quality) and border mode of the record.
    explicit BlurEffect(const BlurParams& blur);

    ID2D1Bitmap* Apply(ID2D1DeviceContext* dc, ID2D1Bitmap* input) override;
    // The configured blur over input without rendering it (borrowed; null
    // on failure): drawn with DrawImage it may spread beyond the input.
    ID2D1Effect* CreateEffect(ID2D1DeviceContext* dc, ID2D1Image* input);

    float deviation = 3.0f;
    int optimization = 1;  // D2D1_GAUSSIANBLUR_OPTIMIZATION_BALANCED
    int borderMode = 1;    // D2D1_BORDER_MODE_HARD
};

class ShadowEffect : public Effect {
public:
    ShadowEffect() = default;
    // Blur deviation and the colour of an ARGB value.
    ShadowEffect(float blurDeviation, uint32_t argb);

    ID2D1Bitmap* Apply(ID2D1DeviceContext* dc, ID2D1Bitmap* input) override;
    // The configured shadow of input's alpha (borrowed; null on failure).
    ID2D1Effect* CreateEffect(ID2D1DeviceContext* dc, ID2D1Image* input);

    float deviation = 0.0f;
    float red = 0.0f;
    float green = 0.0f;
    float blue = 0.0f;
    float alpha = 0.0f;
    int reserved = 0;  // read by nothing
};

class CompositeEffect : public Effect {
public:
    explicit CompositeEffect(int compositeMode = 0) : mode(compositeMode) {}

    // Composites input 1 (the source) onto input 0 (the destination) in the
    // mode, a D2D1_COMPOSITE_MODE (borrowed; null on failure).
    ID2D1Effect* CreateEffect(ID2D1DeviceContext* dc, ID2D1Image* destination, ID2D1Image* source);

    int mode = 0;
};

// Whether the system creates and configures the effect. Each kind is probed
// once per process with the first device context asked (false without one).
enum class EffectKind { GaussianBlur, Shadow, Composite };
bool EffectAvailable(ID2D1DeviceContext* dc, EffectKind kind);

// Premultiplied BGRA pixels, row 0 at the top, width * height entries.
struct PixelBuffer {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> data;
};

// Alpha of ring v (1 = the innermost) of the shadow drawn without effects:
// (1 - sin(v / size * pi/2)) * blur, at most 1 (opaque) and at least 0.
float ShadowRingAlpha(int v, float size, float blur);

// Radii of a three-pass box blur approximating a Gaussian of sigma:
// {left, right} of pass 1, 2 and 3.
std::array<int, 6> BoxBlurRadii(float sigma);

// Blurs the alpha channel of 32-bit BGRA pixels (stride in bytes) inside
// rect (pixels), first along rows when sigmaX is non-zero, then along
// columns when sigmaY is. Blue and green are scratch space and come out
// overwritten; red is untouched.
void BoxBlurPixels(uint8_t* pixels, int stride, float sigmaX, const RECT& rect, float sigmaY);

// The glow behind GDI+ text: blurs the alpha of a 32-bit premultiplied
// bitmap of text (more along columns than rows) and turns every pixel
// black, keeping only its alpha.
void BlurTextIntoBlackMask(Gdiplus::Bitmap& bitmap, int width, int height);

// A 32-bit premultiplied GDI+ bitmap with the pixels of any HBITMAP, top
// row first; sources without alpha (under 32 bits) come out opaque. Takes
// ownership of the HBITMAP and deletes it in every case. Null on failure.
std::unique_ptr<Gdiplus::Bitmap> CreateGdiplusBitmapFromHbitmap(HBITMAP bitmap);
// The same copy of a bitmap the caller keeps; a 32-bit source whose alpha
// is 0 everywhere (plain GDI drawing) comes out opaque too.
std::unique_ptr<Gdiplus::Bitmap> CopyHbitmapToGdiplus(HBITMAP bitmap);

// A 32-bit premultiplied GDI+ bitmap with a copy of the pixels. Null on
// failure.
std::unique_ptr<Gdiplus::Bitmap> CreateGdiplusBitmapFromPixels(const PixelBuffer& pixels);

// The shape of PaintShapeInto rasterised on the CPU (a WIC bitmap target)
// with `pad` transparent pixels on every side. False on failure.
bool RasterizeShapeOnCpu(const GradientStops& stops, float width, float height, const GradientDirection* direction,
                         float penWidth, ID2D1StrokeStyle* stroke, const RECTF* shapeRect, const CornerSize* corner,
                         const CornerSwitches* switches, int pad, PixelBuffer& out);

// The pixels as a bitmap of target's device (null on failure), and drawn
// with their top-left corner at (x, y) at their own size.
Microsoft::WRL::ComPtr<ID2D1Bitmap> CreateBitmapFromPixels(ID2D1RenderTarget* target, const PixelBuffer& pixels);
void DrawPixelsAt(ID2D1RenderTarget* target, const PixelBuffer& pixels, float x, float y, float opacity);

// The part of the surface a backdrop reads: rect (window pixels) moved into
// the surface by minus its origin, rounded outward and clamped to the
// surface's size. False when nothing of it lies on the surface.
bool BackdropSourceRect(const RECTF& rect, float originX, float originY, D2D1_SIZE_U surface, D2D1_RECT_U& out);

} // namespace ui

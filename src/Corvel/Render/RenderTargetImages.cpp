// Image drawing of the render target: a descriptor's image laid out into a
// rectangle with its source, nine-grid corners, tiling, fade and blur.
#include "Corvel/Render/RenderTarget.h"

#include <algorithm>
#include <cmath>

#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/Effects.h"
#include "Corvel/Render/LayerBlur.h"
#include "Corvel/Render/UiImage.h"

namespace ui {

namespace {

using Microsoft::WRL::ComPtr;

constexpr float kBaseDpi = 96.0f;
// Blur deviations at or below these count as none: the descriptor's blur
// stands in below the first, the blurred drawing starts above the second.
constexpr float kNoBlurArgument = 1e-6f;
constexpr float kNoBlurDrawing = 1e-7f;
constexpr float kOpaque = 255.0f;

D2D1_RECT_F ToD2D(const RECTF& r) { return D2D1::RectF(r.left, r.top, r.right, r.bottom); }

RECTF Scaled(const RECTF& r, float sx, float sy) { return RECTF(r.left * sx, r.top * sy, r.right * sx, r.bottom * sy); }

// The part of `dest` inside `paint`, and the matching part of `source`.
bool ClipPiece(const RECTF& paint, RECTF& dest, RECTF& source)
{
    RECTF visible = dest;
    if (dest.IsEmpty() || source.IsEmpty() || !visible.Intersect(paint))
        return false;
    float sx = source.Width() / dest.Width(), sy = source.Height() / dest.Height();
    RECTF cut(source.left + (visible.left - dest.left) * sx, source.top + (visible.top - dest.top) * sy,
              source.right - (dest.right - visible.right) * sx, source.bottom - (dest.bottom - visible.bottom) * sy);
    dest = visible;
    source = cut;
    return true;
}

struct FramePainter {
    RenderTarget* target;
    ID2D1Bitmap* frame;
    RECTF paint;
    // From the image's pixels to the frame's own (an icon's frames differ in
    // size from the image: each is drawn from its own whole bitmap).
    float frameScaleX;
    float frameScaleY;
    float alpha;
    const BlurParams* blur;

    void Draw(RECTF dest, RECTF source) const
    {
        if (!ClipPiece(paint, dest, source))
            return;
        RECTF src = Scaled(source, frameScaleX, frameScaleY);
        target->DrawBitmapRect(frame, &dest, &src, alpha, *blur);
    }
};

// Centre tiles in whole-pixel steps; the last tile of a row or column is cut
// to what is left and shows the matching part of the source.
void DrawTiles(const FramePainter& painter, const RECTF& centre, const RECTF& source, float k, bool tileX, bool tileY)
{
    const int stepX = tileX ? static_cast<int>(source.Width() * k) : 0;
    const int stepY = tileY ? static_cast<int>(source.Height() * k) : 0;
    if ((tileX && stepX <= 0) || (tileY && stepY <= 0))
        return;
    const int width = static_cast<int>(centre.Width()), height = static_cast<int>(centre.Height());
    const int columns = tileX ? (width + stepX - 1) / stepX : 1;
    const int rows = tileY ? (height + stepY - 1) / stepY : 1;
    for (int row = 0; row < rows; ++row) {
        float y = tileY ? centre.top + static_cast<float>(row * stepY) : centre.top;
        float bottom = tileY ? std::min(y + static_cast<float>(stepY), centre.bottom) : centre.bottom;
        float srcBottom = tileY ? source.top + (bottom - y) / k : source.bottom;
        for (int column = 0; column < columns; ++column) {
            float x = tileX ? centre.left + static_cast<float>(column * stepX) : centre.left;
            float right = tileX ? std::min(x + static_cast<float>(stepX), centre.right) : centre.right;
            float srcRight = tileX ? source.left + (right - x) / k : source.right;
            painter.Draw(RECTF(x, y, right, bottom), RECTF(source.left, source.top, srcRight, srcBottom));
        }
    }
}

void DrawBorders(const FramePainter& p, const RECTF& d, const RECTF& s, const RECTF& c, float k)
{
    const float dl = d.left + c.left * k, dt = d.top + c.top * k;
    const float dr = d.right - c.right * k, db = d.bottom - c.bottom * k;
    const float sl = s.left + c.left, st = s.top + c.top, sr = s.right - c.right, sb = s.bottom - c.bottom;
    if (c.left > 0 && c.top > 0)
        p.Draw(RECTF(d.left, d.top, dl, dt), RECTF(s.left, s.top, sl, st));
    if (c.top > 0)
        p.Draw(RECTF(dl, d.top, dr, dt), RECTF(sl, s.top, sr, st));
    if (c.right > 0 && c.top > 0)
        p.Draw(RECTF(dr, d.top, d.right, dt), RECTF(sr, s.top, s.right, st));
    if (c.left > 0)
        p.Draw(RECTF(d.left, dt, dl, db), RECTF(s.left, st, sl, sb));
    if (c.right > 0)
        p.Draw(RECTF(dr, dt, d.right, db), RECTF(sr, st, s.right, sb));
    if (c.left > 0 && c.bottom > 0)
        p.Draw(RECTF(d.left, db, dl, d.bottom), RECTF(s.left, sb, sl, s.bottom));
    if (c.bottom > 0)
        p.Draw(RECTF(dl, db, dr, d.bottom), RECTF(sl, sb, sr, s.bottom));
    if (c.right > 0 && c.bottom > 0)
        p.Draw(RECTF(dr, db, d.right, d.bottom), RECTF(sr, sb, s.right, s.bottom));
}

bool IsScaledSvg(const CUiImage& image)
{
    return image.GetFileName().Find(L".svg") >= 0 && (image.IsWidthPercent() || image.IsHeightPercent());
}

// Source and corners in the image's own pixels; an empty source is the whole
// image. False when nothing of the image is left to draw.
bool ImageSource(const CUiImage& image, const tagTImageInfo& info, RECTF& source, RECTF& corners)
{
    source = image.GetSource();
    corners = image.GetCorners();
    if (info.imageDpi > kBaseDpi) {
        float f = static_cast<float>(info.imageDpi) / kBaseDpi;
        source = Scaled(source, f, f);
        corners = Scaled(corners, f, f);
    }
    if (source == RECTF())
        source = RECTF(0, 0, static_cast<float>(info.width), static_cast<float>(info.height));
    source.right = std::min(source.right, static_cast<float>(info.width));
    source.bottom = std::min(source.bottom, static_cast<float>(info.height));
    return !source.IsEmpty();
}

} // namespace

bool RenderTarget::DrawImage(WindowCore* core, const RECTF& dest, const RECTF& paint, CUiImage& image,
                             uint8_t opacity, BlurParams blur)
{
    if (image.IsEmpty() || !core)
        return false;
    const float scale = core->GetScale();
    const RECTF logicalDest = Scaled(dest, 1.0f / scale, 1.0f / scale);
    if (IsScaledSvg(image))
        image.UpdateLayoutForRect(logicalDest);
    tagTImageInfo* info = core->GetImage(image);
    if (!info)
        return false;
    info->currentFrame = image.GetFrame();

    const float dpiFactor = static_cast<float>(info->imageDpi) / kBaseDpi;
    image.UpdateLayout(std::trunc(info->width / dpiFactor), std::trunc(info->height / dpiFactor), logicalDest);
    RECTF source, corners;
    if (!image.IsSourceCellValid() || !ImageSource(image, *info, source, corners))
        return true;

    const RECTF laid = image.GetDestRect();
    RECTF imageRect(laid.left * scale, laid.top * scale, 0, 0);
    imageRect.right = imageRect.left + laid.Width() * scale;
    imageRect.bottom = imageRect.top + laid.Height() * scale;
    RECTF visible = dest;
    if (dest.IsEmpty() || imageRect.IsEmpty() || !visible.Intersect(imageRect) || !visible.Intersect(paint))
        return true;

    const float alpha = static_cast<float>(opacity < 255 ? opacity : image.GetFade()) / kOpaque;
    if (blur.deviation <= kNoBlurArgument)
        blur.deviation = image.GetBlur();
    DrawImageFrame(info, imageRect, paint, source, corners, alpha, image.IsTileX(), image.IsTileY(), blur);
    return true;
}

void RenderTarget::DrawImageFrame(const tagTImageInfo* info, const RECTF& imageRect, const RECTF& paint,
                                  const RECTF& source, const RECTF& corners, float alpha, bool tileX, bool tileY,
                                  const BlurParams& blur)
{
    if (!m_target || !info || info->currentFrame < 0 || info->currentFrame >= info->FrameCount())
        return;
    ID2D1Bitmap* frame = info->frames[static_cast<size_t>(info->currentFrame)].Get();
    if (!frame || info->width <= 0 || info->height <= 0)
        return;
    const D2D1_SIZE_U px = frame->GetPixelSize();
    const FramePainter painter{this,
                               frame,
                               paint,
                               static_cast<float>(px.width) / static_cast<float>(info->width),
                               static_cast<float>(px.height) / static_cast<float>(info->height),
                               alpha,
                               &blur};
    const RECTF& d = imageRect;
    const RECTF& s = source;
    const RECTF& c = corners;
    const bool noCorners = c.left == 0 && c.top == 0 && c.right == 0 && c.bottom == 0;
    if (noCorners && s.Width() == d.Width() && s.Height() == d.Height()) {
        painter.Draw(d, s);
        return;
    }

    const float k = static_cast<float>(info->targetDpi) / static_cast<float>(info->imageDpi);
    RECTF centre(d.left + c.left * k, d.top + c.top * k, d.right - c.right * k, d.bottom - c.bottom * k);
    RECTF centreSource(s.left + c.left, s.top + c.top, s.right - c.right, s.bottom - c.bottom);
    RECTF centreVisible = centre;
    if (centreVisible.Intersect(paint)) {
        if (tileX || tileY)
            DrawTiles(painter, centre, centreSource, k, tileX, tileY);
        else
            painter.Draw(centre, centreSource);
    }
    DrawBorders(painter, d, s, c, k);
}

void RenderTarget::DrawBitmapRect(ID2D1Bitmap* bitmap, const RECTF* dest, const RECTF* source, float alpha,
                                  const BlurParams& blur)
{
    if (!m_target || !bitmap)
        return;
    const D2D1_SIZE_F size = bitmap->GetSize();
    const D2D1_RECT_F whole = D2D1::RectF(0, 0, size.width, size.height);
    const D2D1_RECT_F d = dest ? ToD2D(*dest) : whole;
    const D2D1_RECT_F s = source ? ToD2D(*source) : whole;
    if (!m_deviceContext) {
        // Direct2D 1.0: no blur.
        m_target->DrawBitmap(bitmap, &d, alpha, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, &s);
        return;
    }
    ComPtr<ID2D1Bitmap> blurred;
    if (blur.deviation > kNoBlurDrawing)
        blurred = BlurredCopy(bitmap, blur);
    m_deviceContext->DrawBitmap(blurred ? blurred.Get() : bitmap, &d, alpha, D2D1_INTERPOLATION_MODE_LINEAR, &s,
                                nullptr);
}

ComPtr<ID2D1Bitmap> RenderTarget::BlurredCopy(ID2D1Bitmap* bitmap, const BlurParams& blur)
{
    if (!m_deviceContext || !bitmap)
        return nullptr;
    if (EffectAvailable(m_deviceContext, EffectKind::GaussianBlur)) {
        BlurEffect effect(blur);
        return ComPtr<ID2D1Bitmap>(effect.Apply(m_deviceContext, bitmap));
    }
    // Systems without the blur effect (Wine) get the same picture from our own
    // blur of the bitmap's pixels.
    const D2D1_SIZE_U size = bitmap->GetPixelSize();
    const int w = static_cast<int>(size.width), h = static_cast<int>(size.height);
    if (w <= 0 || h <= 0)
        return nullptr;
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h));
    if (!ReadPixels(bitmap, pixels.data(), w, h, w))
        return nullptr;
    BoxBlurPremultiplied(pixels.data(), w, h, blur.deviation, blur.border != 0);
    ComPtr<ID2D1Bitmap> blurred;
    const D2D1_BITMAP_PROPERTIES props = D2D1::BitmapProperties(
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), kDeviceDpi, kDeviceDpi);
    if (FAILED(m_target->CreateBitmap(size, pixels.data(), static_cast<UINT32>(w) * 4, &props, blurred.GetAddressOf())))
        return nullptr;
    return blurred;
}

} // namespace ui

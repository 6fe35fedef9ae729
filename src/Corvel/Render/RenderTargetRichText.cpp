// Rich text drawing of the render target: the layout of RichText.h drawn
// with GDI+ on the GDI device context the target lends, with an optional
// blurred halo; inline images go through Direct2D once the context is back.
// UI thread only.
#include "Corvel/Render/RenderTarget.h"

#include <objbase.h>
#include <gdiplus.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "Corvel/Render/Effects.h"
#include "Corvel/Render/RichText.h"

namespace ui {

namespace {

// The halo is a box blur, wider downwards than sideways.

RECT ToRect(const RECTF& r)
{
    return RECT{static_cast<LONG>(std::floor(r.left)), static_cast<LONG>(std::floor(r.top)),
                static_cast<LONG>(std::ceil(r.right)), static_cast<LONG>(std::ceil(r.bottom))};
}

// The text drawn in the blur colour into a bitmap of the rectangle's size,
// blurred into a halo, the text drawn again over it, and the bitmap put on
// the device context at the rectangle's top-left. Images are placed in the
// rectangle's coordinates.
void DrawWithHalo(WindowCore* core, HDC hdc, const RECT& box, const wchar_t* text, uint32_t argb, int* linkCount,
                  UINT format, uint32_t blurArgb, std::vector<RichTextImage>& images)
{
    const int width = box.right - box.left;
    const int height = box.bottom - box.top;
    if (width <= 0 || height <= 0)
        return;
    Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppPARGB);
    if (bitmap.GetLastStatus() != Gdiplus::Ok)
        return;
    {
        Gdiplus::Graphics onBitmap(&bitmap);
        RichTextCanvas canvas;
        canvas.dc = hdc;
        canvas.graphics = &onBitmap;
        RECT local{0, 0, width, height};
        DrawHtmlTextLayout(core, local, text, blurArgb, RichTextLinks(), format, canvas);
    }
    BlurTextIntoBlackMask(bitmap, width, height);
    {
        Gdiplus::Graphics onBitmap(&bitmap);
        RichTextCanvas canvas;
        canvas.dc = hdc;
        canvas.graphics = &onBitmap;
        canvas.images = [&](const RichTextImage& image) {
            RichTextImage moved = image;
            moved.dest = RECTF(image.dest.left + box.left, image.dest.top + box.top, image.dest.right + box.left,
                               image.dest.bottom + box.top);
            images.push_back(moved);
        };
        RECT local{0, 0, width, height};
        RichTextLinks links;
        links.count = linkCount;
        DrawHtmlTextLayout(core, local, text, argb, links, format, canvas);
    }
    Gdiplus::Graphics onTarget(hdc);
    onTarget.DrawImage(&bitmap, static_cast<INT>(box.left), static_cast<INT>(box.top));
}

} // namespace

void RenderTarget::DrawHtmlText(WindowCore* core, const RECTF& rect, const wchar_t* text, uint32_t argb,
                                int* linkCount, UINT format, uint32_t blurArgb)
{
    if (!core || !text || !*text)
        return;
    HDC hdc = BeginGdiClip();
    if (!hdc)
        return;
    std::vector<RichTextImage> images;
    RECT box = ToRect(rect);
    if (blurArgb == 0) {
        RichTextCanvas canvas;
        canvas.dc = hdc;
        canvas.images = [&images](const RichTextImage& image) { images.push_back(image); };
        RichTextLinks links;
        links.count = linkCount;
        DrawHtmlTextLayout(core, box, text, argb, links, format, canvas);
    } else {
        DrawWithHalo(core, hdc, box, text, argb, linkCount, format, blurArgb, images);
    }
    EndGdiClip(hdc);
    // GDI+ cannot draw a Direct2D bitmap: the images follow the text.
    for (const RichTextImage& image : images)
        DrawBitmapRect(image.bitmap, &image.dest, &image.source, 1.0f);
}

} // namespace ui

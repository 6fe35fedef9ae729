// The render target as the window core and the control base use it.
#include "Corvel/Core/CoreSeams.h"

#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/RenderTarget.h"

namespace ui {
namespace seams {

RenderTarget* CreateWindowTarget(WindowCore* core, HWND window)
{
    RenderTarget* target = new RenderTarget();
    // After device loss: fonts at the current scale, images reloaded, and a
    // repaint of the whole window once the loss has been dealt with.
    target->Init(window, nullptr, [core]() {
        if (core->GetFontManager())
            core->GetFontManager()->Rescale(core->GetScale());
        core->ReloadImages();
        core->PostUiTask(nullptr, [core]() {
            RECT rc = core->GetClientRect();
            core->MarkDirty(RECTF(0, 0, static_cast<float>(rc.right), static_cast<float>(rc.bottom)));
        });
    });
    return target;
}

void DestroyTarget(RenderTarget* target) { delete target; }

void ResizeTarget(RenderTarget* target, int x, int y, int width, int height)
{
    if (target)
        target->Resize(static_cast<float>(x), static_cast<float>(y), static_cast<float>(width),
                       static_cast<float>(height));
}

void BeginDraw(RenderTarget* target, const std::vector<RECTF>& rects)
{
    if (target)
        target->BeginDraw(rects);
}

void ClearRects(RenderTarget* target, const std::vector<RECTF>& rects)
{
    if (target)
        target->ClearRects(rects);
}

void EndDraw(RenderTarget* target, bool layered, const RECT& dirty)
{
    if (target)
        target->EndDraw(layered, layered ? &dirty : nullptr);
}

uint32_t PushClip(RenderTarget* target, const RECTF& rect)
{
    if (!target)
        return 0;
    ClipBox box = ClipBox::FromRect(rect);
    return target->PushClip(box);
}

void PopClip(RenderTarget* target, uint32_t id)
{
    if (target && id)
        target->RemoveClip(id);
}

void FillRect(RenderTarget* target, const RECTF& rect, uint32_t argb)
{
    if (!target || !target->GetD2DTarget())
        return;
    D2D1_COLOR_F c{((argb >> 16) & 0xFF) / 255.0f, ((argb >> 8) & 0xFF) / 255.0f, (argb & 0xFF) / 255.0f,
                   ((argb >> 24) & 0xFF) / 255.0f};
    ID2D1SolidColorBrush* brush = target->GetSolidBrush(c);
    if (brush)
        target->GetD2DTarget()->FillRectangle(D2D1::RectF(rect.left, rect.top, rect.right, rect.bottom), brush);
}

} // namespace seams
} // namespace ui

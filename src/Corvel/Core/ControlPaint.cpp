// The painting the control base does itself: its background colour. Style
// painters, images, text and borders draw through the same entry points once
// they exist.
#include "Corvel/Core/Control.h"

#include "Corvel/Core/CoreSeams.h"
#include "Corvel/Core/RectMath.h"

namespace ui {

void Control::Paint(const RECTF& dirty, bool pushClip)
{
    RECTF paint;
    if (!rectmath::Intersect(dirty, m_bounds, paint))
        return;
    RenderTarget* target = m_renderTarget ? m_renderTarget : ResolveRenderTarget();
    if (!target)
        return;
    uint32_t clip = pushClip ? seams::PushClip(target, paint) : 0;
    FillBackground(target, paint);
    seams::PopClip(target, clip);
}

void Control::FillBackground(RenderTarget* target, const RECTF& paintRect)
{
    uint32_t color = IsEnabled() ? m_bkColor : (m_bkColor ? m_disabledBkColor : 0);
    if ((color >> 24) == 0)
        return;
    seams::FillRect(target, paintRect, color);
}

void Control::PaintOuterShadow(RenderTarget*, const RECTF&)
{
    // Shadows come with the effects module: nothing to draw.
}

} // namespace ui

// Painting of the control base: the clip, then either the style set or six
// fixed passes. The base draws its background colour; images, text, shadows
// and borders come with their painters and draw nothing here yet.
#include "Corvel/Core/Control.h"

#include "Corvel/Core/CoreSeams.h"
#include "Corvel/Core/RectMath.h"

namespace ui {

void Control::Paint(const RECTF& dirty, bool pushClip)
{
    if (!m_visible)
        return;
    if (!rectmath::Intersect(dirty, m_bounds, m_paintRect))
        return;
    RenderTarget* target = m_renderTarget ? m_renderTarget : ResolveRenderTarget();
    uint32_t clip = (pushClip && target) ? seams::PushClip(target, m_paintRect) : 0;
    if (!PaintStyle(dirty)) {
        FillBackground(target, m_paintRect);
        DrawBackgroundImage(target, m_paintRect);
        PaintForeImage(target, m_paintRect);
        PaintInsetShadow(target, m_paintRect);
        PaintLabel(target, m_paintRect);
        DrawBorder(target, m_paintRect);
    }
    seams::PopClip(target, clip);
}

bool Control::PaintStyle(const RECTF&) { return false; }

void Control::FillBackground(RenderTarget* target, const RECTF&)
{
    // Only the value 0 means "no fill".
    if (m_bkColor == 0 || !target)
        return;
    seams::FillRect(target, m_bounds, m_bkColor);
}

void Control::DrawBackgroundImage(RenderTarget*, const RECTF&) {}
void Control::PaintForeImage(RenderTarget*, const RECTF&) {}
void Control::PaintInsetShadow(RenderTarget*, const RECTF&) {}
void Control::PaintLabel(RenderTarget*, const RECTF&) {}
void Control::DrawBorder(RenderTarget*, const RECTF&) {}

void Control::PaintOuterShadow(RenderTarget*, const RECTF&)
{
    // Shadows come with the effects painters: nothing to draw yet.
}

} // namespace ui

// Painting of the control base: the clip, then either the style set or six
// fixed passes. The base draws its background colour; images, text, shadows
// and borders come with their painters and draw nothing here yet.
#include "Corvel/Core/Control.h"

#include "Corvel/Core/CoreSeams.h"
#include "Corvel/Core/RectMath.h"
#include "Corvel/Render/Layer.h"
#include "Corvel/Render/RenderTarget.h"

namespace ui {

void Control::Paint(const RECTF& dirty, bool pushClip)
{
    if (!m_visible)
        return;
    if (!rectmath::Intersect(dirty, m_bounds, m_paintRect))
        return;
    const bool layerOpen = BeginLayer(m_paintRect);
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
    if (layerOpen)
        EndLayer(m_paintRect);
}

bool Control::BeginLayer(const RECTF& paintRect)
{
    return m_layer && m_layer->Begin(std::vector<RECTF>(1, paintRect));
}

void Control::EndLayer(const RECTF& paintRect)
{
    if (!m_layer)
        return;
    ClipBox clip = ClipBox::FromRect(paintRect);
    clip.shapeRect = m_bounds;
    // The blur of the whole control and its shadow record come with the
    // attributes that set them; until then a layer composites unblurred
    // and without a shadow.
    m_layer->End(static_cast<uint8_t>(m_alpha < 0 ? 0 : (m_alpha > 255 ? 255 : m_alpha)), BlurParams(), &clip,
                 BoxShadow());
}

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
    // The outer shadow is one of the control-painting passes, drawn through
    // the parent with RenderTarget::DrawShadow; those passes are not part
    // of the control yet, so there is nothing to draw.
}

} // namespace ui

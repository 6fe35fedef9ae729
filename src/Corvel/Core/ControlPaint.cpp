// Painting of the control base: clip, layer and blurred backdrop, then the
// style set or six fixed passes (background colour, background image, fore
// image, inset shadow, text, border). The outer shadow is painted by the
// parent before the control, so it can spill outside the control's clip.
#include "Corvel/Core/Control.h"

#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/ControlTransform.h"
#include "Corvel/Render/Layer.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/Shapes.h"

namespace ui {

namespace {

// A "web" shadow's blur is a CSS blur radius; Direct2D takes a deviation.
constexpr float kWebBlurToDeviation = 2.8199568f;
// State sizes at or below this are "not given" for per-side borders.
constexpr float kNoStateSize = 1e-9f;

// The shadow with its sizes and offsets scaled to device pixels.
BoxShadow ScaledShadow(const BoxShadow& shadow, float scale)
{
    BoxShadow scaled = shadow;
    scaled.size *= scale;
    scaled.offsetX *= scale;
    scaled.offsetY *= scale;
    if (scaled.web)
        scaled.blur /= kWebBlurToDeviation;
    return scaled;
}

RECTF Deflate(const RECTF& r, float inset)
{
    return RECTF{r.left + inset, r.top + inset, r.right - inset, r.bottom - inset};
}

} // namespace

void Control::Paint(const RECTF& dirty, bool pushClip)
{
    if (!m_visible)
        return;
    if (!rectmath::Intersect(dirty, m_bounds, m_paintRect)) {
        m_paintRect = RECTF{0, 0, 0, 0};
        return;
    }
    const bool layerOpen = BeginLayer(m_paintRect);
    RenderTarget* target = GetPaintTarget();
    ClipBox clip = MakeClipBox();
    {
        std::unique_ptr<ClipGuard> guard;
        if (pushClip && target) {
            target->PushClip(clip);
            guard = std::make_unique<ClipGuard>(target);
        }
        if (m_backBlur.deviation > 0.0f && m_core && m_core->GetRenderTarget())
            m_core->GetRenderTarget()->DrawBlurredBackdrop(1.0f, m_bounds, m_backBlur);
        if (!(HasStyleSet() && PaintStyle(dirty))) {
            FillBackground(target, m_paintRect);
            DrawBackgroundImage(target, m_paintRect);
            PaintForeImage(target, m_paintRect);
            PaintInsetShadow(target, m_paintRect);
            PaintLabel(target, m_paintRect);
            DrawBorder(target, m_paintRect);
        }
    }
    if (layerOpen)
        EndLayer(m_paintRect);
}

ClipBox Control::MakeClipBox() const
{
    ClipBox clip = ClipBox::FromRect(m_paintRect);
    const SIZE round = GetScaledBorderRound();
    clip.cornerWidth = static_cast<float>(round.cx);
    clip.cornerHeight = static_cast<float>(round.cy);
    clip.shapeRect = m_bounds;
    clip.topLeft = m_roundCorners[0];
    clip.topRight = m_roundCorners[1];
    clip.bottomRight = m_roundCorners[2];
    clip.bottomLeft = m_roundCorners[3];
    return clip;
}

bool Control::BeginLayer(const RECTF& paintRect)
{
    return m_layer && m_layer->Begin(std::vector<RECTF>(1, paintRect));
}

void Control::EndLayer(const RECTF&)
{
    if (!m_layer)
        return;
    if (m_transform) {
        m_transform->UpdateFromProperties([this](const std::wstring& name, float& value) {
            auto it = m_animatedValues.find(name);
            if (it == m_animatedValues.end())
                return false;
            value = it->second;
            return true;
        });
        m_layer->SetMatrix(m_transform->GetMatrix());
    }
    ClipBox clip = MakeClipBox();
    const uint8_t alpha = static_cast<uint8_t>(m_alpha < 0 ? 0 : (m_alpha > 255 ? 255 : m_alpha));
    m_layer->End(alpha, m_blur, &clip, ScaledShadow(m_boxShadow, GetScale()));
}

void Control::FillBackground(RenderTarget* target, const RECTF&)
{
    // Only the value 0 means "no fill"; a colour with alpha 0 still draws.
    if (m_bkColor == 0 || !target)
        return;
    const SIZE round = GetScaledBorderRound();
    CornerSize corner{static_cast<float>(round.cx), static_cast<float>(round.cy)};
    CornerSwitches switches = RoundCornerSwitches();
    target->FillShape(m_bounds, GradientStops{Color::MakeArgb(m_bkColor)}, nullptr, &corner, &switches, nullptr);
}

void Control::DrawBackgroundImage(RenderTarget*, const RECTF&)
{
    if (m_bkImage.IsEmpty())
        return;
    DrawImage(IsEnabled() ? m_bkImage : m_disabledBkImage);
}

void Control::PaintForeImage(RenderTarget*, const RECTF&)
{
    if (!m_foreImage.IsEmpty())
        DrawImage(m_foreImage);
}

void Control::DrawControlShadow(RenderTarget* target)
{
    const SIZE round = GetScaledBorderRound();
    CornerSize corner{static_cast<float>(round.cx), static_cast<float>(round.cy)};
    CornerSwitches switches = RoundCornerSwitches();
    Matrix4x4 matrix;
    const Matrix4x4* transform = nullptr;
    if (m_transform) {
        matrix = m_transform->GetMatrix();
        transform = &matrix;
    }
    target->DrawShadow(m_bounds, ScaledShadow(m_boxShadow, GetScale()), &corner, &switches, transform, nullptr);
}

void Control::PaintInsetShadow(RenderTarget* target, const RECTF&)
{
    if (m_boxShadow.size == 0 || !target || m_boxShadow.drop || !m_boxShadow.inset)
        return;
    DrawControlShadow(target);
}

void Control::PaintOuterShadow(RenderTarget* target, const RECTF&)
{
    if (m_boxShadow.size == 0 || !target || m_boxShadow.drop || m_boxShadow.inset == 1)
        return;
    DrawControlShadow(target);
}

void Control::PaintLabel(RenderTarget* target, const RECTF&)
{
    if (m_core) {
        if (m_textColor == 0)
            m_textColor = m_core->GetTextColor();
        if (m_disabledTextColor == 0)
            m_disabledTextColor = m_core->GetDisabledTextColor();
    }
    if (m_text.IsEmpty() || !target || !m_core)
        return;
    const float s = GetScale();
    const RECTF pad = GetScaledTextPadding();
    const RECTF rect{m_bounds.left + pad.left, m_bounds.top + pad.top, m_bounds.right - pad.right,
                     m_bounds.bottom - pad.bottom};
    const uint32_t argb = IsEnabled() ? m_textColor : m_disabledTextColor;
    const UINT format = static_cast<UINT>(m_textStyle);
    const uint32_t glow = static_cast<uint32_t>(m_textDrawOption);
    if (m_richText) {
        target->DrawBlurredText(m_core, rect, m_text.GetData(), argb, m_fontId, format, m_charSpacing * s,
                                m_lineSpacing * s, glow);
    } else if (m_showHtml) {
        target->DrawHtmlText(m_core, rect, m_text.GetData(), argb, nullptr, format, glow);
    } else {
        target->DrawText(m_core, rect, m_text.GetData(), GradientStops{Color::MakeArgb(argb)}, nullptr, m_fontId,
                         format, m_charSpacing * s, m_lineSpacing * s, glow);
    }
}

void Control::DrawBorder(RenderTarget* target, const RECTF&)
{
    if (!target)
        return;
    const float s = GetScale();
    uint32_t color;
    float stateSize;
    if (IsHot()) {
        color = m_hotBorderColor;
        stateSize = m_hotBorderSize * s;
    } else if (IsFocused()) {
        color = m_focusBorderColor;
        stateSize = m_focusBorderSize * s;
    } else {
        color = m_borderColor;
        stateSize = m_borderSize * s;
    }
    const GradientStops stops{Color::MakeArgb(color)};

    const SIZE round = GetScaledBorderRound();
    if (round.cx > 0 || round.cy > 0) {
        // A rounded outline of no width (no border, or a hot or focus size
        // never set) draws nothing.
        if (stateSize <= 0)
            return;
        CornerSize corner{static_cast<float>(round.cx), static_cast<float>(round.cy)};
        CornerSwitches switches = RoundCornerSwitches();
        target->DrawShape(Deflate(m_bounds, stateSize / 2), stops, nullptr, &corner, &switches, kDashSolid, nullptr,
                          stateSize);
        return;
    }

    const float side[4] = {m_sideBorders[0] * s, m_sideBorders[1] * s, m_sideBorders[2] * s, m_sideBorders[3] * s};
    if (side[0] != 0 && side[0] == side[1] && side[0] == side[2] && side[0] == side[3]) {
        const float width = stateSize > kNoStateSize ? stateSize : side[0];
        target->DrawShape(Deflate(m_bounds, width / 2), stops, nullptr, nullptr, nullptr, kDashSolid, nullptr, width);
        return;
    }

    if (side[0] > 0 || side[1] > 0 || side[2] > 0 || side[3] > 0) {
        // Lines sit half a device pixel in, at the current scale.
        const float h = s / 2;
        const RECTF& b = m_bounds;
        auto widthOf = [stateSize](float sideSize) { return stateSize > kNoStateSize ? stateSize : sideSize; };
        if (side[0] > 0) {
            const float w = widthOf(side[0]);
            target->DrawLine(RECTF{b.left + w / 2, b.top + h, b.left + w / 2, b.bottom + h}, stops, nullptr,
                             m_borderStroke, w);
        }
        if (side[1] > 0) {
            const float w = widthOf(side[1]);
            target->DrawLine(RECTF{b.left + h, b.top + w / 2, b.right + h, b.top + w / 2}, stops, nullptr,
                             m_borderStroke, w);
        }
        if (side[2] > 0) {
            const float w = widthOf(side[2]);
            const float x = b.right - w + w / 2;
            target->DrawLine(RECTF{x, b.top + h, x, b.bottom + h}, stops, nullptr, m_borderStroke, w);
        }
        if (side[3] > 0) {
            const float w = widthOf(side[3]);
            const float y = b.bottom - w + w / 2;
            target->DrawLine(RECTF{b.left + h, y, b.right + h, y}, stops, nullptr, m_borderStroke, w);
        }
        return;
    }

    if (stateSize > 0)
        target->DrawShape(Deflate(m_bounds, stateSize / 2), stops, nullptr, nullptr, nullptr, kDashSolid, nullptr,
                          stateSize);
}

} // namespace ui

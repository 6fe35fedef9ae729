// The answers a control gives its painters and containers: transition and
// animated style values, the size it wants, and the resize that follows a
// text change.
#include "Corvel/Core/Control.h"

#include <algorithm>
#include <cwchar>

#include "Corvel/Core/AnimatedColor.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/ControlTransform.h"
#include "Corvel/Render/Layer.h"
#include "Corvel/Render/TimeLine.h"

namespace ui {

namespace {

struct TextMeasure {
    int width = 0;
    int height = 0;
};

} // namespace

RenderTarget* Control::GetPaintTarget() const
{
    if (m_layer && m_layer->GetTarget())
        return m_layer->GetTarget();
    return m_renderTarget ? m_renderTarget : ResolveRenderTarget();
}

ControlTransform* Control::FindTransform() const
{
    for (const Control* c = this; c; c = c->m_parent) {
        if (c->m_transform)
            return c->m_transform.get();
    }
    return nullptr;
}

void Control::GetPropertyValue(PropertyValue& out, const wchar_t* name)
{
    out.Clear();
    if (!name)
        return;
    auto it = m_animatedValues.find(name);
    if (it == m_animatedValues.end())
        return;
    out.found = true;
    out.value = it->second;
}

void Control::GetStyleValue(PropertyValue& out, const wchar_t* suffix, const wchar_t* property)
{
    out.Clear();
    if (!property)
        return;
    const std::wstring key = std::wstring(property) + (suffix ? suffix : L"");
    if (wcscmp(property, L"color") == 0) {
        Color color;
        for (const AnimatedColorChannel& channel : kAnimatedColorChannels) {
            auto it = m_animatedStyleValues.find(key + channel.suffix);
            if (it == m_animatedStyleValues.end())
                return;
            color.*channel.field = it->second;
        }
        out.color = color;
        out.found = true;
        return;
    }
    if (wcscmp(property, L"alpha") == 0 || wcscmp(property, L"pensize") == 0) {
        auto it = m_animatedStyleValues.find(key);
        if (it == m_animatedStyleValues.end())
            return;
        out.found = true;
        out.value = it->second;
    }
}

bool Control::ApplyAnimationStep(CTimeLine* timeline)
{
    if (!timeline)
        return false;
    for (const std::wstring& name : timeline->ValueNames())
        m_animatedStyleValues[name] = timeline->GetValue(name.c_str());
    Repaint();
    return true;
}

// ------------------------------------------------------------- measuring

namespace {

TextMeasure MeasureControlText(Control* control, WindowCore* core, const CUiString& text, float availWidth,
                               float availHeight)
{
    TextMeasure m;
    m.width = static_cast<int>(availWidth);
    m.height = static_cast<int>(availHeight);
    core->MeasureText(m.width, m.height, text.GetData(), control->GetFontId(),
                      static_cast<UINT>(control->GetTextStyle()), control->GetCharSpacing() * control->GetScale());
    return m;
}

} // namespace

bool Control::ApplyTextSize(const CUiString& text, float availWidth, float availHeight, float& w, float& h)
{
    const TextMeasure m = MeasureControlText(this, m_core, text, availWidth, availHeight);
    const RECTF pad = GetScaledTextPadding();
    if (FitsWidthToText())
        w = m.width + pad.left + pad.right;
    if (FitsHeightToText())
        h = m.height + pad.top + pad.bottom;
    if (!m_float)
        return false;
    // A floating control without a size of its own takes the bare text's.
    if (w < 0 && m.width != 0)
        w = static_cast<float>(m.width);
    if (h < 0 && m.height != 0)
        h = static_cast<float>(m.height);
    return true;
}

ControlSize Control::MeasureSize(float availWidth, float availHeight)
{
    const float s = GetScale();
    float w = m_fixedWidth > 0 ? m_fixedWidth * s : -1.0f;
    float h = m_fixedHeight > 0 ? m_fixedHeight * s : -1.0f;

    const bool sizedByText = m_widthMode != kSizeStretch || m_heightMode != kSizeStretch;
    const CUiString text = sizedByText ? GetText() : CUiString();
    if (m_core && !text.IsEmpty()) {
        const bool floating = ApplyTextSize(text, availWidth, availHeight, w, h);
        if (!floating) {
            // A vertical box decides its children's widths, a horizontal
            // one their heights.
            if (m_parent && m_parent->CastTo(L"VBox"))
                w = -1;
            if (m_parent && m_parent->CastTo(L"HBox"))
                h = -1;
            if (availWidth < w && m_widthMode != kSizeStretch)
                w = availWidth;
            if (availHeight < h && m_heightMode != kSizeStretch)
                h = availHeight;
        }
    }

    // Percent sizes are of the parent; a control measured without one (a
    // root) has nothing to take a share of and keeps its answer.
    if (m_parent) {
        const RECTF parent = m_parent->GetBounds();
        if (m_floatFactors[0] > 0)
            w = parent.Width() * m_floatFactors[0] / 100.0f;
        if (m_floatFactors[1] > 0)
            h = parent.Height() * m_floatFactors[1] / 100.0f;
    }
    return ControlSize{w, h};
}

void Control::FitToText()
{
    const bool sizedByText = m_widthMode != kSizeStretch || m_heightMode != kSizeStretch;
    if (!IsVisible() || !m_core || !sizedByText)
        return;
    const CUiString text = GetText();
    if (text.IsEmpty())
        return;
    if (!m_float && m_parent) {
        RequestParentRelayout();
        return;
    }
    // Nothing follows the text when both sizes are given; and a control
    // whose placement is still pending gets its text size at that layout
    // (its rectangle is not yet where it will be).
    if (!FitsWidthToText() && !FitsHeightToText())
        return;
    if (m_layoutPending) {
        RequestRelayout();
        return;
    }

    const float s = GetScale();
    float w = m_fixedWidth > 0 ? m_fixedWidth * s : 0.0f;
    float h = m_fixedHeight > 0 ? m_fixedHeight * s : 0.0f;
    RECTF avail;
    if (m_parent) {
        avail = m_parent->GetBounds();
    } else {
        const RECT client = m_core->GetClientRect();
        avail = RECTF{0, 0, static_cast<float>(client.right - client.left),
                      static_cast<float>(client.bottom - client.top)};
    }
    if (!ApplyTextSize(text, avail.Width(), avail.Height(), w, h) && m_parent) {
        w = std::min(m_parent->GetBounds().Width(), w);
        h = std::min(m_parent->GetBounds().Height(), h);
    }

    RECTF r = m_bounds;
    const bool inVBox = m_parent && m_parent->CastTo(L"VBox");
    const bool inHBox = m_parent && m_parent->CastTo(L"HBox");
    if (FitsWidthToText() && !inVBox) {
        if (GetTextStyle() & kTextCenter) {
            r.left -= (w - r.Width()) / 2;
            r.right = r.left + w;
        } else {
            r.right = r.left + w;
        }
    }
    if (FitsHeightToText() && !inHBox)
        r.bottom = r.top + h;
    SetBounds(r);
}

} // namespace ui

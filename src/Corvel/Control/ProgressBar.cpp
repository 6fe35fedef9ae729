#include "Corvel/Control/ProgressBar.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <string>

#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/Shapes.h"

namespace ui {

namespace {

// Skin height of a bar that names none.
constexpr float kDefaultHeight = 12.0f;
// Centred horizontally on one line.
constexpr int kBarTextStyle = kTextCenter | kTextSingleLine;
// Value animation: Quad easing, in and out.
constexpr short kEaseQuad = 4;
constexpr short kEaseInOut = 2;
// Timeline stop that leaves the values where they are.
constexpr int kStopInPlace = 0;
// The marquee block is a fifth of the bar.
constexpr int kMarqueeParts = 5;
constexpr float kMsPerSecond = 1000.0f;
// Images are drawn at their own opacity.
constexpr uint8_t kOpaque = 255;
// Painter coordinates meaning "the painter's own edge".
constexpr float kOwnEdge = -1.0f;
constexpr float kOwnStart = -2.0f;
// Where an empty fill at the left edge is reported instead (see
// GetPropertyValue): half a pixel out, clear of the markers -1 and -2 the
// bound element reads as "keep" and "against the far edge".
constexpr float kEmptyFillShift = 0.5f;

const wchar_t kValueName[] = L"Value";
const wchar_t kMarqueeName[] = L"endless";
const wchar_t kValuePlaceholder[] = L"{v}";

using BarSetter = void (*)(ProgressBar& bar, const wchar_t* value);

} // namespace

ProgressBar::ProgressBar()
{
    m_fixedHeight = kDefaultHeight;
    m_heightMode = kSizeStretch;
    m_autoHeight = false;
    m_textStyle = kBarTextStyle;
}

ProgressBar::~ProgressBar()
{
    if (m_core && !m_valueControlName.IsEmpty())
        m_core->RemovePendingSetupControl(this);
}

const wchar_t* ProgressBar::GetClassName() const { return L"ProgressBar"; }

void* ProgressBar::CastTo(const wchar_t* typeName)
{
    if (typeName && (wcscmp(typeName, L"ProgressBar") == 0 || wcscmp(typeName, L"Control") == 0))
        return this;
    return nullptr;
}

// ------------------------------------------------------------------ value

void ProgressBar::SetValue(float value, int durationMs)
{
    if (value == m_value || value < static_cast<float>(m_minimum) || value > static_cast<float>(m_maximum))
        return;
    if (durationMs >= 1 && m_core) {
        if (!m_valueTimeline) {
            m_valueTimeline = std::make_unique<CTimeLineTween>();
        } else {
            // A run still going leaves the core's list, so that this one
            // starts afresh from the current value.
            if (m_valueTimeline->IsRunning())
                m_valueTimeline->Stop(kStopInPlace);
            m_valueTimeline->Reset();
            m_valueTimeline->ClearValues();
        }
        m_valueTimeline->SetEasing(kEaseQuad, kEaseInOut, static_cast<float>(durationMs));
        m_valueTimeline->AddValue(kValueName, m_value, value);
        m_valueTimeline->Start(m_core, [this](CTimeLine* t) { return OnValueStep(t); });
        return;
    }
    // A run still going would overwrite this value later.
    if (m_valueTimeline && m_valueTimeline->IsRunning())
        m_valueTimeline->Stop(kStopInPlace);
    m_value = value;
    UpdateValueText();
    Repaint();
}

bool ProgressBar::OnValueStep(CTimeLine* timeline)
{
    m_value = timeline->GetValue(kValueName);
    UpdateValueText();
    Repaint();
    return true;
}

Control* ProgressBar::LiveValueControl() const
{
    // The named control may have left the tree since it was looked up.
    if (!m_valueControl || !m_core || !m_core->IsControlRegistered(m_valueControl))
        return nullptr;
    return m_valueControl;
}

void ProgressBar::UpdateValueText()
{
    Control* target = LiveValueControl();
    if (!target)
        return;
    const std::wstring number = std::to_wstring(static_cast<int>(m_value));
    if (m_valueTextTemplate.IsEmpty()) {
        target->SetText(number.c_str());
        return;
    }
    std::wstring text = m_valueTextTemplate.GetData();
    const size_t placeholderLength = wcslen(kValuePlaceholder);
    for (size_t at = text.find(kValuePlaceholder); at != std::wstring::npos;
         at = text.find(kValuePlaceholder, at + number.size()))
        text.replace(at, placeholderLength, number);
    target->SetText(text.c_str());
}

void ProgressBar::FinishTreeSetup()
{
    if (m_valueControlName.IsEmpty() || !m_core)
        return;
    m_valueControl = m_core->FindControlByName(m_valueControlName);
    UpdateValueText();
}

// --------------------------------------------------------------- geometry

float ProgressBar::ValueFraction() const
{
    // The range is repaired only when painted; until then an empty one
    // must not divide by zero.
    const float span = static_cast<float>(m_maximum - m_minimum);
    if (span <= 0.0f)
        return 0.0f;
    return (m_value - static_cast<float>(m_minimum)) / span;
}

void ProgressBar::NormaliseRange()
{
    if (m_minimum >= m_maximum)
        m_maximum = m_minimum + 1;
    m_value = std::min(std::max(m_value, static_cast<float>(m_minimum)), static_cast<float>(m_maximum));
}

RECTF ProgressBar::FilledRect() const
{
    const RECTF& b = m_bounds;
    const float fraction = ValueFraction();
    if (m_horizontal)
        return RECTF(b.left, b.top, b.left + fraction * b.Width(), b.bottom);
    // The fill rises from the bottom edge.
    return RECTF(b.left, b.top + (1.0f - fraction) * b.Height(), b.right, b.bottom);
}

void ProgressBar::SetBounds(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    const int width = static_cast<int>(m_bounds.Width());
    if (m_endlessPeriod != 0 && width != m_marqueeWidth)
        RestartMarquee(width);
}

void ProgressBar::RestartMarquee(int width)
{
    m_marqueeWidth = width;
    const int block = width / kMarqueeParts;
    m_marqueeOffset = static_cast<float>(-block);
    // The old timeline leaves the core's list as it is deleted.
    m_marqueeTimeline = std::make_unique<CTimeLineTween>();
    m_marqueeTimeline->SetEasing(kEaseQuad, kEaseInOut, static_cast<float>(m_endlessPeriod) * kMsPerSecond);
    m_marqueeTimeline->SetRepeatCount(-1);
    m_marqueeTimeline->AddValue(kMarqueeName, static_cast<float>(-block), static_cast<float>(width + block));
    if (!m_core)
        return;
    m_marqueeTimeline->Start(m_core, [this](CTimeLine* t) {
        const float offset = t->GetValue(kMarqueeName);
        if (offset != m_marqueeOffset) {
            m_marqueeOffset = offset;
            Repaint();
        }
        return true;
    });
}

void ProgressBar::GetPropertyValue(PropertyValue& out, const wchar_t* name)
{
    if (!name || (wcscmp(name, L"progress") != 0 && wcscmp(name, L"block") != 0)) {
        Control::GetPropertyValue(out, name);
        return;
    }
    const RECTF& b = m_bounds;
    const bool progress = wcscmp(name, L"progress") == 0;
    const float fraction = ValueFraction();
    out.found = true;
    if (progress && m_endlessPeriod != 0 && m_horizontal) {
        const float w = b.Width() / kMarqueeParts;
        const float x = b.left + m_marqueeOffset;
        out.rect = RECTF(std::min(b.right, std::max(b.left, x)), b.top, std::min(b.right, std::max(b.left, x + w)),
                         b.bottom);
    } else if (m_horizontal) {
        out.rect = RECTF(progress ? b.left : kOwnStart, kOwnEdge, b.left + b.Width() * fraction, b.bottom);
        // A bound element reads a far edge of 0 as "keep your own width": an
        // empty fill of a bar at the window's left edge would paint the whole
        // bar. The empty fill moves just outside, still empty.
        if (progress && out.rect.right == 0.0f)
            out.rect.left = out.rect.right = -kEmptyFillShift;
    } else {
        out.rect = RECTF(kOwnEdge, progress ? b.top : kOwnStart, b.right, b.top + b.Height() * fraction);
    }
}

// --------------------------------------------------------------- painting

void ProgressBar::PaintForeImage(RenderTarget* target, const RECTF& paintRect)
{
    NormaliseRange();
    PaintFill(paintRect);
    if (m_showText)
        PaintPercentText(target);
}

void ProgressBar::PaintFill(const RECTF& paintRect)
{
    RenderTarget* target = GetPaintTarget();
    const RECTF filled = FilledRect();
    if (filled.IsEmpty() || m_foreImage.IsEmpty() || !target || !m_core)
        return;
    RECTF visible = paintRect;
    if (!visible.Intersect(filled))
        return;
    // Stretched, the image is laid out in the filled part; otherwise it is
    // laid out over the whole bar and cut at the fill edge.
    target->DrawImage(m_core, m_stretchFore ? filled : m_bounds, visible, m_foreImage, kOpaque);
}

void ProgressBar::PaintPercentText(RenderTarget* target)
{
    if (!target || !m_core)
        return;
    if (m_textColor == 0)
        m_textColor = m_core->GetTextColor();
    const std::wstring text = std::to_wstring(static_cast<int>(m_value)) + L"%";
    target->DrawText(m_core, m_bounds, text.c_str(), GradientStops{Color::MakeArgb(m_textColor)}, nullptr, m_fontId,
                     static_cast<UINT>(m_textStyle), 0.0f, 0.0f, 0);
}

// ------------------------------------------------------------- attributes

void ProgressBar::SetRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
    Repaint();
}

void ProgressBar::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    struct Entry {
        const wchar_t* name;
        BarSetter set;
    };
    static const Entry kEntries[] = {
        {L"hor",
         [](ProgressBar& b, const wchar_t* v) {
             const bool horizontal = wcscmp(v, L"true") == 0;
             if (horizontal != b.m_horizontal) {
                 b.m_horizontal = horizontal;
                 b.Repaint();
             }
         }},
        {L"min", [](ProgressBar& b, const wchar_t* v) { b.SetRange(ParseInt(v), b.m_maximum); }},
        {L"max", [](ProgressBar& b, const wchar_t* v) { b.SetRange(b.m_minimum, ParseInt(v)); }},
        {L"value", [](ProgressBar& b, const wchar_t* v) { b.SetValue(ParseFloat(v), 0); }},
        {L"showtext", [](ProgressBar& b, const wchar_t* v) { b.m_showText = wcscmp(v, L"true") == 0; }},
        {L"isstretchfore", [](ProgressBar& b, const wchar_t* v) { b.m_stretchFore = wcscmp(v, L"true") == 0; }},
        {L"endless", [](ProgressBar& b, const wchar_t* v) { b.m_endlessPeriod = ParseInt(v); }},
        {L"valueui",
         [](ProgressBar& b, const wchar_t* v) {
             b.m_valueControlName = v;
             if (b.m_core)
                 b.m_core->AddPendingSetupControl(&b);
         }},
        {L"valuetext", [](ProgressBar& b, const wchar_t* v) { b.m_valueTextTemplate = v; }},
    };
    if (name && value) {
        for (const Entry& entry : kEntries) {
            if (wcscmp(name, entry.name) == 0) {
                entry.set(*this, value);
                return;
            }
        }
    }
    Control::SetAttribute(name, value);
}

} // namespace ui

#include "Corvel/Control/Spinner.h"

#include <cmath>
#include <cwchar>
#include <random>

#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/Easing.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/UiColor.h"

namespace ui {

namespace {

// One turn of every timeline, in degrees.
constexpr float kFullTurn = 360.0f;
// The whole arc turns once in this time while it grows and shrinks.
constexpr float kAngleTurnMs = 6000.0f;
// One grow-and-shrink cycle of the arc.
constexpr float kArcCycleMs = 2000.0f;
// The timelines never run out.
constexpr int kEndless = -1;
// Opaque alpha given to random colours, so that they show.
constexpr uint32_t kOpaque = 0xFF000000u;

const wchar_t kAngleValue[] = L"angle";
const wchar_t kArcValue[] = L"arc";
const wchar_t kStartArcValue[] = L"startArc";

// "random" or "r": an opaque colour of random channels; otherwise hex ARGB.
uint32_t ReadSpinnerColor(const wchar_t* value)
{
    if (wcscmp(value, L"random") == 0 || wcscmp(value, L"r") == 0) {
        static std::minstd_rand generator(std::random_device{}());
        return kOpaque | (static_cast<uint32_t>(generator()) & 0x00FFFFFFu);
    }
    return ParseHexColor(value, true);
}

std::unique_ptr<CTimeLineTween> MakeTurn(const wchar_t* name, float durationMs, short easing, short mode)
{
    auto timeline = std::make_unique<CTimeLineTween>();
    timeline->AddValue(name, 0.0f, kFullTurn);
    timeline->SetEasing(easing, mode, durationMs);
    timeline->SetRepeatCount(kEndless);
    return timeline;
}

} // namespace

Spinner::Spinner() = default;
// The timelines leave the core's running list as they are destroyed.
Spinner::~Spinner() = default;

const wchar_t* Spinner::GetClassName() const { return L"Spinner"; }

void* Spinner::CastTo(const wchar_t* typeName)
{
    if (typeName && (wcscmp(typeName, L"Spinner") == 0 || wcscmp(typeName, L"Control") == 0))
        return this;
    return nullptr;
}

void Spinner::Initialize()
{
    Control::Initialize();
    StartTimelines();
}

void Spinner::StartTimelines()
{
    if (m_angleLine || !m_core)
        return;
    m_angleLine = MakeTurn(kAngleValue, kAngleTurnMs, kEaseLinear, kEaseModeInOut);
    m_arcLine = MakeTurn(kArcValue, kArcCycleMs, kEaseCubic, kEaseModeInOut);
    m_startArcLine = MakeTurn(kStartArcValue, kArcCycleMs, kEaseCubic, kEaseModeIn);
    m_angleLine->Start(m_core, [this](CTimeLine* t) { return OnStep(t, kAngleValue, m_angle); });
    m_arcLine->Start(m_core, [this](CTimeLine* t) { return OnStep(t, kArcValue, m_arc); });
    m_startArcLine->Start(m_core, [this](CTimeLine* t) { return OnStep(t, kStartArcValue, m_startArc); });
}

bool Spinner::OnStep(CTimeLine* timeline, const wchar_t* name, float& field)
{
    if (timeline->IsPaused())
        return true;
    field = timeline->GetValue(name);
    Repaint();
    return true;
}

void Spinner::SetVisible(bool show)
{
    if (m_angleLine && m_arcLine && m_startArcLine) {
        for (CTimeLineTween* t : {m_angleLine.get(), m_arcLine.get(), m_startArcLine.get()}) {
            if (show)
                t->Reset();
            t->SetPaused(!show);
        }
    }
    Control::SetVisible(show);
}

void Spinner::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value)
        return;
    if (wcscmp(name, L"pensize") == 0)
        m_penSize = static_cast<float>(ParseInt(value));
    else if (wcscmp(name, L"color") == 0)
        m_startColor = ReadSpinnerColor(value);
    else if (wcscmp(name, L"endcolor") == 0)
        m_endColor = ReadSpinnerColor(value);
    else
        Control::SetAttribute(name, value);
}

RECTF Spinner::ArcRect(float penWidth) const
{
    const float inset = (penWidth + 1.0f) / 2.0f;
    return RECTF{m_bounds.left + inset, m_bounds.top + inset, m_bounds.right - inset, m_bounds.bottom - inset};
}

void Spinner::FillBackground(RenderTarget* target, const RECTF&)
{
    if (!target || m_bkColor == 0)
        return;
    const float pen = m_penSize * GetScale();
    const RECTF ring = ArcRect(pen);
    // Corner radii as large as the rectangle make the outline an ellipse.
    CornerSize corner{ring.Width(), ring.Height()};
    target->DrawShape(ring, GradientStops{Color::MakeArgb(m_bkColor)}, nullptr, &corner, nullptr, 0, nullptr, pen);
}

void Spinner::PaintForeImage(RenderTarget* target, const RECTF&)
{
    if (!target)
        return;
    const float pen = m_penSize * GetScale();
    const int start = static_cast<int>(m_startArc + m_angle) % static_cast<int>(kFullTurn);
    const int sweep = static_cast<int>(m_arc - m_startArc) % static_cast<int>(kFullTurn);
    if (sweep == 0)
        return;
    // DrawArc puts its second colour at the arc's start.
    target->DrawArc(static_cast<float>(start), static_cast<float>(sweep), ArcRect(pen), pen,
                    Color::MakeArgb(m_endColor), Color::MakeArgb(m_startColor));
}

} // namespace ui

// Control transitions: triggers bound to the window's animation definitions,
// their timelines on the core's idle tick, the animated values they write
// and how those values reach the control (alpha, bounds, transform).
#include "Corvel/Core/Control.h"

#include "Corvel/Control/Box.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/ControlTransform.h"

#include <cwchar>
#include <cwctype>
#include <utility>

namespace ui {

namespace {

const wchar_t kShowTrigger[] = L"show";
const wchar_t kHideTrigger[] = L"hide";
const wchar_t kInitTrigger[] = L"init";

// Timeline stop modes used here.
constexpr int kStopRemove = 0;      // stopped and out of the running list
constexpr int kStopTurnBack = 3;    // plays backwards from where it is
constexpr int kStopTurnForward = 4; // plays forward again

// Repeat values of an animation definition.
constexpr int kRepeatForever = -1;
constexpr int kPingPongForever = -2;

// Easing modes by the definition's slope text; anything else eases in.
struct SlopeMode {
    const wchar_t* text;
    short mode;
};
constexpr SlopeMode kSlopes[] = {{L"in", 0}, {L"out", 1}, {L"inout", 2}};
constexpr short kDefaultSlopeMode = 0;

constexpr float kMsPerSecond = 1000.0f;
constexpr float kOpaqueAlpha = 255.0f;

// Trigger names of the state bits, in state-bit order.
struct StateTrigger {
    int bit;
    const wchar_t* name;
};
constexpr StateTrigger kStateTriggers[] = {
    {kStateDisabled, L"disabled"}, {kStateBusy, L"busy"}, {kStateNormal, L"normal"}, {kStateSelected, L"selected"},
    {kStateFocused, L"focused"},   {kStateHot, L"hot"},   {kStateHover, L"hover"},   {kStatePushed, L"pushed"},
};

bool IsPlaying(const CTimeLine& timeline) { return timeline.IsRunning() && !timeline.IsStopped(); }

std::wstring Trimmed(const std::wstring& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && iswspace(text[begin]))
        ++begin;
    while (end > begin && iswspace(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

// "trigger=name", or one name for both; blanks around either are dropped.
void SplitTransitionItem(const std::wstring& item, std::wstring& trigger, std::wstring& name)
{
    const size_t eq = item.find(L'=');
    trigger = Trimmed(item.substr(0, eq));
    name = eq == std::wstring::npos ? trigger : Trimmed(item.substr(eq + 1));
}

short SlopeToMode(const std::wstring& slope)
{
    for (const SlopeMode& s : kSlopes) {
        if (slope == s.text)
            return s.mode;
    }
    return kDefaultSlopeMode;
}

// Repeat count and reverse flag of a definition's repeat value: -1 forever,
// -2 ping-pong forever, another -n n times with reverse, n n times.
void ApplyRepeat(int repeat, CTimeLineTween& timeline, int& repeatCount)
{
    repeatCount = 0;
    if (repeat == kRepeatForever) {
        repeatCount = kRepeatForever;
    } else if (repeat == kPingPongForever) {
        timeline.SetReverse(true);
        repeatCount = kRepeatForever;
    } else if (repeat < 0) {
        timeline.SetReverse(true);
        repeatCount = -repeat;
    } else {
        repeatCount = repeat;
    }
    timeline.SetRepeatCount(repeatCount);
}

// Alpha 0..1 to 0..255, truncated; eased values past either end (a "back"
// or "elastic" curve) stay inside.
int AlphaOf(float value)
{
    const float scaled = value * kOpaqueAlpha;
    if (scaled >= kOpaqueAlpha)
        return static_cast<int>(kOpaqueAlpha);
    return scaled > 0.0f ? static_cast<int>(scaled) : 0;
}

} // namespace

// ------------------------------------------------------------ transform

void Control::SetTransform(const wchar_t* name)
{
    const ControlTransform* named = m_core ? m_core->FindTransform(name) : nullptr;
    if (!named)
        return;
    m_transform = std::make_unique<ControlTransform>(*named);
    RefreshTransformFrame();
    m_transform->Compose();
    Repaint();
}

void Control::RefreshTransformFrame()
{
    if (m_transform)
        m_transform->SetFrame(m_bounds.left, m_bounds.top, m_bounds.right - m_bounds.left,
                              m_bounds.bottom - m_bounds.top, GetScale());
}

// ------------------------------------------------------------- binding

void Control::SetTransition(const wchar_t* text)
{
    m_transitionText = text;
    ParseTransition(text);
}

void Control::ParseTransition(const wchar_t* text)
{
    if (!m_core || !text)
        return;
    const std::wstring all(text);
    size_t start = 0;
    while (start <= all.size()) {
        size_t comma = all.find(L',', start);
        if (comma == std::wstring::npos)
            comma = all.size();
        std::wstring trigger, name;
        SplitTransitionItem(all.substr(start, comma - start), trigger, name);
        start = comma + 1;
        AnimationSpec spec;
        if (!trigger.empty() && m_core->FindAnimationSpec(name.c_str(), spec))
            BindTransition(trigger, spec);
    }
}

void Control::BindTransition(const std::wstring& trigger, const AnimationSpec& spec)
{
    Transition t;
    t.timeline = std::make_unique<CTimeLineTween>();
    t.timeline->SetEasing(static_cast<short>(spec.easing), SlopeToMode(spec.slope), spec.duration * kMsPerSecond);
    ApplyRepeat(spec.repeat, *t.timeline, t.repeat);
    for (const AnimationProperty& p : spec.properties) {
        if (p.from == p.to)
            continue;
        t.timeline->AddValue(p.name.c_str(), p.from, p.to);
        t.ranges.push_back(TransitionRange{p.name, p.from, p.to});
        m_animatedValues[p.name] = p.from;
    }
    // A timeline replaced while it plays leaves the running list as it is
    // deleted; its callback is not called.
    m_transitions[trigger] = std::move(t);
}

Control::Transition* Control::FindTransition(const wchar_t* trigger)
{
    if (!trigger)
        return nullptr;
    auto it = m_transitions.find(trigger);
    return it == m_transitions.end() ? nullptr : &it->second;
}

CTimeLineTween* Control::GetTransitionTimeline(const wchar_t* trigger) const
{
    if (!trigger)
        return nullptr;
    auto it = m_transitions.find(trigger);
    return it == m_transitions.end() ? nullptr : it->second.timeline.get();
}

// ------------------------------------------------------------- playing

bool Control::PlayTransition(const wchar_t* trigger, TransitionFinished finished)
{
    Transition* t = FindTransition(trigger);
    if (!t)
        return false;
    CTimeLineTween* timeline = t->timeline.get();
    if (IsPlaying(*timeline)) {
        if (timeline->GetSpeed() <= 0.0f)
            timeline->Stop(kStopTurnForward);
        return false;
    }
    // A control on its way out finishes its hide first.
    if (HidingAnimatesValuesOf(timeline))
        return false;
    const std::wstring name(trigger);
    return StartTransition(*t, [this, name](CTimeLine* tl) { return OnTransitionStep(name, tl); },
                           std::move(finished));
}

bool Control::ReverseTransition(const wchar_t* trigger)
{
    Transition* t = FindTransition(trigger);
    if (!t || !IsPlaying(*t->timeline))
        return false;
    t->timeline->Stop(kStopTurnBack);
    return true;
}

void Control::CompleteInit()
{
    m_initialised = true;
    Transition* init = FindTransition(kInitTrigger);
    if (!init)
        return;
    const std::wstring name(kInitTrigger);
    StartTransition(*init, [this, name](CTimeLine* tl) { return OnTransitionStep(name, tl); });
}

bool Control::StartTransition(Transition& transition, TimeLineStep step, TransitionFinished finished)
{
    CTimeLineTween* timeline = transition.timeline.get();
    if (!m_core || !timeline->HasValues())
        return false;
    // Every play starts from the definition, whatever the last one left.
    for (const TransitionRange& r : transition.ranges)
        timeline->SetValueRange(r.name.c_str(), r.from, r.to);
    timeline->SetRepeatCount(transition.repeat);
    std::vector<TransitionFinished> interrupted = TakeOverValues(timeline);

    timeline->Reset();
    // A timeline that ends in its own step is still listed until that step
    // returns; started again from there it must not count as listed twice.
    m_core->TimeLines().Remove(timeline);
    if (!timeline->Start(m_core, std::move(step)))
        return false;
    transition.finished = std::move(finished);
    // The first frame starts where the timeline does, not at what the
    // control showed before.
    for (const auto& kv : timeline->Values())
        timeline->SetValue(kv.first.c_str(), kv.second->from);
    ApplyValuesOf(timeline);
    // Last: a callback may delete the control.
    for (TransitionFinished& f : interrupted) {
        if (f)
            f(false);
    }
    return true;
}

std::vector<Control::TransitionFinished> Control::TakeOverValues(CTimeLineTween* timeline)
{
    std::vector<TransitionFinished> interrupted;
    for (auto& kv : m_transitions) {
        CTimeLineTween* other = kv.second.timeline.get();
        if (other == timeline || !IsPlaying(*other))
            continue;
        bool shares = false;
        for (const auto& value : other->Values()) {
            auto mine = timeline->Values().find(value.first);
            if (mine == timeline->Values().end())
                continue;
            shares = true;
            auto current = m_animatedValues.find(value.first);
            if (current != m_animatedValues.end())
                timeline->SetValueRange(value.first.c_str(), current->second, mine->second->to);
        }
        if (!shares)
            continue;
        other->Stop(kStopRemove);
        // A show (or a hide turned back) taken over no longer animates the
        // control's visibility.
        if (kv.first == kShowTrigger || kv.first == kHideTrigger)
            m_showHideAnimating = false;
        interrupted.push_back(std::move(kv.second.finished));
        kv.second.finished = nullptr;
    }
    return interrupted;
}

bool Control::HidingAnimatesValuesOf(const CTimeLine* timeline) const
{
    if (!m_showHideAnimating)
        return false;
    for (const wchar_t* trigger : {kShowTrigger, kHideTrigger}) {
        auto it = m_transitions.find(trigger);
        if (it == m_transitions.end() || it->second.timeline.get() == timeline || !IsPlaying(*it->second.timeline))
            continue;
        for (const auto& value : it->second.timeline->Values()) {
            if (timeline->Values().count(value.first))
                return true;
        }
    }
    return false;
}

void Control::PlayStateTransitions(int previousState)
{
    const int entered = m_state & ~previousState;
    if (entered == 0 || m_transitions.empty())
        return;
    for (const StateTrigger& s : kStateTriggers) {
        if ((entered & s.bit) && FindTransition(s.name))
            PlayTransition(s.name);
    }
}

// ------------------------------------------------------------- show/hide

bool Control::CarryVisibilityChange(bool show)
{
    Transition* wanted = FindTransition(show ? kShowTrigger : kHideTrigger);
    Transition* opposite = FindTransition(show ? kHideTrigger : kShowTrigger);
    if (wanted && IsPlaying(*wanted->timeline)) {
        // On its way already; turned back by the opposite change, it turns
        // forward again from where it is.
        if (wanted->timeline->GetSpeed() <= 0.0f)
            wanted->timeline->Stop(kStopTurnForward);
        m_showHideAnimating = !show;
        return true;
    }
    // The opposite timeline turns back from where it is. Showing does so
    // even without a "show" timeline: a hide left playing would hide the
    // control at its end.
    if (opposite && IsPlaying(*opposite->timeline) && (wanted || show)) {
        if (opposite->timeline->GetSpeed() > 0.0f)
            opposite->timeline->Stop(kStopTurnBack);
        if (!show)
            m_showHideAnimating = true;
        return true;
    }
    m_showHideAnimating = false;
    if (!wanted) {
        // Shown without a "show" timeline, the control gets back the values
        // its hide started from: an ended fade would leave it invisible.
        if (show && opposite) {
            for (const TransitionRange& r : opposite->ranges)
                m_animatedValues[r.name] = r.from;
            ApplyValues(opposite->timeline.get());
        }
        return false;
    }
    if (!StartTransition(*wanted, [this, show](CTimeLine* tl) { return OnShowHideStep(show, tl); }))
        return false;
    m_showHideAnimating = !show;
    return true;
}

// ------------------------------------------------------------- steps

bool Control::OnTransitionStep(const std::wstring& trigger, CTimeLine* timeline)
{
    Transition* t = FindTransition(trigger.c_str());
    if (!t || t->timeline.get() != timeline || m_animatedValues.empty())
        return false;
    const bool ended = !timeline->IsRunning() || timeline->IsStopped();
    ApplyValuesOf(timeline);
    // Hooks run by the new bounds may have bound the trigger anew.
    t = FindTransition(trigger.c_str());
    if (ended && t && t->timeline.get() == timeline) {
        TransitionFinished finished = std::move(t->finished);
        t->finished = nullptr;
        // Last: the callback may delete the control.
        if (finished)
            finished(timeline->GetSpeed() > 0.0f);
    }
    return true;
}

bool Control::OnShowHideStep(bool showing, CTimeLine* timeline)
{
    if (m_animatedValues.empty())
        return false;
    const bool ended = !timeline->IsRunning() || timeline->IsStopped();
    ApplyValuesOf(timeline);
    if (!ended)
        return true;
    const bool forward = timeline->GetSpeed() > 0.0f;
    // A hide that ran to its end hides the control; one turned back leaves
    // it shown. A show turned back by a hide hides it at its start.
    if (!showing) {
        m_showHideAnimating = false;
        if (forward)
            CommitVisible(false);
    } else if (!forward) {
        m_showHideAnimating = false;
        CommitVisible(false);
    }
    return true;
}

// ------------------------------------------------------------- values

bool Control::GetAnimatedValue(const std::wstring& name, float& value) const
{
    auto it = m_animatedValues.find(name);
    if (it == m_animatedValues.end())
        return false;
    value = it->second;
    return true;
}

void Control::ApplyAnimatedValues() { ApplyValues(nullptr); }

void Control::ApplyValuesOf(const CTimeLine* timeline)
{
    for (const auto& kv : timeline->Values())
        m_animatedValues[kv.first] = kv.second->current;
    ApplyValues(timeline);
}

void Control::ApplyValues(const CTimeLine* only)
{
    auto find = [&](const wchar_t* name, float& value) {
        if (only && only->Values().find(name) == only->Values().end())
            return false;
        return GetAnimatedValue(name, value);
    };
    float value = 0.0f;
    bool alphaChanged = false;
    if (find(L"alpha", value)) {
        const int alpha = AlphaOf(value);
        alphaChanged = alpha != m_alpha;
        m_alpha = alpha;
    }
    if (m_transform)
        m_transform->UpdateFromProperties(
            [this](const std::wstring& name, float& v) { return GetAnimatedValue(name, v); });
    if (!m_placed) {
        if (alphaChanged)
            Repaint();
        return;
    }
    if (!ApplyGeometryValues(find))
        Repaint();
}

bool Control::ApplyGeometryValues(const std::function<bool(const wchar_t*, float&)>& find)
{
    // Positions count from the parent's content origin; all four are in
    // 96-DPI pixels.
    const float scale = GetScale();
    float originX = 0.0f, originY = 0.0f;
    if (m_parent) {
        originX = m_parent->GetBounds().left;
        originY = m_parent->GetBounds().top;
        if (Box* box = static_cast<Box*>(m_parent->CastTo(L"Box"))) {
            originX += box->GetContentInset().left;
            originY += box->GetContentInset().top;
        }
    }
    RECTF r = m_bounds;
    float width = r.right - r.left, height = r.bottom - r.top;
    float value = 0.0f;
    bool moved = false;
    if (find(L"w", value)) {
        width = value * scale;
        moved = true;
    }
    if (find(L"h", value)) {
        height = value * scale;
        moved = true;
    }
    if (find(L"x", value)) {
        r.left = value * scale + originX;
        moved = true;
    }
    if (find(L"y", value)) {
        r.top = value * scale + originY;
        moved = true;
    }
    if (moved)
        SetBounds(r.left, r.top, r.left + width, r.top + height);
    return moved;
}

} // namespace ui

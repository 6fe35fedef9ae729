// Scrolling of a container: its scroll bars (made by the box or bound by
// name), immediate and elastic offsets, animated line, page and end
// scrolling, keys, wheel inertia and the elastic return after an
// over-scroll. The bars hold the offsets; the children's rectangles carry
// them. UI thread only; the timelines run on the window core's idle tick.
#include "Corvel/Control/Box.h"

#include "Corvel/Control/ScrollBar.h"
#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/WindowCore.h"

#include <algorithm>
#include <cwchar>

namespace ui {

namespace {

// Animated line and page scrolling: Expo easing, out.
constexpr short kScrollEasing = 5;
constexpr short kEaseOut = 1;
constexpr float kVScrollTweenMs = 500.0f;
// The horizontal tween a box makes for itself runs twice as long as the
// vertical one; the one made when binding a named bar does not.
constexpr float kHScrollTweenMs = 1000.0f;
constexpr float kBoundHScrollTweenMs = 500.0f;
// The elastic return to the end after an over-scroll.
constexpr float kReboundMs = 1000.0f;
// A bar the box makes for its vertical axis starts opaque white.
constexpr uint32_t kOwnedVBarColor = 0xFFFFFFFFu;

const wchar_t kVTweenValue[] = L"vScrollPos";
const wchar_t kHTweenValue[] = L"hScrollPos";
const wchar_t kInertiaValue[] = L"scrollPos";
const wchar_t kReboundValue[] = L"flex";

// Wheel directions of the input record.
constexpr int kWheelUp = 0;
constexpr int kWheelDown = 1;

bool IsTrue(const wchar_t* v) { return wcscmp(v, L"true") == 0; }

bool IsTimelineRunning(const CTimeLine* t) { return t && t->IsRunning() && !t->IsStopped(); }

// Stops a tween where it is and readies it for a new run.
void StopAndReset(CTimeLine* t)
{
    t->Stop(0);
    t->Reset();
}

ScrollBar* AsScrollBar(Control* c) { return c ? static_cast<ScrollBar*>(c->CastTo(L"ScrollBar")) : nullptr; }

} // namespace

// ------------------------------------------------------------ settings

void Box::SetVFlexRange(int range)
{
    if (range <= 0) {
        range = 0;
        m_flexEnabled = false;
    }
    m_vFlexRange = range;
    if (m_vScroll.bar)
        m_vScroll.bar->SetFlexRange(range);
}

void Box::SetHFlexRange(int range)
{
    if (range <= 0) {
        range = 0;
        m_flexEnabled = false;
    }
    m_hFlexRange = range;
    if (m_hScroll.bar)
        m_hScroll.bar->SetFlexRange(range);
}

int Box::GetVFlexRange() const
{
    const int raw = m_vScroll.bar ? m_vScroll.bar->GetFlexRange() : m_vFlexRange;
    return ScaleTrunc(static_cast<float>(raw), GetScale());
}

int Box::GetHFlexRange() const
{
    const int raw = m_hScroll.bar ? m_hScroll.bar->GetFlexRange() : m_hFlexRange;
    return ScaleTrunc(static_cast<float>(raw), GetScale());
}

void Box::SetScrollSpeed(float speed) { m_scrollSpeed = std::max(0.0f, speed); }
float Box::GetScrollSpeed() const { return m_scrollSpeed * GetScale(); }
int Box::GetScrollStep() const { return ScaleTrunc(static_cast<float>(m_scrollStep), GetScale()); }

Box::ScrollOffset Box::GetScrollOffset() const
{
    return ScrollOffset{m_hScroll.bar ? m_hScroll.bar->GetScrollPos() : 0.0f,
                        m_vScroll.bar ? m_vScroll.bar->GetScrollPos() : 0.0f};
}

Box::ScrollExtent Box::GetScrollExtent() const
{
    return ScrollExtent{m_hScroll.bar ? m_hScroll.bar->GetRange() : 0, m_vScroll.bar ? m_vScroll.bar->GetRange() : 0};
}

void Box::SetScrollExtent(int horizontal, int vertical)
{
    if (m_vScroll.bar)
        m_vScroll.bar->SetRange(vertical);
    if (m_hScroll.bar)
        m_hScroll.bar->SetRange(horizontal);
}

void Box::ShowScrollBars(bool show)
{
    if (m_vScroll.bar)
        m_vScroll.bar->SetVisible(show);
    if (m_hScroll.bar)
        m_hScroll.bar->SetVisible(show);
}

bool Box::OnScrollAttribute(const wchar_t* name, const wchar_t* value)
{
    const bool vertical = wcscmp(name, L"vscrollbar") == 0 || wcscmp(name, L"vscroll") == 0;
    const bool horizontal = wcscmp(name, L"hscrollbar") == 0 || wcscmp(name, L"hscroll") == 0;
    if (vertical || horizontal) {
        if (IsTrue(value)) {
            EnableScrollBars(vertical || m_vScroll.bar != nullptr, horizontal || m_hScroll.bar != nullptr);
        } else if (wcscmp(value, L"false") != 0) {
            // The name of a bar elsewhere, bound once the tree is built.
            Axis(horizontal).name = value;
            if (m_core)
                m_core->AddPendingSetupControl(this);
        }
        return true;
    }
    const bool vStyle = wcscmp(name, L"vscrollbarstyle") == 0;
    const bool hStyle = wcscmp(name, L"hscrollbarstyle") == 0;
    if (vStyle || hStyle) {
        EnableScrollBars(vStyle || m_vScroll.bar != nullptr, hStyle || m_hScroll.bar != nullptr);
        if (ScrollBar* bar = Axis(hStyle).bar)
            bar->ApplyAttributeText(value);
        return true;
    }
    return false;
}

// ------------------------------------------------------------ bars

void Box::EnsureInertia()
{
    if (m_inertia)
        return;
    m_inertia = std::make_unique<CTimeLineDecay>();
    m_inertia->AddValue(kInertiaValue, 0.0f, 0.0f);
}

void Box::EnsureAxisTween(bool horizontal, float durationMs)
{
    ScrollAxis& axis = Axis(horizontal);
    if (!m_flexEnabled || axis.tween)
        return;
    axis.tween = std::make_unique<CTimeLineTween>();
    axis.tween->SetEasing(kScrollEasing, kEaseOut, durationMs);
}

void Box::CreateOwnedBar(bool horizontal)
{
    ScrollAxis& axis = Axis(horizontal);
    axis.owned = std::make_unique<ScrollBar>();
    ScrollBar* bar = axis.owned.get();
    axis.bar = bar;
    bar->SetOwner(this);
    if (horizontal)
        bar->SetHorizontal(true);
    else
        bar->SetBkColor(kOwnedVBarColor);
    // The box is the bar's parent: the window core's hover walks and the
    // bar's repaints go through it. Initialised with the box.
    bar->AttachCore(m_core, this, m_core && IsInitialised());
    bar->SetFlexRange(horizontal ? m_hFlexRange : m_vFlexRange);
    if (m_core) {
        if (const wchar_t* defaults = m_core->FindDefaultAttributes(horizontal ? L"HScrollBar" : L"VScrollBar"))
            bar->ApplyAttributeText(defaults);
    }
    EnsureAxisTween(horizontal, horizontal ? kHScrollTweenMs : kVScrollTweenMs);
}

void Box::DropOwnedBar(bool horizontal)
{
    ScrollAxis& axis = Axis(horizontal);
    if (!axis.owned)
        return;
    std::unique_ptr<ScrollBar> bar = std::move(axis.owned);
    axis.bar = nullptr;
    bar->AttachCore(nullptr, nullptr, false);
}

void Box::EnableScrollBars(bool vertical, bool horizontal)
{
    if ((vertical || horizontal) && m_flexEnabled)
        EnsureInertia();
    if (vertical && !m_vScroll.bar)
        CreateOwnedBar(false);
    else if (!vertical)
        DropOwnedBar(false);
    if (horizontal && !m_hScroll.bar)
        CreateOwnedBar(true);
    else if (!horizontal)
        DropOwnedBar(true);
    RequestRelayout();
}

void Box::BindNamedBar(bool horizontal)
{
    ScrollAxis& axis = Axis(horizontal);
    // Only a scroll bar answers to the name: any other control of that name
    // counts as absent, and the box makes a bar of its own.
    ScrollBar* bar = m_core ? AsScrollBar(m_core->FindControlByName(axis.name.GetData())) : nullptr;
    if (!bar) {
        axis.owned = std::make_unique<ScrollBar>();
        bar = axis.owned.get();
        axis.name.Empty();
        // Attached at once: its first range change raises a notification
        // through the core.
        bar->AttachCore(m_core, this, m_core && IsInitialised());
    }
    axis.bar = bar;
    bar->SetOwner(this);
    bar->SetFlexRange(horizontal ? m_hFlexRange : m_vFlexRange);
    if (horizontal)
        bar->SetHorizontal(true);
    EnsureAxisTween(horizontal, horizontal ? kBoundHScrollTweenMs : kVScrollTweenMs);
}

void Box::BindScrollBars()
{
    const bool vNamed = !m_vScroll.name.IsEmpty();
    const bool hNamed = !m_hScroll.name.IsEmpty();
    if (!vNamed && !hNamed)
        return;
    if ((vNamed && m_vScroll.bar) || (hNamed && m_hScroll.bar))
        return;
    EnsureInertia();
    if (vNamed)
        BindNamedBar(false);
    if (hNamed)
        BindNamedBar(true);
    RequestRelayout();
}

void Box::AttachOwnedBars(WindowCore* core, bool initialise)
{
    for (ScrollAxis* axis : {&m_vScroll, &m_hScroll}) {
        if (axis->owned)
            axis->owned->AttachCore(core, this, initialise);
    }
}

void Box::DestroyScrollState()
{
    m_rebound.reset();
    m_inertia.reset();
    m_vScroll.tween.reset();
    m_hScroll.tween.reset();
    // Listed once, by a name attribute; the name may since have been
    // dropped for a bar of the box's own, so the box always leaves.
    if (m_core)
        m_core->RemovePendingSetupControl(this);
    for (ScrollAxis* axis : {&m_vScroll, &m_hScroll}) {
        if (!axis->owned) {
            // A bar bound by name outlives the box: it forgets its owner
            // and scrolls itself from then on.
            if (axis->bar && axis->bar->GetOwner() == this)
                axis->bar->SetOwner(nullptr);
            axis->bar = nullptr;
            continue;
        }
        // The bar is not a child: no way back into the box's lists.
        axis->owned->AttachCore(axis->owned->GetCore(), nullptr, false);
        axis->owned.reset();
        axis->bar = nullptr;
    }
}

void Box::PlaceBar(bool horizontal, const RECTF& rect, int overflow)
{
    ScrollAxis& axis = Axis(horizontal);
    ScrollBar* bar = axis.bar;
    if (overflow > 0) {
        bar->SetVisible(true);
        if (axis.owned) {
            if (horizontal)
                bar->SetBounds(rect.left, rect.bottom - bar->GetFixedHeight(), rect.right, rect.bottom);
            else
                bar->SetBounds(rect.right - bar->GetFixedWidth(), rect.top, rect.right, rect.bottom);
        }
        // A range that pulled the position back: the children follow it.
        if (bar->SetRange(overflow))
            SetBounds(m_bounds);
        return;
    }
    const ScrollOffset now = GetScrollOffset();
    if (horizontal)
        SetScrollOffset(0, now.vertical);
    else
        SetScrollOffset(now.horizontal, 0);
    // SetRange(0) pulls a positive position back and places the parts again.
    bar->SetRange(0);
    bar->SetVisible(false);
}

void Box::PlaceScrollBars(const RECTF& rect, int neededWidth, int neededHeight)
{
    if (m_vScroll.bar)
        PlaceBar(false, rect, static_cast<int>(static_cast<float>(neededHeight) - (rect.bottom - rect.top)));
    if (m_hScroll.bar)
        PlaceBar(true, rect, static_cast<int>(static_cast<float>(neededWidth) - (rect.right - rect.left)));
}

// ------------------------------------------------------------ offsets

void Box::MoveContent(float dx, float dy)
{
    std::vector<Control*> children = m_children;
    for (Control* child : children) {
        if (!child->IsVisible() || child->IsFloat())
            continue;
        RECTF r = child->GetBounds();
        r.Offset(-dx, -dy);
        child->SetBounds(r);
    }
    Repaint();
}

void Box::SetScrollOffset(float x, float y)
{
    int dx = 0, dy = 0;
    if (ScrollBar* v = m_vScroll.bar) {
        const int old = static_cast<int>(v->GetScrollPos());
        v->SetScrollOffset(y, false);
        dy = static_cast<int>(v->GetScrollPos() - static_cast<float>(old));
    }
    if (ScrollBar* h = m_hScroll.bar) {
        const int old = static_cast<int>(h->GetScrollPos());
        h->SetScrollOffset(x, false);
        dx = static_cast<int>(h->GetScrollPos() - static_cast<float>(old));
    }
    if (dx != 0 || dy != 0)
        MoveContent(static_cast<float>(dx), static_cast<float>(dy));
}

void Box::SetScrollOffsetElastic(float x, float y)
{
    float dx = 0, dy = 0;
    if (ScrollBar* v = m_vScroll.bar) {
        const float old = v->GetScrollPos();
        v->SetScrollOffset(y, true);
        dy = v->GetScrollPos() - old;
    }
    if (ScrollBar* h = m_hScroll.bar) {
        const float old = h->GetScrollPos();
        h->SetScrollOffset(x, true);
        dx = h->GetScrollPos() - old;
    }
    if (dx != 0 || dy != 0)
        MoveContent(dx, dy);
}

// Sets one axis, keeping the other where it is.
void Box::SetAxisOffset(bool horizontal, float value, bool elastic)
{
    const ScrollOffset now = GetScrollOffset();
    const float x = horizontal ? value : now.horizontal;
    const float y = horizontal ? now.vertical : value;
    if (elastic)
        SetScrollOffsetElastic(x, y);
    else
        SetScrollOffset(x, y);
}

// ------------------------------------------------------------ animated scrolling

int Box::PageExtent(bool horizontal) const
{
    const RECTF inset = GetContentInset();
    if (horizontal) {
        int page = static_cast<int>(m_bounds.Width() - inset.left - inset.right);
        if (m_vScroll.bar)
            page -= static_cast<int>(m_vScroll.bar->GetFixedWidth());
        return page;
    }
    int page = static_cast<int>(m_bounds.Height() - inset.top - inset.bottom);
    if (m_hScroll.bar)
        page -= static_cast<int>(m_hScroll.bar->GetFixedHeight());
    return page;
}

void Box::ScrollAxisTo(bool horizontal, float target)
{
    if (!m_core)
        return;
    ScrollAxis& axis = Axis(horizontal);
    CTimeLineTween* tween = axis.tween.get();
    if (!tween) {
        SetAxisOffset(horizontal, target, false);
        return;
    }
    const ScrollOffset now = GetScrollOffset();
    const float from = static_cast<float>(static_cast<int>(horizontal ? now.horizontal : now.vertical));
    const wchar_t* value = horizontal ? kHTweenValue : kVTweenValue;
    StopAndReset(tween);
    tween->AddValue(value, from, target);
    tween->Start(m_core, [this, horizontal, value](CTimeLine* t) {
        SetAxisOffset(horizontal, static_cast<float>(static_cast<int>(t->GetValue(value))), false);
        return true;
    });
}

namespace {

int Truncated(float v) { return static_cast<int>(v); }

} // namespace

void Box::ScrollLineUp() { ScrollAxisTo(false, static_cast<float>(Truncated(GetScrollOffset().vertical) - GetScrollStep())); }
void Box::ScrollLineDown() { ScrollAxisTo(false, static_cast<float>(Truncated(GetScrollOffset().vertical) + GetScrollStep())); }
void Box::ScrollPageUp()
{
    ScrollAxisTo(false, static_cast<float>(std::max(0, Truncated(GetScrollOffset().vertical) - PageExtent(false))));
}
void Box::ScrollPageDown()
{
    ScrollAxisTo(false, static_cast<float>(std::min(Truncated(GetScrollOffset().vertical) + PageExtent(false),
                                                    GetScrollExtent().vertical)));
}
void Box::ScrollToTop() { ScrollAxisTo(false, 0.0f); }
void Box::ScrollToBottom() { ScrollAxisTo(false, static_cast<float>(GetScrollExtent().vertical)); }
void Box::ScrollLineLeft() { ScrollAxisTo(true, static_cast<float>(Truncated(GetScrollOffset().horizontal) - GetScrollStep())); }
void Box::ScrollLineRight() { ScrollAxisTo(true, static_cast<float>(Truncated(GetScrollOffset().horizontal) + GetScrollStep())); }
void Box::ScrollPageLeft()
{
    ScrollAxisTo(true, static_cast<float>(std::max(0, Truncated(GetScrollOffset().horizontal) - PageExtent(true))));
}
void Box::ScrollPageRight()
{
    ScrollAxisTo(true, static_cast<float>(std::min(Truncated(GetScrollOffset().horizontal) + PageExtent(true),
                                                   GetScrollExtent().horizontal)));
}
void Box::ScrollToLeft() { ScrollAxisTo(true, 0.0f); }
void Box::ScrollToRight() { ScrollAxisTo(true, static_cast<float>(GetScrollExtent().horizontal)); }

// ------------------------------------------------------------ input

bool Box::IsBarUsable(const ScrollBar* bar) const
{
    return bar && bar->IsVisible() && bar->IsEnabled() && (bar->GetRange() != 0 || m_flowable);
}

bool Box::HandleScrollEvent(InputEvent* event)
{
    bool horizontal;
    if (IsBarUsable(m_vScroll.bar))
        horizontal = false;
    else if (IsBarUsable(m_hScroll.bar))
        horizontal = true;
    else
        return Control::HandleEvent(event);
    ScrollBar* bar = Axis(horizontal).bar;
    switch (event->type) {
    case kEventMouseEnter:
        bar->SetActive(true);
        return Control::HandleEvent(event);
    case kEventMouseLeave:
        bar->SetActive(false);
        return Control::HandleEvent(event);
    case kEventKeyDown:
        return OnScrollKey(horizontal, event->key) || Control::HandleEvent(event);
    case kEventScrollWheel:
        return OnWheel(horizontal, static_cast<int>(LOWORD(event->wParam))) || Control::HandleEvent(event);
    default:
        return Control::HandleEvent(event);
    }
}

bool Box::OnScrollKey(bool horizontal, WORD key)
{
    switch (key) {
    case VK_PRIOR:
        horizontal ? ScrollPageLeft() : ScrollPageUp();
        return true;
    case VK_NEXT:
        horizontal ? ScrollPageRight() : ScrollPageDown();
        return true;
    case VK_END:
        horizontal ? ScrollToRight() : ScrollToBottom();
        return true;
    case VK_HOME:
        horizontal ? ScrollToLeft() : ScrollToTop();
        return true;
    case VK_LEFT:
        if (!horizontal)
            return false;
        ScrollLineLeft();
        return true;
    case VK_UP:
        horizontal ? ScrollLineLeft() : ScrollLineUp();
        return true;
    case VK_RIGHT:
        if (!horizontal)
            return false;
        ScrollLineRight();
        return true;
    case VK_DOWN:
        horizontal ? ScrollLineRight() : ScrollLineDown();
        return true;
    default:
        return false;
    }
}

bool Box::OnWheel(bool horizontal, int direction)
{
    if (!m_flexEnabled || !m_inertia) {
        if (direction == kWheelUp)
            horizontal ? ScrollLineLeft() : ScrollLineUp();
        else if (direction == kWheelDown)
            horizontal ? ScrollLineRight() : ScrollLineDown();
        else
            return false;
        return true;
    }
    const int sign = direction == kWheelUp ? -1 : 1;
    const int flex = horizontal ? GetHFlexRange() : GetVFlexRange();
    ScrollBar* bar = Axis(horizontal).bar;
    const int p = static_cast<int>(bar->GetScrollPos());
    const int end = bar->GetRange();
    const bool running = IsTimelineRunning(m_inertia.get());
    // Without flex there is nothing to show beyond an end: a turn towards it
    // only stops the inertia.
    const bool againstEnd = (p <= 0 && sign < 0) || (p >= end && sign > 0);
    if (flex == 0 && againstEnd) {
        if (running)
            StopAndReset(m_inertia.get());
        return true;
    }
    if (running) {
        if (flex == 0 && (p < 1 || p > end - 1))
            StopAndReset(m_inertia.get());
        else if (!m_inertia->IsPaused())
            m_inertia->SetVelocity(m_inertia->GetVelocity() + static_cast<float>(sign) * GetScrollSpeed());
        return true;
    }
    if (!m_core)
        return true;
    m_inertia->Reset();
    m_inertia->SetVelocity(static_cast<float>(sign) * GetScrollSpeed());
    m_inertia->Start(m_core,
                     [this, horizontal, sign](CTimeLine* t) { return OnInertiaStep(t, horizontal, sign); });
    return true;
}

bool Box::OnInertiaStep(CTimeLine* timeline, bool horizontal, int sign)
{
    ScrollBar* bar = Axis(horizontal).bar;
    if (!bar)
        return false;
    // The vertical axis compares whole pixels, the horizontal one the exact
    // position.
    const float pos = bar->GetScrollPos();
    const float p = horizontal ? pos : static_cast<float>(static_cast<int>(pos));
    const float flex = static_cast<float>(horizontal ? GetHFlexRange() : GetVFlexRange());
    const float end = static_cast<float>(bar->GetRange());
    const bool finished = timeline->IsStopped();
    const bool outOfBounds = (finished && (p < 0 || p > end)) || (flex > 0 && (p <= -flex || p >= end + flex));
    if (!outOfBounds) {
        if (m_rebound)
            m_rebound->Stop(0);
        // A finished decay did not move this frame: its last change was
        // applied already.
        const float d = finished ? 0.0f : timeline->GetValueDelta(kInertiaValue);
        SetAxisOffset(horizontal, static_cast<float>(static_cast<int>(p + d)), true);
        return true;
    }
    // A clean stop at the end the wheel turned towards.
    if ((sign < 0 && p == 0) || (sign > 0 && p == end))
        return false;
    StartRebound(horizontal, p, p < 0 ? 0.0f : end);
    return false;
}

void Box::StartRebound(bool horizontal, float from, float to)
{
    if (!m_core)
        return;
    if (!m_rebound)
        m_rebound = std::make_unique<CTimeLineTween>();
    else
        StopAndReset(m_rebound.get());
    m_rebound->SetEasing(kScrollEasing, kEaseOut, kReboundMs);
    m_rebound->AddValue(kReboundValue, from, to);
    m_rebound->Start(m_core, [this, horizontal](CTimeLine* t) {
        SetAxisOffset(horizontal, t->GetValue(kReboundValue), true);
        return true;
    });
}

// ------------------------------------------------------------ painting

void Box::PaintOwnBars(const RECTF& dirty)
{
    for (ScrollAxis* axis : {&m_vScroll, &m_hScroll}) {
        ScrollBar* bar = axis->owned.get();
        if (bar && bar->IsVisible() && bar->GetRange() != 0 && rectmath::Overlaps(bar->GetBounds(), dirty))
            bar->Paint(dirty, true);
    }
}

} // namespace ui

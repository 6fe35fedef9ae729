#include "Corvel/Control/ScrollBar.h"

#include "Corvel/Control/Box.h"
#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/WindowCore.h"

#include <algorithm>
#include <cstdlib>
#include <cwchar>
#include <initializer_list>

namespace ui {

namespace {

// Skin units.
constexpr int kDefaultThickness = 16;
constexpr int kDefaultLineSize = 8;
// Own animated scrolling of a bar without owner: Expo easing, out.
constexpr short kScrollEasing = 5;
constexpr short kEaseOut = 1;
constexpr float kScrollTweenMs = 500.0f;
// The thumb's narrowing follows the hot state linearly.
constexpr short kShrinkEasing = 0;
constexpr short kEaseIn = 0;
constexpr float kShrinkTweenMs = 200.0f;
// Stop mode of a tween that turns its direction around.
constexpr int kStopReverse = 5;

const wchar_t kScrollValue[] = L"scrollPos";
const wchar_t kShrinkValue[] = L"shrink";

bool IsTrue(const wchar_t* v) { return v && wcscmp(v, L"true") == 0; }
int ReadInt(const wchar_t* v) { return v ? static_cast<int>(wcstol(v, nullptr, 10)) : 0; }

// Half-open, so that neighbouring parts never both claim a point.
bool InRect(const RECT& r, const POINT& pt) { return pt.x >= r.left && pt.x < r.right && pt.y >= r.top && pt.y < r.bottom; }
bool IsZero(const RECT& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }
RECTF ToRectF(const RECT& r)
{
    return RECTF(static_cast<float>(r.left), static_cast<float>(r.top), static_cast<float>(r.right),
                 static_cast<float>(r.bottom));
}

bool IsTimelineRunning(const CTimeLine* t) { return t && t->IsRunning() && !t->IsStopped(); }

bool IsMouseEvent(int type) { return type >= kEventMouseMove && type <= kEventScrollWheel; }

} // namespace

ScrollBar::ScrollBar() : m_thickness(kDefaultThickness), m_lineSize(kDefaultLineSize)
{
    m_fixedWidth = static_cast<float>(kDefaultThickness);
}

ScrollBar::~ScrollBar() = default;

const wchar_t* ScrollBar::GetClassName() const { return L"ScrollBar"; }

void* ScrollBar::CastTo(const wchar_t* typeName)
{
    if (typeName && wcscmp(typeName, L"ScrollBar") == 0)
        return this;
    return Control::CastTo(typeName);
}

// ------------------------------------------------------------ state

void ScrollBar::SetEnabled(bool on)
{
    Control::SetEnabled(on);
    if (!IsEnabled())
        m_button1State = m_button2State = m_thumbState = 0;
}

void ScrollBar::SetActive(bool active)
{
    if (active)
        m_state &= ~kStateInactive;
    else
        m_state |= kStateInactive;
    if (HasStyleState(L"inactive"))
        PlayOrRepaint(L"inactive");
}

void ScrollBar::SetHorizontal(bool horizontal)
{
    if (horizontal == m_horizontal)
        return;
    m_horizontal = horizontal;
    // The thickness goes across the new axis unless a size was given there
    // (switching axis zeroes the other one, which counts as not given).
    const float thickness = static_cast<float>(m_thickness);
    if (horizontal && m_fixedHeight <= 0) {
        m_fixedWidth = 0;
        m_fixedHeight = thickness;
    } else if (!horizontal && m_fixedWidth <= 0) {
        m_fixedHeight = 0;
        m_fixedWidth = thickness;
    }
    if (m_owner)
        m_owner->RequestRelayout();
    else
        RequestParentRelayout();
}

bool ScrollBar::SetRange(int range)
{
    if (range == m_range)
        return false;
    m_range = std::max(0, range);
    bool pulledBack = false;
    if (m_position > static_cast<float>(m_range)) {
        m_position = static_cast<float>(m_range);
        pulledBack = true;
    }
    if (m_position >= 0)
        m_overshoot = 0;
    SetBounds(m_bounds);
    if (m_range != 0 && m_core) {
        // A bar without owner (one from the markup) reports for itself.
        Control* sender = m_owner ? m_owner->GetParent() : this;
        m_core->RaiseNotification(sender, L"ScrollBarInit", 0, 0);
    }
    return pulledBack;
}

void ScrollBar::SetScrollOffset(float position, bool elastic)
{
    if (position == m_position)
        return;
    const float before = m_position;
    const float range = static_cast<float>(m_range);
    m_position = position;
    // Inside 0 .. range there is no over-scroll, whatever came before.
    m_overshoot = 0;
    if (elastic) {
        const int flex = ScaleTrunc(static_cast<float>(m_flexRange), GetScale());
        if (position < 0) {
            m_overshoot = static_cast<int>(position);
            if (m_overshoot < -flex) {
                m_overshoot = -flex;
                m_position = static_cast<float>(-flex);
            }
        } else if (m_position > range) {
            m_overshoot = static_cast<int>(m_position - range);
            if (m_overshoot > flex) {
                m_overshoot = flex;
                m_position = range + static_cast<float>(flex);
            }
        }
    } else {
        m_position = std::min(std::max(position, 0.0f), range);
    }
    if (m_position != before)
        SetBounds(m_bounds);
}

void ScrollBar::SetHot(bool on)
{
    if (on == IsHot())
        return;
    Control::SetHot(on);
    if (m_shrinkSize == 0)
        return;
    if (IsTimelineRunning(m_shrinkTween.get())) {
        m_shrinkTween->Stop(kStopReverse);
        return;
    }
    const float from = on ? static_cast<float>(m_shrinkSize) : 0.0f;
    const float to = on ? 0.0f : static_cast<float>(m_shrinkSize);
    if (!m_core) {
        m_shrink = to;
        return;
    }
    if (!m_shrinkTween)
        m_shrinkTween = std::make_unique<CTimeLineTween>();
    else
        m_shrinkTween->Reset();
    m_shrinkTween->SetEasing(kShrinkEasing, kEaseIn, kShrinkTweenMs);
    m_shrinkTween->AddValue(kShrinkValue, from, to);
    m_shrinkTween->Start(m_core, [this](CTimeLine* t) { return OnShrinkStep(t); });
}

bool ScrollBar::OnShrinkStep(CTimeLine* timeline)
{
    const float value = timeline->GetValue(kShrinkValue);
    if (value != m_shrink) {
        m_shrink = value;
        Repaint();
    }
    return true;
}

// ------------------------------------------------------------ layout

int ScrollBar::ScaledSide() const
{
    const float fixed = m_horizontal ? m_fixedHeight : m_fixedWidth;
    return std::max(0, ScaleTrunc(static_cast<float>(static_cast<int>(fixed)), GetScale()));
}

int ScrollBar::BarLength() const
{
    return m_horizontal ? static_cast<int>(m_bounds.right) - static_cast<int>(m_bounds.left)
                        : static_cast<int>(m_bounds.bottom) - static_cast<int>(m_bounds.top);
}

void ScrollBar::SetBounds(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    PlaceParts();
}

namespace {

// A rectangle from extents along and across the bar.
RECT MakePart(bool horizontal, int alongStart, int alongEnd, int crossStart, int crossEnd)
{
    return horizontal ? RECT{alongStart, crossStart, alongEnd, crossEnd} : RECT{crossStart, alongStart, crossEnd, alongEnd};
}

} // namespace

void ScrollBar::PlaceParts()
{
    const int start = static_cast<int>(m_horizontal ? m_bounds.left : m_bounds.top);
    const int end = static_cast<int>(m_horizontal ? m_bounds.right : m_bounds.bottom);
    const int cross = static_cast<int>(m_horizontal ? m_bounds.top : m_bounds.left);
    const int side = ScaledSide();
    const int length = end - start;
    const int avail = length - (m_button1Shown ? side : 0) - (m_button2Shown ? side : 0);
    if (avail > side) {
        m_button1 = m_button1Shown ? MakePart(m_horizontal, start, start + side, cross, cross + side)
                                   : MakePart(m_horizontal, start, start, cross, cross);
        m_button2 = m_button2Shown ? MakePart(m_horizontal, end - side, end, cross, cross + side)
                                   : MakePart(m_horizontal, end, end, cross, cross);
        PlaceThumb(AlongEnd(m_button1), AlongStart(m_button2), avail, length, side);
        return;
    }
    // No room for a thumb: the shown buttons share the length.
    const int half = static_cast<int>(std::min(static_cast<float>(side), static_cast<float>(length) * 0.5f));
    m_button1 = m_button1Shown ? MakePart(m_horizontal, start, start + half, cross, cross + side)
                               : MakePart(m_horizontal, start, start, cross, cross);
    m_button2 = m_button2Shown ? MakePart(m_horizontal, end - half, end, cross, cross + side)
                               : MakePart(m_horizontal, end, end, cross, cross);
    m_thumb = RECT{0, 0, 0, 0};
}

void ScrollBar::PlaceThumb(int trackStart, int trackEnd, int avail, int length, int side)
{
    const int cross = static_cast<int>(m_horizontal ? m_bounds.top : m_bounds.left);
    if (m_range <= 0) {
        m_thumb = MakePart(m_horizontal, trackStart, trackEnd, cross, cross + side);
        return;
    }
    // The thumb shows the visible share of the content, shortened by an
    // over-scroll, and keeps to its end of the track meanwhile.
    const long long shown = static_cast<long long>(avail - std::abs(m_overshoot)) * length / (m_range + length);
    const int thumbLength = std::max(side, static_cast<int>(shown));
    const int travel = avail - thumbLength;
    int first = static_cast<int>((m_position - static_cast<float>(m_overshoot)) * static_cast<float>(travel) /
                                     static_cast<float>(m_range) +
                                 static_cast<float>(trackStart));
    int last = first + thumbLength;
    if (last > trackEnd) {
        last = trackEnd;
        first = trackEnd - thumbLength;
    }
    m_thumb = MakePart(m_horizontal, first, last, cross, cross + side);
}

void ScrollBar::GetPropertyValue(PropertyValue& out, const wchar_t* name)
{
    out.Clear();
    if (!name || wcscmp(name, L"thumbPos") != 0)
        return;
    RECTF r = ToRectF(m_thumb);
    const float narrow = m_shrink * GetScale();
    if (m_horizontal) {
        r.top += narrow;
        r.bottom -= narrow;
    } else {
        r.left += narrow;
        r.right -= narrow;
    }
    r.left = std::max(r.left, m_bounds.left);
    r.top = std::max(r.top, m_bounds.top);
    r.right = std::min(r.right, m_bounds.right);
    r.bottom = std::min(r.bottom, m_bounds.bottom);
    out.found = true;
    out.rect = r;
}

// ------------------------------------------------------------ input

bool ScrollBar::PassToOwner(InputEvent* event)
{
    if (m_owner)
        return m_owner->HandleEvent(event);
    return Control::HandleEvent(event);
}

bool ScrollBar::HandleEvent(InputEvent* event)
{
    if (!IsMouseEnabled() && IsMouseEvent(event->type))
        return PassToOwner(event);
    switch (event->type) {
    case kEventKillFocus:
    case kEventSetFocus:
        return Control::HandleEvent(event);
    case kEventButtonDown:
    case kEventDblClick:
        if (!IsEnabled())
            return PassToOwner(event);
        return OnButtonDown(event);
    case kEventButtonUp:
        return OnButtonUp();
    case kEventMouseMove:
        OnMouseMove(event->point);
        return true;
    case kEventContextMenu:
        return true;
    case kEventMouseEnter:
        if (!IsEnabled())
            return PassToOwner(event);
        OnMouseEnter(event->point);
        return true;
    case kEventMouseLeave:
        if (!IsEnabled())
            return PassToOwner(event);
        OnMouseLeave();
        return true;
    default:
        return PassToOwner(event);
    }
}

bool ScrollBar::OnButtonDown(InputEvent* event)
{
    m_dragDelta = 0;
    const POINT pt = event->point;
    if (m_button1Shown && InRect(m_button1, pt)) {
        m_button1State |= kPartPushed;
        ScrollLine(true);
    } else if (m_button2Shown && InRect(m_button2, pt)) {
        m_button2State |= kPartPushed;
        ScrollLine(false);
    } else if (!IsZero(m_thumb) && InRect(m_thumb, pt)) {
        m_thumbState |= kPartDragging | kPartPushed;
        m_dragStart = pt;
        m_dragStartPosition = m_position;
    } else if (!IsZero(m_thumb)) {
        const int along = m_horizontal ? pt.x : pt.y;
        if (along < AlongStart(m_thumb))
            ScrollPage(true);
        else if (along >= AlongEnd(m_thumb))
            ScrollPage(false);
    }
    Repaint();
    if (m_core)
        m_core->RaiseNotification(this, L"scrollactive", 0, 0);
    return true;
}

bool ScrollBar::OnButtonUp()
{
    m_dragDelta = 0;
    bool changed = true;
    if (m_thumbState & kPartDragging)
        m_thumbState &= ~(kPartDragging | kPartPushed);
    else if (m_button1State & kPartPushed)
        m_button1State &= ~kPartPushed;
    else if (m_button2State & kPartPushed)
        m_button2State &= ~kPartPushed;
    else
        changed = false;
    if (changed)
        Repaint();
    return true;
}

void ScrollBar::OnMouseMove(const POINT& pt)
{
    if (m_thumbState & kPartDragging) {
        DragThumbTo(pt);
        return;
    }
    const bool onThumb = !IsZero(m_thumb) && InRect(m_thumb, pt);
    if ((m_thumbState & kPartHot) && !onThumb) {
        m_thumbState &= ~kPartHot;
        Repaint();
    } else if (!(m_thumbState & kPartHot) && onThumb && IsEnabled()) {
        m_thumbState |= kPartHot;
        Repaint();
    }
}

void ScrollBar::DragThumbTo(const POINT& pt)
{
    // The track is what the thumb can travel: the bar less the thumb and the
    // buttons as they are laid out (scaled).
    const int buttons = (AlongEnd(m_button1) - AlongStart(m_button1)) + (AlongEnd(m_button2) - AlongStart(m_button2));
    const int track = BarLength() - (AlongEnd(m_thumb) - AlongStart(m_thumb)) - buttons;
    if (track == 0)
        return;
    const int moved = m_horizontal ? pt.x - m_dragStart.x : pt.y - m_dragStart.y;
    m_dragDelta = moved * m_range / track;
    const float target = m_dragStartPosition + static_cast<float>(m_dragDelta);
    if (!m_owner) {
        SetScrollOffset(target, false);
        return;
    }
    const Box::ScrollOffset now = m_owner->GetScrollOffset();
    if (m_horizontal)
        m_owner->SetScrollOffset(target, now.vertical);
    else
        m_owner->SetScrollOffset(now.horizontal, target);
}

void ScrollBar::OnMouseEnter(const POINT& pt)
{
    SetHot(true);
    m_button1State |= kPartHot;
    m_button2State |= kPartHot;
    if (!IsZero(m_thumb) && InRect(m_thumb, pt))
        m_thumbState |= kPartHot;
    Repaint();
}

void ScrollBar::OnMouseLeave()
{
    SetHot(false);
    m_button1State &= ~kPartHot;
    m_button2State &= ~kPartHot;
    m_thumbState &= ~kPartHot;
    Repaint();
}

void ScrollBar::ScrollLine(bool towardsStart)
{
    if (m_owner) {
        if (m_horizontal)
            towardsStart ? m_owner->ScrollLineLeft() : m_owner->ScrollLineRight();
        else
            towardsStart ? m_owner->ScrollLineUp() : m_owner->ScrollLineDown();
        return;
    }
    const float step = static_cast<float>(ScaleTrunc(static_cast<float>(m_lineSize), GetScale()));
    AnimateOwnPositionTo(m_position + (towardsStart ? -step : step));
}

void ScrollBar::ScrollPage(bool towardsStart)
{
    if (m_owner) {
        if (m_horizontal)
            towardsStart ? m_owner->ScrollPageLeft() : m_owner->ScrollPageRight();
        else
            towardsStart ? m_owner->ScrollPageUp() : m_owner->ScrollPageDown();
        return;
    }
    const float page = static_cast<float>(BarLength());
    AnimateOwnPositionTo(m_position + (towardsStart ? -page : page));
}

void ScrollBar::AnimateOwnPositionTo(float target)
{
    if (!m_core) {
        SetScrollOffset(target, false);
        return;
    }
    if (!m_scrollTween) {
        m_scrollTween = std::make_unique<CTimeLineTween>();
    } else {
        m_scrollTween->Stop(0);
        m_scrollTween->Reset();
    }
    m_scrollTween->SetEasing(kScrollEasing, kEaseOut, kScrollTweenMs);
    m_scrollTween->AddValue(kScrollValue, m_position, target);
    m_scrollTween->Start(m_core, [this](CTimeLine* t) {
        SetScrollOffset(t->GetValue(kScrollValue), false);
        return true;
    });
}

// ------------------------------------------------------------ attributes

CUiImage* ScrollBar::ImageForAttribute(const wchar_t* name)
{
    struct Part {
        const wchar_t* prefix;
        PartImages ScrollBar::*images;
    };
    static const Part parts[] = {
        {L"button1", &ScrollBar::m_button1Images}, {L"button2", &ScrollBar::m_button2Images},
        {L"thumb", &ScrollBar::m_thumbImages},     {L"rail", &ScrollBar::m_railImages},
        {L"bk", &ScrollBar::m_bkImages},
    };
    struct Slot {
        const wchar_t* suffix;
        CUiImage PartImages::*image;
    };
    static const Slot slots[] = {
        {L"normalimage", &PartImages::normal},
        {L"hotimage", &PartImages::hot},
        {L"pushedimage", &PartImages::pushed},
        {L"disabledimage", &PartImages::disabled},
    };
    for (const Part& part : parts) {
        const size_t n = wcslen(part.prefix);
        if (wcsncmp(name, part.prefix, n) != 0)
            continue;
        for (const Slot& slot : slots) {
            if (wcscmp(name + n, slot.suffix) == 0)
                return &((this->*part.images).*slot.image);
        }
    }
    return nullptr;
}

void ScrollBar::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name)
        return;
    const wchar_t* v = value ? value : L"";
    if (CUiImage* image = ImageForAttribute(name)) {
        SetImageDescriptor(*image, v);
    } else if (wcscmp(name, L"hor") == 0) {
        SetHorizontal(IsTrue(v));
    } else if (wcscmp(name, L"linesize") == 0) {
        m_lineSize = ReadInt(v);
    } else if (wcscmp(name, L"range") == 0) {
        SetRange(ReadInt(v));
    } else if (wcscmp(name, L"value") == 0) {
        SetScrollOffset(static_cast<float>(ReadInt(v)), false);
    } else if (wcscmp(name, L"w") == 0) {
        m_thickness = ReadInt(v);
        if (m_horizontal)
            SetFixedHeight(static_cast<float>(m_thickness));
        else
            SetFixedWidth(static_cast<float>(m_thickness));
    } else if (wcscmp(name, L"showbutton1") == 0) {
        m_button1Shown = IsTrue(v);
        SetBounds(m_bounds);
    } else if (wcscmp(name, L"showbutton2") == 0) {
        m_button2Shown = IsTrue(v);
        SetBounds(m_bounds);
    } else if (wcscmp(name, L"shrink") == 0) {
        m_shrinkSize = ReadInt(v);
        m_shrink = static_cast<float>(m_shrinkSize);
    } else if (wcscmp(name, L"active") == 0) {
        SetActive(IsTrue(v));
    } else {
        Control::SetAttribute(name, value);
    }
}

// ------------------------------------------------------------ painting

bool ScrollBar::DrawFirstOf(std::initializer_list<CUiImage*> candidates, const RECTF& dest)
{
    RenderTarget* target = GetPaintTarget();
    if (!target || !m_core)
        return false;
    for (CUiImage* image : candidates) {
        if (image && !image->IsEmpty())
            return target->DrawImage(m_core, dest, m_paintRect, *image, 255);
    }
    return false;
}

void ScrollBar::PaintPart(PartImages& images, int state, const RECT& rect)
{
    // Disabled, pushed, hot, normal; an empty image falls back to normal.
    CUiImage* chosen = (state & kPartDisabled) ? &images.disabled
                       : (state & kPartPushed) ? &images.pushed
                       : (state & kPartHot)    ? &images.hot
                                               : &images.normal;
    DrawFirstOf({chosen, &images.normal}, ToRectF(rect));
}

void ScrollBar::PaintRail()
{
    // A grip as long as the bar is thick, centred on the thumb.
    const int side = ScaledSide();
    const int mid = (AlongStart(m_thumb) + AlongEnd(m_thumb)) / 2;
    const int first = mid - side / 2;
    const RECT grip = m_horizontal ? RECT{first, m_thumb.top, first + side, m_thumb.bottom}
                                   : RECT{m_thumb.left, first, m_thumb.right, first + side};
    CUiImage* chosen = !IsEnabled()                      ? &m_railImages.disabled
                       : (m_thumbState & kPartPushed)    ? &m_railImages.pushed
                       : (m_thumbState & kPartHot)       ? &m_railImages.hot
                                                         : &m_railImages.normal;
    DrawFirstOf({chosen, &m_railImages.normal}, ToRectF(grip));
}

void ScrollBar::Paint(const RECTF& dirty, bool)
{
    RECTF clip;
    if (!IsPlaced() || !rectmath::Intersect(dirty, m_bounds, clip)) {
        m_paintRect = RECTF();
        return;
    }
    m_paintRect = clip;
    if (HasStyleSet() && PaintStyle(dirty))
        return;
    const int disabled = IsEnabled() ? 0 : kPartDisabled;
    for (int* state : {&m_button1State, &m_button2State, &m_thumbState})
        *state = (*state & ~kPartDisabled) | disabled;
    PaintPart(m_bkImages, m_thumbState, RECT{static_cast<int>(m_bounds.left), static_cast<int>(m_bounds.top),
                                             static_cast<int>(m_bounds.right), static_cast<int>(m_bounds.bottom)});
    if (m_button1Shown)
        PaintPart(m_button1Images, m_button1State, m_button1);
    if (m_button2Shown)
        PaintPart(m_button2Images, m_button2State, m_button2);
    if (!IsZero(m_thumb)) {
        PaintPart(m_thumbImages, m_thumbState, m_thumb);
        PaintRail();
    }
}

} // namespace ui

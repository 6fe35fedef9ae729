#include "Corvel/Control/HBox.h"

#include <algorithm>
#include <cwchar>

#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

// The dark tracker drawn over the strip while a drag is tracked.
const Color kTrackerColor(0.0f, 0.0f, 0.0f, 0.6667f);

// Children in the horizontal flow: visible and not floating.
bool TakesPart(Control* child) { return child->IsVisible() && !child->IsFloat(); }

} // namespace

HBox::HBox()
    : m_captureWatch([this] {
          EndDrag();
          // The release that follows belongs to the drag.
          m_dragFlags |= kEndedByCaptureLoss;
      })
{
    // Offered the set-cursor event, for the separator's sizing cursor.
    m_needCursor = true;
}

HBox::~HBox()
{
    m_captureWatch.Disarm();
    if (IsDragging() && !m_immediate && m_core)
        m_core->RemoveOverlayControl(this);
}

const wchar_t* HBox::GetClassName() const { return L"HBox"; }

void* HBox::CastTo(const wchar_t* typeName)
{
    if (typeName && wcscmp(typeName, L"HBox") == 0)
        return this;
    return Box::CastTo(typeName);
}

// ----------------------------------------------------------------- layout

void HBox::SetBounds(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    const RECTF inner = boxlayout::Deflate(m_bounds, GetContentInset());
    if (m_children.empty()) {
        PlaceScrollBars(inner, 0, 0);
        return;
    }
    const int gap = static_cast<int>(GetChildGap());
    // Children are measured against the content's height, scrolled part
    // included.
    const float measureHeight = inner.Height() + static_cast<float>(GetScrollExtent().vertical);
    const FlowPlan plan = PlanFlow(inner.Width(), measureHeight, gap);
    const FlowNeeds needs = PlaceFlow(inner, measureHeight, plan, gap);
    PlaceScrollBars(inner, needs.main, needs.cross);
}

// First pass: what the fixed children and all paddings take, and how many
// children stretch.
HBox::FlowPlan HBox::PlanFlow(float availWidth, float measureHeight, int gap)
{
    FlowPlan plan;
    int laidOut = 0;
    for (Control* child : m_children) {
        if (!TakesPart(child))
            continue;
        const ControlSize s = child->MeasureSize(availWidth, measureHeight);
        if (s.width < 0)
            ++plan.stretchCount;
        else
            plan.fixedSum = static_cast<int>(plan.fixedSum + boxlayout::ClampSize(s.width, child->GetMinWidth(),
                                                                                    child->GetMaxWidth()));
        const RECTF pad = child->GetPadding();
        plan.fixedSum = static_cast<int>(plan.fixedSum + pad.left + pad.right);
        ++laidOut;
    }
    if (laidOut > 1)
        plan.fixedSum += (laidOut - 1) * gap;
    plan.available = availWidth;
    if (plan.stretchCount > 0)
        plan.share = static_cast<int>(std::max(0.0f, (availWidth - plan.fixedSum) / plan.stretchCount));
    return plan;
}

// Second pass: the children left to right; floating ones by their own
// placement.
HBox::FlowNeeds HBox::PlaceFlow(const RECTF& inner, float measureHeight, const FlowPlan& plan, int gap)
{
    const ScrollOffset offset = GetScrollOffset();
    float x = inner.left - offset.horizontal;
    const float startY = inner.top - offset.vertical;
    float remaining = plan.available;
    float fixedDemand = static_cast<float>(plan.fixedSum);
    int stretchSeen = 0, placed = 0;
    FlowNeeds needs;
    for (int i = 0; i < ChildCount(); ++i) {
        Control* child = m_children[static_cast<size_t>(i)];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat()) {
            PlaceFloatChild(i);
            continue;
        }
        const RECTF pad = child->GetPadding();
        const ControlSize s = child->MeasureSize(remaining, measureHeight);
        float width;
        if (s.width < 0) {
            // The last stretch child absorbs the rounding and the clamping
            // of the earlier ones.
            ++stretchSeen;
            width = stretchSeen == plan.stretchCount ? std::max(0.0f, remaining - fixedDemand)
                                                     : static_cast<float>(plan.share);
            width = boxlayout::ClampSize(width, child->GetMinWidth(), child->GetMaxWidth());
        } else {
            width = boxlayout::ClampSize(s.width, child->GetMinWidth(), child->GetMaxWidth());
            fixedDemand -= width;
        }
        fixedDemand -= pad.left + pad.right;

        // A stretched height fills the inner height, without the scroll range.
        float height = s.height < 0 ? std::max(0.0f, inner.Height() - pad.top - pad.bottom) : s.height;
        height = boxlayout::ClampSize(height, child->GetMinHeight(), child->GetMaxHeight());
        const float childLeft = x + pad.left;
        const float childTop = AlignedTop(inner, startY, pad, height);
        child->SetBounds(childLeft, childTop, childLeft + width, childTop + height);

        const float taken = pad.left + width + pad.right;
        x += gap + taken;
        needs.main = static_cast<int>(needs.main + taken);
        needs.cross = std::max(needs.cross, static_cast<int>(pad.top + height + pad.bottom));
        remaining -= taken;
        ++placed;
    }
    if (placed > 1)
        needs.main += (placed - 1) * gap;
    return needs;
}

// Centre and bottom ignore the padding and the vertical scroll position.
float HBox::AlignedTop(const RECTF& inner, float startY, const RECTF& pad, float height) const
{
    switch (m_itemAlign) {
    case kAlignCenter:
        return inner.top + (inner.Height() - height) / 2;
    case kAlignFar:
        return inner.bottom - height;
    default:
        return startY + pad.top;
    }
}

ControlSize HBox::MeasureSize(float availableWidth, float availableHeight)
{
    ControlSize own = Box::MeasureSize(availableWidth, availableHeight);
    const bool byWidth = m_widthMode == kSizeChildren, byHeight = m_heightMode == kSizeChildren;
    if (m_children.empty() || (!byWidth && !byHeight))
        return own;
    float sum = 0, tallest = 0;
    int counted = 0;
    for (Control* child : m_children) {
        if (!child->IsVisible())
            continue;
        const ControlSize s = child->MeasureSize(availableWidth, availableHeight);
        if (s.width > 0)
            sum += boxlayout::ClampSize(s.width, child->GetMinWidth(), child->GetMaxWidth());
        if (s.height > 0)
            tallest = std::max(tallest, boxlayout::ClampSize(s.height, child->GetMinHeight(), child->GetMaxHeight()));
        const RECTF pad = child->GetPadding();
        sum += pad.left + pad.right;
        ++counted;
    }
    if (counted > 1)
        sum += (counted - 1) * GetChildGap();
    const RECTF inset = GetContentInset();
    if (byWidth)
        own.width = boxlayout::ClampSize(sum + inset.left + inset.right, GetMinWidth(), GetMaxWidth());
    if (byHeight)
        own.height = boxlayout::ClampSize(tallest + inset.top + inset.bottom, GetMinHeight(), GetMaxHeight());
    return own;
}

// ------------------------------------------------------------ attributes

void HBox::SetImmediate(bool on)
{
    if (on == m_immediate)
        return;
    // A drag tracked so far goes on applying each step.
    if (on && IsDragging() && m_core)
        m_core->RemoveOverlayControl(this);
    m_immediate = on;
}

void HBox::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name)
        return;
    const wchar_t* v = value ? value : L"";
    if (wcscmp(name, L"sepwidth") == 0) {
        m_separatorSize = boxlayout::ParseSeparatorSize(v);
    } else if (wcscmp(name, L"sepimm") == 0) {
        SetImmediate(wcscmp(v, L"true") == 0);
    } else if (_wcsicmp(name, L"itemalign") == 0) {
        if (_wcsicmp(v, L"top") == 0 || _wcsicmp(v, L"up") == 0)
            m_itemAlign = kAlignNear;
        else if (_wcsicmp(v, L"center") == 0)
            m_itemAlign = kAlignCenter;
        else if (_wcsicmp(v, L"bottom") == 0)
            m_itemAlign = kAlignFar;
    } else {
        Box::SetAttribute(name, value);
    }
}

// -------------------------------------------------------- separator drag

RECTF HBox::GetSeparatorRect(bool tracked) const
{
    // The strip's width is the skin value at every DPI.
    const RECTF r = tracked ? m_tracked : m_bounds;
    const float n = static_cast<float>(m_separatorSize);
    if (m_separatorSize >= 0)
        return RECTF{r.right - n, r.top, r.right, r.bottom};
    return RECTF{r.left, r.top, r.left - n, r.bottom};
}

bool HBox::HandleEvent(InputEvent* event)
{
    if (m_separatorSize == 0)
        return Box::HandleEvent(event);
    switch (event->type) {
    case kEventButtonDown:
        m_dragFlags &= ~kEndedByCaptureLoss;
        if (BeginDrag(event->point))
            return true;
        break;
    case kEventMouseMove:
        if (IsDragging()) {
            DragTo(event->point);
            return true;
        }
        break;
    case kEventButtonUp:
        if (IsDragging() || (m_dragFlags & kEndedByCaptureLoss)) {
            EndDrag();
            m_dragFlags &= ~kEndedByCaptureLoss;
            return true;
        }
        break;
    case kEventSetCursor:
        if (OnSetCursor(event->point))
            return true;
        break;
    default:
        break;
    }
    return Box::HandleEvent(event);
}

bool HBox::BeginDrag(const POINT& pt)
{
    if (!IsEnabled())
        return false;
    // Edges truncated to whole pixels; the right and bottom ones excluded.
    const RECTF strip = GetSeparatorRect(false);
    const int l = static_cast<int>(strip.left), t = static_cast<int>(strip.top);
    const int r = static_cast<int>(strip.right), b = static_cast<int>(strip.bottom);
    if (pt.x < l || pt.x >= r || pt.y < t || pt.y >= b)
        return false;
    m_dragFlags |= kDragging;
    m_lastX = pt.x;
    m_lastY = pt.y;
    m_tracked = m_bounds;
    if (m_core) {
        if (!m_immediate)
            m_core->AddOverlayControl(this);
        m_captureWatch.Arm(m_core);
    }
    return true;
}

void HBox::DragTo(const POINT& pt)
{
    const int delta = pt.x - m_lastX;
    m_lastX = pt.x;
    m_lastY = pt.y;
    const float left = m_tracked.left, right = m_tracked.right;
    const float px = static_cast<float>(pt.x);
    const int sep = m_separatorSize;
    float newLeft = left, newRight = right;
    if (sep > 0) {
        // Outward while the pointer is in the strip's band or beyond,
        // inward once it is at or inside the edge.
        const bool counts = (delta > 0 && px >= right - sep) || (delta < 0 && px <= right);
        if (!counts)
            return;
        newRight = right + delta;
    } else {
        const bool counts = (delta < 0 && px <= left - sep) || (delta > 0 && px >= left);
        if (!counts)
            return;
        newLeft = left + delta;
    }
    // The moving edge stops at the limits; steps past a limit already
    // reached are dropped.
    if (!boxlayout::HoldAtLimits(newLeft, newRight, sep > 0, right - left, static_cast<float>(GetMinWidth()),
                                 static_cast<float>(GetMaxWidth())))
        return;
    const RECTF stripBefore = GetSeparatorRect(true);
    m_tracked = RECTF{newLeft, m_tracked.top, newRight, m_tracked.bottom};
    SetFixedWidth((newRight - newLeft) / GetScale(), false);
    if (m_immediate) {
        SetBounds(m_tracked);
        RequestParentRelayout();
        return;
    }
    if (m_core) {
        const RECTF strips[] = {stripBefore, GetSeparatorRect(true), GetSeparatorRect(false)};
        m_core->MarkDirty(boxlayout::UnionOfNonEmpty(strips, 3));
    }
}

void HBox::EndDrag()
{
    if (!IsDragging())
        return;
    m_dragFlags &= ~kDragging;
    m_captureWatch.Disarm();
    if (!m_immediate && m_core) {
        m_core->RemoveOverlayControl(this);
        // The tracker leaves the screen even when the size did not change.
        const RECTF strips[] = {GetSeparatorRect(true), GetSeparatorRect(false)};
        m_core->MarkDirty(boxlayout::UnionOfNonEmpty(strips, 2));
    }
    SetBounds(m_tracked);
    RequestParentRelayout();
}

bool HBox::OnSetCursor(const POINT& eventPoint)
{
    if (!IsEnabled())
        return false;
    const POINT pt = boxlayout::CursorInClient(m_core, eventPoint);
    const RECTF strip = GetSeparatorRect(false);
    if (!strip.ContainsPoint(static_cast<float>(pt.x), static_cast<float>(pt.y)))
        return false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_SIZEWE));
    return true;
}

void HBox::PaintOverlay(const RECTF& dirty)
{
    if (!IsDragging() || m_immediate)
        return;
    RenderTarget* target = GetPaintTarget();
    if (!target)
        return;
    target->FillShape(GetSeparatorRect(true), GradientStops{kTrackerColor}, nullptr, nullptr, nullptr, nullptr);
}

} // namespace ui

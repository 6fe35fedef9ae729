#include "Corvel/Control/VBox.h"

#include <algorithm>
#include <cwchar>
#include <limits>

#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

// Height offered to rows of a vertically scrolling box: no limit.
constexpr float kUnboundedHeight = std::numeric_limits<float>::max();

// The dark tracker drawn over the strip while a drag is tracked.
const Color kTrackerColor(0.0f, 0.0f, 0.0f, 0.6667f);

// Children in the vertical flow: visible and not floating.
bool TakesPart(Control* child) { return child->IsVisible() && !child->IsFloat(); }

} // namespace

VBox::VBox()
    : m_captureWatch([this] {
          EndDrag();
          // The release that follows belongs to the drag.
          m_dragFlags |= kEndedByCaptureLoss;
      })
{
    // Offered the set-cursor event, for the separator's sizing cursor.
    m_needCursor = true;
}

VBox::~VBox()
{
    m_captureWatch.Disarm();
    if (IsDragging() && !m_immediate && m_core)
        m_core->RemoveOverlayControl(this);
}

const wchar_t* VBox::GetClassName() const { return L"VBox"; }

void* VBox::CastTo(const wchar_t* typeName)
{
    if (typeName && wcscmp(typeName, L"VBox") == 0)
        return this;
    return Box::CastTo(typeName);
}

// ----------------------------------------------------------------- layout

void VBox::SetBounds(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    const RECTF inner = boxlayout::Deflate(m_bounds, GetContentInset());
    if (m_children.empty()) {
        PlaceScrollBars(inner, 0, 0);
        return;
    }
    const int gap = static_cast<int>(GetChildGap());
    // Children are measured against the content's width, scrolled part
    // included.
    const float measureWidth = inner.Width() + static_cast<float>(GetScrollExtent().horizontal);
    const FlowPlan plan = PlanFlow(measureWidth, inner.Height(), gap);
    const FlowNeeds needs = PlaceFlow(inner, measureWidth, plan, gap);
    PlaceScrollBars(inner, needs.cross, needs.main);
}

// First pass: what the fixed children and all paddings take, and how many
// children stretch.
VBox::FlowPlan VBox::PlanFlow(float measureWidth, float availHeight, int gap)
{
    FlowPlan plan;
    int laidOut = 0;
    for (Control* child : m_children) {
        if (!TakesPart(child))
            continue;
        const ControlSize s = child->MeasureSize(measureWidth, availHeight);
        if (s.height < 0)
            ++plan.stretchCount;
        else
            plan.fixedSum = static_cast<int>(plan.fixedSum + boxlayout::ClampSize(s.height, child->GetMinHeight(),
                                                                                    child->GetMaxHeight()));
        const RECTF pad = child->GetPadding();
        plan.fixedSum = static_cast<int>(plan.fixedSum + pad.top + pad.bottom);
        ++laidOut;
    }
    if (laidOut > 1)
        plan.fixedSum += (laidOut - 1) * gap;
    plan.available = availHeight;
    if (plan.stretchCount > 0)
        plan.share = static_cast<int>(std::max(0.0f, (availHeight - plan.fixedSum) / plan.stretchCount));
    return plan;
}

// Second pass: the children top to bottom; floating ones by their own
// placement.
VBox::FlowNeeds VBox::PlaceFlow(const RECTF& inner, float measureWidth, const FlowPlan& plan, int gap)
{
    const ScrollOffset offset = GetScrollOffset();
    const float startX = inner.left - offset.horizontal;
    float y = inner.top - offset.vertical;
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
        // A box that scrolls vertically has room below its bottom: a
        // text-sized row keeps its height there instead of shrinking to
        // what is left on screen, so the content overflows and scrolls.
        const float measureHeight = GetVScrollBar() ? std::max(remaining, kUnboundedHeight) : remaining;
        const ControlSize s = child->MeasureSize(measureWidth, measureHeight);
        float height;
        if (s.height < 0) {
            // The last stretch child absorbs the rounding and the clamping
            // of the earlier ones.
            ++stretchSeen;
            height = stretchSeen == plan.stretchCount ? std::max(0.0f, remaining - fixedDemand)
                                                      : static_cast<float>(plan.share);
            height = boxlayout::ClampSize(height, child->GetMinHeight(), child->GetMaxHeight());
        } else {
            height = boxlayout::ClampSize(s.height, child->GetMinHeight(), child->GetMaxHeight());
            fixedDemand -= height;
        }
        fixedDemand -= pad.top + pad.bottom;

        float width = s.width < 0 ? std::max(0.0f, measureWidth - pad.left - pad.right) : s.width;
        width = boxlayout::ClampSize(width, child->GetMinWidth(), child->GetMaxWidth());
        const float childLeft = AlignedLeft(inner, startX, pad, width);
        const float childTop = y + pad.top;
        child->SetBounds(childLeft, childTop, childLeft + width, childTop + height);

        const float taken = pad.top + height + pad.bottom;
        y += gap + taken;
        needs.main = static_cast<int>(needs.main + taken);
        needs.cross = std::max(needs.cross, static_cast<int>(pad.left + width + pad.right));
        remaining -= taken;
        ++placed;
    }
    if (placed > 1)
        needs.main += (placed - 1) * gap;
    return needs;
}

// Centre and right ignore the padding and the horizontal scroll position.
float VBox::AlignedLeft(const RECTF& inner, float startX, const RECTF& pad, float width) const
{
    switch (m_itemAlign) {
    case kAlignCenter:
        return inner.left + (inner.Width() - width) / 2;
    case kAlignFar:
        return inner.right - width;
    default:
        return startX + pad.left;
    }
}

ControlSize VBox::MeasureSize(float availableWidth, float availableHeight)
{
    ControlSize own = Box::MeasureSize(availableWidth, availableHeight);
    const bool byWidth = m_widthMode == kSizeChildren, byHeight = m_heightMode == kSizeChildren;
    if (m_children.empty() || (!byWidth && !byHeight))
        return own;
    float widest = 0, sum = 0;
    int counted = 0;
    for (Control* child : m_children) {
        if (!child->IsVisible())
            continue;
        const ControlSize s = child->MeasureSize(availableWidth, availableHeight);
        if (s.width > 0)
            widest = std::max(widest, boxlayout::ClampSize(s.width, child->GetMinWidth(), child->GetMaxWidth()));
        if (s.height > 0)
            sum += boxlayout::ClampSize(s.height, child->GetMinHeight(), child->GetMaxHeight());
        const RECTF pad = child->GetPadding();
        sum += pad.top + pad.bottom;
        ++counted;
    }
    if (counted > 1)
        sum += (counted - 1) * GetChildGap();
    const RECTF inset = GetContentInset();
    if (byWidth)
        own.width = boxlayout::ClampSize(widest + inset.left + inset.right, GetMinWidth(), GetMaxWidth());
    if (byHeight)
        own.height = boxlayout::ClampSize(sum + inset.top + inset.bottom, GetMinHeight(), GetMaxHeight());
    return own;
}

// ------------------------------------------------------------ attributes

void VBox::SetImmediate(bool on)
{
    if (on == m_immediate)
        return;
    // A drag tracked so far goes on applying each step.
    if (on && IsDragging() && m_core)
        m_core->RemoveOverlayControl(this);
    m_immediate = on;
}

void VBox::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name)
        return;
    const wchar_t* v = value ? value : L"";
    if (wcscmp(name, L"sepheight") == 0) {
        m_separatorSize = boxlayout::ParseSeparatorSize(v);
    } else if (wcscmp(name, L"sepimm") == 0) {
        SetImmediate(wcscmp(v, L"true") == 0);
    } else if (_wcsicmp(name, L"itemalign") == 0) {
        if (_wcsicmp(v, L"left") == 0)
            m_itemAlign = kAlignNear;
        else if (_wcsicmp(v, L"center") == 0)
            m_itemAlign = kAlignCenter;
        else if (_wcsicmp(v, L"right") == 0)
            m_itemAlign = kAlignFar;
    } else {
        Box::SetAttribute(name, value);
    }
}

// -------------------------------------------------------- separator drag

RECTF VBox::GetSeparatorRect(bool tracked) const
{
    const RECTF r = tracked ? m_tracked : m_bounds;
    const int n = static_cast<int>(m_separatorSize * GetScale());
    if (n >= 0)
        return RECTF{r.left, std::max(r.bottom - n, r.top), r.right, r.bottom};
    return RECTF{r.left, r.top, r.right, std::min(r.top - n, r.bottom)};
}

bool VBox::HandleEvent(InputEvent* event)
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

bool VBox::BeginDrag(const POINT& pt)
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

void VBox::DragTo(const POINT& pt)
{
    const int delta = pt.y - m_lastY;
    m_lastX = pt.x;
    m_lastY = pt.y;
    const float top = static_cast<float>(static_cast<int>(m_tracked.top));
    const float bottom = static_cast<float>(static_cast<int>(m_tracked.bottom));
    const float py = static_cast<float>(pt.y);
    const int sep = m_separatorSize;
    float newTop = top, newBottom = bottom;
    if (sep > 0) {
        // Growing counts once the pointer is a strip's height below the
        // edge, shrinking once it is at or above the edge.
        const bool counts = (delta > 0 && py >= bottom + sep) || (delta < 0 && py <= bottom);
        if (!counts)
            return;
        newBottom = bottom + delta;
    } else {
        const bool counts = (delta > 0 && py >= top) || (delta < 0 && py <= top + sep);
        if (!counts)
            return;
        newTop = top + delta;
    }
    // The moving edge stops at the limits; steps past a limit already
    // reached are dropped.
    if (!boxlayout::HoldAtLimits(newTop, newBottom, sep > 0, bottom - top, static_cast<float>(GetMinHeight()),
                                 static_cast<float>(GetMaxHeight())))
        return;
    const RECTF stripBefore = GetSeparatorRect(true);
    m_tracked = RECTF{m_tracked.left, newTop, m_tracked.right, newBottom};
    SetFixedHeight((newBottom - newTop) / GetScale(), false);
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

void VBox::EndDrag()
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

bool VBox::OnSetCursor(const POINT& eventPoint)
{
    if (!IsEnabled())
        return false;
    const POINT pt = boxlayout::CursorInClient(m_core, eventPoint);
    const RECTF strip = GetSeparatorRect(false);
    if (!strip.ContainsPoint(static_cast<float>(pt.x), static_cast<float>(pt.y)))
        return false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_SIZENS));
    return true;
}

void VBox::PaintOverlay(const RECTF& dirty)
{
    if (!IsDragging() || m_immediate)
        return;
    RenderTarget* target = GetPaintTarget();
    if (!target)
        return;
    target->FillShape(GetSeparatorRect(true), GradientStops{kTrackerColor}, nullptr, nullptr, nullptr, nullptr);
}

} // namespace ui

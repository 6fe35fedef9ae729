#include "Corvel/Control/ListBody.h"

#include <algorithm>

#include "Corvel/Control/BoxLayout.h"
#include "Corvel/Control/List.h"
#include "Corvel/Control/ListHeader.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

// The band's dirty rectangle reaches this far (pixels) past the band, so
// its outline is repainted whole.
constexpr float kBandDirtyMargin = 5.0f;

bool Touches(const RECTF& a, const RECTF& b)
{
    return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

} // namespace

ListBody::ListBody(List* owner) : m_owner(owner) {}

ListBody::~ListBody() = default;

const wchar_t* ListBody::GetClassName() const { return L"ListBody"; }

void ListBody::SetBounds(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    const RECTF inner = boxlayout::Deflate(m_bounds, GetContentInset());
    float offered = inner.Width();
    if (GetHScrollBar())
        offered += static_cast<float>(GetScrollExtent().horizontal);
    const float rowsHeight = PlaceRows(inner, offered);
    int contentWidth = static_cast<int>(offered);
    if (m_owner && m_owner->GetHeader()) {
        ListHeader* header = m_owner->GetHeader();
        contentWidth = header->ChildCount() > 0 ? static_cast<int>(header->GetBounds().Width()) : 0;
    }
    PlaceScrollBars(inner, contentWidth, static_cast<int>(rowsHeight));
}

float ListBody::PlaceRows(const RECTF& inner, float offeredWidth)
{
    const ScrollOffset offset = GetScrollOffset();
    const float gap = GetChildGap();
    // First pass: what fixed rows and paddings take, how many stretch.
    float fixed = 0;
    int stretch = 0, laidOut = 0;
    std::vector<ControlSize> sizes(m_children.size(), ControlSize{0, 0});
    for (size_t i = 0; i < m_children.size(); ++i) {
        Control* row = m_children[i];
        if (!row->IsVisible() || row->IsFloat())
            continue;
        sizes[i] = row->MeasureSize(offeredWidth, inner.Height());
        const RECTF pad = row->GetPadding();
        if (sizes[i].height < 0)
            ++stretch;
        else
            fixed += boxlayout::ClampSize(sizes[i].height, row->GetMinHeight(), row->GetMaxHeight());
        fixed += pad.top + pad.bottom;
        ++laidOut;
    }
    if (laidOut > 1)
        fixed += gap * static_cast<float>(laidOut - 1);
    const float share = stretch > 0 ? std::max(0.0f, (inner.Height() - fixed) / static_cast<float>(stretch)) : 0;

    const float x = inner.left - offset.horizontal;
    float y = inner.top - offset.vertical;
    float total = 0;
    int placed = 0;
    for (size_t i = 0; i < m_children.size(); ++i) {
        Control* row = m_children[i];
        if (!row->IsVisible())
            continue;
        if (row->IsFloat()) {
            PlaceFloatChild(static_cast<int>(i));
            continue;
        }
        const RECTF pad = row->GetPadding();
        float height = sizes[i].height < 0 ? share : sizes[i].height;
        height = boxlayout::ClampSize(height, row->GetMinHeight(), row->GetMaxHeight());
        float width = sizes[i].width < 0 ? std::max(0.0f, offeredWidth - pad.left - pad.right) : sizes[i].width;
        width = boxlayout::ClampSize(width, row->GetMinWidth(), row->GetMaxWidth());
        if (placed > 0) {
            y += gap;
            total += gap;
        }
        const float top = y + pad.top;
        row->SetBounds(x + pad.left, top, x + pad.left + width, top + height);
        y = top + height + pad.bottom;
        total += pad.top + height + pad.bottom;
        ++placed;
    }
    return total;
}

void ListBody::SetScrollOffset(float x, float y)
{
    const float before = GetScrollOffset().horizontal;
    VBox::SetScrollOffset(x, y);
    FollowSideways(GetScrollOffset().horizontal - before);
}

void ListBody::SetScrollOffsetElastic(float x, float y)
{
    const float before = GetScrollOffset().horizontal;
    VBox::SetScrollOffsetElastic(x, y);
    FollowSideways(GetScrollOffset().horizontal - before);
}

void ListBody::FollowSideways(float dx)
{
    if (dx == 0 || !m_owner || !m_owner->GetHeader())
        return;
    // The header scrolls sideways with the rows, whose cells then sit over
    // the moved columns again.
    m_owner->ShiftHeaderItems(dx);
    m_owner->CopyColumnRects();
    for (Control* row : m_children) {
        if (row->IsVisible() && row->IsPlaced() && !row->IsFloat())
            row->SetBounds(row->GetBounds());
    }
    m_owner->GetHeader()->Repaint();
}

// ------------------------------------------------------------ borrowed rows

bool ListBody::BorrowRow(Control* row, int index)
{
    if (!row || index < 0 || index > ChildCount() || IndexOfChild(row) >= 0)
        return false;
    m_children.insert(m_children.begin() + index, row);
    row->AttachCore(m_core, this, true);
    if (m_core)
        row->SearchTree(&WindowCore::CollectControlName, m_core, 0);
    RequestRelayout();
    return true;
}

void ListBody::ForgetRows()
{
    m_children.clear();
    m_exclusiveChildren.clear();
    RequestRelayout();
}

// ------------------------------------------------------------ selection band

void ListBody::OnBandMove(const POINT& pt)
{
    m_bandVisible = true;
    m_band = RECTF{static_cast<float>(std::min(pt.x, m_pressAt.x)), static_cast<float>(std::min(pt.y, m_pressAt.y)),
                   static_cast<float>(std::max(pt.x, m_pressAt.x)), static_cast<float>(std::max(pt.y, m_pressAt.y))};
    m_owner->DeselectAllRows();
    for (int i = 0; i < ChildCount(); ++i) {
        Control* row = ChildAt(i);
        if (row->IsVisible() && row->IsEnabled() && Touches(row->GetBounds(), m_band))
            m_owner->AddRowToSelection(i, false);
    }
    if (m_core) {
        m_core->MarkDirty(m_bandDirty);
        m_bandDirty = RECTF{m_band.left - kBandDirtyMargin, m_band.top - kBandDirtyMargin,
                            m_band.right + kBandDirtyMargin, m_band.bottom + kBandDirtyMargin};
        m_core->MarkDirty(m_bandDirty);
    }
}

void ListBody::HideBand()
{
    if (!m_bandVisible)
        return;
    m_bandVisible = false;
    if (m_core)
        m_core->MarkDirty(m_bandDirty);
}

bool ListBody::HandleEvent(InputEvent* event)
{
    if (m_owner && m_owner->IsSelectByBound()) {
        switch (event->type) {
        case kEventButtonDown:
            m_pressed = true;
            m_pressAt = event->point;
            break;
        case kEventMouseMove:
            if (m_pressed)
                OnBandMove(event->point);
            else
                HideBand();
            break;
        case kEventButtonUp:
            HideBand();
            m_pressed = false;
            break;
        default:
            break;
        }
    }
    const bool mouse = event->type >= kEventMouseMove && event->type <= kEventScrollWheel;
    if (mouse && !IsMouseEnabled()) {
        if (m_owner)
            m_owner->HandleEvent(event);
        else
            Control::HandleEvent(event);
    }
    // Stops the default handling from passing the event to the list again.
    event->handled = true;
    return VBox::HandleEvent(event);
}

void ListBody::Paint(const RECTF& dirty, bool pushClip)
{
    VBox::Paint(dirty, pushClip);
    if (!m_bandVisible || !m_owner)
        return;
    RenderTarget* target = GetPaintTarget();
    if (!target)
        return;
    target->FillShape(m_band, GradientStops{Color::MakeArgb(m_owner->GetBoundFillColor())}, nullptr, nullptr,
                      nullptr, nullptr);
    target->DrawShape(m_band, GradientStops{Color::MakeArgb(m_owner->GetBoundBorderColor())}, nullptr, nullptr,
                      nullptr, 0, nullptr, GetScale());
}

} // namespace ui

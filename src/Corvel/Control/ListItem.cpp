#include "Corvel/Control/ListItem.h"

#include <cstdlib>
#include <cwchar>

#include "Corvel/Control/List.h"
#include "Corvel/Control/ListHeader.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

bool IsMouseEventType(int type) { return type >= kEventMouseMove && type <= kEventScrollWheel; }

} // namespace

ListItem::ListItem() { m_needReturn = true; }

ListItem::~ListItem() { m_owner = nullptr; }

const wchar_t* ListItem::GetClassName() const { return L"ListItem"; }

void* ListItem::CastTo(const wchar_t* typeName)
{
    if (wcscmp(typeName, L"ListItem") == 0)
        return static_cast<ListItem*>(this);
    return Box::CastTo(typeName);
}

int ListItem::GetTraitFlags() const { return NeedsReturn() ? kTraitTakesReturn : 0; }

bool ListItem::TryActivate()
{
    WindowCore* core = m_core;
    const bool activated = Box::TryActivate();
    if (activated) {
        if (core)
            core->RaiseNotification(this, L"itemactivate", 0, 0);
        InvokeNamedCallback(L"itemactivate");
    }
    return activated;
}

void ListItem::SetVisible(bool show)
{
    Box::SetVisible(show);
    if (!IsVisible() && m_selected)
        m_selected = false; // quietly: the list's array keeps the index
}

void ListItem::SetEnabled(bool on)
{
    Box::SetEnabled(on);
    if (!IsEnabled())
        m_rowState &= ~kRowHot;
}

void ListItem::SetSelected(bool on)
{
    if (on == m_selected)
        return;
    m_selected = on;
    if (!IsEnabled())
        return;
    const int before = m_state;
    if (on) {
        m_state &= ~(kStateNormal | kStatePushed);
        m_state |= kStateSelected;
    } else {
        m_state &= ~kStateSelected;
        if (!IsHot() && !IsPushed())
            m_state |= kStateNormal;
    }
    PlayStateTransitions(before);
    for (Control* child : m_children) {
        if (SharesRowSelection(child))
            child->SetSelected(on);
    }
    if (m_core) {
        if (on && !m_groupName.IsEmpty()) {
            if (const std::vector<Control*>* group = m_core->GetGroup(m_groupName)) {
                std::vector<Control*> copy = *group;
                for (Control* c : copy) {
                    if (c != this)
                        c->SetSelected(false);
                }
            }
        }
        if (on && m_selectHandler)
            m_selectHandler();
        m_core->RaiseNotification(this, L"selectchanged", 0, 0);
    }
    if (HasStyleSet()) {
        if (HasStyleState(L"selected") && !PlayAnimation(L"selected"))
            InvalidateVisiblePart();
        return;
    }
    InvalidateVisiblePart();
}

bool ListItem::SharesRowSelection(Control*) const { return true; }

void ListItem::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (name && wcscmp(name, L"selected") == 0) {
        if (m_owner)
            m_owner->SelectRow(m_index, false);
        return;
    }
    Box::SetAttribute(name, value);
}

bool ListItem::ForwardOrDefault(InputEvent* event)
{
    if (m_owner)
        return m_owner->ForwardEvent(event);
    return Control::HandleEvent(event);
}

bool ListItem::OnRowPress(InputEvent* event)
{
    if (IsEnabled() && m_owner) {
        const bool ctrl = (event->modifiers & kModCtrl) != 0;
        const bool shift = (event->modifiers & kModShift) != 0;
        if (!m_owner->IsSingleSelect()) {
            if (ctrl) {
                if (IsSelected())
                    m_owner->DeselectRow(m_index);
                else
                    m_owner->AddRowToSelection(m_index, false);
            } else if (shift) {
                const int anchor = m_owner->GetAnchorRow();
                if (anchor != -1) {
                    m_owner->DeselectAllRows();
                    const int first = anchor < m_index ? anchor : m_index;
                    const int last = anchor < m_index ? m_index : anchor;
                    for (int i = first; i <= last; ++i)
                        m_owner->AddRowToSelection(i, false);
                }
            } else if (!IsSelected()) {
                m_owner->SetAnchorRow(m_index);
                m_owner->SelectRow(m_index, false);
            } else if (event->type == kEventButtonDown && m_owner->GetSelectedCount() != 1) {
                m_pendingSelect = true;
                m_rowPressAt = event->point;
            }
        } else if (!IsSelected()) {
            m_owner->SelectRow(m_index, false);
        }
        InvalidateVisiblePart();
    }
    WindowCore* core = m_core;
    if (m_owner)
        m_owner->ForwardEvent(event);
    if (core)
        core->RaiseNotification(this, L"itemclick", 0, 0);
    InvokeNamedCallback(L"itemclick");
    return true;
}

bool ListItem::HandleEvent(InputEvent* event)
{
    if (IsMouseEventType(event->type) && !IsMouseEnabled())
        return m_owner ? m_owner->ForwardEvent(event) : Box::HandleEvent(event);
    switch (event->type) {
    case kEventDblClick:
        ActivateRow();
        return true;
    case kEventKeyDown:
        if (event->key != VK_RETURN)
            return ForwardOrDefault(event);
        ActivateRow();
        return true;
    case kEventButtonDown:
    case kEventRButtonDown:
        return OnRowPress(event);
    case kEventMouseMove:
        return OnRowMove(event);
    case kEventButtonUp:
        OnRowRelease(event);
        return true;
    case kEventScrollWheel:
        if (m_owner)
            return m_owner->ForwardEvent(event);
        return IsEnabled() ? true : Control::HandleEvent(event);
    case kEventMouseEnter:
    case kEventMouseLeave:
        OnRowHot(event->type == kEventMouseEnter);
        return Control::HandleEvent(event);
    case kEventSetFocus:
    case kEventKillFocus:
        return Control::HandleEvent(event);
    default:
        return ForwardOrDefault(event);
    }
}

void ListItem::ActivateRow()
{
    // A disabled row ignores the double click and Enter.
    if (!IsEnabled())
        return;
    TryActivate();
    InvalidateVisiblePart();
}

bool ListItem::OnRowMove(InputEvent* event)
{
    if (m_pendingSelect && (std::abs(event->point.x - m_rowPressAt.x) > kPendingSelectSlop ||
                            std::abs(event->point.y - m_rowPressAt.y) > kPendingSelectSlop))
        m_pendingSelect = false;
    return ForwardOrDefault(event);
}

void ListItem::OnRowRelease(InputEvent* event)
{
    if (m_pendingSelect) {
        m_pendingSelect = false;
        if (std::abs(event->point.x - m_rowPressAt.x) < kPendingSelectSlop &&
            std::abs(event->point.y - m_rowPressAt.y) < kPendingSelectSlop && m_owner)
            m_owner->SelectRow(m_index, false);
    }
    EndPress();
}

void ListItem::OnRowHot(bool entered)
{
    if (entered && IsEnabled()) {
        m_rowState |= kRowHot;
        InvalidateVisiblePart();
    } else if (!entered && (m_rowState & kRowHot)) {
        m_rowState &= ~kRowHot;
        InvalidateVisiblePart();
    }
}

void ListItem::EndPress()
{
    // A release only ends the press: activating a row takes a double click
    // or Enter, so a plain click never raises "itemactivate".
    if ((m_state & kStatePushed) == 0)
        return;
    m_state &= ~kStatePushed;
    if ((m_state & ~(kStateFocused | kStateSelected)) == 0)
        m_state |= kStateNormal;
    InvalidateVisiblePart();
}

// ------------------------------------------------------------ layout

void ListItem::SetBounds(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    // A row scrolled out of its body is not placed: its cells wait until it
    // comes back (a long list moves every row on each scroll step).
    if (!m_owner || !IsPlaced())
        return;
    const RECTF inset = GetContentInset();
    const RECTF inner{m_bounds.left + inset.left, m_bounds.top + inset.top, m_bounds.right - inset.right,
                      m_bounds.bottom - inset.bottom};
    if (m_owner->GetHeader())
        PlaceOverColumns(inner);
    else
        PlaceNested(inner);
}

void ListItem::PlaceOverColumns(const RECTF& inner)
{
    ListHeader* header = m_owner->GetHeader();
    const int count = ChildCount() < header->ChildCount() ? ChildCount() : header->ChildCount();
    for (int i = 0; i < count; ++i) {
        Control* child = m_children[static_cast<size_t>(i)];
        const RECTF column = header->ChildAt(i)->GetBounds();
        const RECTF pad = child->GetPadding();
        child->SetBounds(column.left + pad.left, inner.top + pad.top, column.right - pad.right,
                         inner.bottom - pad.bottom);
    }
}

void ListItem::PlaceNested(const RECTF& inner)
{
    RECTF running = inner;
    for (int i = 0; i < ChildCount(); ++i) {
        Control* child = m_children[static_cast<size_t>(i)];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat()) {
            PlaceFloatChild(i);
            continue;
        }
        const RECTF pad = child->GetPadding();
        running.left += pad.left;
        running.top += pad.top;
        running.right -= pad.right;
        running.bottom -= pad.bottom;
        child->SetBounds(running);
    }
}

// ------------------------------------------------------------ painting

void ListItem::Paint(const RECTF& dirty, bool pushClip)
{
    const RECTF clip{dirty.left > m_bounds.left ? dirty.left : m_bounds.left,
                     dirty.top > m_bounds.top ? dirty.top : m_bounds.top,
                     dirty.right < m_bounds.right ? dirty.right : m_bounds.right,
                     dirty.bottom < m_bounds.bottom ? dirty.bottom : m_bounds.bottom};
    if (clip.left >= clip.right || clip.top >= clip.bottom)
        return;
    if (!HasStyleSet())
        PaintItemBk(GetPaintTarget());
    Box::Paint(dirty, pushClip);
}

void ListItem::PaintItemBk(RenderTarget* target)
{
    if (!m_owner || !target)
        return;
    ListItemStyle* style = m_owner->GetItemStyle();
    const bool odd = style->alternateRows && (m_index % 2) == 1;
    uint32_t colour = odd ? 0 : style->bkColor;
    if (m_rowState & kRowHot)
        colour = style->hotBkColor;
    if (IsSelected())
        colour = style->selectedBkColor;
    if (!IsEnabled())
        colour = style->disabledBkColor;
    if (colour != 0)
        target->FillShape(m_bounds, GradientStops{Color::MakeArgb(colour)}, nullptr, nullptr, nullptr, nullptr);

    const RECTF paint = m_bounds;
    if (!IsEnabled() && !style->disabledImage.IsEmpty()) {
        target->DrawImage(m_core, m_bounds, paint, style->disabledImage, 255);
    } else if (IsSelected() && !style->selectedImage.IsEmpty()) {
        target->DrawImage(m_core, m_bounds, paint, style->selectedImage, 255);
    } else if ((m_rowState & kRowHot) && !style->hotImage.IsEmpty()) {
        target->DrawImage(m_core, m_bounds, paint, style->hotImage, 255);
    } else if (!m_bkImage.IsEmpty()) {
        if (!odd)
            target->DrawImage(m_core, m_bounds, paint, m_bkImage, 255);
    } else if (!style->bkImage.IsEmpty()) {
        target->DrawImage(m_core, m_bounds, paint, style->bkImage, 255);
        return;
    }
    if (style->lineColor != 0 && style->showHLines) {
        const RECTF line{m_bounds.left, m_bounds.bottom - 1, m_bounds.right, m_bounds.bottom - 1};
        target->DrawLine(line, GradientStops{Color::MakeArgb(style->lineColor)}, nullptr, 0, 1.0f);
    }
}

void ListItem::InvalidateVisiblePart()
{
    if (!m_core || !IsInitialised() || !IsVisible())
        return;
    Box* parent = m_parent ? static_cast<Box*>(m_parent->CastTo(L"Box")) : nullptr;
    if (!parent) {
        Repaint();
        return;
    }
    const RECTF pb = parent->GetBounds();
    const RECTF inset = parent->GetContentInset();
    RECTF r = m_bounds;
    r.left = r.left > pb.left + inset.left ? r.left : pb.left + inset.left;
    r.top = r.top > pb.top + inset.top ? r.top : pb.top + inset.top;
    r.right = r.right < pb.right - inset.right ? r.right : pb.right - inset.right;
    r.bottom = r.bottom < pb.bottom - inset.bottom ? r.bottom : pb.bottom - inset.bottom;
    if (r.left >= r.right || r.top >= r.bottom)
        return;
    if (!ClipByAncestors(r))
        return;
    m_core->MarkDirty(r);
}

} // namespace ui

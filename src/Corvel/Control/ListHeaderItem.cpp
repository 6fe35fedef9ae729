#include "Corvel/Control/ListHeaderItem.h"

#include <algorithm>
#include <cwchar>

#include "Corvel/Control/BoxLayout.h"
#include "Corvel/Control/List.h"
#include "Corvel/Control/ListHeader.h"
#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

// Centred both ways on one line.
constexpr int kHeaderTextStyle = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
// Narrowest a column can be dragged (skin units).
constexpr int kHeaderMinWidth = 16;
// Separator strip at the right edge (skin units).
constexpr int kDefaultSeparatorWidth = 4;
// Label inset from the left and right edges (skin units).
constexpr float kLabelSidePadding = 2;
// The separator's hit zone reaches this far into the item (pixels), so a
// thin strip is easy to grab.
constexpr int kSeparatorGrabMargin = 4;

bool IsTrue(const wchar_t* v) { return v && wcscmp(v, L"true") == 0; }

// The first control of the subtree (the root included) named `name`,
// ignoring case.
Control* FindByNameNoCase(Control* root, const wchar_t* name)
{
    if (!root)
        return nullptr;
    if (root->GetName().EqualsNoCase(name))
        return root;
    auto* box = static_cast<IBox*>(root->CastTo(L"IBox"));
    if (!box)
        return nullptr;
    for (int i = 0; i < box->ChildCount(); ++i) {
        if (Control* found = FindByNameNoCase(box->ChildAt(i), name))
            return found;
    }
    return nullptr;
}

} // namespace

ListHeaderItem::ListHeaderItem()
{
    m_textStyle = kHeaderTextStyle;
    m_minWidth = kHeaderMinWidth;
    m_separatorWidth = kDefaultSeparatorWidth;
    m_labelPadding[0] = m_labelPadding[2] = kLabelSidePadding;
    SetNeedsCursor(true);
}

ListHeaderItem::~ListHeaderItem() = default;

const wchar_t* ListHeaderItem::GetClassName() const { return L"ListHeaderItem"; }

void* ListHeaderItem::CastTo(const wchar_t* typeName)
{
    if (wcscmp(typeName, L"ListHeaderItem") == 0)
        return this;
    return Box::CastTo(typeName);
}

int ListHeaderItem::GetTraitFlags() const
{
    return IsEnabled() && m_separatorWidth != 0 && NeedsCursor() ? kTraitWantsSetCursor : 0;
}

void ListHeaderItem::SetEnabled(bool on)
{
    Box::SetEnabled(on);
    if (!IsEnabled())
        m_buttonState = 0;
}

void ListHeaderItem::CompleteInit()
{
    Box::CompleteInit();
    if (m_core)
        FindNamedChildren();
}

void ListHeaderItem::FindNamedChildren()
{
    m_title = FindByNameNoCase(this, L"Title");
    m_asc = FindByNameNoCase(this, L"Asc");
    m_desc = FindByNameNoCase(this, L"Desc");
    m_sort = FindByNameNoCase(this, L"Sort");
    if (!m_sort)
        return;
    m_sort->SetClickHandler([this] { ToggleSortOrder(); });
    Control* sort = m_sort;
    m_sort->SetNotifyHandler([this, sort](tagTNotifyUI* msg) {
        if (msg->type.Equals(L"selectchanged") && !sort->IsSelected()) {
            if (m_asc)
                m_asc->SetVisible(false);
            if (m_desc)
                m_desc->SetVisible(false);
        }
        return true; // the sort button's own notifications go no further
    });
}

void ListHeaderItem::ToggleSortOrder()
{
    bool ascending;
    if (m_asc && m_asc->IsVisible()) {
        m_asc->SetVisible(false);
        if (m_desc)
            m_desc->SetVisible(true);
        ascending = false;
    } else {
        if (m_asc)
            m_asc->SetVisible(true);
        if (m_desc)
            m_desc->SetVisible(false);
        ascending = true;
    }
    auto* header = m_parent ? static_cast<ListHeader*>(m_parent->CastTo(L"ListHeader")) : nullptr;
    List* list = header ? header->GetOwnerList() : nullptr;
    if (list && list->GetCore()) {
        list->GetCore()->RaiseNotification(list, L"listreorder", reinterpret_cast<WPARAM>(this), ascending ? 1 : 0);
        list->InvokeNamedCallback(L"listreorder");
    }
}

RECTF ListHeaderItem::GetSeparatorRect() const
{
    const int w = static_cast<int>(static_cast<float>(m_separatorWidth) * GetScale());
    if (w > 0)
        return RECTF{m_bounds.right - static_cast<float>(w), m_bounds.top, m_bounds.right, m_bounds.bottom};
    return RECTF{m_bounds.left, m_bounds.top, m_bounds.left - static_cast<float>(w), m_bounds.bottom};
}

bool ListHeaderItem::InSeparatorHitZone(const POINT& pt) const
{
    RECTF zone = GetSeparatorRect();
    if (m_separatorWidth * GetScale() >= 1.0f)
        zone.left -= kSeparatorGrabMargin;
    else
        zone.right += kSeparatorGrabMargin;
    const float x = static_cast<float>(pt.x), y = static_cast<float>(pt.y);
    return x >= zone.left && x < zone.right && y >= zone.top && y < zone.bottom;
}

bool ListHeaderItem::OnSetCursor(const POINT& eventPoint)
{
    if (!IsEnabled() || !m_dragable)
        return false;
    const POINT pt = boxlayout::CursorInClient(m_core, eventPoint);
    if (!InSeparatorHitZone(pt))
        return false;
    ::SetCursor(::LoadCursorW(nullptr, IDC_SIZEWE));
    return true;
}

bool ListHeaderItem::OnPress(const POINT& pt)
{
    if (!IsEnabled())
        return true;
    if (InSeparatorHitZone(pt)) {
        if (m_dragable) {
            m_buttonState |= kButtonDragging;
            m_lastDrag = pt;
        }
        return true;
    }
    m_buttonState |= kButtonPushed;
    if (m_core)
        m_core->RaiseNotification(this, L"headerclick", 0, 0);
    InvokeNamedCallback(L"headerclick");
    Repaint();
    return true;
}

void ListHeaderItem::OnDragMove(const POINT& pt)
{
    const int dx = pt.x - m_lastDrag.x;
    m_lastDrag = pt;
    if (m_separatorWidth <= 0)
        return;
    RECTF r = m_bounds;
    r.right += static_cast<float>(dx);
    const float width = r.right - r.left;
    if (width <= static_cast<float>(GetMinWidth()))
        return;
    SetBounds(r);
    SetFixedWidth(width / GetScale());
    RequestParentRelayout();
    RequestRelayout();
    RequestListRelayout();
}

void ListHeaderItem::RequestListRelayout()
{
    // The rows' cells and the column rectangles follow the header items.
    auto* header = m_parent ? static_cast<ListHeader*>(m_parent->CastTo(L"ListHeader")) : nullptr;
    if (List* list = header ? header->GetOwnerList() : nullptr)
        list->RequestRelayout();
}

void ListHeaderItem::OnRelease()
{
    if (m_buttonState & kButtonDragging) {
        m_buttonState &= ~kButtonDragging;
        if (m_core)
            m_core->RaiseNotification(this, L"headerwidthchanged", 0, 0);
        InvokeNamedCallback(L"headerwidthchanged");
        RequestParentRelayout();
        RequestListRelayout();
        return;
    }
    if (m_buttonState & kButtonPushed) {
        m_buttonState &= ~kButtonPushed;
        Repaint();
    }
}

bool ListHeaderItem::HandleEvent(InputEvent* event)
{
    const bool mouse = event->type >= kEventMouseMove && event->type <= kEventScrollWheel;
    if (mouse && !IsMouseEnabled())
        return m_parent ? m_parent->HandleEvent(event) : false;
    switch (event->type) {
    case kEventSetCursor:
        return OnSetCursor(event->point) || Box::HandleEvent(event);
    case kEventButtonDown:
    case kEventDblClick:
        return OnPress(event->point);
    case kEventMouseMove:
        if (m_buttonState & kButtonDragging) {
            OnDragMove(event->point);
            return true;
        }
        return Box::HandleEvent(event);
    case kEventButtonUp:
        OnRelease();
        return true;
    case kEventMouseEnter:
    case kEventMouseLeave:
        if (IsEnabled()) {
            if (event->type == kEventMouseEnter)
                m_buttonState |= kButtonHot;
            else
                m_buttonState &= ~kButtonHot;
            Repaint();
        }
        return true;
    case kEventSetFocus:
    case kEventKillFocus:
        Repaint();
        return true;
    default:
        return Box::HandleEvent(event);
    }
}

void ListHeaderItem::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name)
        return;
    const wchar_t* v = value ? value : L"";
    if (wcscmp(name, L"dragable") == 0) {
        m_dragable = IsTrue(v);
        if (!m_dragable)
            m_buttonState &= ~kButtonDragging;
    } else if (wcscmp(name, L"sepwidth") == 0) {
        m_separatorWidth = ParseInt(v);
    } else if (wcscmp(name, L"textcolor") == 0) {
        m_textColor = ParseHexColor(v);
        Repaint();
    } else if (wcscmp(name, L"textpadding") == 0) {
        int n[4] = {0, 0, 0, 0};
        ParseIntList(v, n, 4);
        for (int i = 0; i < 4; ++i)
            m_labelPadding[i] = static_cast<float>(n[i]);
        Repaint();
    } else if (wcscmp(name, L"showhtml") == 0) {
        const bool on = IsTrue(v);
        if (on != m_showHtmlLabel) {
            m_showHtmlLabel = on;
            Repaint();
        }
    } else if (wcscmp(name, L"normalimage") == 0) {
        SetImageDescriptor(m_normalImage, v);
    } else if (wcscmp(name, L"hotimage") == 0) {
        SetImageDescriptor(m_hotImage, v);
    } else if (wcscmp(name, L"pushedimage") == 0) {
        SetImageDescriptor(m_pushedImage, v);
    } else if (wcscmp(name, L"focusedimage") == 0) {
        SetImageDescriptor(m_focusedImage, v);
    } else if (wcscmp(name, L"sepimage") == 0) {
        SetImageDescriptor(m_separatorImage, v);
    } else {
        Box::SetAttribute(name, value);
    }
}

void ListHeaderItem::DrawStateImage(RenderTarget* target, CUiImage& image, const RECTF& paintRect)
{
    if (!image.IsEmpty())
        target->DrawImage(m_core, m_bounds, paintRect, image, 255);
}

void ListHeaderItem::PaintForeImage(RenderTarget* target, const RECTF& paintRect)
{
    if (!target || !m_core)
        return;
    if (IsFocused())
        m_buttonState |= kButtonFocused;
    else
        m_buttonState &= ~kButtonFocused;
    if (m_buttonState & kButtonPushed)
        DrawStateImage(target, m_pushedImage.IsEmpty() ? m_normalImage : m_pushedImage, paintRect);
    else if (m_buttonState & kButtonHot)
        DrawStateImage(target, m_hotImage.IsEmpty() ? m_normalImage : m_hotImage, paintRect);
    else if (m_buttonState & kButtonFocused)
        DrawStateImage(target, m_focusedImage.IsEmpty() ? m_normalImage : m_focusedImage, paintRect);
    else
        DrawStateImage(target, m_normalImage, paintRect);
    if (!m_separatorImage.IsEmpty())
        target->DrawImage(m_core, GetSeparatorRect(), paintRect, m_separatorImage, 255);
}

void ListHeaderItem::PaintLabel(RenderTarget* target, const RECTF&)
{
    if (!target || !m_core || m_text.IsEmpty())
        return;
    if (m_textColor == 0)
        m_textColor = m_core->GetTextColor();
    const float s = GetScale();
    const RECTF rect{m_bounds.left + m_labelPadding[0] * s, m_bounds.top + m_labelPadding[1] * s,
                     m_bounds.right - m_labelPadding[2] * s, m_bounds.bottom - m_labelPadding[3] * s};
    const UINT format = static_cast<UINT>(m_textStyle | DT_SINGLELINE);
    if (m_showHtmlLabel) {
        target->DrawHtmlText(m_core, rect, m_text.GetData(), m_textColor, nullptr, format, 0);
        return;
    }
    target->DrawText(m_core, rect, m_text.GetData(), GradientStops{Color::MakeArgb(m_textColor)}, nullptr, m_fontId,
                     format, 0, 0, 0);
}

void ListHeaderItem::SetBounds(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    const RECTF inner = boxlayout::Deflate(m_bounds, GetContentInset());
    // Left to right: fixed children get their width, the rest share.
    float fixed = 0;
    int stretch = 0;
    for (Control* child : m_children) {
        if (!child->IsVisible() || child->IsFloat())
            continue;
        const ControlSize s = child->MeasureSize(inner.Width(), inner.Height());
        const RECTF pad = child->GetPadding();
        fixed += pad.left + pad.right + (s.width < 0 ? 0 : s.width);
        if (s.width < 0)
            ++stretch;
    }
    const float share = stretch > 0 ? std::max(0.0f, (inner.Width() - fixed) / static_cast<float>(stretch)) : 0;
    float x = inner.left;
    int neededWidth = 0, neededHeight = 0;
    for (int i = 0; i < ChildCount(); ++i) {
        Control* child = m_children[static_cast<size_t>(i)];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat()) {
            PlaceFloatChild(i);
            continue;
        }
        const ControlSize s = child->MeasureSize(inner.Width(), inner.Height());
        const RECTF pad = child->GetPadding();
        float w = boxlayout::ClampSize(s.width < 0 ? share : s.width, child->GetMinWidth(), child->GetMaxWidth());
        float h = s.height < 0 ? inner.Height() - pad.top - pad.bottom : s.height;
        h = boxlayout::ClampSize(std::max(0.0f, h), child->GetMinHeight(), child->GetMaxHeight());
        // Vertically centred in the item.
        const float top = inner.top + pad.top + std::max(0.0f, (inner.Height() - pad.top - pad.bottom - h) / 2);
        child->SetBounds(x + pad.left, top, x + pad.left + w, top + h);
        x += pad.left + w + pad.right;
        neededWidth = static_cast<int>(x - inner.left);
        neededHeight = std::max(neededHeight, static_cast<int>(pad.top + h + pad.bottom));
    }
    PlaceScrollBars(inner, neededWidth, neededHeight);
}

} // namespace ui

#include "Corvel/Control/ComboBox.h"

#include <cwchar>

#include "Corvel/Control/ComboBoxWnd.h"
#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

// Wheel events carry this bit for a roll towards the user.
constexpr WPARAM kWheelTowardsUser = 1;
// Characters of a pointer written as "%p", with room to spare.
constexpr size_t kPointerTextLength = 32;

} // namespace

ComboBox::ComboBox()
{
    m_needTab = true;
    m_selectable = true;
}

ComboBox::~ComboBox()
{
    if (m_dropDown)
        m_dropDown->Detach();
    // The container goes while the core it is attached to still exists.
    m_items.reset();
    m_dropDown.reset();
}

const wchar_t* ComboBox::GetClassName() const { return L"ComboBox"; }

void* ComboBox::CastTo(const wchar_t* typeName)
{
    if (typeName && wcscmp(typeName, L"ComboBox") == 0)
        return this;
    return Box::CastTo(typeName);
}

int ComboBox::GetTraitFlags() const
{
    return (m_needTab ? kTraitTabStop : 0) | (m_needCursor ? kTraitWantsSetCursor : 0);
}

// ------------------------------------------------------------------ items

bool ComboBox::IsItemContainer(Control* child) const
{
    // Only the first VBox holds the items; later ones are items themselves.
    return !m_items && child && child->CastTo(L"VBox") && child->CastTo(L"Box");
}

std::wstring ComboBox::GroupName() const
{
    wchar_t text[kPointerTextLength] = {};
    swprintf(text, kPointerTextLength, L"%p", static_cast<const void*>(m_items.get()));
    return text;
}

void ComboBox::PrepareItem(Control* item, bool inserted)
{
    item->SetSelectable(true);
    item->SetGroup(GroupName().c_str());
    if (inserted) {
        item->SetSelectHandler([this, item] {
            if (m_choosing || !item->IsSelected())
                return;
            SelectItem(item);
            CloseDropDown();
        });
    } else {
        item->SetSelectHandler([this, item] {
            if (!m_choosing && item->IsSelected())
                SelectItem(item);
        });
        item->SetClickHandler([this] { CloseDropDown(); });
    }
    if (!m_itemStyle.empty())
        item->SetStyle(m_itemStyle.c_str());
}

void ComboBox::AdoptContainer(Box* container)
{
    // From here the combo box owns it; no other box lists it.
    if (Control* previous = container->GetParent()) {
        if (Box* box = static_cast<Box*>(previous->CastTo(L"Box")))
            box->DetachChild(container);
    }
    m_items.reset(container);
    container->AttachCore(m_core, this, false);
    int initial = -1;
    for (int i = 0; i < container->ChildCount(); ++i) {
        Control* item = container->ChildAt(i);
        if (item->IsSelected())
            initial = i;
        PrepareItem(item, false);
    }
    ChooseItem(initial);
}

Control* ComboBox::ChildAt(int index) const
{
    if (m_placingOwnChildren)
        return Box::ChildAt(index);
    return m_items ? m_items->ChildAt(index) : nullptr;
}

int ComboBox::ChildCount() const
{
    if (m_placingOwnChildren)
        return Box::ChildCount();
    return m_items ? m_items->ChildCount() : 0;
}

bool ComboBox::AppendChild(Control* child)
{
    if (!child)
        return false;
    if (IsItemContainer(child)) {
        AdoptContainer(static_cast<Box*>(child->CastTo(L"Box")));
        return true;
    }
    if (!m_items || !m_items->AppendChild(child))
        return false;
    PrepareItem(child, false);
    return true;
}

bool ComboBox::InsertChildAt(Control* child, int index)
{
    if (!child)
        return false;
    if (IsItemContainer(child)) {
        AdoptContainer(static_cast<Box*>(child->CastTo(L"Box")));
        return true;
    }
    if (!m_items || !m_items->InsertChildAt(child, index))
        return false;
    PrepareItem(child, true);
    if (index <= m_current)
        ++m_current;
    return true;
}

bool ComboBox::RemoveChild(Control* child)
{
    const int index = m_items ? m_items->IndexOfChild(child) : -1;
    if (index < 0)
        return Box::RemoveChild(child);
    if (!m_items->RemoveChild(child))
        return false;
    if (index == m_current) {
        m_current = -1;
        ChooseItem(NextItem(index, false));
    } else if (index < m_current) {
        --m_current;
    }
    return true;
}

bool ComboBox::RemoveChildAt(int index)
{
    Control* child = ChildAt(index);
    return child ? RemoveChild(child) : false;
}

void ComboBox::RemoveAllChildren(bool relayout)
{
    m_current = -1;
    if (m_items)
        m_items->RemoveAllChildren(relayout);
}

// -------------------------------------------------------------- choosing

bool ComboBox::ChooseItem(int index)
{
    if (!m_items)
        return false;
    if (index != m_current) {
        m_changed = true;
        m_previous = m_current;
        m_current = index;
        m_choosing = true;
        bool complete = true;
        for (int i = 0; i < m_items->ChildCount(); ++i) {
            Control* item = m_items->ChildAt(i);
            if (!item) {
                complete = false;
                break;
            }
            item->SetSelected(i == index);
        }
        m_choosing = false;
        if (!complete)
            return false;
    }
    if (m_dropDown)
        m_dropDown->ScrollToItem(m_current);
    return true;
}

bool ComboBox::SelectItem(Control* item)
{
    if (!m_items)
        return false;
    m_previous = m_current;
    for (int i = 0; i < m_items->ChildCount(); ++i) {
        Control* c = m_items->ChildAt(i);
        if (c != item) {
            c->SetSelected(false);
            continue;
        }
        if (i == m_current)
            break;
        m_current = i;
        m_changed = true;
        c->SetSelected(true);
    }
    if (m_changed && m_current != m_previous)
        RaiseItemSelect();
    AfterCurrentChanged();
    return true;
}

void ComboBox::ChooseByUser(int index)
{
    if (index < 0)
        return;
    const int before = m_current;
    if (!ChooseItem(index) || m_current == before)
        return;
    m_previous = before;
    RaiseItemSelect();
    AfterCurrentChanged();
}

void ComboBox::RaiseItemSelect()
{
    InvokeNamedCallback(L"itemselect");
    if (m_core)
        m_core->RaiseNotification(this, L"itemselect", static_cast<WPARAM>(m_current),
                                  static_cast<LPARAM>(m_previous));
}

void ComboBox::AfterCurrentChanged()
{
    Repaint();
    if (m_dropDown)
        m_dropDown->ScrollToItem(m_current);
}

int ComboBox::NextItem(int start, bool forward) const
{
    return m_items ? m_items->FindNextFocusable(start, forward) : -1;
}

CUiString ComboBox::GetText() const
{
    Control* item = (m_items && m_current >= 0) ? m_items->ChildAt(m_current) : nullptr;
    return item ? item->GetText() : CUiString();
}

// ------------------------------------------------------- the drop-down

bool ComboBox::TryActivate()
{
    if (m_ignoreNextActivation) {
        m_ignoreNextActivation = false;
        m_state = (m_state | kStateHot) & ~kStatePushed;
        Repaint();
        return true;
    }
    if (!Control::TryActivate())
        return false;
    m_changed = false;
    if (!m_items) {
        // Nothing to show: it does not stay "open".
        SetSelected(false);
        return true;
    }
    if (!m_dropDown)
        m_dropDown = std::make_unique<CComboBoxWnd>();
    m_dropDown->Open(this);
    return true;
}

bool ComboBox::IsDropDownOpen() const { return m_dropDown && m_dropDown->IsOpen(); }

void ComboBox::CloseDropDown()
{
    if (m_dropDown)
        m_dropDown->Close();
}

void ComboBox::OnDropDownClosed()
{
    SetSelected(false);
    if (!m_core || !m_core->GetWindow())
        return;
    POINT pt{};
    GetCursorPos(&pt);
    ScreenToClient(m_core->GetWindow(), &pt);
    if (rectmath::Contains(m_bounds, static_cast<float>(pt.x), static_cast<float>(pt.y))) {
        // The press that closed the drop-down lands on the combo box: its
        // release must not open it again.
        m_state |= kStateHot;
        m_ignoreNextActivation = true;
    }
}

// ------------------------------------------------------------ events

bool ComboBox::OnKey(WORD key)
{
    const int count = ChildCount();
    switch (key) {
    case VK_PRIOR:
    case VK_UP: ChooseByUser(NextItem(m_current - 1, false)); return true;
    case VK_NEXT:
    case VK_DOWN: ChooseByUser(NextItem(m_current + 1, true)); return true;
    case VK_END: ChooseByUser(NextItem(count - 1, true)); return true;
    case VK_HOME: ChooseByUser(NextItem(0, false)); return true;
    case VK_F4: TryActivate(); return true;
    default: return false;
    }
}

bool ComboBox::HandleEvent(InputEvent* event)
{
    if (!m_mouseEnabled && event->type >= kEventMouseMove && event->type <= kEventScrollWheel)
        return m_parent ? m_parent->HandleEvent(event) : false;
    switch (event->type) {
    case kEventKeyDown:
        if (m_items && OnKey(event->key))
            return true;
        break;
    case kEventScrollWheel:
        if (m_wheel && m_items) {
            if (event->wParam & kWheelTowardsUser)
                ChooseByUser(NextItem(m_current + 1, true));
            else
                ChooseByUser(NextItem(m_current - 1, false));
            return true;
        }
        break;
    case kEventMouseLeave:
        // Only the click that closed the drop-down is ignored; once the
        // pointer leaves, that click is not coming.
        m_ignoreNextActivation = false;
        break;
    default: break;
    }
    return Box::HandleEvent(event);
}

void ComboBox::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value)
        return;
    if (wcscmp(name, L"selectedid") == 0)
        ChooseItem(ParseInt(value));
    else if (wcscmp(name, L"itemstyles") == 0)
        m_itemStyle = value;
    else
        Box::SetAttribute(name, value);
}

// --------------------------------------------------------- layout, paint

void ComboBox::SetBounds(float left, float top, float right, float bottom)
{
    for (Control* child : m_children)
        child->SetBounds(0, 0, 0, 0);
    Control::SetBounds(left, top, right, bottom);
    const RECTF inset = GetContentInset();
    RECTF r{m_bounds.left + inset.left, m_bounds.top + inset.top, m_bounds.right - inset.right,
            m_bounds.bottom - inset.bottom};
    m_placingOwnChildren = true;
    for (int i = 0; i < static_cast<int>(m_children.size()); ++i) {
        Control* child = m_children[static_cast<size_t>(i)];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat()) {
            PlaceFloatChild(i);
            continue;
        }
        const RECTF pad = child->GetPadding();
        r = RECTF{r.left + pad.left, r.top + pad.top, r.right - pad.right, r.bottom - pad.bottom};
        child->SetBounds(r);
    }
    m_placingOwnChildren = false;
}

void ComboBox::Paint(const RECTF& dirty, bool pushClip)
{
    RECTF paint;
    if (!rectmath::Intersect(dirty, m_bounds, paint))
        return;
    m_paintRect = paint;
    if (HasStyleSet() && PaintStyle(paint))
        return;
    Box::Paint(paint, pushClip);
}

} // namespace ui

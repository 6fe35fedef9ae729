#include "Corvel/Control/MenuElement.h"

#include <cwchar>

#include "Corvel/Control/List.h"
#include "Corvel/Control/MenuWnd.h"
#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

MenuElement* AsElement(Control* control)
{
    return control ? static_cast<MenuElement*>(control->CastTo(L"MenuElement")) : nullptr;
}

} // namespace

MenuElement::MenuElement()
{
    // The row takes the pointer as a whole.
    SetChildrenTakeMouse(false);
}

MenuElement::~MenuElement()
{
    if (CMenuWnd* window = m_subMenuWindow) {
        m_subMenuWindow = nullptr;
        window->ReleaseOwnerElement();
        DestroyWindow(window->GetHWND());  // frees the window object
    }
}

const wchar_t* MenuElement::GetClassName() const { return L"MenuElement"; }

void* MenuElement::CastTo(const wchar_t* typeName)
{
    if (typeName && _wcsicmp(typeName, L"MenuElement") == 0)
        return this;
    return ListItem::CastTo(typeName);
}

int MenuElement::GetTraitFlags() const { return m_needCursor ? kTraitWantsSetCursor : 0; }

HWND MenuElement::GetWindowHandle() const { return m_core ? m_core->GetWindow() : nullptr; }

bool MenuElement::HasSubElements() const
{
    for (Control* child : m_children) {
        if (AsElement(child))
            return true;
    }
    return false;
}

bool MenuElement::SharesRowSelection(Control* child) const { return AsElement(child) == nullptr; }

// ---------------------------------------------------------- sub-menus

void MenuElement::ShowSubElements()
{
    for (Control* child : m_children) {
        if (!AsElement(child))
            continue;
        child->SetVisible(true);
        child->SetInternalVisible(true);
    }
}

void MenuElement::OpenSubMenu()
{
    if (m_subMenuWindow || !GetWindowHandle())
        return;
    auto* window = new CMenuWnd(GetWindowHandle(), nullptr);
    m_subMenuWindow = window;
    // Other open sub-menus of this menu window close.
    CloseMenusBelowThisWindow();
    m_rowState |= kRowSubMenuOpen;
    if (!window->OpenSubMenu(this)) {
        m_subMenuWindow = nullptr;  // the window freed itself
        m_rowState &= ~kRowSubMenuOpen;
    }
}

void MenuElement::ForgetSubMenuWindow()
{
    m_subMenuWindow = nullptr;
    m_rowState &= ~kRowSubMenuOpen;
}

void MenuElement::CloseMenusBelowThisWindow()
{
    MenuObserver().BroadcastReverse(ContextMenuParam{kCloseMenusBelow, GetWindowHandle()});
}

void MenuElement::CloseAllMenus()
{
    // The closes are posted: the event that caused them is still handled.
    MenuObserver().BroadcastReverse(ContextMenuParam{kCloseAllMenus, GetWindowHandle()});
}

bool MenuElement::TryActivate()
{
    // The list row raises "itemactivate" when the control activates.
    if (!ListItem::TryActivate())
        return false;
    if (!IsSelected())
        return false;
    if (m_subMenuWindow)
        return true;
    if (HasSubElements()) {
        ShowSubElements();
        OpenSubMenu();
        return true;
    }
    CloseAllMenus();
    return true;
}

// -------------------------------------------------------------- input

bool MenuElement::OnEnter(InputEvent* event)
{
    if (m_subMenuWindow)
        return true;
    if (HasSubElements()) {
        ShowSubElements();
        if (m_owner)
            m_owner->SelectRow(m_index, true);
        OpenSubMenu();
    } else {
        CloseMenusBelowThisWindow();
    }
    return ListItem::HandleEvent(event);
}

bool MenuElement::OnPress(InputEvent* event)
{
    if (m_subMenuWindow || !IsEnabled())
        return true;
    if (HasSubElements()) {
        ShowSubElements();
        OpenSubMenu();
    } else {
        CloseAllMenus();
    }
    return ListItem::HandleEvent(event);
}

bool MenuElement::HandleEvent(InputEvent* event)
{
    if (!event)
        return false;
    switch (event->type) {
    case kEventMouseEnter: return OnEnter(event);
    case kEventButtonDown: return OnPress(event);
    case kEventButtonUp:
        // A list row's release only ends its press; a menu element is
        // chosen by its click, so the control's release handling follows
        // and activates the element under the pointer.
        ListItem::HandleEvent(event);
        return Control::HandleEvent(event);
    case kEventSetCursor:
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        return true;
    default: return ListItem::HandleEvent(event);
    }
}

void MenuElement::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value)
        return;
    const bool hotIcon = wcscmp(name, L"icohotimage") == 0;
    if (!hotIcon && wcscmp(name, L"iconormalimage") != 0) {
        ListItem::SetAttribute(name, value);
        return;
    }
    SetImageDescriptor(hotIcon ? m_hotIcon : m_icon, value);
    InvalidateVisiblePart();
    Box::SetAttribute(name, value);
}

// ------------------------------------------------------------- layout

void MenuElement::SetBounds(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    // Sub-elements are laid out by their sub-menu window, never in the row.
    const RECTF inset = GetContentInset();
    const RECTF content{m_bounds.left + inset.left, m_bounds.top + inset.top, m_bounds.right - inset.right,
                        m_bounds.bottom - inset.bottom};
    for (int i = 0; i < ChildCount(); ++i) {
        Control* child = m_children[static_cast<size_t>(i)];
        if (AsElement(child) || !child->IsVisible())
            continue;
        if (child->IsFloat())
            PlaceFloatChild(i);
        else
            child->SetBounds(content);
    }
}

bool MenuElement::AppendChild(Control* child)
{
    MenuElement* sub = AsElement(child);
    if (sub)
        sub->SetKey(std::to_wstring(ChildCount()));
    if (!ListItem::AppendChild(child))
        return false;
    if (sub)
        sub->SetInternalVisible(false);  // shown only in the sub-menu window
    return true;
}

// ----------------------------------------------------------- painting

void MenuElement::Paint(const RECTF& dirty, bool pushClip)
{
    if (!rectmath::Intersect(dirty, m_bounds, m_paintRect)) {
        m_paintRect = RECTF{0, 0, 0, 0};
        return;
    }
    if (!IsVisible())
        return;
    if (HasStyleSet()) {
        ListItem::Paint(dirty, pushClip);
        return;
    }
    RenderTarget* target = GetPaintTarget();
    if (!target)
        return;
    PaintItemBk(target);
    PaintText(target);
    PaintIcon();
    for (Control* child : m_children) {
        if (AsElement(child) || !child->IsVisible() || !child->IsPlaced())
            continue;
        if (rectmath::Overlaps(child->GetBounds(), dirty))
            child->Paint(dirty, true);
    }
}

void MenuElement::PaintText(RenderTarget* target)
{
    const CUiString text = GetText();
    if (!m_owner || !m_core || text.IsEmpty())
        return;
    const ListItemStyle& style = *m_owner->GetItemStyle();
    uint32_t color = IsRowHot() ? style.hotTextColor : style.textColor;
    if (IsSelected())
        color = style.selectedTextColor;
    if (!IsEnabled())
        color = style.disabledTextColor;
    const float s = GetScale();
    const RECTF rect{m_bounds.left + style.textPadding[0] * s, m_bounds.top + style.textPadding[1] * s,
                     m_bounds.right - style.textPadding[2] * s, m_bounds.bottom - style.textPadding[3] * s};
    const UINT format = style.textStyle | DT_SINGLELINE;
    if (style.showHtml)
        target->DrawHtmlText(m_core, rect, text.GetData(), color, nullptr, format, 0);
    else
        target->DrawText(m_core, rect, text.GetData(), GradientStops{Color::MakeArgb(color)}, nullptr, style.font,
                         format, 0.0f, 0.0f, 0);
}

void MenuElement::PaintIcon()
{
    if (IsRowHot() && !m_hotIcon.IsEmpty())
        DrawImage(m_hotIcon);
    else if (!m_icon.IsEmpty())
        DrawImage(m_icon);
}

} // namespace ui

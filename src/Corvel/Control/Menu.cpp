#include "Corvel/Control/Menu.h"

#include <algorithm>
#include <cwchar>

#include "Corvel/Control/BoxLayout.h"
#include "Corvel/Control/MenuElement.h"
#include "Corvel/Control/MenuWnd.h"
#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

const wchar_t kMenuSeparator[] = L"s";

MenuElement* AsElement(Control* control)
{
    return control ? static_cast<MenuElement*>(control->CastTo(L"MenuElement")) : nullptr;
}

} // namespace

ControlSize MeasureRow(Control* row, float availableWidth, float availableHeight)
{
    ControlSize s = row->MeasureSize(availableWidth, availableHeight);
    // A vertical box answers no width for its rows: the row's own width
    // stands for it.
    if (s.width <= 0 && row->GetFixedWidth() > 0)
        s.width = row->GetFixedWidth();
    return s;
}

Menu::Menu() = default;

Menu::~Menu() = default;

const wchar_t* Menu::GetClassName() const { return L"Menu"; }

void* Menu::CastTo(const wchar_t* typeName)
{
    if (typeName && _wcsicmp(typeName, L"Menu") == 0)
        return this;
    return VBox::CastTo(typeName);
}

// ----------------------------------------------------------- attributes

void Menu::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value)
        return;
    if (wcscmp(name, L"offset") == 0) {
        wchar_t* end = nullptr;
        m_offsetX = static_cast<int>(wcstol(value, &end, 10));
        // One separator character, then the second value.
        if (end && *end)
            m_offsetY = static_cast<int>(wcstol(end + 1, nullptr, 10));
        return;
    }
    if (!ApplyRowStyleAttribute(name, value))
        VBox::SetAttribute(name, value);
}

bool Menu::ApplyRowStyleAttribute(const wchar_t* name, const wchar_t* value)
{
    struct ColorField {
        const wchar_t* name;
        uint32_t MenuRowStyle::*field;
    };
    static const ColorField kColors[] = {
        {L"itemtextcolor", &MenuRowStyle::textColor},
        {L"itembkcolor", &MenuRowStyle::bkColor},
        {L"itemselectedtextcolor", &MenuRowStyle::selectedTextColor},
        {L"itemselectedbkcolor", &MenuRowStyle::selectedBkColor},
        {L"itemhottextcolor", &MenuRowStyle::hotTextColor},
        {L"itemhotbkcolor", &MenuRowStyle::hotBkColor},
        {L"itemdisabledtextcolor", &MenuRowStyle::disabledTextColor},
        {L"itemdisabledbkcolor", &MenuRowStyle::disabledBkColor},
    };
    for (const ColorField& c : kColors) {
        if (wcscmp(name, c.name) == 0) {
            m_rowStyle.*c.field = ParseHexColor(value);
            Repaint();
            return true;
        }
    }
    if (wcscmp(name, L"itemfont") == 0) {
        m_rowStyle.font = ParseInt(value);
    } else if (wcscmp(name, L"itemtextpadding") == 0) {
        int pad[4] = {0, 0, 0, 0};
        ParseIntList(value, pad, 4);
        for (int i = 0; i < 4; ++i)
            m_rowStyle.textPadding[i] = static_cast<float>(pad[i]);
    } else if (wcscmp(name, L"itemshowhtml") == 0) {
        m_rowStyle.showHtml = wcscmp(value, L"true") == 0;
    } else {
        return false;
    }
    Repaint();
    return true;
}

// ---------------------------------------------------------- measuring

ControlSize Menu::MeasureSize(float availableWidth, float availableHeight)
{
    if (m_children.empty())
        return VBox::MeasureSize(availableWidth, availableHeight);
    float widest = 0, height = 0;
    int counted = 0;
    for (Control* child : m_children) {
        if (!child->IsVisible() || child->IsFloat())
            continue;
        const ControlSize s = MeasureRow(child, availableWidth, availableHeight);
        if (s.width > 0)
            widest = std::max(widest, boxlayout::ClampSize(s.width, child->GetMinWidth(), child->GetMaxWidth()));
        if (s.height > 0)
            height += boxlayout::ClampSize(s.height, child->GetMinHeight(), child->GetMaxHeight());
        const RECTF pad = child->GetPadding();
        height += pad.top + pad.bottom;
        ++counted;
    }
    if (counted > 1)
        height += (counted - 1) * GetChildGap();
    const float fixedWidth = GetFixedWidth(), fixedHeight = GetFixedHeight();
    ControlSize out{widest, height};
    if (fixedWidth > widest || widest <= 0)
        out.width = fixedWidth;
    if (fixedHeight > height || height <= 0)
        out.height = fixedHeight;
    return out;
}

// --------------------------------------------------------- child rows

bool Menu::IsElement(Control* child) const { return AsElement(child) != nullptr; }

void Menu::AssignKeys(MenuElement* element, int index)
{
    std::wstring key = std::to_wstring(index);
    if (m_ownerElement)
        key = m_ownerElement->GetKey() + kMenuSeparator + key;
    element->SetKey(key);
    for (int i = 0; i < element->ChildCount(); ++i) {
        MenuElement* sub = AsElement(element->ChildAt(i));
        if (!sub)
            continue;
        // Its index among the element's children, which is the key it got
        // when it joined the element: a menu opened again does not grow the
        // keys of the rows below with every opening.
        sub->SetKey(key + kMenuSeparator + std::to_wstring(i));
        // Shown only in the sub-menu window.
        sub->SetInternalVisible(false);
    }
}

int Menu::IndexOfChild(Control* child) const
{
    if (!AsElement(child))
        return -1;
    return VBox::IndexOfChild(child);
}

bool Menu::MoveChild(Control* child, int index)
{
    return IsElement(child) && VBox::MoveChild(child, index);
}

bool Menu::ListRow(Control* child, int index)
{
    // The element stays its owner element's child: the sub-menu only lists
    // it and lays it out in its own window.
    if (index < 0 || index > ChildCount() || VBox::IndexOfChild(child) >= 0)
        return false;
    m_children.insert(m_children.begin() + index, child);
    child->AttachCore(m_core, this, true);
    if (m_core)
        child->SearchTree(&WindowCore::CollectControlName, m_core, 0);
    RequestRelayout();
    return true;
}

bool Menu::AppendChild(Control* child)
{
    MenuElement* element = AsElement(child);
    if (!element)
        return false;
    AssignKeys(element, ChildCount());
    element->SetOwnerList(this);
    if (m_ownerElement)
        return ListRow(child, ChildCount());
    return VBox::AppendChild(child);
}

bool Menu::InsertChildAt(Control* child, int index)
{
    MenuElement* element = AsElement(child);
    if (!element || index < 0 || index > ChildCount())
        return false;
    AssignKeys(element, index);
    element->SetOwnerList(this);
    if (m_ownerElement)
        return ListRow(child, index);
    return VBox::InsertChildAt(child, index);
}

bool Menu::RemoveChild(Control* child) { return IsElement(child) && VBox::RemoveChild(child); }

void Menu::ReleaseRows()
{
    m_children.clear();
    m_exclusiveChildren.clear();
}

// ---------------------------------------------------------- selection

bool Menu::SelectRow(int index, bool focus)
{
    Control* row = ChildAt(index);
    if (!row)
        return false;
    for (Control* child : m_children) {
        if (child != row && child->IsSelected())
            child->SetSelected(false);
    }
    if (!row->IsSelected())
        row->SetSelected(true);
    if (focus && m_core)
        m_core->FocusControl(row);
    return true;
}

// ---------------------------------------------------------- windows

CMenuWnd* Menu::FindRootMenuWindow() const
{
    CMenuWnd* window = m_menuWindow;
    const Menu* menu = this;
    // From a sub-menu window up to the window of the menu that holds the
    // sub-menu's owner element.
    while (menu && menu->m_ownerElement) {
        Control* holder = menu->m_ownerElement->FindAncestorByType(L"Menu");
        const Menu* parentMenu = holder ? static_cast<Menu*>(holder->CastTo(L"Menu")) : nullptr;
        if (!parentMenu)
            break;
        if (parentMenu->m_menuWindow)
            window = parentMenu->m_menuWindow;
        menu = parentMenu;
    }
    return window;
}

void Menu::SetMenuWindow(CMenuWnd* window)
{
    m_menuWindow = window;
    CMenuWnd* root = FindRootMenuWindow();
    if (!root)
        return;
    for (Control* child : m_children) {
        MenuElement* element = AsElement(child);
        if (element && root->IsKeyDisabled(element->GetKey()))
            element->SetEnabled(false);
    }
}

} // namespace ui

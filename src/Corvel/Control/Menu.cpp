#include "Corvel/Control/Menu.h"

#include <algorithm>
#include <cwchar>

#include "Corvel/Control/BoxLayout.h"
#include "Corvel/Control/ListBody.h"
#include "Corvel/Control/MenuElement.h"
#include "Corvel/Control/MenuWnd.h"

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
    return List::CastTo(typeName);
}

void Menu::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name || !value)
        return;
    if (wcscmp(name, L"offset") != 0) {
        List::SetAttribute(name, value);
        return;
    }
    wchar_t* end = nullptr;
    m_offsetX = static_cast<int>(wcstol(value, &end, 10));
    // One separator character, then the second value.
    if (end && *end)
        m_offsetY = static_cast<int>(wcstol(end + 1, nullptr, 10));
}

// ---------------------------------------------------------- measuring

ControlSize Menu::MeasureSize(float availableWidth, float availableHeight)
{
    const int count = ChildCount();
    if (count == 0)
        return VBox::MeasureSize(availableWidth, availableHeight);
    float widest = 0, height = 0;
    int counted = 0;
    for (int i = 0; i < count; ++i) {
        Control* row = ChildAt(i);
        if (!row->IsVisible() || row->IsFloat())
            continue;
        const ControlSize s = MeasureRow(row, availableWidth, availableHeight);
        if (s.width > 0)
            widest = std::max(widest, boxlayout::ClampSize(s.width, row->GetMinWidth(), row->GetMaxWidth()));
        if (s.height > 0)
            height += boxlayout::ClampSize(s.height, row->GetMinHeight(), row->GetMaxHeight());
        const RECTF pad = row->GetPadding();
        height += pad.top + pad.bottom;
        ++counted;
    }
    if (counted > 1)
        height += static_cast<float>(counted - 1) * GetChildGap();
    const float fixedWidth = GetFixedWidth(), fixedHeight = GetFixedHeight();
    ControlSize out{widest, height};
    if (fixedWidth > widest || widest <= 0)
        out.width = fixedWidth;
    if (fixedHeight > height || height <= 0)
        out.height = fixedHeight;
    return out;
}

// --------------------------------------------------------- child rows

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
    return List::IndexOfChild(child);
}

bool Menu::MoveChild(Control* child, int index) { return AsElement(child) && List::MoveChild(child, index); }

bool Menu::ListSubElement(Control* child, int index)
{
    // The element stays its owner element's child: the sub-menu only lists
    // it and lays it out in its own window.
    if (!m_body->BorrowRow(child, index))
        return false;
    OnRowInserted(child, index);
    return true;
}

bool Menu::AppendChild(Control* child)
{
    MenuElement* element = AsElement(child);
    if (!element)
        return false;
    const int index = ChildCount();
    AssignKeys(element, index);
    if (m_ownerElement)
        return ListSubElement(child, index);
    return List::AppendChild(child);
}

bool Menu::InsertChildAt(Control* child, int index)
{
    MenuElement* element = AsElement(child);
    if (!element || index < 0 || index > ChildCount())
        return false;
    AssignKeys(element, index);
    if (m_ownerElement)
        return ListSubElement(child, index);
    return List::InsertChildAt(child, index);
}

bool Menu::RemoveChild(Control* child) { return AsElement(child) && List::RemoveChild(child); }

void Menu::ReleaseRows()
{
    DeselectAllRows();
    m_hotRow = -1;
    m_body->ForgetRows();
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
    for (int i = 0; i < ChildCount(); ++i) {
        MenuElement* element = AsElement(ChildAt(i));
        if (element && root->IsKeyDisabled(element->GetKey()))
            element->SetEnabled(false);
    }
}

} // namespace ui

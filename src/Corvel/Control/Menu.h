// A pop-up menu: a list whose rows are MenuElement controls. Selection,
// keyboard navigation, the shared row appearance and the rows' painting
// are the list's. A top-level menu lives in a window of its own or in a
// skinned window; the menu of a sub-menu window is made by that window and
// lists the sub-elements of its owner element without taking them from it.
// UI thread only.
#pragma once

#include <string>

#include "Corvel/Control/List.h"

namespace ui {

class CMenuWnd;
class MenuElement;

// A row's size for the menu's measuring: its measured size, with its own
// fixed width where the measure gives none (pixels).
ControlSize MeasureRow(Control* row, float availableWidth, float availableHeight);

class Menu : public List {
public:
    Menu();
    ~Menu() override;

    const wchar_t* GetClassName() const override;
    // "Menu" (any case) answers the menu; anything else as the list.
    void* CastTo(const wchar_t* typeName) override;
    // "offset" (x[,y], skin units); everything else as the list.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // Over the visible, non-floating rows: the widest (clamped to each
    // row's limits) and the sum of the heights with paddings and gaps; a
    // larger fixed size wins. Without rows, as a vertical box.
    ControlSize MeasureSize(float availableWidth, float availableHeight) override;

    // IBox: only controls that cast to "MenuElement" are taken (anything
    // else: false, -1, nothing changes). Appending and inserting give the
    // element its key first, then the list takes it as a row. In a
    // sub-menu (with an owner element) the elements stay children of the
    // owner element and are only listed here.
    int IndexOfChild(Control* child) const override;
    bool MoveChild(Control* child, int index) override;
    bool AppendChild(Control* child) override;
    bool InsertChildAt(Control* child, int index) override;
    bool RemoveChild(Control* child) override;

    // The element whose sub-menu this menu shows; null for a top-level menu.
    MenuElement* GetOwnerElement() const { return m_ownerElement; }
    void SetOwnerElement(MenuElement* element) { m_ownerElement = element; }
    // Stores the window (borrowed) and disables every element whose key is
    // in the root menu window's disabled keys.
    void SetMenuWindow(CMenuWnd* window);
    CMenuWnd* GetMenuWindow() const { return m_menuWindow; }
    // The window at the root of this menu's chain of sub-menu windows.
    CMenuWnd* FindRootMenuWindow() const;
    // Unscaled pixels.
    int GetOffsetX() const { return m_offsetX; }
    int GetOffsetY() const { return m_offsetY; }

    // A sub-menu closing: its rows are deselected (a menu opened again
    // starts without a selection) and forgotten without being touched
    // otherwise; they stay their owner element's children.
    void ReleaseRows();

private:
    // The key of an element appended at `index`, and its sub-elements'.
    void AssignKeys(MenuElement* element, int index);
    // The sub-menu's listing of an owner element's sub-element.
    bool ListSubElement(Control* child, int index);

    MenuElement* m_ownerElement = nullptr;  // borrowed
    CMenuWnd* m_menuWindow = nullptr;       // borrowed
    int m_offsetX = 0;
    int m_offsetY = 0;
};

} // namespace ui
